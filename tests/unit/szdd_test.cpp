// SZDD data: the project's encoder and decoder against each other and against hand-made and
// damaged data. (Other programs' SZDD readers and writers are checked end to end.)
#include <gtest/gtest.h>

#include "codecs/szdd.h"
#include "pack/szdd_encoder.h"
#include "package/byte_order.h"
#include "test_files.h"

namespace {

bool Collect(void* context, const unsigned char* bytes, uint32_t count) {
    static_cast<std::string*>(context)->append((const char*)bytes, count);
    return true;
}

SzddStatus Expand(const std::vector<uint8_t>& data, std::string* out) {
    out->clear();
    return SzddExpand(data.data(), data.size(), Collect, out);
}

std::vector<uint8_t> Header(uint32_t length) {
    std::vector<uint8_t> h(kSzddSignature, kSzddSignature + 8);
    h.push_back('A');
    h.push_back(0);
    h.resize(kSzddHeaderSize);
    WriteLe32(&h[kSzddLengthOffset], length);
    return h;
}

TEST(Szdd, RoundTrips) {
    const std::string inputs[] = {
        "",
        "a",
        "fifteen bytes!!",
        std::string(4096, '\0'),
        std::string(70000, 'q'),               // crosses the encoder's block boundary
        TestData(200000, 1),                   // mixed text and noise
        TestData(5000, 2) + TestData(5000, 2), // a repeat farther back than the ring reaches
    };
    for (const std::string& input : inputs) {
        std::vector<uint8_t> packed = SzddCompress((const uint8_t*)input.data(), input.size());
        EXPECT_EQ(ReadLe32(&packed[kSzddLengthOffset]), input.size());
        std::string back;
        ASSERT_EQ(Expand(packed, &back), kSzddOk) << "size " << input.size();
        EXPECT_EQ(back, input) << "size " << input.size();
    }
    std::string text = TestData(100000, 3);
    EXPECT_LT(SzddCompress((const uint8_t*)text.data(), text.size()).size(), text.size() / 2);
}

TEST(Szdd, RingStartsWithBlanksAndCopiesOverlap) {
    // A match at ring position 0 reads the initial blanks; one from the literal's position repeats
    // it byte as it is being written.
    std::vector<uint8_t> data = Header(9);
    data.insert(data.end(), {0x02, 0x00, 0x00, 'x', 0xF3, 0xF2});
    std::string out;
    ASSERT_EQ(Expand(data, &out), kSzddOk);
    EXPECT_EQ(out, "   xxxxxx");
}

TEST(Szdd, RefusesDamage) {
    std::string input = TestData(3000, 4);
    std::vector<uint8_t> good = SzddCompress((const uint8_t*)input.data(), input.size());
    std::string out;

    for (size_t cut : {good.size() - 1, good.size() - 2, good.size() / 2, (size_t)15})
        EXPECT_EQ(Expand(std::vector<uint8_t>(good.begin(), good.begin() + cut), &out),
                  kSzddEndsEarly)
            << "cut at " << cut;

    std::vector<uint8_t> extra = good;
    extra.push_back(0);
    EXPECT_EQ(Expand(extra, &out), kSzddRunsPast);

    std::vector<uint8_t> shorter = good, longer = good;
    WriteLe32(&shorter[kSzddLengthOffset], (uint32_t)input.size() - 1);
    WriteLe32(&longer[kSzddLengthOffset], (uint32_t)input.size() + 1);
    EXPECT_EQ(Expand(shorter, &out), kSzddRunsPast);
    EXPECT_EQ(Expand(longer, &out), kSzddEndsEarly);

    std::vector<uint8_t> modeB = good, signature = good;
    modeB[kSzddModeOffset] = 'B';
    signature[3] ^= 1;
    EXPECT_EQ(Expand(modeB, &out), kSzddNotSzdd);
    EXPECT_EQ(Expand(signature, &out), kSzddNotSzdd);
    EXPECT_EQ(Expand(std::vector<uint8_t>(good.begin(), good.begin() + 13), &out), kSzddNotSzdd);
}

} // namespace
