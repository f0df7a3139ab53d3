#include "installer/installer_version_block.h"

#include <algorithm>

#include "formats/byte_order.h"
#include "os/errors.h"
#include "platform/version_block_writer.h"

namespace kitforge {

namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedInfoSize = 52;
// Inside the fixed information.
constexpr std::size_t kFileVersionOffset = 8;
constexpr std::size_t kProductVersionOffset = 16;
constexpr std::size_t kFileOsOffset = 32;
constexpr std::size_t kFileTypeOffset = 36;
constexpr std::uint16_t kDefaultLanguage = 0x0C09;
constexpr std::uint16_t kDefaultCodePage = 0x04E4;

struct FixedInfo {
    std::array<std::uint16_t, 4> file_version{};
    std::array<std::uint16_t, 4> product_version{};
    std::uint32_t file_os = 0;
    std::uint32_t file_type = 0;
};

std::array<std::uint16_t, 4> VersionAt(const std::uint8_t* p) {
    const std::uint32_t high = formats::GetU32LE(p);
    const std::uint32_t low = formats::GetU32LE(p + 4);
    return {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
            static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
}

// The root's value: after the 6-byte node header and the key "VS_VERSION_INFO" with its
// terminating 0, on a 4-byte boundary.
std::optional<FixedInfo> ReadFixedInfo(const std::vector<std::uint8_t>& block) {
    std::size_t at = 6;
    while (at + 2 <= block.size() && formats::GetU16LE(block.data() + at) != 0) at += 2;
    at = (at + 2 + 3) & ~std::size_t{3};
    if (block.size() < 4 || formats::GetU16LE(block.data() + 2) != kFixedInfoSize ||
        at + kFixedInfoSize > block.size() || formats::GetU32LE(block.data() + at) != kFixedInfoSignature) {
        return std::nullopt;
    }
    const std::uint8_t* fixed = block.data() + at;
    return FixedInfo{VersionAt(fixed + kFileVersionOffset), VersionAt(fixed + kProductVersionOffset),
                     formats::GetU32LE(fixed + kFileOsOffset), formats::GetU32LE(fixed + kFileTypeOffset)};
}

std::optional<std::uint32_t> HexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string VersionText(const std::array<std::uint16_t, 4>& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

// A File as random-access bytes; ReadAt leaves the file's position alone.
class FileBytes : public ExecutableBytes {
public:
    explicit FileBytes(File& file) : file_(file) {
        const std::int64_t size = file.Size();
        if (size < 0) throw ReadError("read", file.Path(), file.LastError());
        size_ = static_cast<std::uint64_t>(size);
    }
    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const override {
        if (offset > size_ || size > size_ - offset) return false;
        if (file_.ReadAt(data, size, offset) == size) return true;
        if (file_.LastError() != 0) throw ReadError("read", file_.Path(), file_.LastError());
        return false;
    }

private:
    File& file_;
    std::uint64_t size_ = 0;
};

void WriteAt(File& output, const void* data, std::size_t size, std::uint64_t offset) {
    if (output.WriteAt(data, size, offset) != size) throw InOutError("write", output.Path(), output.LastError());
}

}  // namespace

std::optional<std::array<std::uint16_t, 4>> NumericVersion(std::string_view text) {
    std::array<std::uint16_t, 4> parts{};
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        const std::string_view part = text.substr(start, dot - start);
        if (count == parts.size() || part.empty() || part.size() > 5) return std::nullopt;
        std::uint32_t value = 0;
        for (const char c : part) {
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        }
        if (value > 0xFFFF) return std::nullopt;
        parts[count++] = static_cast<std::uint16_t>(value);
        if (dot == text.size()) return parts;
        start = dot + 1;
    }
}

std::vector<std::uint8_t> InstallerVersionBlock(const VersionBlock& stub_block, const InstallerIdentity& identity) {
    const auto fixed = ReadFixedInfo(stub_block.Bytes());
    if (!fixed) throw Error("the version information holds no fixed file information");

    std::uint16_t language = kDefaultLanguage;
    std::uint16_t code_page = kDefaultCodePage;
    const auto tables = stub_block.StringTableNames();
    std::string table_path;
    if (!tables.empty()) {
        table_path = "StringFileInfo\\" + tables.front() + "\\";
        if (const auto both = HexNumber(tables.front()); both && tables.front().size() == 8) {
            language = static_cast<std::uint16_t>(*both >> 16);
            code_page = static_cast<std::uint16_t>(*both);
        }
    }

    // The ten fields, the stub's values first; a field the stub lacks and the script does not
    // set stays out.
    std::array<std::optional<std::string>, kVersionInfoKeys.size()> values;
    for (std::size_t i = 0; i < values.size() && !table_path.empty(); ++i) {
        values[i] = stub_block.QueryText(table_path + std::string(kVersionInfoKeys[i]));
    }
    const auto set = [&values](std::string_view key, const std::string& value) {
        const auto at = std::find(kVersionInfoKeys.begin(), kVersionInfoKeys.end(), key);
        values[static_cast<std::size_t>(at - kVersionInfoKeys.begin())] = value;
    };
    VersionBlockContent content;
    content.file_version = fixed->file_version;
    content.product_version = fixed->product_version;
    content.file_os = fixed->file_os;
    content.file_type = fixed->file_type;
    content.language = language;
    content.code_page = code_page;
    if (!identity.title.empty()) {
        set("ProductName", identity.title);
        set("FileDescription", identity.title);
    }
    if (!identity.output_name.empty()) set("OriginalFilename", identity.output_name);
    if (!identity.publisher.empty()) set("CompanyName", identity.publisher);
    if (!identity.version.empty()) {
        set("ProductVersion", identity.version);
        if (const auto numbers = NumericVersion(identity.version)) {
            set("FileVersion", VersionText(*numbers));
            content.file_version = *numbers;
            content.product_version = *numbers;
        }
    }

    std::vector<VersionBlockString> strings;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i]) strings.push_back({kVersionInfoKeys[i], *values[i]});
    }
    content.strings = strings;
    return FormatVersionBlock(content);
}

