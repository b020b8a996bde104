// Little-endian reads and writes of the package formats' fixed-width fields.
#pragma once

#include <stdint.h>

inline uint32_t ReadLe16(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8;
}

inline uint32_t ReadLe32(const unsigned char* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline uint64_t ReadLe64(const unsigned char* p) {
    return (uint64_t)ReadLe32(p) | (uint64_t)ReadLe32(p + 4) << 32;
}

inline void WriteLe16(unsigned char* p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

inline void WriteLe32(unsigned char* p, uint32_t v) {
    WriteLe16(p, v);
    WriteLe16(p + 2, v >> 16);
}

inline void WriteLe64(unsigned char* p, uint64_t v) {
    WriteLe32(p, (uint32_t)v);
    WriteLe32(p + 4, (uint32_t)(v >> 32));
}
