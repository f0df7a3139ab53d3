// The OEM-to-ANSI conversion of stored names, checked against Python's own code page tables.

#include <gtest/gtest.h>

#include <string>

#include "platform/oem_code_page.h"
#include "support/temp_folder.h"

namespace kitforge {
namespace {

// For each byte 128 to 255 of code page 437: the code page 1252 byte of the same character,
// or "--" when code page 1252 has no such character. Python's codecs are the reference.
std::string PythonMapping(const testing::TempFolder& folder) {
    testing::WriteBytes(folder / "map.py",
                        "out = []\n"
                        "for b in range(128, 256):\n"
                        "    try:\n"
                        "        out.append('%02x' % bytes([b]).decode('cp437').encode('cp1252')[0])\n"
                        "    except UnicodeEncodeError:\n"
                        "        out.append('--')\n"
                        "print(' '.join(out))\n");
    const std::string command = "python3 " + folder / "map.py" + " > " + folder / "map.txt";
    if (std::system(command.c_str()) != 0) return {};
    return testing::ReadBytes(folder / "map.txt");
}

TEST(OemCodePage, CharactersThatBothCodePagesHaveMapExactly) {
    testing::TempFolder folder;
    const std::string mapping = PythonMapping(folder);
    if (mapping.empty()) GTEST_SKIP() << "python3 is not available";
    int exact = 0;
    for (int b = 128; b < 256; ++b) {
        const std::string expected = mapping.substr(static_cast<std::size_t>(b - 128) * 3, 2);
        if (expected == "--") continue;
        ++exact;
        EXPECT_EQ(OemToAnsiChar(static_cast<unsigned char>(b)), std::stoi(expected, nullptr, 16)) << "byte " << b;
    }
    EXPECT_EQ(exact, 54);
}

TEST(OemCodePage, OtherCharactersBecomePlainLookAlikes) {
    EXPECT_EQ(OemToAnsiChar(0xC4), '-');  // ─
    EXPECT_EQ(OemToAnsiChar(0xB3), '|');  // │
    EXPECT_EQ(OemToAnsiChar(0xC9), '+');  // ╔
    EXPECT_EQ(OemToAnsiChar(0xDB), '#');  // █
    EXPECT_EQ(OemToAnsiChar(0xE3), 'p');  // π
    EXPECT_EQ(OemToAnsiChar(0xF2), '>');  // ≥
    // Nothing lands on the bytes that code page 1252 leaves undefined, or on control bytes.
    for (int b = 0; b < 256; ++b) {
        const unsigned char a = OemToAnsiChar(static_cast<unsigned char>(b));
        if (b < 128) {
            EXPECT_EQ(a, b);
        } else {
            EXPECT_GE(a, 0x20) << b;
            for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_NE(a, undefined) << b;
        }
    }
}

TEST(OemCodePage, TextsKeepTheirLength) {
    const std::string oem(
        "Gr\x81\xE1"
        "e \xCD\xCD \0 end",
        13);
    const std::string ansi = OemToAnsi(oem);
    EXPECT_EQ(ansi, std::string("Gr\xFC\xDF"
                                "e == \0 end",
                                13));
}

}  // namespace
}  // namespace kitforge
