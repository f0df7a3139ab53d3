#include "setup/program_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "formats/byte_order.h"

namespace kitforge::setup {

namespace {

constexpr unsigned char kElfMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr std::uint32_t kSectionNull = 0;
constexpr std::uint32_t kSectionNoBits = 8;  // takes no bytes of the file
// No linker writes tables this long; a claim of more is damage, not a program.
constexpr std::uint64_t kMaxEntries = 65536;

using formats::GetU16LE;
using formats::GetU32LE;
using formats::GetU64LE;

class ElfReader {
public:
    ElfReader(payload::ByteSource& source, bool wide) : source_(source), wide_(wide) {}

    std::uint64_t End() {
        std::array<unsigned char, 64> header{};
        Read(0, header.data(), wide_ ? 64 : 52);
        const std::uint64_t phoff = Word(&header[wide_ ? 32 : 28]);
        const std::uint64_t shoff = Word(&header[wide_ ? 40 : 32]);
        const std::uint64_t phentsize = GetU16LE(&header[wide_ ? 54 : 42]);
        const std::uint64_t phnum = GetU16LE(&header[wide_ ? 56 : 44]);
        const std::uint64_t shentsize = GetU16LE(&header[wide_ ? 58 : 46]);
        std::uint64_t shnum = GetU16LE(&header[wide_ ? 60 : 48]);
        Cover(0, wide_ ? 64 : 52);

        // Program headers: p_offset and p_filesz.
        const auto programs = Table(phoff, phnum, phentsize, wide_ ? 40 : 20);
        for (std::uint64_t i = 0; i < phnum; ++i) {
            const unsigned char* entry = programs.data() + i * phentsize;
            Cover(Word(entry + (wide_ ? 8 : 4)), Word(entry + (wide_ ? 32 : 16)));
        }
        if (shoff == 0) return end_;
        if (shnum == 0) {
            // Extended numbering: the count is the size field of section 0.
            shnum = Word(Table(shoff, 1, shentsize, wide_ ? 40 : 24).data() + (wide_ ? 32 : 20));
        }
        // Section headers: sh_type, sh_offset and sh_size.
        const auto sections = Table(shoff, shnum, shentsize, wide_ ? 40 : 24);
        for (std::uint64_t i = 0; i < shnum; ++i) {
            const unsigned char* entry = sections.data() + i * shentsize;
            const std::uint64_t type = GetU32LE(entry + 4);
            if (type != kSectionNull && type != kSectionNoBits)
                Cover(Word(entry + (wide_ ? 24 : 16)), Word(entry + (wide_ ? 32 : 20)));
        }
        return end_;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw payload::PayloadError(source_.Name(), "the installer program is damaged: " + what);
    }

    std::uint64_t Word(const unsigned char* p) const { return wide_ ? GetU64LE(p) : GetU32LE(p); }

    void Read(std::uint64_t offset, unsigned char* out, std::size_t size) {
        Cover(offset, size);
        source_.ReadAt(offset, out, size);
    }

    // Extends the image to offset + size, which must lie inside the file.
    void Cover(std::uint64_t offset, std::uint64_t size) {
        const std::uint64_t file_size = source_.Size();
        if (offset > file_size || size > file_size - offset) {
            Fail("its headers describe " + std::to_string(size) + " bytes at " + std::to_string(offset) +
                 ", past the end of the file");
        }
        end_ = std::max(end_, offset + size);
    }

    std::vector<unsigned char> Table(std::uint64_t offset, std::uint64_t count, std::uint64_t entry_size,
                                     std::uint64_t smallest) {
        if (count == 0) return {};
        if (count > kMaxEntries || entry_size < smallest)
            Fail("a header table has " + std::to_string(count) + " entries of " + std::to_string(entry_size) +
                 " bytes");
        // The table must lie inside the file before anything is set aside for it: a damaged
        // header could otherwise make the installer ask for gigabytes.
        Cover(offset, count * entry_size);
        std::vector<unsigned char> table(count * entry_size);
        Read(offset, table.data(), table.size());
        return table;
    }

    payload::ByteSource& source_;
    bool wide_;
    std::uint64_t end_ = 0;
};

}  // namespace

std::optional<std::uint64_t> ElfImageEnd(payload::ByteSource& source) {
    unsigned char ident[6] = {};
    if (source.Size() < sizeof ident) return std::nullopt;
    source.ReadAt(0, ident, sizeof ident);
    if (std::memcmp(ident, kElfMagic, sizeof kElfMagic) != 0) return std::nullopt;
    if (ident[5] != 1 || (ident[4] != 1 && ident[4] != 2)) return std::nullopt;  // not a layout read here
    return ElfReader(source, ident[4] == 2).End();
}

void CheckPayloadFollowsImage(payload::ByteSource& source, const payload::Payload& payload) {
    const std::optional<std::uint64_t> image_end = ElfImageEnd(source);
    if (!image_end) return;
    if (payload.stub_size < *image_end) {
        throw payload::PayloadError(
            source.Name(), "the payload is damaged: it would start at byte " + std::to_string(payload.stub_size) +
                               ", inside the installer program, which ends at byte " + std::to_string(*image_end));
    }
    // The builder puts nothing but the integrity block there (read with the payload when its
    // mark is whole). Anything else, a block with a damaged mark included, would let a damaged
    // installer pass for an older one that carries no checksum.
    if (payload.stub_size > *image_end) {
        throw payload::PayloadError(source.Name(), "the payload is damaged: the " +
                                                       std::to_string(payload.stub_size - *image_end) +
                                                       " bytes between the installer program and the payload are "
                                                       "not its checksum block");
    }
}

}  // namespace kitforge::setup
