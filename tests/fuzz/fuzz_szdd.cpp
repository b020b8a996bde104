// Fuzz target: the SZDD decoder over arbitrary bytes.
#include <stddef.h>

#include "codecs/szdd.h"

static bool Count(void* context, const unsigned char* bytes, uint32_t count) {
    unsigned sum = 0;
    for (uint32_t i = 0; i < count; ++i)
        sum += bytes[i];
    *(unsigned*)context += sum;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    unsigned sum = 0;
    SzddExpand(data, size, Count, &sum);
    return 0;
}
