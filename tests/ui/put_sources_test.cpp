// Splitting the source text of a Put command into names.

#include "ui/put_sources.h"

#include <gtest/gtest.h>

namespace kitforge {
namespace {

using Names = std::vector<std::string>;

struct SplitCase {
    const char* name;
    std::string text;
    Names names;
};

class PutSourcesSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PutSourcesSplit, GivesTheNamesInOrder) {
    const auto& c = GetParam();
    EXPECT_EQ(SplitPutSources(c.text), c.names);
    EXPECT_EQ(FirstPutSource(c.text), c.names.empty() ? "" : c.names.front());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PutSourcesSplit,
    ::testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"OneTypedName", R"(C:\My Files\a.txt)", {R"(C:\My Files\a.txt)"}},
        SplitCase{"TypedNameKeepsItsBlanks", " a.txt ", {" a.txt "}},
        SplitCase{"OneQuoted", R"("C:\a.txt")", {R"(C:\a.txt)"}},
        SplitCase{"ThreeQuoted", R"("C:\a.txt" "C:\b c.txt" "/d.txt")", {R"(C:\a.txt)", R"(C:\b c.txt)", "/d.txt"}},
        SplitCase{"UnclosedQuoteRunsToTheEnd", R"("C:\a.txt" "C:\b.txt)", {R"(C:\a.txt)", R"(C:\b.txt)"}},
        SplitCase{"LoneQuote", "\"", {}}, SplitCase{"EmptyGroupsAreDropped", R"("" "a" "")", {"a"}},
        SplitCase{"LeadingBlankBeforeTheFirstQuote", R"(  "a.txt")", {"a.txt"}},
        SplitCase{"UnquotedWordsBetweenGroups", R"(a.txt "b.txt" c d.txt)", {"a.txt", "b.txt", "c d.txt"}},
        SplitCase{"TrailingQuoteAfterAName", R"(a.txt")", {"a.txt"}},
        SplitCase{"QuotesBackToBack", R"("a""b")", {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PutSources, TheFirstNameOfABrowsedListIsTheTextBetweenTheFirstTwoQuotes) {
    // With a row selected, only the first name is taken: the first character dropped and
    // everything from the next quote on cut off.
    const std::string text = QuotedFileList({"/x/a.txt", "/x/b.txt", "/x/c.txt"});
    const std::string after_first = text.substr(1);
    EXPECT_EQ(FirstPutSource(text), after_first.substr(0, after_first.find('"')));
}

TEST(PutSources, QuotedFileListQuotesEachPathWithOneBlankBetween) {
    EXPECT_EQ(QuotedFileList({R"(C:\a.txt)"}), R"("C:\a.txt")");
    EXPECT_EQ(QuotedFileList({R"(C:\a.txt)", R"(C:\b.txt)"}), R"("C:\a.txt" "C:\b.txt")");
    EXPECT_EQ(QuotedFileList({}), "");
    const Names names = {"/p/one file.txt", "/p/two.txt", "/p/3"};
    EXPECT_EQ(SplitPutSources(QuotedFileList(names)), names);
}

TEST(PutSources, SplittingEndsOnEveryShortTextOfQuotesBlanksAndLetters) {
    // Every text of up to six characters drawn from quote, blank and a letter: the split
    // ends, never yields an empty name, and never a name holding a quote.
    const std::string alphabet = "\" a";
    for (std::size_t length = 0; length <= 6; ++length) {
        std::size_t combinations = 1;
        for (std::size_t i = 0; i < length; ++i) combinations *= alphabet.size();
        for (std::size_t n = 0; n < combinations; ++n) {
            std::string text;
            for (std::size_t i = 0, k = n; i < length; ++i, k /= alphabet.size()) text += alphabet[k % alphabet.size()];
            for (const auto& name : SplitPutSources(text)) {
                EXPECT_FALSE(name.empty()) << "[" << text << "]";
                if (text.find('"') != std::string::npos) {
                    EXPECT_EQ(name.find('"'), std::string::npos) << "[" << text << "]";
                }
            }
        }
    }
}

}  // namespace
}  // namespace kitforge
