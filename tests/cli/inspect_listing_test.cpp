// kitforge-cli inspect on an installer whose texts carry terminal escape sequences.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

using testing::BuiltProgram;
using testing::RunProgram;
using testing::TempFolder;
using testing::WriteBytes;

std::string U32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

// The bytes, then their count, as every text of an installer's payload is stored.
std::string Counted(const std::string& text) { return text + U32(static_cast<std::uint32_t>(text.size())); }

TEST(CliInspect, ControlCharactersInTextsAreShownAsQuestionMarksAndKeptInJson) {
    struct Text {
        std::string stored;
        std::string shown;
    };
    const Text title{"Setup\x1b]0;owned\x07", "Setup?]0;owned?"};
    const Text prompt{"Go\r\x1b[2KInstall?", "Go??[2KInstall?"};
    // ESC [1A ESC [2K moves up and erases the line before: the EXECUTE line would vanish.
    const std::vector<Text> lines = {
        {"EXTRACT a.txt %program%", "EXTRACT a.txt %program%"},
        {"execute %program%\\a.txt\x1b[1A\x1b[2K", "execute %program%\\a.txt?[1A?[2K"},
        {"run x\x7f\x08\x08y\nz", "run x???y?z"},
        {"quit \xC2\x9B"
         "2J",
         "quit ?2J"},
    };
    std::string installer = "stub" + Counted("hello") + Counted("a.txt") + U32(1);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) installer += Counted(line->stored);
    installer += U32(static_cast<std::uint32_t>(lines.size())) + Counted(prompt.stored) + Counted(title.stored) +
                 "\x2E\x22\x6B\x3D";
    TempFolder folder;
    WriteBytes(folder / "hostile.exe", installer);

    const auto shown = RunProgram({BuiltProgram("kitforge-cli"), "inspect", folder / "hostile.exe"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const auto control = [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F; };
    EXPECT_EQ(std::count_if(shown.out.begin(), shown.out.end(), control), 0) << shown.out;
    EXPECT_NE(shown.out.find("Title:  " + title.shown + "\nPrompt: " + prompt.shown + "\n"), std::string::npos)
        << shown.out;
    for (const Text& line : lines) {
        EXPECT_NE(shown.out.find("\n  " + line.shown + "\n"), std::string::npos) << shown.out;
    }

    const auto json = RunProgram({BuiltProgram("kitforge-cli"), "inspect", "--json", folder / "hostile.exe"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document["title"], title.stored);
    EXPECT_EQ(document["prompt"], prompt.stored);
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(document["lines"][i], lines[i].stored) << i;
}

// Files of 2 GiB and more carry their size in the long form: the low word, then the size word
// with its top bit set. The installer here is sparse (its contents are holes) and has no
// checksum block, so inspect reads only the end of its payload.
TEST(CliInspect, FilesOf2GiBAndMoreAreListedWithTheirSizes) {
    TempFolder folder;
    const std::string path = folder / "big.exe";
    const std::uint64_t two = 1ull << 31, five = 5ull << 30;
    {
        // Records are stored last EXTRACT line first: five.bin, then two.bin.
        std::ofstream out(path, std::ios::binary);
        out << "stub";
        out.seekp(static_cast<std::streamoff>(4 + five));
        out << std::string("\x00\x00\x00\x40\x01\x00\x00\x80", 8) << Counted("five.bin");
        out.seekp(static_cast<std::streamoff>(two), std::ios::cur);
        out << std::string("\x00\x00\x00\x80\x00\x00\x00\x80", 8) << Counted("two.bin") << U32(2)
            << Counted("EXTRACT five.bin %program%") << Counted("EXTRACT two.bin %program%") << U32(2) << Counted("P")
            << Counted("T") << "\x2E\x22\x6B\x3D";
        ASSERT_TRUE(out.good());
    }
    const auto shown = RunProgram({BuiltProgram("kitforge-cli"), "inspect", path});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("Files (2):\n  two.bin  2147483648 bytes\n  five.bin  5368709120 bytes\n"),
              std::string::npos)
        << shown.out;
    const auto json = RunProgram({BuiltProgram("kitforge-cli"), "inspect", "--json", path});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto files = nlohmann::json::parse(json.out)["files"];
    EXPECT_EQ(files[0]["size"], two);
    EXPECT_EQ(files[0]["offset"], 4 + five + 8 + 8 + 4);
    EXPECT_EQ(files[1]["size"], five);
    EXPECT_EQ(files[1]["offset"], 4u);
}

}  // namespace
}  // namespace kitforge
