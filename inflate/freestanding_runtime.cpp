// The little run-time support that zlib's inflate side needs where the plug-in links no C
// library (Windows): its default allocation, served zero-filled by the platform, and a plain
// byte-by-byte copy.
#include <stddef.h>

#include "platform.h"

extern "C" void* malloc(size_t count) {
    return SysAllocZeroed(count);
}

extern "C" void free(void* block) {
    if (block != NULL)
        SysFree(block);
}

extern "C" void* memcpy(void* to, const void* from, size_t count) {
    unsigned char* d = (unsigned char*)to;
    const unsigned char* s = (const unsigned char*)from;
    while (count-- > 0)
        *d++ = *s++;
    return to;
}

extern "C" void* memset(void* to, int value, size_t count) {
    unsigned char* d = (unsigned char*)to;
    while (count-- > 0)
        *d++ = (unsigned char)value;
    return to;
}
