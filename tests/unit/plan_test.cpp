// Planning a package: refused names and layouts, and an entry order under which the launcher
// can create every directory and remove it again.
#include <gtest/gtest.h>

#include "pack/plan.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;

class Planning : public ::testing::Test {
  protected:
    void Add(const std::string& relative, const std::string& content = "data") {
        fs::path p = dir_.path() / relative;
        fs::create_directories(p.parent_path());
        WriteTestFile(p.string(), content);
    }
    std::vector<std::string> Order(const Plan& plan) {
        std::vector<std::string> names;
        for (const PlannedEntry& e : plan.entries)
            names.push_back(e.name);
        return names;
    }
    std::string Refusal(const std::string& program, const std::vector<std::string>& inputs,
                        Target target = Target::Posix) {
        try {
            MakePlan(target, dir_.path(), program, inputs);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }
    ScratchDir dir_;
};

using V = std::vector<std::string>;

TEST_F(Planning, ProgramFirstThenDirectoriesSoTheyCanBeMadeAndRemoved) {
    Add("app");
    Add("a/y");
    Add("a/b/x");
    Add("a/z");
    Add("top.txt");
    Plan plan = MakePlan(Target::Posix, dir_.path(), "app", {"a/b/x", "top.txt", "a"});
    EXPECT_EQ(Order(plan), (V{"app", "top.txt", "a/y", "a/b/x", "a/z"}));
    EXPECT_EQ(plan.manifest, "app\r\ntop.txt\r\na/y\r\na/b/x\r\na/z\r\nend\r\n");
    EXPECT_TRUE(plan.warnings.empty());
}

TEST_F(Planning, Win32NamesUseBackslashesAndTheProgramMayBeOneLevelDown) {
    Add("bin/app.exe");
    Add("bin/lib.dll");
    Add("data/x");
    Plan plan = MakePlan(Target::Win32, dir_.path(), "bin/app.exe", {"data", "bin/lib.dll"});
    EXPECT_EQ(Order(plan), (V{"bin\\app.exe", "bin\\lib.dll", "data\\x"}));
}

TEST_F(Planning, WarnsOfDirectoriesThatStay) {
    Add("app");
    Add("a/only");
    Add("a/b/x");
    Plan plan = MakePlan(Target::Posix, dir_.path(), "app", {"a"});
    ASSERT_EQ(plan.warnings.size(), 1u);
    EXPECT_NE(plan.warnings[0].find("a: directory will remain"), std::string::npos);
}

TEST_F(Planning, RefusesWhatTheLauncherCannotRun) {
    Add("app");
    Add("end");
    Add("deep/er/x");
    Add("a/b/c/app2");
    const std::string longName = std::string(200, 'n') + "/" + std::string(60, 'm');
    Add(longName);
    struct Case {
        std::string program;
        V inputs;
        const char* reason;
    } cases[] = {
        {"missing", {}, "no such file"},
        {"app", {"end"}, "end marker"},
        {"app", {"/etc/passwd"}, "absolute"},
        {"app", {"C:x"}, "drive"},
        {"app", {"../app"}, "climbs out"},
        {"app", {"deep"}, "deep: holds no file directly"},
        {"a/b/c/app2", {}, "at most one directory down"},
        {"app", {longName}, "a manifest line holds 255"},
        {"app", {""}, "empty entry name"},
        {"a", {}, "the program must be a file"},
    };
    for (const Case& c : cases) {
        std::string why = Refusal(c.program, c.inputs);
        EXPECT_NE(why.find(c.reason), std::string::npos)
            << c.program << ": got \"" << why << "\", wanted \"" << c.reason << "\"";
    }
    EXPECT_NE(Refusal("app", {"a\\b"}).find("separator"), std::string::npos);
    EXPECT_NE(Refusal("app", {"a?b"}, Target::Win32).find("Windows cannot"), std::string::npos);
}

TEST_F(Planning, ManifestLimitNamesTheBytesNeeded) {
    Add("app");
    V inputs;
    for (int i = 0; i < 60; ++i) {
        std::string name = "file-with-a-longish-name-" + std::to_string(i);
        Add(name);
        inputs.push_back(name);
    }
    std::string why = Refusal("app", inputs);
    EXPECT_NE(why.find("manifest: needs"), std::string::npos) << why;
    EXPECT_NE(why.find("1,024"), std::string::npos) << why;
}

TEST(ManifestText, SplitsAtTheEndMarker) {
    std::vector<std::string> entries;
    EXPECT_TRUE(SplitManifest("a\r\nb\nend\r\nc\r\n", &entries));
    EXPECT_EQ(entries, (V{"a", "b"}));
    EXPECT_FALSE(SplitManifest("a\r\nEnd\r\n", &entries));
}

} // namespace
