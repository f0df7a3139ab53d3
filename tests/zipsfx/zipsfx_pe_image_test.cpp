// Finding the end of a Windows (PE) stub's image, as the Windows build of the stub does for
// its own file.

#include <gtest/gtest.h>

#include "zipsfx/byte_source.h"
#include "zipsfx/pe_image.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx_test_archives.h"

namespace kitforge::zipsfx {
namespace {

using testing::AsBytes;
using testing::HeaderBytes;
using testing::PutU16;
using testing::PutU32;

struct Section {
    std::uint32_t raw_offset;
    std::uint32_t raw_size;
};

constexpr std::uint32_t kPeOffset = 0x80;
constexpr std::uint32_t kOptionalSize = 224;
constexpr std::uint32_t kSizeOfHeaders = 0x400;

// A 32-bit PE file as a linker lays it out: headers, then each section's raw data, with the
// sections' bytes filled so that every byte of the file is accounted for.
std::string PeBytes(const std::vector<Section>& sections, std::uint32_t symbol_table = 0, std::uint32_t symbols = 0) {
    std::uint32_t size = kSizeOfHeaders;
    for (const Section& section : sections) size = std::max(size, section.raw_offset + section.raw_size);
    std::string bytes(size, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32(bytes, 0x3C, kPeOffset);
    bytes.replace(kPeOffset, 4, std::string("PE\0\0", 4));
    const std::size_t file_header = kPeOffset + 4;
    PutU16(bytes, file_header, 0x14C);
    PutU16(bytes, file_header + 2, static_cast<std::uint16_t>(sections.size()));
    PutU32(bytes, file_header + 8, symbol_table);
    PutU32(bytes, file_header + 12, symbols);
    PutU16(bytes, file_header + 16, kOptionalSize);
    const std::size_t optional = file_header + 20;
    PutU16(bytes, optional, 0x10B);
    PutU32(bytes, optional + 60, kSizeOfHeaders);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t header = optional + kOptionalSize + i * 40;
        bytes.replace(header, 5, ".sect");
        PutU32(bytes, header + 16, sections[i].raw_size);
        PutU32(bytes, header + 20, sections[i].raw_offset);
    }
    return bytes;
}

std::optional<std::uint64_t> EndOf(const std::string& bytes) {
    MemorySource source(AsBytes(bytes));
    return PeImageEnd(source);
}

TEST(PeImage, EndsAfterTheSectionWhoseRawDataEndsLast) {
    // Listed out of order, with an uninitialised-data section that has no bytes in the file.
    const std::string image = PeBytes({{0x800, 0x400}, {0x400, 0x200}, {0, 0}, {0x600, 0x200}});
    EXPECT_EQ(EndOf(image), 0xC00u);
    // Whatever follows the image (the header and the archive) does not move its end.
    EXPECT_EQ(EndOf(image + std::string(5000, 'z')), 0xC00u);
}

TEST(PeImage, AnUnstrippedImageEndsAfterItsSymbolAndStringTables) {
    std::string image = PeBytes({{0x400, 0x200}}, 0x600, 3);
    image.resize(0x600 + 3 * 18);
    image += std::string("\x0A\0\0\0name\0\0", 10);  // string table: its length 10, itself included
    EXPECT_EQ(EndOf(image + "appended"), 0x600u + 3 * 18 + 10);
}

TEST(PeImage, DamagedOrForeignBytesGiveNothing) {
    const std::string image = PeBytes({{0x400, 0x200}});
    EXPECT_FALSE(EndOf(image.substr(0, 0x500)).has_value()) << "a section reaching past the end";
    EXPECT_FALSE(EndOf(image.substr(0, 100)).has_value()) << "cut inside the headers";
    std::string no_signature = image;
    no_signature[kPeOffset] = 'X';
    EXPECT_FALSE(EndOf(no_signature).has_value());
    std::string far_header = image;
    PutU32(far_header, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(EndOf(far_header).has_value());
    std::string too_many = image;
    PutU16(too_many, kPeOffset + 6, 0xFFFF);
    EXPECT_FALSE(EndOf(too_many).has_value());
    EXPECT_FALSE(EndOf("\x7F"
                       "ELF and more bytes than a header needs, but not a PE file at all........")
                     .has_value());
}

TEST(PeImage, TheSelfExtractorFindsItsHeaderAfterAWindowsStub) {
    const std::string stub = PeBytes({{0x400, 0x200}, {0x600, 0x400}});
    const std::string file = stub + HeaderBytes(0x40, "Cap", "dir", "run") + "zip bytes";
    MemorySource source(AsBytes(file));
    const SfxParts parts = LocateSfxParts(source);
    EXPECT_EQ(parts.image_end, stub.size());
    EXPECT_EQ(parts.archive_start, stub.size() + 256);
    EXPECT_EQ(parts.header.command_line, "run");
}

}  // namespace
}  // namespace kitforge::zipsfx
