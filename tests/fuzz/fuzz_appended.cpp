// Fuzz target: the posix package table reader over arbitrary bytes; every item it hands out is
// read whole, so a pointer outside the file shows.
#include <stddef.h>

#include "package/appended_format.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const unsigned char* item;
    uint32_t itemSize, id;
    volatile unsigned sum = 0;
    int64_t count = CountAppendedItems(data, size);
    for (int64_t k = 0; k < count && k < 4096; ++k)
        if (GetAppendedItem(data, size, (uint32_t)k, &id, &item, &itemSize))
            for (uint32_t i = 0; i < itemSize; ++i)
                sum += item[i];
    for (uint32_t probe = 0; probe < 5; ++probe)
        if (FindAppendedItem(data, size, probe, &item, &itemSize) && itemSize > 0)
            sum += item[itemSize - 1];
    return 0;
}
