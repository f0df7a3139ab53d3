// The built stub on zip64 archives and Unicode names made by the tools people use: Info-ZIP
// zip (forced zip64, streamed from a pipe), 7-Zip and Python's zipfile, copied behind the stub
// as made or written behind it with moved offsets, with unzip and 7-Zip as the oracles of what
// the archives hold. (Info-ZIP's zip -A, which moves a classic archive's offsets, refuses
// zip64 archives: "Zip file structure invalid"; Python's append mode writes them moved.)

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/large_files.h"
#include "support/run_program.h"
#include "support/temp_folder.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using kitforge::testing::ProgramResult;
using kitforge::testing::ReadBytes;
using kitforge::testing::RunProgram;
using kitforge::testing::TempFolder;
using kitforge::testing::ToolOnPath;
using kitforge::testing::WriteBytes;
using testing::HeaderBytes;
using testing::StubBytes;

constexpr std::uint8_t kProgramsOwnFlags = 0x6C;

class SfxZip64 : public ::testing::Test {
protected:
    std::string Exe() const { return folder / "setup.exe"; }

    ProgramResult Shell(const std::string& script) { return RunProgram({"sh", "-c", script}, folder.Path()); }

    // The stub, its header and the zip file `zip` laid end to end (without reading a large zip
    // into memory); with `adjust`, Info-ZIP's zip -A moves the (classic) archive's offsets past
    // the two.
    void Wrap(const std::string& zip, bool adjust) {
        WriteBytes(folder / "front.bin", StubBytes() + HeaderBytes(kProgramsOwnFlags));
        ASSERT_EQ(Shell("cat front.bin '" + zip + "' > setup.exe && rm front.bin && chmod 755 setup.exe").status, 0);
        if (adjust) {
            const ProgramResult adjusted = RunProgram({"zip", "-qA", Exe()});
            ASSERT_EQ(adjusted.status, 0) << adjusted.err;
        }
    }

    // The stub and its header, then the archive that the Python `script` writes to the
    // ZipFile `z`, opened in append mode on them: its offsets count from the file's start.
    void AppendByPython(const std::string& script) {
        WriteBytes(Exe(), StubBytes() + HeaderBytes(kProgramsOwnFlags));
        ::chmod(Exe().c_str(), 0755);
        const ProgramResult made = RunProgram(
            {"python3", "-c", "import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], 'a') as z:\n" + script, Exe()},
            folder.Path());
        ASSERT_EQ(made.status, 0) << made.err;
    }

