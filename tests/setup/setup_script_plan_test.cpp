// Reading an installer's script lines into steps, and refusing damaged ones before anything
// is written.

#include <gtest/gtest.h>

#include "payload/payload_reader.h"
#include "setup/script_plan.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {
namespace {

payload::Payload PayloadWith(std::vector<std::string> lines, std::vector<std::string> names = {}) {
    payload::Payload payload;
    payload.lines = std::move(lines);
    for (auto& name : names) payload.files.push_back({std::move(name), 0, 0});
    return payload;
}

// The message of the ScriptError that planning throws, or "" when it throws none.
std::string PlanError(const payload::Payload& payload) {
    try {
        PlanScript(payload);
    } catch (const ScriptError& e) {
        return e.what();
    }
    return {};
}

TEST(ReadCommandWord, TakesCommandWordsInEitherLetterCase) {
    struct Case {
        const char* line;
        CommandWord expected;
    };
    const Case cases[] = {
        {"EXTRACT a.txt %program%", CommandWord::Extract},
        {"extract a.txt x", CommandWord::Extract},
        {"execute x", CommandWord::Execute},
        {"Execute x", CommandWord::Execute},
        {"RUN x", CommandWord::Run},
        {"copy a b", CommandWord::Copy},
        {"LiNk \"a\" \"b\" \"\"", CommandWord::Link},
        {"CLEANUP %program%", CommandWord::Cleanup},
        {"quit ", CommandWord::Quit},
        {"QUIT", CommandWord::Quit},
        {"EXTRACT", CommandWord::Unknown},  // not an EXTRACT line for the payload either
        {"extractx a b", CommandWord::Unknown},
        {"executes x", CommandWord::Unknown},
        {" run x", CommandWord::Unknown},
        {"", CommandWord::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadCommandWord(c.line), c.expected) << c.line;
}

TEST(SplitExtractLine, UsesTheRecordNameToFindTheTarget) {
    struct Case {
        const char* name;
        const char* line;
        const char* record;
        bool found;
        const char* target;
    };
    const Case cases[] = {
        {"simple", "EXTRACT a.txt %program%", "a.txt", true, "%program%"},
        {"blanks in name and target", "EXTRACT my file.txt %program%\\My App", "my file.txt", true,
         "%program%\\My App"},
        {"name is a prefix of the target", "EXTRACT a a b", "a", true, "a b"},
        {"name as written still holds the app path token", "EXTRACT %apppath%a.txt %common%", "a.txt", true,
         "%common%"},
        {"empty target", "EXTRACT a.txt ", "a.txt", true, ""},
        {"empty target without its blank", "EXTRACT a.txt", "a.txt", true, ""},
        {"line names another file", "EXTRACT b.txt %program%", "a.txt", false, ""},
        {"name is only a prefix of the written name", "EXTRACT a.txt.bak x", "a.txt", false, ""},
    };
    for (const auto& c : cases) {
        std::string target = "unchanged";
        EXPECT_EQ(SplitExtractLine(c.line, c.record, target), c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(target, c.target) << c.name;
        }
    }
}

TEST(PlanScript, PairsEveryExtractLineWithItsRecordInOrder) {
    const auto steps = PlanScript(
        PayloadWith({"EXTRACT a.txt %program%", "execute %program%\\a.txt", "EXTRACT b.txt %program%\\b", "quit "},
                    {"a.txt", "b.txt"}));
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].file_index, 0u);
    EXPECT_EQ(steps[0].folder, "%program%");
    EXPECT_EQ(steps[1].words, std::vector<std::string>{"%program%\\a.txt"});
    EXPECT_EQ(steps[2].file_index, 1u);
    EXPECT_EQ(steps[2].folder, "%program%\\b");
    EXPECT_EQ(steps[3].word, CommandWord::Quit);
    EXPECT_EQ(steps[3].line_number, 4u);
}

