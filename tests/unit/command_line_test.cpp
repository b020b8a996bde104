// The argument tail handed to the packaged program and the child command line.
#include <gtest/gtest.h>

#include <string>

#include "launcher/command_line.h"

namespace {

TEST(ArgumentTail, FollowsTheProgramName) {
    struct Case {
        const char* commandLine;
        const char* tail;
    } cases[] = {
        {"\"C:\\some dir\\app.exe\" a b", " a b"}, // quoted name with blanks
        {"\"C:\\app.exe\"  two", "  two"},
        {"\"C:\\app.exe\"", ""},
        {"\"C:\\app.exe", ""}, // no closing quote: the scan reaches the end
        {"app.exe -x \"y z\"", " -x \"y z\""},
        {"app.exe", ""},
        {"ap\"p.exe more", "p.exe more"}, // a quote inside an unquoted name ends it
        {"app.exe\targ", ""},             // a tab does not end an unquoted name
        {"\"a b\"c d", "c d"},
        {"app\xA0.exe \xE9t\xE9", " \xE9t\xE9"}, // bytes of 0x80 and above are plain bytes
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(FindArgumentTail(c.commandLine), c.tail) << "command line: " << c.commandLine;
}

TEST(ChildCommandLine, QuotesTheTargetAndKeepsTheTail) {
    char store[260];
    ASSERT_TRUE(BuildChildCommandLine("C:\\p\\app.exe", " a  \"b\"", store, sizeof store));
    EXPECT_STREQ(store, "\"C:\\p\\app.exe\"  a  \"b\"");
    ASSERT_TRUE(BuildChildCommandLine("C:\\app.exe", "", store, sizeof store));
    EXPECT_STREQ(store, "\"C:\\app.exe\" ");
}

TEST(ChildCommandLine, NeverCutShort) {
    char store[260];
    std::string target(250, 't');
    std::string fits(259 - 3 - 250, 'x'), over(fits + "x");
    EXPECT_TRUE(BuildChildCommandLine(target.c_str(), fits.c_str(), store, sizeof store));
    EXPECT_EQ(std::string(store).size(), 259u);
    EXPECT_FALSE(BuildChildCommandLine(target.c_str(), over.c_str(), store, sizeof store));
    EXPECT_STREQ(store, "");
}

} // namespace
