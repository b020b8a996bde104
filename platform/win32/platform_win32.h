// Services that only the Windows flavour has: resources of the own executable and LZ32.
#pragma once

#include <stdint.h>

// The bytes of resource (type, id) of the running executable, any language, and their size.
// Null when absent; *size is written only when the resource was found.
const unsigned char* SysFindResource(uint16_t type, uint16_t id, uint32_t* size);

// LZ32 services. Handles are 0 or more, failures negative. Files are opened by handle rather
// than by name, which lifts LZ32's 128-character limit on names.
int32_t SysLzOpenRead(const char* path);
int32_t SysLzCreate(const char* path);
int32_t SysLzCopy(int32_t source, int32_t destination);
void SysLzClose(int32_t handle);
