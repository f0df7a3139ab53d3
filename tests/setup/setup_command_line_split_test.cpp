// Splitting command lines into program and arguments, and LINK lines into quoted groups.

#include <gtest/gtest.h>

#include "setup/command_line_split.h"

namespace kitforge::setup {
namespace {

using Words = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheDoubleQuoteRules) {
    struct Case {
        const char* name;
        const char* line;
        Words expected;
    };
    const Case cases[] = {
        {"plain words", "prog a b", {"prog", "a", "b"}},
        {"runs of blanks and tabs", "  prog \t a   b  ", {"prog", "a", "b"}},
        {"quoted path with blanks", "\"%program%\\My App\\run.sh\" --go", {"%program%\\My App\\run.sh", "--go"}},
        {"quotes inside a word", "a\"b c\"d", {"ab cd"}},
        {"empty quoted argument", "prog \"\" x", {"prog", "", "x"}},
        {"doubled quote inside quotes", "say \"he said \"\"hi\"\"\"", {"say", "he said \"hi\""}},
        {"backslashes are ordinary", "C:\\dir\\ \"C:\\My Dir\\\"", {"C:\\dir\\", "C:\\My Dir\\"}},
        {"unclosed quote runs to the end", "prog \"a b", {"prog", "a b"}},
        {"nothing", "   ", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.name;
}

TEST(QuotedGroups, PairsQuotesFromTheStart) {
    EXPECT_EQ(QuotedGroups("\"<DESKTOP>\\Hello\" \"%program%\\hello.sh\" \"\""),
              (Words{"<DESKTOP>\\Hello", "%program%\\hello.sh", ""}));
    EXPECT_EQ(QuotedGroups("x \"a\" y \"b c\" z"), (Words{"a", "b c"}));
    EXPECT_EQ(QuotedGroups("\"a\" \"unclosed"), (Words{"a"}));
    EXPECT_EQ(QuotedGroups("no quotes"), Words{});
}

}  // namespace
}  // namespace kitforge::setup
