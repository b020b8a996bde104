// The inflate plug-in, loaded from its built file as the launcher loads it (path in
// SXE_INFLATE_MODULE), against valid, cut, damaged and foreign streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <zlib.h>

#include "codecs/codec.h"
#include "pack/zlib_stream.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

class Plugin : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const char* path = std::getenv("SXE_INFLATE_MODULE");
        if (path == nullptr)
            return;
        module_ = SysLoadLibrary(path);
        if (module_ != nullptr)
            codec_ = (Codec)SysGetProcAddress(module_, SXE_PLUGIN_EXPORT);
    }
    void SetUp() override {
        if (std::getenv("SXE_INFLATE_MODULE") == nullptr)
            GTEST_SKIP() << "SXE_INFLATE_MODULE names no plug-in";
        ASSERT_NE(codec_, nullptr) << "plug-in did not load or lacks its export";
    }
    int Run(const std::string& source, const std::string& output, const char* directory = "x") {
        return codec_((const unsigned char*)source.data(), (uint32_t)source.size(), directory,
                      output.c_str());
    }
    static SysModule module_;
    static Codec codec_;
    ScratchDir dir_;
};
SysModule Plugin::module_;
Codec Plugin::codec_;

std::string Zlib(const std::string& s) {
    std::vector<uint8_t> z = ZlibCompress((const uint8_t*)s.data(), s.size());
    return std::string(z.begin(), z.end());
}

std::string Deflate(const std::string& s, int windowBits, const std::string& dictionary = "") {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    if (!dictionary.empty())
        deflateSetDictionary(&z, (const Bytef*)dictionary.data(), (uInt)dictionary.size());
    std::string out(deflateBound(&z, (uLong)s.size()) + 64, '\0');
    z.next_in = (Bytef*)s.data();
    z.avail_in = (uInt)s.size();
    z.next_out = (Bytef*)&out[0];
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST_F(Plugin, ExpandsWholeStreams) {
    for (size_t size :
         {(size_t)0, (size_t)1, (size_t)32768, (size_t)3 * 32768 + 17, (size_t)1 << 20}) {
        std::string data = TestData(size, (uint32_t)size);
        std::string z = Zlib(data);
        ASSERT_EQ((unsigned char)z[0], 0x78);
        ASSERT_EQ((unsigned char)z[1], 0xDA);
        std::string out = dir_.File("out");
        ASSERT_EQ(Run(z, out), 1) << size;
        EXPECT_EQ(ReadTestFile(out), data) << size;
    }
}

TEST_F(Plugin, IgnoresBytesAfterTheStreamAndItsThirdArgument) {
    std::string data = TestData(50000, 1);
    std::string out = dir_.File("out");
    EXPECT_EQ(Run(Zlib(data) + "trailing junk", out), 1);
    EXPECT_EQ(ReadTestFile(out), data);
    EXPECT_EQ(Run(Zlib(data), out, nullptr), 1);
    EXPECT_EQ(ReadTestFile(out), data);
}

TEST_F(Plugin, FailuresLeaveNoFile) {
    std::string data = TestData(40000, 2);
    std::string good = Zlib(data);
    std::string badCheck = good, corrupt = good;
    badCheck.back() ^= 0x01;
    for (size_t i = 2; i < corrupt.size() - 4; i += 7)
        corrupt[i] ^= 0x5A;
    std::string gzip = Deflate(data, 31);
    std::string dictionary = Deflate(data, 15, "preset dictionary");
    ASSERT_TRUE((unsigned char)dictionary[1] & 0x20);
    struct Case {
        const char* what;
        std::string source;
    } cases[] = {
        {"empty source", ""},
        {"header only", good.substr(0, 2)},
        {"cut inside the check value", good.substr(0, good.size() - 2)},
        {"check value missing", good.substr(0, good.size() - 4)},
        {"wrong check value", badCheck},
        {"corrupt data", corrupt},
        {"gzip member", gzip},
        {"preset dictionary", dictionary},
    };
    for (const Case& c : cases) {
        std::string out = dir_.File("out");
        WriteTestFile(out, "an older file");
        EXPECT_EQ(Run(c.source, out), 0) << c.what;
        EXPECT_FALSE(fs::exists(out)) << c.what;
    }
}

TEST_F(Plugin, EveryCutFails) {
    std::string good = Zlib(TestData(3000, 3));
    std::string out = dir_.File("out");
    for (size_t cut = 0; cut < good.size(); ++cut) {
        ASSERT_EQ(Run(good.substr(0, cut), out), 0) << "cut at " << cut;
        ASSERT_FALSE(fs::exists(out)) << "cut at " << cut;
    }
}

TEST_F(Plugin, MissingDirectoryCreatesNothing) {
    EXPECT_EQ(Run(Zlib("data"), dir_.File("missing/out")), 0);
    EXPECT_TRUE(Listing(dir_.path()).empty());
}

TEST_F(Plugin, CallsAreIndependent) {
    std::string out = dir_.File("out");
    WriteTestFile(out, std::string(100000, 'x'));
    EXPECT_EQ(Run(Zlib("first"), out), 1);
    EXPECT_EQ(ReadTestFile(out), "first");
    EXPECT_EQ(Run("\x78\xDA garbage", out), 0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(Run(Zlib("second"), out), 1);
    EXPECT_EQ(ReadTestFile(out), "second");
}

TEST_F(Plugin, DiskFullFailsAndLeavesNoFile) {
    // A small file system for real: SXE_SMALL_DISK names a directory on one (the test runner
    // mounts a 64 KiB tmpfs).
    const char* small = std::getenv("SXE_SMALL_DISK");
    if (small == nullptr)
        GTEST_SKIP() << "SXE_SMALL_DISK names no small file system";
    std::string out = (fs::path(small) / "big.bin").string();
    EXPECT_EQ(Run(Zlib(TestData(1 << 20, 5)), out), 0);
    EXPECT_FALSE(fs::exists(out));
}

TEST(PluginLoading, ALibraryWithoutTheExportIsNoPlugin) {
    const char* path = std::getenv("SXE_NO_EXPORT_MODULE");
    if (path == nullptr)
        GTEST_SKIP() << "SXE_NO_EXPORT_MODULE names no library";
    SysModule module = SysLoadLibrary(path);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(SysGetProcAddress(module, SXE_PLUGIN_EXPORT), nullptr);
    SysFreeLibrary(module);
}

} // namespace
