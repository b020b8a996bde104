// SZDD data, compression mode 'A' (the "COMPRESS" format):
//
//   offset 0   8 bytes  signature 53 5A 44 44 88 F0 27 33
//   offset 8   1 byte   compression mode 'A' (0x41)
//   offset 9   1 byte   last character of the original file name, 0 when unknown
//   offset 10  u32 LE   expanded length in bytes
//   offset 14  ...      groups of one flag byte and up to eight items; flag bits are taken
//                       from the least significant. Bit 1: one literal byte. Bit 0: two bytes
//                       b1 b2 that copy (b2 & 0x0F) + 3 bytes from ring position
//                       b1 | (b2 & 0xF0) << 4 of a 4096-byte ring. The ring starts filled with
//                       blanks, the first byte goes to position 0xFF0, and a copy goes byte by
//                       byte, so it may read what it has just written.
#pragma once

#include <stdint.h>

enum {
    kSzddHeaderSize = 14,
    kSzddModeOffset = 8,
    kSzddNameCharOffset = 9,
    kSzddLengthOffset = 10,
    kSzddRingSize = 4096,
    kSzddRingStart = 0xFF0,
    kSzddMinMatch = 3,
    kSzddMaxMatch = 18, // what the format can say; writers stay at 16, which every reader takes
};

extern const unsigned char kSzddSignature[8];

enum SzddStatus {
    kSzddOk,
    kSzddNotSzdd,     // no signature, or another compression mode
    kSzddEndsEarly,   // the data ends before the expanded length is reached
    kSzddRunsPast,    // the data holds more than the expanded length
    kSzddSinkRefused, // the sink did not take a block
};

// Receives the expanded bytes in order, in blocks; returns false to stop the expansion.
typedef bool (*SzddSink)(void* context, const unsigned char* bytes, uint32_t count);

// Expands source (size bytes) into sink. The expansion must give exactly the header's expanded
// length from exactly all of the source bytes.
SzddStatus SzddExpand(const unsigned char* source, uint64_t size, SzddSink sink, void* context);
