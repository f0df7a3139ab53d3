// Which stored names and comments are taken as OEM code page 437 and converted, and which are
// kept as they are.

#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "zip_test_support.h"

namespace kitforge {
namespace {

using testing::BuildArchive;
using testing::Stored;
using testing::TempFolder;
using testing::WriteBytes;
using testing::ZipHarness;

// "Café Ü.txt" in code page 437, and as code page 1252 after the conversion.
const std::string kOemName = "Caf\x82 \x9A.txt";
const std::string kAnsiName = "Caf\xE9 \xDC.txt";

struct Case {
    const char* name;
    std::uint8_t host;
    std::uint8_t version;
    CodePageOpts code_page;
    bool converted;
};

TEST(NameConversion, HostSystemVersionAndCodePageDecide) {
    const Case cases[] = {
        {"MS-DOS, automatic", 0, 20, cpAuto, true},
        {"MS-DOS, no conversion", 0, 20, cpNone, false},
        {"MS-DOS, OEM", 0, 20, cpOEM, true},
        {"Unix, automatic", 3, 30, cpAuto, false},
        {"Unix, OEM forced", 3, 30, cpOEM, true},
        {"OS/2 HPFS even with no conversion", 6, 20, cpNone, true},
        {"NTFS version 5.0 even with no conversion", 11, 50, cpNone, true},
        {"NTFS version 5.0, automatic", 11, 50, cpAuto, true},
        {"NTFS of another version", 11, 63, cpAuto, false},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto entry = Stored(kOemName, "data", c.host, c.version);
        entry.comment = "\x8E\x99";  // Ä Ö
        WriteBytes(folder / "n.zip", BuildArchive({entry}).bytes);
        ZipHarness h;
        h.zip.SetCodePage(c.code_page);
        h.Read(folder / "n.zip");
        ASSERT_EQ(h.zip.Entries().size(), 1u);
        const ZipDirEntry& e = h.zip.Entries()[0];
        EXPECT_EQ(e.FileName, c.converted ? kAnsiName : kOemName);
        EXPECT_EQ(e.FileComment, c.converted ? std::string("\xC4\xD6") : std::string("\x8E\x99"));
        EXPECT_EQ(e.HostSystem, c.host);
        EXPECT_EQ(e.SpecVersion, c.version);
    }
}

TEST(NameConversion, NamesFlaggedAsUtf8AreNeverConverted) {
    // Python flags non-ASCII names as UTF-8 and, on this platform, says they come from Unix;
    // claim MS-DOS instead, where the code page would apply.
    TempFolder folder;
    const std::string utf8_name = "d\xC3\xA9j\xC3\xA0/\xE2\x82\xAC.txt";  // déjà/€.txt
    auto entry = Stored(utf8_name, "x", 0, 20, formats::kFlagUtf8);
    entry.comment = "\xC3\xBC";  // ü
    WriteBytes(folder / "u.zip", BuildArchive({entry, Stored(kOemName, "y", 0)}).bytes);
    ZipHarness h;
    h.zip.SetCodePage(cpOEM);
    h.Read(folder / "u.zip");
    ASSERT_EQ(h.zip.Entries().size(), 2u);
    EXPECT_EQ(h.zip.Entries()[0].FileName, "d\xC3\xA9j\xC3\xA0\\\xE2\x82\xAC.txt");
    EXPECT_EQ(h.zip.Entries()[0].FileComment, "\xC3\xBC");
    EXPECT_EQ(h.zip.Entries()[1].FileName, kAnsiName);
}

TEST(NameConversion, PythonUtf8NamesReadBackUnchanged) {
    TempFolder folder;
    const std::string path = folder / "py.zip";
    testing::RunPython("import zipfile\nwith zipfile.ZipFile('" + path +
                       "', 'w') as z:\n"
                       "    i = zipfile.ZipInfo('\\u00e9t\\u00e9.txt')\n"
                       "    i.create_system = 0\n"
                       "    z.writestr(i, 'summer')\n");
    ZipHarness h;
    h.Read(path);
    ASSERT_EQ(h.zip.Entries().size(), 1u);
    EXPECT_EQ(h.zip.Entries()[0].HostSystem, 0);
    EXPECT_EQ(h.zip.Entries()[0].FileName, "\xC3\xA9t\xC3\xA9.txt");
}

}  // namespace
}  // namespace kitforge
