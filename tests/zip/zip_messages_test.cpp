// The message table: every id the component raises has a text, the texts take exactly the
// arguments their ids are raised with, and the formatter never reads past its arguments.

#include <gtest/gtest.h>

#include <cctype>

#include "zip/zip_messages.h"

namespace kitforge {
namespace {

// Every id of the component's message table, with the directives its text may hold.
struct Expected {
    int id;
    const char* directives;
};

const Expected kTable[] = {
    {10101, ""}, {10102, ""}, {10103, ""},  {10105, ""},  {10201, ""},  {10202, ""}, {10203, ""},   {10204, ""},
    {10301, ""}, {10302, ""}, {10303, ""},  {10601, ""},  {10602, ""},  {10603, ""}, {10604, ""},   {10801, ""},
    {10802, ""}, {10803, ""}, {11001, ""},  {11003, "s"}, {11004, "s"}, {11005, ""}, {11006, ""},   {11007, ""},
    {11008, ""}, {11009, ""}, {11010, ""},  {11011, ""},  {11012, ""},  {11013, ""}, {11014, ""},   {11015, ""},
    {11016, ""}, {11017, ""}, {11018, ""},  {11019, ""},  {11020, ""},  {11021, ""}, {11022, ""},   {11023, ""},
    {11024, ""}, {11025, ""}, {11026, ""},  {11029, ""},  {11030, ""},  {11032, ""}, {11034, "dd"}, {11035, "s"},
    {11036, ""}, {11037, ""}, {11038, "d"}, {11039, "s"}, {11040, "d"}, {11041, ""}, {11042, ""},   {11043, ""},
    {11044, ""}, {11045, ""}, {11046, "d"},
};

// The conversions of a text's directives, in order ("%.1d" counts as "d").
std::string Directives(std::string_view text) {
    std::string found;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        std::size_t j = i + 1;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == '.')) ++j;
        if (j < text.size()) found += text[j];
        i = j;
    }
    return found;
}

TEST(ZipMessages, EveryIdHasATextWithTheArgumentsItIsRaisedWith) {
    for (const auto& e : kTable) {
        SCOPED_TRACE(e.id);
        const auto text = BoundMessageText(e.id);
        ASSERT_TRUE(text.has_value());
        EXPECT_FALSE(text->empty());
        EXPECT_EQ(Directives(*text), e.directives);
        EXPECT_EQ(text->find("ZipMsgXX"), std::string_view::npos);
    }
}

TEST(ZipMessages, DiskPromptsKeepTheTextsTheirCallersDefaultTo) {
    EXPECT_EQ(MessageText(11034, "x"), "Please insert disk volume %.1d of %.1d");
    EXPECT_EQ(MessageText(11035, "x"), "\r\nin drive: %s");
    EXPECT_EQ(MessageText(11046, "x"), "Please insert disk volume %.1d");
    EXPECT_EQ(MessageText(11039, "x"), "Overwrite previous file %s");
    EXPECT_EQ(MessageText(11040, "x"), "Overwrite previous disk no %d");
    EXPECT_EQ(MessageText(11032, "x"), "This disk has not enough free space available");
    EXPECT_EQ(MessageText(10105, "x"), "Copying: ");
}

TEST(ZipMessages, UnboundIdsFallBack) {
    EXPECT_FALSE(BoundMessageText(10104).has_value());
    EXPECT_FALSE(BoundMessageText(0).has_value());
    EXPECT_EQ(MessageText(11002, "Default text"), "Default text");
    EXPECT_EQ(MessageTextOrMissing(11002),
              std::string("ZipMsgXX.res is probably not bound to executable") + '\n' + "Missing String ID is: 11002");
    EXPECT_EQ(MessageTextOrMissing(10604), "Unable to load the zip library ZIPDLL.DLL");
}

TEST(ZipMessages, FormatterFillsNumbersAndTextsInOrder) {
    EXPECT_EQ(FormatMessageText("Please insert disk volume %.1d of %.1d", {std::int64_t{1}, std::int64_t{3}}),
              "Please insert disk volume 1 of 3");
    EXPECT_EQ(FormatMessageText("%.3d|%5d|%s|100%%", {std::int64_t{7}, std::int64_t{42}, std::string("A:\\")}),
              "007|42|A:\\|100%");
    EXPECT_EQ(FormatMessageText("%.2s", {std::string("abc")}), "ab");
    EXPECT_EQ(FormatMessageText("%d", {std::int64_t{-12}}), "-12");
}

TEST(ZipMessages, FormatterKeepsWhatItCannotFill) {
    EXPECT_EQ(FormatMessageText("%d and %s", {std::int64_t{1}}), "1 and %s");
    EXPECT_EQ(FormatMessageText("%x %n %", {std::int64_t{1}}), "%x %n %");
    EXPECT_EQ(FormatMessageText("%s", {}), "%s");
    EXPECT_EQ(FormatMessageText("%d", {std::string("text")}), "text");
}

}  // namespace
}  // namespace kitforge
