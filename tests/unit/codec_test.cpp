// The codec contract as the built-in LZ codec meets it (through LZ32 on Windows, the own
// decoder elsewhere), with temporary names and whole-file writes.
#include <gtest/gtest.h>

#include "codecs/codec.h"
#include "codecs/temp_name.h"
#include "pack/szdd_encoder.h"
#include "test_files.h"

namespace {

std::vector<uint8_t> Szdd(const std::string& s) {
    return SzddCompress((const uint8_t*)s.data(), s.size());
}

bool IsTemporary(const std::string& name) {
    return name.rfind("sxe", 0) == 0;
}

TEST(TempName, ReservesDistinctEmptyFiles) {
    ScratchDir dir;
    char a[kMaxPath], b[kMaxPath];
    ASSERT_NE(MakeTempName(dir.WithSeparator().c_str(), a), 0u);
    ASSERT_NE(MakeTempName(dir.WithSeparator().c_str(), b), 0u);
    EXPECT_STRNE(a, b);
    for (const char* name : {a, b}) {
        EXPECT_TRUE(std::filesystem::exists(name));
        EXPECT_EQ(std::filesystem::file_size(name), 0u);
        EXPECT_TRUE(IsTemporary(std::filesystem::path(name).filename().string()));
    }
    EXPECT_EQ(MakeTempName((dir.WithSeparator() + "missing" +
                            (char)std::filesystem::path::preferred_separator)
                               .c_str(),
                           a),
              0u);
    EXPECT_STREQ(a, "");
}

TEST(WriteBuffer, WritesWholeContent) {
    ScratchDir dir;
    std::string path = dir.File("f");
    WriteTestFile(path, "old content that is longer");
    const unsigned char bytes[] = "new";
    EXPECT_TRUE(WriteBufferToFile(bytes, 3, path.c_str()));
    EXPECT_EQ(ReadTestFile(path), "new");
    EXPECT_TRUE(WriteBufferToFile(bytes, 0, path.c_str()));
    EXPECT_EQ(ReadTestFile(path), "");
    EXPECT_FALSE(WriteBufferToFile(bytes, 3, dir.File("missing/f").c_str()));
}

TEST(ExpandWithLz, ReplacesTheOutputAndLeavesNoScratchFile) {
    ScratchDir dir;
    std::string data = TestData(100000, 7);
    std::vector<uint8_t> item = Szdd(data);
    std::string output = dir.File("out.bin");
    WriteTestFile(output, std::string(300000, 'o'));
    ASSERT_EQ(ExpandWithLz(item.data(), (uint32_t)item.size(), dir.WithSeparator().c_str(),
                           output.c_str()),
              1);
    EXPECT_EQ(ReadTestFile(output), data);
    EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"out.bin"});

    // The output opens with exclusive access right away: every handle is closed.
    std::vector<uint8_t> empty = Szdd("");
    ASSERT_EQ(ExpandWithLz(empty.data(), (uint32_t)empty.size(), dir.WithSeparator().c_str(),
                           output.c_str()),
              1);
    EXPECT_EQ(ReadTestFile(output), "");
    EXPECT_TRUE(WriteBufferToFile(empty.data(), 1, output.c_str()));
}

TEST(ExpandWithLz, MissingOutputDirectoryFailsCleanly) {
    ScratchDir dir;
    std::vector<uint8_t> item = Szdd(TestData(1000, 8));
    EXPECT_EQ(ExpandWithLz(item.data(), (uint32_t)item.size(), dir.WithSeparator().c_str(),
                           dir.File("missing/out").c_str()),
              0);
    EXPECT_TRUE(Listing(dir.path()).empty());
}

TEST(ExpandWithLz, WorksInADeepPackageDirectory) {
    // LZ32 opens files by name only below 128 characters; the codec must not depend on that.
    ScratchDir dir;
    std::filesystem::path deep = dir.path();
    while (deep.string().size() < 150)
        deep /= "level-of-twenty-char";
    std::filesystem::create_directories(deep);
    std::string directory = deep.string() + (char)std::filesystem::path::preferred_separator;
    std::string data = TestData(5000, 9);
    std::vector<uint8_t> item = Szdd(data);
    std::string output = directory + "out.bin";
    ASSERT_EQ(ExpandWithLz(item.data(), (uint32_t)item.size(), directory.c_str(), output.c_str()),
              1);
    EXPECT_EQ(ReadTestFile(output), data);
}

} // namespace