TEST(PlanScript, RefusesStoredNamesThatAreNotPlainFileNames) {
    const std::vector<std::string> names = {"../evil", "..", "a/b", "a\\b", "C:x", std::string("a\0b", 3), ""};
    for (const std::string& name : names) {
        const std::string error = PlanError(PayloadWith({"EXTRACT " + name + " %program%"}, {name}));
        EXPECT_NE(error.find("line 1 ("), std::string::npos) << error;
        EXPECT_NE(error.find("not a plain file name"), std::string::npos) << error;
    }
}

TEST(PlanScript, RefusesARecordThatBelongsToAnotherLine) {
    const std::string error = PlanError(PayloadWith({"quit ", "EXTRACT a.txt x"}, {"b.txt"}));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_NE(error.find("does not name its file record \"b.txt\""), std::string::npos) << error;
}

TEST(PlanScript, RefusesLinesThatLackWhatTheyNeed) {
    struct Case {
        const char* line;
        const char* reason;
    };
    const Case cases[] = {
        {"execute ", "names no program"},
        {"RUN \"\"", "names no program"},
        {"copy nosecondpart", "names no file to copy"},
        {"copy  target", "names no file to copy"},
        {"link \"\" \"x\" \"\"", "names no launcher"},
        {"link \"<DESKTOP>\\A\"", "names no program"},
    };
    for (const auto& c : cases) {
        const std::string error = PlanError(PayloadWith({c.line}));
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.line << ": " << error;
    }
}

TEST(PlanScript, ReadsCopyAndLinkParameters) {
    const auto steps = PlanScript(PayloadWith({"copy %program%\\a.txt %common%\\My Data",
                                               "link \"<DESKTOP>\\Hello\" \"%program%\\run.sh\" \"-v \"\"x y\"\"\"",
                                               "cleanup %program%", "what is this"}));
    EXPECT_EQ(steps[0].source, "%program%\\a.txt");
    EXPECT_EQ(steps[0].folder, "%common%\\My Data");
    EXPECT_EQ(steps[1].location, "<DESKTOP>\\Hello");
    // The argument group ends at the first inner quote: QuotedGroups pairs quotes blindly.
    EXPECT_EQ(steps[1].words.front(), "%program%\\run.sh");
    EXPECT_EQ(steps[1].words.at(1), "-v");
    EXPECT_EQ(steps[2].folder, "%program%");
    EXPECT_EQ(steps[3].word, CommandWord::Unknown);
}

TEST(ScriptError, ShowsControlCharactersOfTheLineAsQuestionMarks) {
    const ScriptError error(7, "execute \x1b]0;owned\x07", "reason");
    EXPECT_STREQ(error.what(), "line 7 (execute ?]0;owned?): reason");
}

}  // namespace
}  // namespace kitforge::setup

namespace kitforge::setup {
namespace {

TEST(Printable, KeepsUtf8TextAndHidesWhatATerminalWouldObey) {
    EXPECT_EQ(Printable("Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80"), "Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80");
    EXPECT_EQ(Printable("\xC2\x9B"
                        "2J"),
              "?2J")
        << "C1 control sequence introducer";
    EXPECT_EQ(Printable("\x9B"
                        "2J"),
              "?2J")
        << "a lone C1 byte";
    EXPECT_EQ(Printable("\xE9t\xE9"), "?t?") << "8-bit text that is not UTF-8";
    EXPECT_EQ(Printable("\xC0\xAF"), "??") << "overlong form of /";
    EXPECT_EQ(Printable("\xED\xA0\x80"), "???") << "surrogate";
    EXPECT_EQ(Printable("a\tb\x7F"), "a?b?");
}

TEST(Printable, CutsLongTextsAtTheLimit) {
    EXPECT_EQ(Printable("abcdef", 3), "abc...");
    EXPECT_EQ(Printable("abc", 3), "abc");
    const ScriptError error(1, std::string(100000, 'x'), "why");
    EXPECT_LT(std::string(error.what()).size(), 300u);
}

}  // namespace
}  // namespace kitforge::setup
