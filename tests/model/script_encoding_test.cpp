// Scripts in code page 1252 and in UTF-8: the decision, the conversions and the refusal of a
// character the file's encoding cannot hold.

#include "model/script_encoding.h"

#include <gtest/gtest.h>

#include "os/errors.h"

namespace kitforge {
namespace {

TEST(TextEncoding, EveryCodePage1252ByteComesBackUnchanged) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_TRUE(IsUtf8Text(utf8));
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);

    struct Case {
        std::string code_page;
        std::string utf8;
    };
    for (const Case& c : {Case{"Caf\xE9", "Caf\xC3\xA9"}, Case{"\x80", "\xE2\x82\xAC"}, Case{"\x99", "\xE2\x84\xA2"},
                          Case{"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
                          Case{"\xFF", "\xC3\xBF"}, Case{"plain", "plain"}}) {
        EXPECT_EQ(Windows1252ToUtf8(c.code_page), c.utf8) << c.code_page;
        EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.code_page) << c.code_page;
    }
    // Characters code page 1252 lacks, and bytes that are not UTF-8, have no 1252 form.
    for (const std::string text : {"\xCE\xA9", "a\xE2\x9C\x93", "\xC2\x80", "\xF0\x9F\x98\x80", "\xE9"}) {
        std::string unwritable;
        EXPECT_EQ(Utf8ToWindows1252(text, &unwritable), std::nullopt) << text;
        EXPECT_FALSE(unwritable.empty()) << text;
    }
}

TEST(ScriptEncoding, IsDecidedForTheWholeScriptAndRefusesWhatItCannotWrite) {
    const BuildScript utf8{"Caf\xC3\xA9", "", "", "", false, {{CommandKind::Run, "x", "\xE2\x82\xAC"}}};
    EXPECT_EQ(ScriptEncoding(utf8), TextEncoding::Utf8);
    EXPECT_EQ(ScriptEncoding(BuildScript{}), TextEncoding::Utf8);
    BuildScript mixed = utf8;  // one 1252 byte anywhere decides for every text
    mixed.Commands[0].Parameter1 = "\xE9";
    EXPECT_EQ(ScriptEncoding(mixed), TextEncoding::Windows1252);
    EXPECT_EQ(ScriptEncoding(BuildScript{"", "", "\xC0\xAF", "", false, {}}), TextEncoding::Windows1252)
        << "an overlong form is not UTF-8";

    const BuildScript decoded = DecodeScript(mixed, TextEncoding::Windows1252);
    EXPECT_EQ(decoded.Title, "Caf\xC3\x83\xC2\xA9") << "1252 bytes of a UTF-8-looking text are still 1252";
    EXPECT_EQ(decoded.Commands[0].Parameter1, "\xC3\xA9");
    EXPECT_EQ(EncodeScript(decoded, TextEncoding::Windows1252, "a.inf"), mixed);
    EXPECT_EQ(DecodeScript(utf8, TextEncoding::Utf8), utf8);
    EXPECT_EQ(EncodeScript(utf8, TextEncoding::Utf8, "a.inf"), utf8);
    BuildScript keyed;  // the version and the publisher are texts of the script too
    keyed.Version = "1.0";
    keyed.Publisher = "Caf\xE9";
    EXPECT_EQ(ScriptEncoding(keyed), TextEncoding::Windows1252);
    EXPECT_EQ(DecodeScript(keyed, TextEncoding::Windows1252).Publisher, "Caf\xC3\xA9");

    struct Refusal {
        BuildScript script;
        std::string file;
        std::string expected;
    };
    const std::vector<Refusal> refusals = {
        {{"\xCE\xA9", "", "", "", false, {}},
         "a.inf",
         "Cannot save a.inf in Windows-1252, the encoding it was read in: Title holds \"\xCE\xA9\", which "
         "Windows-1252 cannot write. Change that text and save again."},
        {{"", "", "", "", false, {{CommandKind::Quit, "", ""}, {CommandKind::Run, "ok", "\xE2\x9C\x93"}}},
         "",
         "Cannot save the script in Windows-1252, the encoding it was read in: Parameter 2 of row 2 holds "
         "\"\xE2\x9C\x93\", which Windows-1252 cannot write. Change that text and save again."},
    };
    for (const Refusal& r : refusals) {
        try {
            EncodeScript(r.script, TextEncoding::Windows1252, r.file);
            ADD_FAILURE() << r.expected;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), r.expected);
        }
    }
}

}  // namespace
}  // namespace kitforge