std::optional<InstallerVersionPatch> PlanInstallerVersionBlock(File& stub, const InstallerIdentity& identity) {
    const FileBytes bytes(stub);
    const auto place = FindVersionResourcePlace(bytes);
    if (!place) return std::nullopt;
    const auto stub_block = FindVersionBlock(bytes);
    if (!stub_block) return std::nullopt;
    std::vector<std::uint8_t> block;
    try {
        block = InstallerVersionBlock(*stub_block, identity);
    } catch (const Error& e) {
        throw Error("The installer stub " + stub.Path() +
                    " cannot take the installer's version information: " + e.what());
    }
    if (block.size() > place->room) {
        throw Error("The title, version and publisher are too long for the installer's version information (" +
                    std::to_string(block.size()) + " bytes; the installer stub " + stub.Path() + " has room for " +
                    std::to_string(place->room) + ")");
    }
    return InstallerVersionPatch{*place, std::move(block)};
}

void WriteInstallerVersionBlock(File& output, const InstallerVersionPatch& patch) {
    std::vector<std::uint8_t> room(patch.place.room, 0);
    std::copy(patch.block.begin(), patch.block.end(), room.begin());
    WriteAt(output, room.data(), room.size(), patch.place.block_offset);
    std::array<std::uint8_t, 4> size{};
    formats::PutU32LE(size.data(), static_cast<std::uint32_t>(patch.block.size()));
    WriteAt(output, size.data(), size.size(), patch.place.size_offset);
    const std::array<std::uint8_t, 4> no_checksum{};
    WriteAt(output, no_checksum.data(), no_checksum.size(), patch.place.checksum_offset);
}

}  // namespace kitforge
