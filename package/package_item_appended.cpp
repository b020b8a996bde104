// Package items appended to the launcher executable (posix; the format is in
// appended_format.h).
#include "package_item.h"

#include "appended_format.h"
#include "platform_posix.h"

const unsigned char* GetPackageItem(uint32_t id, uint32_t* size) {
    const unsigned char* image;
    uint64_t imageSize;
    const unsigned char* data;
    uint32_t dataSize;
    if (!SysMapOwnImage(&image, &imageSize) ||
        !FindAppendedItem(image, imageSize, id & 0xFFFF, &data, &dataSize))
        return 0;
    *size = dataSize;
    return data;
}
