// Reading the posix package format (see appended_format.h).
#include "appended_format.h"

#include "byte_order.h"

const char kAppendedMagic[kAppendedMagicSize + 1] = "SXEPACK1";

// Where the table starts, and its entry count, when the trailer and table are sound.
static bool LocateTable(const unsigned char* file, uint64_t fileSize, uint64_t* tableOffset,
                        uint32_t* count) {
    if (file == 0 || fileSize < kAppendedTrailerSize)
        return false;
    const unsigned char* trailer = file + fileSize - kAppendedTrailerSize;
    for (int i = 0; i < kAppendedMagicSize; ++i)
        if (trailer[kAppendedMagicOffset + i] != (unsigned char)kAppendedMagic[i])
            return false;
    uint64_t offset = ReadLe64(trailer);
    uint64_t entries = ReadLe32(trailer + 8);
    uint64_t tableEnd = fileSize - kAppendedTrailerSize;
    if (offset > tableEnd || (tableEnd - offset) % kAppendedEntrySize != 0 ||
        (tableEnd - offset) / kAppendedEntrySize != entries)
        return false;
    *tableOffset = offset;
    *count = (uint32_t)entries;
    return true;
}

int64_t CountAppendedItems(const unsigned char* file, uint64_t fileSize) {
    uint64_t tableOffset;
    uint32_t count;
    return LocateTable(file, fileSize, &tableOffset, &count) ? (int64_t)count : -1;
}

// Entry index of the table at tableOffset, when its bytes lie before the table.
static bool ReadEntry(const unsigned char* file, uint64_t tableOffset, uint32_t index, uint32_t* id,
                      const unsigned char** data, uint32_t* size) {
    const unsigned char* entry = file + tableOffset + (uint64_t)index * kAppendedEntrySize;
    uint32_t itemSize = ReadLe32(entry + 4);
    uint64_t offset = ReadLe64(entry + 8);
    if (offset > tableOffset || itemSize > tableOffset - offset)
        return false;
    *id = ReadLe32(entry);
    *data = file + offset;
    *size = itemSize;
    return true;
}

bool GetAppendedItem(const unsigned char* file, uint64_t fileSize, uint32_t index, uint32_t* id,
                     const unsigned char** data, uint32_t* size) {
    uint64_t tableOffset;
    uint32_t count;
    return LocateTable(file, fileSize, &tableOffset, &count) && index < count &&
           ReadEntry(file, tableOffset, index, id, data, size);
}

bool FindAppendedItem(const unsigned char* file, uint64_t fileSize, uint32_t id,
                      const unsigned char** data, uint32_t* size) {
    uint64_t tableOffset;
    uint32_t count;
    if (!LocateTable(file, fileSize, &tableOffset, &count))
        return false;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t entryId;
        const unsigned char* entryData;
        uint32_t entrySize;
        if (ReadEntry(file, tableOffset, k, &entryId, &entryData, &entrySize) && entryId == id) {
            *data = entryData;
            *size = entrySize;
            return true;
        }
    }
    return false;
}
