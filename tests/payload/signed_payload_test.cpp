// The payload of a signed Windows installer ends where the signature's certificate table
// begins; the signature is laid out here as osslsigncode writes it (zero bytes up to a multiple
// of 8, then the table, named by the security directory), so CI guards it without the tool.

#include <gtest/gtest.h>

#include "formats/installer_payload.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "support/signed_windows_program.h"

namespace kitforge::payload {
namespace {

std::string U32(std::uint32_t value) {
    const auto bytes = formats::PayloadNumber(value);
    return std::string(bytes.begin(), bytes.end());
}

std::string Counted(std::string_view text) { return std::string(text) + U32(static_cast<std::uint32_t>(text.size())); }

// A Windows installer with one file and one EXTRACT line; `title` varies its length.
std::string Installer(const std::string& title) {
    return testing::MinimalWindowsProgram() + Counted("contents") + Counted("a.txt") + U32(1) +
           Counted("EXTRACT a.txt %program%") + U32(1) + Counted("P") + Counted(title) + "\x2E\x22\x6B\x3D";
}

// Sets the security directory of the minimal program to `offset` and `size`.
void PointSecurityDirectory(std::string& bytes, std::uint32_t offset, std::uint32_t size) {
    const std::size_t entry = 0x80 + 4 + 20 + 96 + 4 * 8;
    for (int i = 0; i < 4; ++i) {
        bytes[entry + i] = static_cast<char>(offset >> (8 * i));
        bytes[entry + 4 + i] = static_cast<char>(size >> (8 * i));
    }
}

// Pads to a multiple of 8 and appends a table of `size` bytes, as signing does.
std::string Signed(std::string bytes, std::uint32_t size = 1424) {
    bytes.resize((bytes.size() + 7) / 8 * 8, '\0');
    PointSecurityDirectory(bytes, static_cast<std::uint32_t>(bytes.size()), size);
    return bytes + std::string(size, '\x30');
}

std::string ErrorOf(const std::string& bytes) {
    try {
        MemoryByteSource source(bytes.data(), bytes.size(), "setup.exe");
        ReadPayload(source);
    } catch (const PayloadError& e) {
        return e.what();
    }
    return "no error";
}

TEST(SignedPayload, EndsWhereTheCertificateTableBeginsWhateverThePadding) {
    // Titles of 1 to 8 bytes give every padding from 0 to 7 bytes.
    for (std::string title = "T"; title.size() <= 8; title += "t") {
        const std::string plain = Installer(title);
        const std::string bytes = Signed(plain);
        MemoryByteSource plain_source(plain.data(), plain.size());
        MemoryByteSource source(bytes.data(), bytes.size());
        const Payload unsigned_read = ReadPayload(plain_source);
        const Payload read = ReadPayload(source);
        EXPECT_EQ(read.title, title);
        EXPECT_EQ(read.lines, unsigned_read.lines);
        ASSERT_EQ(read.files.size(), 1u);
        EXPECT_EQ(read.files[0].offset, unsigned_read.files[0].offset);
        EXPECT_EQ(read.stub_size, testing::MinimalWindowsProgram().size());
        EXPECT_EQ(read.payload_end, plain.size()) << title.size();
        EXPECT_EQ(read.file_size, bytes.size());
    }
}

TEST(SignedPayload, ASecurityDirectoryThatCannotBeRightIsRefused) {
    const std::string plain = Installer("T");
    const std::string stub = testing::MinimalWindowsProgram();
    struct Case {
        const char* what;
        std::uint32_t offset;
        std::uint32_t size;
        std::string expected;
    };
    const auto plain_size = static_cast<std::uint32_t>(plain.size());
    const std::vector<Case> cases = {
        {"past the end", plain_size - 8, 64, "reaches past the end of the file"},
        {"far past the end", 0xFFFFFFF0, 0x20, "reaches past the end of the file"},
        {"into the headers", 0x100, 16, "lies inside the program's headers"},
        {"too short", plain_size - 4, 4, "is too short to hold a certificate"},
        // Not at the end, so not appended by signing, and inside the payload.
        {"over the payload", static_cast<std::uint32_t>(stub.size()) + 4, 16, "overlaps the payload"},
    };
    for (const Case& c : cases) {
        std::string bytes = plain;
        PointSecurityDirectory(bytes, c.offset, c.size);
        const std::string error = ErrorOf(bytes);
        EXPECT_NE(error.find("Cannot read setup.exe: the installer is damaged: the certificate table"),
                  std::string::npos)
            << c.what << ": " << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
    // A table inside the stub (a stub signed before the payload was appended) is the stub's own.
    std::string signed_stub = Signed(stub, 64);
    const std::string appended = Installer("T").substr(stub.size());
    const std::string bytes = signed_stub + appended;
    MemoryByteSource whole(bytes.data(), bytes.size());
    EXPECT_EQ(ReadPayload(whole).stub_size, signed_stub.size());
}

TEST(SignedPayload, TheChecksumCoversThePayloadUpToTheTableAndStillGuardsIt) {
    // The integrity block between the stub and the payload, as the builder writes it.
    const std::string stub = testing::MinimalWindowsProgram();
    const std::string payload = Installer("T").substr(stub.size());
    PayloadHasher hasher;
    hasher.Update(payload.data(), payload.size());
    const auto block = formats::EncodeIntegrityBlock(hasher.Finish());
    const std::string plain = stub + std::string(block.begin(), block.end()) + payload;
    const auto check = [](const std::string& bytes) {
        MemoryByteSource source(bytes.data(), bytes.size());
        return CheckPayloadChecksum(source, ReadPayload(source)).outcome;
    };
    EXPECT_EQ(check(plain), ChecksumCheck::Outcome::Matches);
    std::string bytes = Signed(plain);
    EXPECT_EQ(check(bytes), ChecksumCheck::Outcome::Matches);
    bytes[bytes.size() - 1] ^= 1;  // the signature is not the payload's
    EXPECT_EQ(check(bytes), ChecksumCheck::Outcome::Matches);
    bytes[stub.size() + block.size()] ^= 1;  // the first byte of the file's contents
    EXPECT_EQ(check(bytes), ChecksumCheck::Outcome::Differs);
}

}  // namespace
}  // namespace kitforge::payload
