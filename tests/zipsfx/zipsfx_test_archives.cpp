#include "zipsfx_test_archives.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstdlib>
#include <stdexcept>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace kitforge::zipsfx::testing {

namespace {

void AppendU16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void AppendU32(std::string& out, std::uint32_t value) {
    AppendU16(out, value & 0xFFFF);
    AppendU16(out, value >> 16);
}

void AppendU64(std::string& out, std::uint64_t value) {
    AppendU32(out, static_cast<std::uint32_t>(value));
    AppendU32(out, static_cast<std::uint32_t>(value >> 32));
}

// A 32-bit slot: the value, or saturated when zip64 holds it.
std::uint32_t Slot32(std::uint64_t value, bool zip64) {
    return zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

std::string RawDeflate(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflate");
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void PutU16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    PutU16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

std::string ExtraField(std::uint16_t id, const std::string& data) {
    std::string field;
    AppendU16(field, id);
    AppendU16(field, static_cast<std::uint32_t>(data.size()));
    return field + data;
}

BuiltZip BuildZip(const std::vector<TestEntry>& entries, std::uint64_t base, const std::string& comment, bool zip64) {
    BuiltZip zip;
    std::string central;
    for (const TestEntry& entry : entries) {
        const std::string packed = entry.deflate ? RawDeflate(entry.data) : entry.data;
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
        const std::uint16_t method = entry.deflate ? 8 : 0;
        const std::uint64_t offset = base + zip.bytes.size();
        zip.local_offsets.push_back(zip.bytes.size());
        std::string local_extra;
        std::string central_extra;
        if (zip64) {
            std::string sizes;
            AppendU64(sizes, entry.data.size());
            AppendU64(sizes, packed.size());
            local_extra = ExtraField(1, sizes);
            AppendU64(sizes, offset);
            central_extra = ExtraField(1, sizes);
        }
        central_extra += entry.central_extra;

        std::string& local = zip.bytes;
        AppendU32(local, 0x04034B50);
        AppendU16(local, 20);
        AppendU16(local, 0);
        AppendU16(local, method);
        AppendU32(local, entry.dos_time);
        AppendU32(local, crc);
        AppendU32(local, Slot32(packed.size(), zip64));
        AppendU32(local, Slot32(entry.data.size(), zip64));
        AppendU16(local, static_cast<std::uint16_t>(entry.name.size()));
        AppendU16(local, static_cast<std::uint16_t>(local_extra.size()));
        local += entry.name;
        local += local_extra;
        local += packed;

        AppendU32(central, 0x02014B50);
        AppendU16(central, entry.unix_mode ? (3 << 8) | 20 : 20);
        AppendU16(central, 20);
        AppendU16(central, 0);
        AppendU16(central, method);
        AppendU32(central, entry.dos_time);
        AppendU32(central, crc);
        AppendU32(central, Slot32(packed.size(), zip64));
        AppendU32(central, Slot32(entry.data.size(), zip64));
        AppendU16(central, static_cast<std::uint16_t>(entry.name.size()));
        AppendU16(central, static_cast<std::uint16_t>(central_extra.size()));
        AppendU16(central, 0);
        AppendU16(central, 0);
        AppendU16(central, 0);
        AppendU32(central, entry.unix_mode ? *entry.unix_mode << 16 : 0);
        AppendU32(central, Slot32(offset, zip64));
        central += entry.name;
        central += central_extra;
    }
    zip.central_offset = zip.bytes.size();
    zip.bytes += central;
    if (zip64) {
        zip.zip64_end_offset = zip.bytes.size();
        AppendU32(zip.bytes, 0x06064B50);
        AppendU64(zip.bytes, 44);
        AppendU16(zip.bytes, 45);
        AppendU16(zip.bytes, 45);
        AppendU32(zip.bytes, 0);
        AppendU32(zip.bytes, 0);
        AppendU64(zip.bytes, entries.size());
        AppendU64(zip.bytes, entries.size());
        AppendU64(zip.bytes, central.size());
        AppendU64(zip.bytes, base + zip.central_offset);
        AppendU32(zip.bytes, 0x07064B50);
        AppendU32(zip.bytes, 0);
        AppendU64(zip.bytes, base + zip.zip64_end_offset);
        AppendU32(zip.bytes, 1);
    }
    zip.end_offset = zip.bytes.size();
    AppendU32(zip.bytes, 0x06054B50);
    AppendU16(zip.bytes, 0);
    AppendU16(zip.bytes, 0);
    AppendU16(zip.bytes, zip64 ? 0xFFFF : static_cast<std::uint16_t>(entries.size()));
    AppendU16(zip.bytes, zip64 ? 0xFFFF : static_cast<std::uint16_t>(entries.size()));
    AppendU32(zip.bytes, Slot32(central.size(), zip64));
    AppendU32(zip.bytes, Slot32(base + zip.central_offset, zip64));
    AppendU16(zip.bytes, static_cast<std::uint16_t>(comment.size()));
    zip.bytes += comment;
    return zip;
}

std::string HeaderBytes(std::uint8_t flags, const std::string& caption, const std::string& folder,
                        const std::string& command) {
    std::string header = "MPU";
    header += static_cast<char>(flags);
    header += static_cast<char>(caption.size());
    header += static_cast<char>(folder.size());
    header += static_cast<char>(command.size());
    header += caption + folder + command;
    header.resize(256, '\0');
    return header;
}

const std::string& StubBytes() {
    static const std::string stub = kitforge::testing::ReadBytes(kitforge::testing::BuiltProgram("zipsfx.bin"));
    return stub;
}

std::string SfxBytes(const std::string& header, const std::string& zip) { return StubBytes() + header + zip; }

void WriteSfx(const std::string& path, const std::string& header, const std::string& zip) {
    kitforge::testing::WriteBytes(path, SfxBytes(header, zip));
    ::chmod(path.c_str(), 0755);
}

bool HaveProgram(const std::string& program) {
    return kitforge::testing::RunProgram({"sh", "-c", "command -v " + program}).status == 0;
}

}  // namespace kitforge::zipsfx::testing
