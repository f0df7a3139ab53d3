#include <gtest/gtest.h>

#include "os/errors.h"
#include "platform/ini_profile.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using Names = std::vector<std::string>;

TEST(IniProfile, NamesMatchInAnyLetterCaseAndBlanksAroundThemAreTrimmed) {
    const auto profile = IniProfile::Parse("[ Info ]\r\n  Title  =  My App  \r\n\tPROMPT=\tGo\t\r\n");
    EXPECT_EQ(profile.Value("info", "title"), "My App");
    EXPECT_EQ(profile.Value("INFO", "TiTlE"), "My App");
    EXPECT_EQ(profile.Value("info", "prompt"), "Go");
    EXPECT_EQ(profile.KeyNames("info"), (Names{"Title", "PROMPT"}));
    EXPECT_EQ(profile.Value("info", "notes"), std::nullopt);
    EXPECT_EQ(profile.Value("script", "title"), std::nullopt);
    EXPECT_EQ(profile.String("info", "notes", "none"), "none");
}

TEST(IniProfile, OnePairOfMatchingOuterQuotesIsRemoved) {
    const struct {
        const char* value;
        const char* expected;
    } rows[] = {
        {"\"quoted\"", "quoted"},
        {"'single'", "single"},
        {"\"\"twice\"\"", "\"twice\""},
        {"\"mixed'", "\"mixed'"},
        {"\"", "\""},
        {"\"\"", ""},
        {"extract \"a b\" \"c\"", "extract \"a b\" \"c\""},
        {"\"a\" \"b\"", "a\" \"b"},
        {"  \"padded\"  ", "padded"},
    };
    for (const auto& row : rows) {
        const auto profile = IniProfile::Parse(std::string("[s]\nk=") + row.value + "\n");
        EXPECT_EQ(profile.Value("s", "k"), row.expected) << "value: " << row.value;
    }
}

TEST(IniProfile, FirstOccurrenceOfADuplicatedKeyOrSectionCounts) {
    const auto profile = IniProfile::Parse(
        "[script]\n2=second\n1=first\nKEY=a\n2=again\nkey=b\n"
        "[other]\nx=1\n"
        "[SCRIPT]\n9=later section\n");
    EXPECT_EQ(profile.KeyNames("script"), (Names{"2", "1", "KEY"}));
    EXPECT_EQ(profile.Value("script", "2"), "second");
    EXPECT_EQ(profile.Value("script", "key"), "a");
    EXPECT_EQ(profile.Value("script", "9"), std::nullopt);
}

TEST(IniProfile, IgnoresCommentsOrphanKeysAndLinesThatAreNotKeys) {
    const auto profile = IniProfile::Parse(
        "orphan=before any section\n"
        "[s]\n"
        "; comment=no\n"
        "no equals sign\n"
        "=empty name\n"
        "   =also empty\n"
        "[broken header\n"
        "empty=\n"
        "k=v=w\n");
    EXPECT_EQ(profile.KeyNames("s"), (Names{"empty", "k"}));
    EXPECT_EQ(profile.Value("s", "empty"), "");
    EXPECT_EQ(profile.Value("s", "k"), "v=w");
    EXPECT_EQ(profile.Value("s", "orphan"), std::nullopt);
}

TEST(IniProfile, LineBreaksOfEveryKindAndANulThatEndsTheText) {
    const auto profile = IniProfile::Parse(std::string("[s]\r\na=1\nb=2\rc=3\r\n\r\nd=4\0\ne=5\n", 29));
    EXPECT_EQ(profile.KeyNames("s"), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(profile.Value("s", "c"), "3");
    EXPECT_EQ(profile.Value("s", "d"), "4");
}

TEST(IniProfile, LongValuesAreCutTo2047Characters) {
    const std::string exact(2047, 'v');
    const std::string longer = exact + "tail";
    const auto profile =
        IniProfile::Parse("[s]\nexact=" + exact + "\nlonger=" + longer + "\nquoted=\"" + longer + "\"\n");
    EXPECT_EQ(profile.Value("s", "exact"), exact);
    EXPECT_EQ(profile.Value("s", "longer"), exact);
    EXPECT_EQ(profile.Value("s", "quoted"), exact);
}

TEST(IniProfile, KeyListHoldsOnlyTheNamesThatFitWholeInItsBuffer) {
    // 1,638 names of nine characters take 1,638 x 10 = 16,380 bytes; with the final terminator
    // 16,381. A further name of two characters fits (16,384), one of three would not.
    std::string text = "[s]\n";
    Names expected;
    for (int i = 0; i < 1638; ++i) {
        const std::string name = "k" + std::to_string(10000000 + i);
        text += name + "=x\n";
        expected.push_back(name);
    }
    const auto fits = IniProfile::Parse(text + "ab=x\nc=x\n");
    Names with_last = expected;
    with_last.push_back("ab");
    EXPECT_EQ(fits.KeyNames("s"), with_last);

    const auto too_long = IniProfile::Parse(text + "abc=x\nc=x\n");
    // "abc" does not fit whole; it is not cut to "ab", and nothing after it is listed.
    EXPECT_EQ(too_long.KeyNames("s"), expected);
    // A value is still found by its name.
    EXPECT_EQ(too_long.Value("s", "abc"), "x");
}

TEST(IniProfile, IntegersInDecimalOrHexadecimal) {
    const struct {
        const char* value;
        std::optional<std::int32_t> expected;
    } rows[] = {
        {"0", 0},
        {"1", 1},
        {"  42 ", 42},
        {"-7", -7},
        {"+3", 3},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$10", 16},
        {"\"5\"", 5},
        {"x10", std::nullopt},
        {"yes", std::nullopt},
        {"1 2", std::nullopt},
        {"", std::nullopt},
        {"2147483648", std::nullopt},
        {"2147483647", 2147483647},
    };
    for (const auto& row : rows) {
        const auto profile = IniProfile::Parse(std::string("[info]\ncompressed=") + row.value + "\n");
        EXPECT_EQ(profile.Integer("info", "compressed"), row.expected) << "value: " << row.value;
    }
    EXPECT_EQ(IniProfile::Parse("[info]\n").Integer("info", "compressed"), std::nullopt);
}

TEST(IniProfile, ReadsAFileAndNamesAMissingOne) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / "a.inf", "[info]\r\ntitle=From disk\r\n");
    EXPECT_EQ(IniProfile::Read(folder / "a.inf").Value("info", "title"), "From disk");
    try {
        IniProfile::Read(folder / "missing.inf");
        FAIL();
    } catch (const ReadError& e) {
        EXPECT_EQ(e.Path(), folder / "missing.inf");
    }
}

}  // namespace
}  // namespace kitforge
