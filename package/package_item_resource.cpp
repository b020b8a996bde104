// Package items as resources of the launcher executable (Windows).
#include "package_item.h"

#include "platform_win32.h"

const unsigned char* GetPackageItem(uint32_t id, uint32_t* size) {
    return SysFindResource(kPackageResourceType, (uint16_t)(id & 0xFFFF), size);
}
