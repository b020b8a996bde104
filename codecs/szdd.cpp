// Expanding SZDD mode 'A' data (the format is described in szdd.h).
#include "szdd.h"

#include "package/byte_order.h"

const unsigned char kSzddSignature[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};

enum { kBlockSize = 32768 };

struct Output {
    unsigned char block[kBlockSize];
    uint32_t filled;
    SzddSink sink;
    void* context;
};

static bool Flush(Output* out) {
    bool ok = out->filled == 0 || out->sink(out->context, out->block, out->filled);
    out->filled = 0;
    return ok;
}

SzddStatus SzddExpand(const unsigned char* source, uint64_t size, SzddSink sink, void* context) {
    if (size < kSzddHeaderSize || source[kSzddModeOffset] != 'A')
        return kSzddNotSzdd;
    for (int i = 0; i < 8; ++i)
        if (source[i] != kSzddSignature[i])
            return kSzddNotSzdd;
    const uint32_t length = ReadLe32(source + kSzddLengthOffset);

    unsigned char ring[kSzddRingSize];
    for (int i = 0; i < kSzddRingSize; ++i)
        ring[i] = ' ';
    uint32_t ringPos = kSzddRingStart;
    Output out;
    out.filled = 0;
    out.sink = sink;
    out.context = context;

    uint64_t in = kSzddHeaderSize;
    uint32_t produced = 0;
    while (produced < length) {
        if (in >= size)
            return kSzddEndsEarly;
        unsigned flags = source[in++];
        for (int bit = 0; bit < 8 && produced < length; ++bit, flags >>= 1) {
            if (flags & 1) {
                if (in >= size)
                    return kSzddEndsEarly;
                unsigned char c = source[in++];
                ring[ringPos] = c;
                ringPos = (ringPos + 1) & (kSzddRingSize - 1);
                out.block[out.filled++] = c;
                ++produced;
            } else {
                if (size - in < 2)
                    return kSzddEndsEarly;
                unsigned b1 = source[in], b2 = source[in + 1];
                in += 2;
                uint32_t from = b1 | (b2 & 0xF0) << 4;
                uint32_t count = (b2 & 0x0F) + kSzddMinMatch;
                if (count > length - produced)
                    return kSzddRunsPast;
                for (uint32_t k = 0; k < count; ++k) {
                    unsigned char c = ring[(from + k) & (kSzddRingSize - 1)];
                    ring[ringPos] = c;
                    ringPos = (ringPos + 1) & (kSzddRingSize - 1);
                    out.block[out.filled++] = c;
                    if (out.filled == kBlockSize && !Flush(&out))
                        return kSzddSinkRefused;
                }
                produced += count;
            }
            if (out.filled == kBlockSize && !Flush(&out))
                return kSzddSinkRefused;
        }
    }
    if (in != size)
        return kSzddRunsPast;
    return Flush(&out) ? kSzddOk : kSzddSinkRefused;
}
