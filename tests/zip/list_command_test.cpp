// kitforge-cli list, run as the program it is.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "support/temp_folder.h"
#include "zip_test_support.h"

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
                           "    z.writestr(zipfile.ZipInfo('docs/read me.txt', (2024, 5, 17, 9, 30, 12)), 'hello ' * 50, zipfile.ZIP_DEFLATED)\n"
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
    EXPECT_EQ(err, "kitforge-cli: warning: the entry \"..\\up.txt\" would be refused on extraction: the name climbs "
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
    EXPECT_EQ(err, "kitforge-cli: error: This file is not a zip archive: it has no end of central directory record. "
                   "File: " + folder / "text.zip" + "\n");

    EXPECT_EQ(Run("list --json " + folder / "text.zip", out, err), 1);
    const auto json = nlohmann::json::parse(out);
    EXPECT_FALSE(json["ok"]);
    EXPECT_EQ(json["messages"][0]["id"], 11036);

    EXPECT_EQ(Run("list " + folder / "missing.zip", out, err), 1);
    EXPECT_NE(err.find("Cannot open " + folder / "missing.zip" + ": No such file"), std::string::npos) << err;
    EXPECT_EQ(Run("list", out, err), 2);
}

}  // namespace
}  // namespace kitforge
