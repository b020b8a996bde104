// The manifest reader: line ends, the end marker, the cursor at the end, the size limits and
// directory parts.
#include <gtest/gtest.h>

#include "package/manifest.h"
#include "test_files.h"

namespace {

// Loads text as the manifest and reads up to count lines.
std::vector<std::string> Lines(const std::string& text, int count) {
    ScratchDir dir;
    WriteTestFile(dir.File("m"), text);
    EXPECT_TRUE(LoadManifest(dir.File("m").c_str()));
    RewindManifest();
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(ReadManifestLine());
        lines.push_back(manifestLine);
    }
    return lines;
}

using L = std::vector<std::string>;

TEST(ManifestReader, LineEnds) {
    struct Case {
        const char* text;
        L lines;
    } cases[] = {
        {"a\r\nb\r\nend\r\n", {"a", "b", "end", ""}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d", ""}},
        {"a\n\rb", {"a", "", "b", ""}},   // LF CR: two line ends
        {"a\r\rb", {"a", "", "b", ""}},   // CR CR
        {"a\n\nb", {"a", "", "b", ""}},   // LF LF
        {"end", {"end", ""}},             // a last line needs no line end
        {"", {"", ""}},                   // an empty manifest yields the empty line
        {"\r\n\r\nx", {"", "", "x", ""}}, // empty lines are lines
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.text, (int)c.lines.size()), c.lines) << "manifest: " << c.text;
}

TEST(ManifestReader, EndMarkerIsExactlyThreeLowerCaseBytes) {
    const char* text = "End\r\nEND\r\nend \r\n end\r\nend\r\nafter\r\n";
    ScratchDir dir;
    WriteTestFile(dir.File("m"), text);
    ASSERT_TRUE(LoadManifest(dir.File("m").c_str()));
    RewindManifest();
    std::vector<bool> markers;
    for (int i = 0; i < 6; ++i) {
        ReadManifestLine();
        markers.push_back(AtManifestEndMarker());
    }
    EXPECT_EQ(markers, (std::vector<bool>{false, false, false, false, true, false}));
}

TEST(ManifestReader, StaysAtEndAndRewindsToTheSameLines) {
    ScratchDir dir;
    WriteTestFile(dir.File("m"), "one\r\ntwo");
    ASSERT_TRUE(LoadManifest(dir.File("m").c_str()));
    for (int pass = 0; pass < 2; ++pass) {
        RewindManifest();
        ReadManifestLine();
        EXPECT_STREQ(manifestLine, "one");
        ReadManifestLine();
        EXPECT_STREQ(manifestLine, "two");
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(ReadManifestLine());
            EXPECT_STREQ(manifestLine, "");
            EXPECT_TRUE(ManifestAtEnd());
        }
    }
}

TEST(ManifestReader, LineLimitIs255Bytes) {
    std::string fits(255, 'x'), over(256, 'y');
    EXPECT_EQ(Lines(fits + "\r\nend", 2), (L{fits, "end"}));

    ScratchDir dir;
    WriteTestFile(dir.File("m"), over + "\r\nend");
    ASSERT_TRUE(LoadManifest(dir.File("m").c_str()));
    RewindManifest();
    EXPECT_FALSE(ReadManifestLine());
    EXPECT_STREQ(manifestLine, "");
}

TEST(ManifestReader, ManifestLimitIs1024Bytes) {
    // Four lines of 253 bytes with CR LF make 1,020 bytes; "end" fills the buffer exactly.
    std::string line(253, 'a');
    std::string full = line + "\r\n" + line + "\r\n" + line + "\r\n" + line + "\r\nend";
    ASSERT_EQ(full.size(), 1023u);
    full = "b" + full;
    ASSERT_EQ(full.size(), 1024u);
    std::vector<std::string> lines = Lines(full, 6);
    EXPECT_EQ(lines[4], "end");
    EXPECT_EQ(lines[5], "");

    ScratchDir dir;
    WriteTestFile(dir.File("m"), full + "\n");
    EXPECT_FALSE(LoadManifest(dir.File("m").c_str()));
    EXPECT_FALSE(LoadManifest(dir.File("missing").c_str()));
}

TEST(ManifestReader, FileSizeByName) {
    ScratchDir dir;
    WriteTestFile(dir.File("f"), std::string(1234, 'z'));
    EXPECT_EQ(GetFileSizeByName(dir.File("f").c_str()), 1234u);
    EXPECT_EQ(GetFileSizeByName(dir.File("none").c_str()), 0u);
}

TEST(EntryDirectory, PartBeforeTheLastSeparator) {
    struct Case {
        const char* entry;
        const char* directory;
    } cases[] = {
        {"setup.exe", ""},      {"maps\\level1.dat", "maps"},
        {"a\\b/c.txt", "a\\b"}, {"a/b\\c", "a/b"},
        {"logs\\", "logs"},     {"\\x", ""},
        {"a/b/c/d", "a/b/c"},   {"", ""},
    };
    for (const Case& c : cases) {
        char store[kLineSize];
        EntryDirectory(c.entry, store);
        EXPECT_STREQ(store, c.directory) << "entry: " << c.entry;
    }
}

} // namespace
