// SZDD mode 'A' compression with a hash-chain match finder and an optimal parse per block.
//
// Each literal costs 9 bits and each match 17 (its flag bit and two bytes), so the cheapest
// parse of a block follows from one backward pass over the longest match at every position:
// every shorter prefix of a match is a match too.
#include "szdd_encoder.h"

#include <algorithm>
#include <stdexcept>

#include "codecs/szdd.h"
#include "package/byte_order.h"

namespace {

constexpr int kWriterMaxMatch = 16;
constexpr uint32_t kMaxDistance = kSzddRingSize - 1;
constexpr int kHashBits = 16;
constexpr int kChainDepth = 24;
constexpr size_t kBlock = 1 << 16;

uint32_t Hash3(const uint8_t* p) {
    uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

class MatchFinder {
  public:
    MatchFinder(const uint8_t* data, size_t size)
        : data_(data), size_(size), head_(1u << kHashBits, -1), prev_(kSzddRingSize, -1) {}

    // The longest match for position i (inserted afterwards); length 0 when none of 3 or more.
    int Find(size_t i, size_t limit, size_t* from) {
        int best = 0;
        if (i + kSzddMinMatch <= size_) {
            size_t maxLength = std::min<size_t>(kWriterMaxMatch, limit - i);
            uint32_t h = Hash3(data_ + i);
            int64_t candidate = head_[h];
            for (int depth = 0; candidate >= 0 && depth < kChainDepth; ++depth) {
                size_t j = (size_t)candidate;
                if (i - j > kMaxDistance)
                    break;
                if (data_[j + best] == data_[i + best] || best == 0) {
                    size_t n = 0;
                    while (n < maxLength && data_[j + n] == data_[i + n])
                        ++n;
                    if ((int)n > best) {
                        best = (int)n;
                        *from = j;
                        if (n == maxLength)
                            break;
                    }
                }
                int64_t next = prev_[j & (kSzddRingSize - 1)];
                if (next >= (int64_t)j)
                    break;
                candidate = next;
            }
            prev_[i & (kSzddRingSize - 1)] = head_[h];
            head_[h] = (int64_t)i;
        }
        return best >= kSzddMinMatch ? best : 0;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    std::vector<int64_t> head_;
    std::vector<int64_t> prev_;
};

class GroupWriter {
  public:
    explicit GroupWriter(std::vector<uint8_t>* out) : out_(out) {}
    void Literal(uint8_t c) {
        Begin();
        (*out_)[flagAt_] |= (uint8_t)(1u << count_);
        out_->push_back(c);
        ++count_;
    }
    void Match(uint32_t ringPosition, int length) {
        Begin();
        out_->push_back((uint8_t)(ringPosition & 0xFF));
        out_->push_back(
            (uint8_t)(((ringPosition >> 4) & 0xF0) | (uint32_t)(length - kSzddMinMatch)));
        ++count_;
    }

  private:
    void Begin() {
        if (count_ == 8 || flagAt_ == SIZE_MAX) {
            flagAt_ = out_->size();
            out_->push_back(0);
            count_ = 0;
        }
    }
    std::vector<uint8_t>* out_;
    size_t flagAt_ = SIZE_MAX;
    int count_ = 0;
};

} // namespace

std::vector<uint8_t> SzddCompress(const uint8_t* data, size_t size) {
    if (size > UINT32_MAX)
        throw std::runtime_error("a file of 4 GiB or more does not fit SZDD data");
    std::vector<uint8_t> out(kSzddHeaderSize);
    std::copy(kSzddSignature, kSzddSignature + 8, out.begin());
    out[kSzddModeOffset] = 'A';
    out[kSzddNameCharOffset] = 0;
    WriteLe32(&out[kSzddLengthOffset], (uint32_t)size);
    out.reserve(size / 2 + 64);

    MatchFinder finder(data, size);
    GroupWriter writer(&out);
    std::vector<uint8_t> length(kBlock);
    std::vector<uint32_t> from(kBlock);
    std::vector<uint32_t> cost(kBlock + 1);
    std::vector<uint8_t> choice(kBlock);
    for (size_t start = 0; start < size; start += kBlock) {
        size_t n = std::min(kBlock, size - start);
        for (size_t k = 0; k < n; ++k) {
            size_t source = 0;
            length[k] = (uint8_t)finder.Find(start + k, start + n, &source);
            from[k] = (uint32_t)source;
        }
        cost[n] = 0;
        for (size_t k = n; k-- > 0;) {
            uint32_t best = cost[k + 1] + 9;
            uint8_t pick = 1;
            for (int l = kSzddMinMatch; l <= length[k]; ++l) {
                uint32_t c = cost[k + l] + 17;
                if (c <= best) {
                    best = c;
                    pick = (uint8_t)l;
                }
            }
            cost[k] = best;
            choice[k] = pick;
        }
        for (size_t k = 0; k < n;) {
            if (choice[k] == 1) {
                writer.Literal(data[start + k]);
                ++k;
            } else {
                writer.Match((from[k] + kSzddRingStart) & (kSzddRingSize - 1), choice[k]);
                k += choice[k];
            }
        }
    }
    return out;
}
