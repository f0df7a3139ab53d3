// kitforge-cli list of archives past the classic limits: real sizes from zip64 fields, names
// from Unicode Path fields, multi-volume zip64 sets made by Info-ZIP.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/large_files.h"
#include "support/temp_folder.h"
#include "zip/volume_names.h"
#include "zip/zip_test_support.h"

namespace kitforge {
namespace {

using testing::TempFolder;

const std::string kCli = std::string(KITFORGE_BIN_DIR) + "/kitforge-cli";

class ListZip64 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HaveProgram(kCli)) GTEST_SKIP() << "kitforge-cli is not built";
    }

    int Run(const std::string& arguments, std::string& out, std::string& err) {
        const std::string command = kCli + " " + arguments + " >" + folder / "out" + " 2>" + folder / "err";
        const int raw = std::system(command.c_str());
        out = testing::ReadBytes(folder / "out");
        err = testing::ReadBytes(folder / "err");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // Python's names and real sizes of an archive's entries, as JSON.
    nlohmann::json PythonEntries(const std::string& archive) {
        return nlohmann::json::parse(testing::RunPython(
            "import zipfile, json\nprint(json.dumps([[i.filename.replace('/', '\\\\'), i.compress_size, i.file_size] "
            "for i in zipfile.ZipFile('" +
            archive + "').infolist()]))\n"));
    }

    TempFolder folder;
};

// The listing shows what every peer shows: the real sizes of a zip64 field, and the UTF-8 name
// of a Unicode Path field written for the header's code-page name.
TEST_F(ListZip64, ShowsRealSizesAndUnicodeNames) {
    KITFORGE_NEEDS_TOOL("zip");
    ASSERT_EQ(testing::RunCommand("cd " + folder.Path() + " && seq 1 3000 > s.txt && zip -q -fz fz.zip s.txt"), 0);
    // Python writes the name as UTF-8 with the flag; this entry stores it in code page 437 and
    // adds the field, as Windows zippers do.
    testing::RunPython(
        "import zipfile, zlib, struct\n"
        "raw = 'caf\\u00e9.txt'.encode('cp437')\n"
        "class Cp437Info(zipfile.ZipInfo):\n"
        "    __slots__ = ()\n"
        "    def _encodeFilenameFlags(self): return raw, self.flag_bits\n"
        "with zipfile.ZipFile('" +
        folder / "u.zip" +
        "', 'w') as z:\n"
        "    for host in (0, 3):\n"
        "        i = Cp437Info('x%d' % host)\n"
        "        i.create_system = host\n"
        "        text = 'caf\\u00e9.txt'.encode()\n"
        "        i.extra = struct.pack('<HHBI', 0x7075, 5 + len(text), 1, zlib.crc32(raw)) + text\n"
        "        z.writestr(i, b'x')\n");
    struct Case {
        std::string archive;
        std::string name;
        std::string line;  // part of the text listing
    };
    const std::vector<Case> cases = {
        {"fz.zip", "s.txt", "   13893  "},
        {"u.zip", "caf\xC3\xA9.txt", "  caf\xC3\xA9.txt\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.archive);
        const std::string path = folder / test.archive;
        std::string out, err;
        ASSERT_EQ(Run("list " + path, out, err), 0) << err;
        EXPECT_NE(out.find(test.line), std::string::npos) << out;
        ASSERT_EQ(Run("list --json " + path, out, err), 0) << err;
        const auto json = nlohmann::json::parse(out);
        const auto expected = PythonEntries(path);
        ASSERT_EQ(json["entries"].size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(json["entries"][i]["name"], test.name);
            EXPECT_EQ(json["entries"][i]["packed_size"], expected[i][1]);
            EXPECT_EQ(json["entries"][i]["unpacked_size"], expected[i][2]);
        }
    }
}

// Info-ZIP's split zip64 sets, renamed to the numbered volumes the component reads: with the
// directory on the last volume, and starting on an earlier one.
TEST_F(ListZip64, MultiVolumeZip64SetsOfInfoZip) {
    KITFORGE_NEEDS_TOOL("zip");
    struct Case {
        const char* what;
        int files;
        bool directory_on_earlier_disk;
    };
    const std::vector<Case> cases = {{"directory on the last volume", 2, false},
                                     {"directory from an earlier volume", 3000, true}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        TempFolder set;
        ASSERT_EQ(
            testing::RunCommand("cd " + set.Path() +
                                " && head -c 200000 /dev/urandom > random.bin && python3 -c \"\n"
                                "for i in range(" +
                                std::to_string(test.files) +
                                "): open('a_rather_long_file_name_%05d.txt' % i, 'w').write('x' * (i % 7))\" && "
                                "zip -q -s 64k -fz set.zip *.txt random.bin && zip -q -s 0 set.zip --out joined.zip"),
            0);
        const auto expected = PythonEntries(set / "joined.zip");
        // set.z01, set.z02, ..., set.zip become set001.zip, set002.zip, ...
        int volumes = 0;
        while (std::filesystem::exists(
            set / ("set.z" + std::string(volumes + 1 < 10 ? "0" : "") + std::to_string(volumes + 1)))) {
            ++volumes;
        }
        ASSERT_GT(volumes, 1);
        for (int v = 0; v < volumes; ++v) {
            std::filesystem::rename(set / ("set.z" + std::string(v + 1 < 10 ? "0" : "") + std::to_string(v + 1)),
                                    NumberedVolumeName(set / "set.zip", v));
        }
        std::filesystem::rename(set / "set.zip", NumberedVolumeName(set / "set.zip", volumes));
        const std::string last = testing::ReadBytes(NumberedVolumeName(set / "set.zip", volumes));
        const std::uint16_t classic_central_disk =
            static_cast<std::uint8_t>(last[last.size() - 16]) | static_cast<std::uint8_t>(last[last.size() - 15]) << 8;
        EXPECT_EQ(classic_central_disk != volumes, test.directory_on_earlier_disk);

        std::string out, err;
        ASSERT_EQ(Run("list --json " + set / "set.zip", out, err), 0) << err;
        const auto json = nlohmann::json::parse(out);
        EXPECT_TRUE(json["spanned_archive"]);
        ASSERT_EQ(json["entries"].size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(json["entries"][i]["name"], expected[i][0]);
            EXPECT_EQ(json["entries"][i]["unpacked_size"], expected[i][2]);
        }
        // The last entries start on a later volume than the first, their offsets counting from it.
        if (test.directory_on_earlier_disk) {
            EXPECT_GT(json["entries"].back()["start_disk"].get<int>(), 0);
        }
    }
}

}  // namespace
}  // namespace kitforge
