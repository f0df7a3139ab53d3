// kitforge-cli list, run as the program it is.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "support/temp_folder.h"
#include "zip/zip_test_support.h"

namespace kitforge {
namespace {

using testing::TempFolder;
using testing::WriteBytes;

const std::string kCli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";

class ListCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HaveProgram(kCli)) GTEST_SKIP() << "kitforge-cli is not built";
        testing::RunPython("import zipfile\nwith zipfile.ZipFile('" + zip +
                           "', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                           "    z.writestr(zipfile.ZipInfo('docs/read me.txt', (2024, 5, 17, 9, 30, 12)), 'hello ' * "
                           "50, zipfile.ZIP_DEFLATED)\n"
                           "    z.writestr(zipfile.ZipInfo('../up.txt', (2024, 5, 17, 9, 30, 14)), 'x')\n"
                           "    z.comment = b'release 1'\n");
    }

    // stdout and stderr of a run, kept apart.
    int Run(const std::string& arguments, std::string& out, std::string& err) {
        const std::string command = kCli + " " + arguments + " >" + folder / "out" + " 2>" + folder / "err";
        const int raw = std::system(command.c_str());
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        out = testing::ReadBytes(folder / "out");
        err = testing::ReadBytes(folder / "err");
        return status;
    }

    TempFolder folder;
    std::string zip = folder / "a.zip";
};

TEST_F(ListCommand, PrintsEntriesAndFigures) {
    std::string out, err;
    ASSERT_EQ(Run("list " + zip, out, err), 0) << err;
    EXPECT_NE(out.find("Deflated"), std::string::npos) << out;
    EXPECT_NE(out.find("2024-05-17 09:30:12  docs\\read me.txt\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Stub size:        0 bytes"), std::string::npos);
    EXPECT_NE(out.find("Comment:          release 1"), std::string::npos);
    EXPECT_EQ(err,
              "kitforge-cli: warning: the entry \"..\\up.txt\" would be refused on extraction: the name climbs "
              "out of its folder with \"..\"\n");
}

