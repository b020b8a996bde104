// Package items: the stored bytes that the launcher carries, addressed by integer id.
#pragma once

#include <stdint.h>

// The package's resource type on Windows.
const uint16_t kPackageResourceType = 99;

// The read-only bytes of package item id (only its low 16 bits count) and their size, where
// they lie in the launcher's own image, valid for the life of the process. Null when the
// package has no such item; *size is then written only if the item was found but could not be
// reached.
const unsigned char* GetPackageItem(uint32_t id, uint32_t* size);
