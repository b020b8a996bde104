// Reading the posix package format (see appended_format.h).
#include "appended_format.h"

#include "byte_order.h"

const char kAppendedMagic[kAppendedMagicSize + 1] = "SXEPACK1";

bool FindAppendedItem(const unsigned char* file, uint64_t fileSize, uint32_t id,
                      const unsigned char** data, uint32_t* size) {
    if (file == 0 || fileSize < kAppendedTrailerSize)
        return false;
    const unsigned char* trailer = file + fileSize - kAppendedTrailerSize;
    for (int i = 0; i < kAppendedMagicSize; ++i)
        if (trailer[kAppendedMagicOffset + i] != (unsigned char)kAppendedMagic[i])
            return false;
    uint64_t tableOffset = ReadLe64(trailer);
    uint64_t count = ReadLe32(trailer + 8);
    uint64_t tableEnd = fileSize - kAppendedTrailerSize;
    if (tableOffset > tableEnd || (tableEnd - tableOffset) / kAppendedEntrySize != count ||
        (tableEnd - tableOffset) % kAppendedEntrySize != 0)
        return false;
    for (uint64_t k = 0; k < count; ++k) {
        const unsigned char* entry = file + tableOffset + k * kAppendedEntrySize;
        if (ReadLe32(entry) != id)
            continue;
        uint32_t itemSize = ReadLe32(entry + 4);
        uint64_t offset = ReadLe64(entry + 8);
        if (offset > tableOffset || itemSize > tableOffset - offset)
            return false;
        *data = file + offset;
        *size = itemSize;
        return true;
    }
    return false;
}