TEST_F(ListCommand, JsonCarriesTheSameAndTheMessages) {
    WriteBytes(folder / "sfx.exe", std::string(4096, 'S') + testing::ReadBytes(zip));
    std::string out, err;
    ASSERT_EQ(Run("list --json " + folder / "sfx.exe", out, err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    EXPECT_TRUE(json["ok"]);
    ASSERT_EQ(json["entries"].size(), 2u);
    EXPECT_EQ(json["entries"][0]["name"], "docs\\read me.txt");
    EXPECT_EQ(json["entries"][0]["unpacked_size"], 300);
    EXPECT_EQ(json["entries"][0]["method_name"], "Deflated");
    EXPECT_EQ(json["entries"][1]["unsafe_name"], "the name climbs out of its folder with \"..\"");
    EXPECT_EQ(json["stub_size"], 4096);
    EXPECT_EQ(json["offsets_shifted"], true);
    EXPECT_EQ(json["spanned_archive"], false);
    EXPECT_EQ(json["comment"], "release 1");
    ASSERT_EQ(json["messages"].size(), 1u);
    EXPECT_EQ(json["messages"][0]["id"], 10203);
    EXPECT_NE(err.find("kitforge-cli: warning: The zip data has moved"), std::string::npos) << err;
}

TEST_F(ListCommand, UnreadableArchivesFail) {
    WriteBytes(folder / "text.zip", std::string(100, 't'));
    std::string out, err;
    EXPECT_EQ(Run("list " + folder / "text.zip", out, err), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              "kitforge-cli: error: This file is not a zip archive: it has no end of central directory record. "
              "File: " +
                  folder / "text.zip" + "\n");

    EXPECT_EQ(Run("list --json " + folder / "text.zip", out, err), 1);
    const auto json = nlohmann::json::parse(out);
    EXPECT_FALSE(json["ok"]);
    EXPECT_EQ(json["messages"][0]["id"], 11036);

    EXPECT_EQ(Run("list " + folder / "missing.zip", out, err), 1);
    EXPECT_NE(err.find("Cannot open " + folder / "missing.zip" + ": No such file"), std::string::npos) << err;
    EXPECT_EQ(Run("list", out, err), 2);
}

// Names and comments come from whoever made the archive: a name must not be able to move the
// cursor, retitle the terminal or hide a line of the listing. JSON keeps the exact text.
TEST_F(ListCommand, ControlCharactersInNamesAreShownAsQuestionMarks) {
    struct Case {
        const char* python;  // the name as a Python string literal
        std::string stored;  // the name as UTF-8
        std::string shown;
    };
    const std::vector<Case> cases = {
        {R"('esc\x1b[31mred\x1b[0m.txt')", "esc\x1b[31mred\x1b[0m.txt", "esc?[31mred?[0m.txt"},
        {R"('title\x1b]0;owned\x07.txt')", "title\x1b]0;owned\x07.txt", "title?]0;owned?.txt"},
        {R"('cr\rhide.txt')", "cr\rhide.txt", "cr?hide.txt"},
        {R"('bel\x07.txt')", "bel\x07.txt", "bel?.txt"},
        {R"('del\x7f.txt')", "del\x7f.txt", "del?.txt"},
        {R"('new\nline.txt')", "new\nline.txt", "new?line.txt"},
        {R"('c1\u009b2J.txt')",
         "c1\xC2\x9B"
         "2J.txt",
         "c1?2J.txt"},
        {R"('caf\u00e9.txt')", "caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
    };
    std::string names;
    for (const Case& c : cases) names += c.python + std::string(", ");
    testing::RunPython("import zipfile\nwith zipfile.ZipFile('" + zip + "', 'w') as z:\n    for n in [" + names +
                       "]:\n        z.writestr(zipfile.ZipInfo(n, (2024, 1, 2, 3, 4, 6)), 'x')\n"
                       "    z.comment = b'note\\x1b[2J\\r\\x1b]0;x\\x07'\n");
    const auto printable = [](const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
            if ((c < 0x20 && c != '\n') || c == 0x7F || c1) return false;
        }
        return true;
    };

    std::string out, err;
    ASSERT_EQ(Run("list " + zip, out, err), 0) << err;
    EXPECT_TRUE(printable(out)) << out;
    EXPECT_TRUE(printable(err)) << err;
    for (const Case& c : cases) EXPECT_NE(out.find("  " + c.shown + "\n"), std::string::npos) << c.shown << out;
    EXPECT_NE(out.find("Comment:          note?[2J??]0;x?\n"), std::string::npos) << out;

    ASSERT_EQ(Run("list --json " + zip, out, err), 0) << err;
    const auto json = nlohmann::json::parse(out);
    ASSERT_EQ(json["entries"].size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(json["entries"][i]["name"], cases[i].stored) << i;
    EXPECT_EQ(json["comment"], "note\x1b[2J\r\x1b]0;x\x07");
}

// The JSON is written as a stream; it must stay byte for byte what the document tree printed.
// The two expected texts were printed by the tree; the other archives are checked against
// the JSON library's own layout of the same values.
TEST_F(ListCommand, JsonIsLaidOutAsBefore) {
    const auto with_archive = [](std::string text, const std::string& archive) {
        for (auto at = text.find("ARCHIVE"); at != std::string::npos; at = text.find("ARCHIVE", at + archive.size())) {
            text.replace(at, 7, archive);
        }
        return text;
    };
    WriteBytes(folder / "sfx.exe", std::string(4096, 'S') + testing::ReadBytes(zip));
    std::string out, err;
    ASSERT_EQ(Run("list --json " + folder / "sfx.exe", out, err), 0) << err;
    EXPECT_EQ(out, with_archive(R"({
  "archive": "ARCHIVE",
  "ok": true,
  "entries": [
    {
      "name": "docs\\read me.txt",
      "packed_size": 12,
      "unpacked_size": 300,
      "method": 8,
      "method_name": "Deflated",
      "crc32": "594248c1",
      "offset": 0,
      "modified": "2024-05-17 09:30:12",
      "host_system": 3,
      "flags": 0,
      "comment": ""
    },
    {
      "name": "..\\up.txt",
      "packed_size": 1,
      "unpacked_size": 1,
      "method": 0,
      "method_name": "Stored",
      "crc32": "8cdc1683",
      "offset": 58,
      "modified": "2024-05-17 09:30:14",
      "host_system": 3,
      "flags": 0,
      "comment": "",
      "unsafe_name": "the name climbs out of its folder with \"..\""
    }
  ],
  "stub_size": 4096,
  "offsets_shifted": true,
  "comment": "release 1",
  "spanned_archive": false,
  "central_offset": 4194,
  "archive_size": 4342,
  "physical_size": 4342,
  "messages": [
    {
      "id": 10203,
      "text": "The zip data has moved in the file (a stub was put in front of it): its stored offsets do not match their positions.\nFile: ARCHIVE"
    }
  ]
}
)",
                                folder / "sfx.exe"));

    testing::RunPython("import zipfile\nzipfile.ZipFile('" + folder / "empty.zip" + "', 'w').close()\n");
    ASSERT_EQ(Run("list --json " + folder / "empty.zip", out, err), 0) << err;
    EXPECT_EQ(out, with_archive(R"({
  "archive": "ARCHIVE",
  "ok": true,
  "entries": [],
  "stub_size": 0,
  "offsets_shifted": false,
  "comment": "",
  "spanned_archive": false,
  "central_offset": 0,
  "archive_size": 22,
  "physical_size": 22,
  "messages": []
}
)",
                                folder / "empty.zip"));

    // Names that are not UTF-8: an overlong "/", a surrogate and a code page 1252 letter; and
    // every control character, quotes and backslashes.
    testing::RunPython(
        "import zipfile\nwith zipfile.ZipFile('" + folder / "odd.zip" +
        "', 'w') as z:\n"
        "    for n in ['QQ-ov', 'QQQ-sur', 'Q-latin', ''.join(map(chr, range(1, 32))) + '\"\\\\\\x7f']:\n"
        "        z.writestr(zipfile.ZipInfo(n, (2024, 1, 2, 3, 4, 6)), 'x')\n"
        "d = open('" +
        folder / "odd.zip" +
        "', 'rb').read()\n"
        "d = d.replace(b'QQQ-', b'\\xed\\xa0\\x80-').replace(b'QQ-', b'\\xc0\\xaf-').replace(b'Q-', b'\\xe9-')\n"
        "open('" +
        folder / "odd.zip" + "', 'wb').write(d)\n");
    for (const std::string& archive : {zip, folder / "odd.zip", folder / "text.zip"}) {
        if (archive == folder / "text.zip") WriteBytes(archive, std::string(100, 't'));
        Run("list --json " + archive, out, err);
        const auto json = nlohmann::ordered_json::parse(out);
        EXPECT_EQ(out, json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n") << archive;
        if (archive == folder / "odd.zip") {
            EXPECT_EQ(json["entries"][0]["name"], "\xEF\xBF\xBD\xEF\xBF\xBD-ov");
            EXPECT_EQ(json["entries"][1]["name"], "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD-sur");
            EXPECT_EQ(json["entries"][2]["name"], "\xC3\xA9-latin");
        }
    }
}

}  // namespace
}  // namespace kitforge