    ProgramResult Run(const std::vector<std::string>& arguments) {
        std::vector<std::string> command{Exe()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return RunProgram(command, folder.Path());
    }

    TempFolder folder;
};

// Each peer's zip64 form, copied whole behind the stub, or (Python) written behind it with moved
// offsets: the stub tests and extracts it whole, and unzip agrees that it holds together.
TEST_F(SfxZip64, PeerMadeZip64ArchivesExtract) {
    KITFORGE_NEEDS_TOOL("zip");
    KITFORGE_NEEDS_TOOL("unzip");
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
    WriteBytes(folder / "a.txt", "alpha\n");
    WriteBytes(folder / "big.txt", text);
    std::string numbers;
    for (int i = 1; i <= 200000; ++i) numbers += std::to_string(i) + "\n";
    const std::string python_writes =
        "    for name in ('a.txt', 'big.txt'):\n"
        "        with open(name, 'rb') as f, z.open(name, 'w', force_zip64=True) as out:\n"
        "            out.write(f.read())\n";
    const auto python_to = [&](const std::string& file) {
        return "python3 -c \"import sys, zipfile\nwith zipfile.ZipFile(" + file +
               ", 'w', zipfile.ZIP_DEFLATED) as z:\n" + python_writes + "\"";
    };
    struct Row {
        const char* label;
        const char* tool;
        std::string make;  // a shell command that writes data.zip
        std::vector<std::pair<std::string, std::string>> files;
        bool appended = false;  // written behind the stub by Python's append mode
    };
    const Row rows[] = {
        {"Info-ZIP zip -fz", "zip", "zip -q -fz data.zip a.txt big.txt", {{"a.txt", "alpha\n"}, {"big.txt", text}}},
        {"Info-ZIP streamed from a pipe", "zip", "seq 1 200000 | zip -q - - > data.zip", {{"-", numbers}}},
        {"Python force_zip64", "python3", python_to("'data.zip'"), {{"a.txt", "alpha\n"}, {"big.txt", text}}},
        {"Python streamed to a pipe",
         "python3",
         python_to("sys.stdout.buffer") + " | cat > data.zip",
         {{"a.txt", "alpha\n"}, {"big.txt", text}}},
        {"Python force_zip64 behind the stub", "python3", "", {{"a.txt", "alpha\n"}, {"big.txt", text}}, true},
        {"7-Zip from standard input",
         "7z",
         "7z a -tzip -sibig.txt data.zip < big.txt > /dev/null",
         {{"big.txt", text}}},
    };
    for (const Row& row : rows) {
        if (!ToolOnPath(row.tool)) {
            ADD_FAILURE() << row.label << ": " << row.tool << " is not installed";
            continue;
        }
        SCOPED_TRACE(row.label);
        ASSERT_EQ(Shell("rm -rf data.zip out").status, 0);
        if (row.appended) {
            AppendByPython(python_writes);
        } else {
            ASSERT_EQ(Shell(row.make).status, 0);
            Wrap(folder / "data.zip", false);
        }
        // A zip64 form indeed: a zip64 end record, or a zip64 extra field of 16 or 24 bytes.
        const std::string exe = ReadBytes(Exe()).substr(StubBytes().size());
        EXPECT_TRUE(exe.find("PK\x06\x06") != std::string::npos ||
                    exe.find(std::string("\x01\x00\x10\x00", 4)) != std::string::npos ||
                    exe.find(std::string("\x01\x00\x18\x00", 4)) != std::string::npos);
        const ProgramResult oracle = RunProgram({"unzip", "-tq", row.appended ? Exe() : folder / "data.zip"});
        EXPECT_EQ(oracle.status, 0) << oracle.out << oracle.err;
        const ProgramResult test = Run({"-t"});
        EXPECT_EQ(test.status, 0) << test.out << test.err;
        const ProgramResult run = Run({"--silent", "-d", folder / "out"});
        EXPECT_EQ(run.status, 0) << run.err;
        for (const auto& [name, data] : row.files) {
            EXPECT_TRUE(ReadBytes(folder / ("out/" + name)) == data) << name;
        }
    }
}

// 65,600 entries: more than a classic end record counts. unzip agrees on the count; the stub
// lists and tests them all (extracting as many files takes it tens of seconds).
TEST_F(SfxZip64, MoreThan65535EntriesAreListedAndTested) {
    KITFORGE_NEEDS_TOOL("python3");
    KITFORGE_NEEDS_TOOL("unzip");
    AppendByPython(
        "    for i in range(65600):\n"
        "        z.writestr('d%d/%05d' % (i // 1000, i), str(i))\n");
    const ProgramResult names = Shell("unzip -Z1 setup.exe | wc -l");
    ASSERT_EQ(names.out, "65600\n") << names.err;
    const ProgramResult list = Run({"-l"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("65600 files"), std::string::npos);
    EXPECT_NE(list.out.find("  d65/65599\n"), std::string::npos);
    const ProgramResult test = Run({"-t", "--silent"});
    EXPECT_EQ(test.status, 0) << test.err;
}

// A name carried in a Unicode Path field is the one listed and extracted, as unzip and 7-Zip
// show it; a field left stale by a rename is ignored by all.
TEST_F(SfxZip64, UnicodePathNamesAreTheNamesUsed) {
    KITFORGE_NEEDS_TOOL("python3");
    KITFORGE_NEEDS_TOOL("unzip");
    KITFORGE_NEEDS_TOOL("7z");
    const std::string script =
        "import struct, sys, zipfile, zlib\n"
        "def entry(z, stored, unicode, crc_of):\n"
        "    info = zipfile.ZipInfo(stored)\n"
        "    info.extra = struct.pack('<HHBI', 0x7075, 5 + len(unicode), 1, zlib.crc32(crc_of)) + unicode\n"
        "    z.writestr(info, stored)\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "    entry(z, 'cafe.txt', 'caf\\u00e9.txt'.encode(), b'cafe.txt')\n"
        "    entry(z, 'stale.txt', b'renamed.txt', b'old.txt')\n";
    ASSERT_EQ(RunProgram({"python3", "-c", script, folder / "data.zip"}).status, 0);
    const std::string cafe = "caf\xc3\xa9.txt";
    const ProgramResult unzip = RunProgram({"unzip", "-Z1", folder / "data.zip"});
    EXPECT_EQ(unzip.out, cafe + "\nstale.txt\n");
    const ProgramResult seven = RunProgram({"7z", "l", "-ba", folder / "data.zip"});
    EXPECT_NE(seven.out.find(cafe), std::string::npos) << seven.out;
    EXPECT_NE(seven.out.find("stale.txt"), std::string::npos) << seven.out;
    Wrap(folder / "data.zip", true);
    const ProgramResult list = Run({"-l"});
    EXPECT_NE(list.out.find("  " + cafe + "\n"), std::string::npos) << list.out;
    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(folder / ("out/" + cafe)), "cafe.txt");
    EXPECT_EQ(ReadBytes(folder / "out/stale.txt"), "stale.txt");
}

// An entry past 4 GiB (stored, from a sparse file) extracts identical. Minutes and ~14 GB of
// writing: only with KITFORGE_LARGE_TESTS=1.
TEST_F(SfxZip64, AnEntryPast4GiBExtractsIdentical) {
    KITFORGE_LARGE_TEST_ONLY();
    KITFORGE_NEEDS_TOOL("zip");
    KITFORGE_NEEDS_TOOL("unzip");
    kitforge::testing::MakeSparseFile(folder / "big.bin", (4ull << 30) + 123457);
    ASSERT_EQ(Shell("printf 'x' | dd of=big.bin bs=1 seek=4294967300 conv=notrunc 2>/dev/null").status, 0);
    WriteBytes(folder / "small.txt", "after the big one\n");
    ASSERT_EQ(Shell("zip -q -0 data.zip big.bin small.txt").status, 0);
    Wrap(folder / "data.zip", false);
    ASSERT_EQ(Shell("rm data.zip").status, 0);
    const ProgramResult run = Run({"--silent", "-d", folder / "out"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Shell("cmp big.bin out/big.bin").status, 0);
    EXPECT_EQ(ReadBytes(folder / "out/small.txt"), "after the big one\n");
}

}  // namespace
}  // namespace kitforge::zipsfx
