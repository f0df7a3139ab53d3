#pragma once
// The install record: what one installation (or several, one over the other) wrote, so that its
// uninstaller removes exactly that and nothing else. An uninstaller is the installer program
// followed by its record and a trail that says where the record starts:
//
//   record         magic "KFIR", version (u32), title, program folder, item count (u32),
//                  the items, check
//   record length  u32, below 2^31
//   mark           2E 22 75 3D
//
// A text (title, folder, path) is its length (u32) then its bytes; a path may hold any byte but
// NUL, so no byte of it can be mistaken for the structure. An item is its kind (u8), its path,
// the size of the contents (u64) and their checksum (16 bytes; zero for a folder). The check is
// the 64-bit XXH3 hash of every byte of the record before it, so a damaged record is refused
// instead of read as other paths. Numbers are little-endian. The uninstaller's mark differs from
// the installer's in its third byte: a program finds out which it is from its last four bytes.
//
// Every recorded path is absolute and tidy (no empty, "." or ".." parts): a record that names
// anything else is damaged.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/byte_cursor.h"
#include "formats/byte_order.h"
#include "formats/xxh3_digest.h"

namespace kitforge::formats {

inline constexpr std::array<std::uint8_t, 4> kInstallRecordMagic = {'K', 'F', 'I', 'R'};
inline constexpr std::uint32_t kInstallRecordVersion = 1;
// The last four bytes of every uninstaller: full stop, double quote, small u, equals sign.
inline constexpr std::array<std::uint8_t, 4> kUninstallerMark = {0x2E, 0x22, 0x75, 0x3D};
// Record length and mark.
inline constexpr std::size_t kUninstallerTrailSize = 4 + kUninstallerMark.size();
inline constexpr std::uint32_t kInstallRecordMaxSize = 0x7FFFFFFF;
inline constexpr std::size_t kInstallRecordCheckSize = 8;
inline constexpr std::size_t kContentChecksumSize = 16;
// No installation writes more; a claim of more is damage.
inline constexpr std::uint32_t kInstallRecordMaxItems = 1u << 22;

using ContentChecksum = std::array<std::uint8_t, kContentChecksumSize>;

enum class InstallItemKind : std::uint8_t {
    File = 1,         // a file put in place (EXTRACT, COPY); removed only when unchanged
    Launcher = 2,     // a desktop entry (LINK, and the uninstaller's own menu entry)
    Folder = 3,       // a folder the installation made; removed only when empty
    Uninstaller = 4,  // the uninstaller itself
};

struct InstallItem {
    InstallItemKind kind = InstallItemKind::File;
    std::string path;
    std::uint64_t size = 0;
    ContentChecksum checksum{};

    bool operator==(const InstallItem&) const = default;
};

struct InstallRecord {
    std::string title;
    std::string program_folder;  // what %program% stood for
    std::vector<InstallItem> items;

    bool operator==(const InstallRecord&) const = default;
};

// True for a path a record may hold: absolute ("/..." or, on Windows, "C:/..."), without NUL,
// and without empty, "." or ".." parts (a single "/" aside).
inline bool IsRecordablePath(std::string_view path) noexcept {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    if (path.front() == '/') {
        if (path.size() == 1) return true;
        start = 1;
    } else if (path.size() >= 3 && path[1] == ':' && path[2] == '/' &&
               ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        start = 3;
    } else {
        return false;
    }
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

namespace install_record_detail {

inline void AppendText(std::vector<std::uint8_t>& out, std::string_view text) {
    AppendU32LE(out, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

inline std::uint64_t RecordCheck(std::span<const std::uint8_t> bytes) noexcept { return Xxh3_64(bytes); }

// Reads a text of at most the bytes left; nothing when the cursor runs out.
inline std::optional<std::string> TakeText(ByteCursor& cursor) {
    const std::uint32_t length = cursor.U32LE();
    if (!cursor.Ok() || length > cursor.Remaining()) return std::nullopt;
    const auto bytes = cursor.Bytes(length);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace install_record_detail

// The bytes of `record`; nothing when a path is not recordable or the record would pass
// kInstallRecordMaxSize.
inline std::optional<std::vector<std::uint8_t>> EncodeInstallRecord(const InstallRecord& record) {
    using namespace install_record_detail;
    if (!IsRecordablePath(record.program_folder) || record.items.size() > kInstallRecordMaxItems) return std::nullopt;
    std::uint64_t size =
        4 + 4 + 4 + record.title.size() + 4 + record.program_folder.size() + 4 + kInstallRecordCheckSize;
    for (const auto& item : record.items) {
        if (!IsRecordablePath(item.path)) return std::nullopt;
        size += 1 + 4 + item.path.size() + 8 + kContentChecksumSize;
    }
    if (size > kInstallRecordMaxSize) return std::nullopt;

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(size));
    out.insert(out.end(), kInstallRecordMagic.begin(), kInstallRecordMagic.end());
    AppendU32LE(out, kInstallRecordVersion);
    AppendText(out, record.title);
    AppendText(out, record.program_folder);
    AppendU32LE(out, static_cast<std::uint32_t>(record.items.size()));
    for (const auto& item : record.items) {
        out.push_back(static_cast<std::uint8_t>(item.kind));
        AppendText(out, item.path);
        AppendU64LE(out, item.size);
        out.insert(out.end(), item.checksum.begin(), item.checksum.end());
    }
    AppendU64LE(out, RecordCheck(out));
    return out;
}

// Reads a whole record. Nothing, with the reason in `reason`, when the bytes are not one sound
// record: a wrong magic or version, a length past the end, an unknown kind, a path that is not
// recordable, bytes left over, or a check that does not match.
inline std::optional<InstallRecord> DecodeInstallRecord(std::span<const std::uint8_t> bytes, std::string* reason) {
    using namespace install_record_detail;
    auto fail = [&](const char* why) -> std::optional<InstallRecord> {
        if (reason) *reason = why;
        return std::nullopt;
    };
    if (bytes.size() < kInstallRecordMagic.size() + 4 + kInstallRecordCheckSize) return fail("it is too short");
    const std::size_t body_size = bytes.size() - kInstallRecordCheckSize;
    if (GetU64LE(bytes.data() + body_size) != RecordCheck(bytes.first(body_size)))
        return fail("its check does not match its contents (it is damaged)");

    ByteCursor cursor(bytes.first(body_size));
    const auto magic = cursor.Bytes(kInstallRecordMagic.size());
    if (!std::equal(kInstallRecordMagic.begin(), kInstallRecordMagic.end(), magic.begin()))
        return fail("it does not start with an install record's magic");
    if (cursor.U32LE() != kInstallRecordVersion) return fail("it is of a version this program does not read");

    InstallRecord record;
    const auto title = TakeText(cursor);
    const auto folder = TakeText(cursor);
    if (!title || !folder) return fail("a text reaches past its end");
    if (!IsRecordablePath(*folder)) return fail("its install folder is not an absolute, tidy path");
    record.title = *title;
    record.program_folder = *folder;

    const std::uint32_t count = cursor.U32LE();
    constexpr std::size_t kSmallestItem = 1 + 4 + 8 + kContentChecksumSize;
    if (!cursor.Ok() || count > kInstallRecordMaxItems || count > cursor.Remaining() / kSmallestItem)
        return fail("its item count is larger than its bytes can hold");
    record.items.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        InstallItem item;
        const std::uint8_t kind = cursor.U8();
        if (kind < 1 || kind > 4) return fail("an item is of an unknown kind");
        item.kind = static_cast<InstallItemKind>(kind);
        const auto path = TakeText(cursor);
        if (!path) return fail("a path reaches past its end");
        if (!IsRecordablePath(*path)) return fail("a path is not absolute and tidy");
        item.path = *path;
        const auto size = cursor.Bytes(8);
        const auto checksum = cursor.Bytes(kContentChecksumSize);
        if (!cursor.Ok()) return fail("an item reaches past its end");
        item.size = GetU64LE(size.data());
        std::copy(checksum.begin(), checksum.end(), item.checksum.begin());
        record.items.push_back(std::move(item));
    }
    if (cursor.Remaining() != 0) return fail("bytes follow its last item");
    return record;
}

// The record length and mark that follow a record of `record_size` bytes at the end of an
// uninstaller.
inline std::array<std::uint8_t, kUninstallerTrailSize> UninstallerTrail(std::uint32_t record_size) noexcept {
    std::array<std::uint8_t, kUninstallerTrailSize> trail{};
    PutU32LE(trail.data(), record_size);
    std::copy(kUninstallerMark.begin(), kUninstallerMark.end(), trail.begin() + 4);
    return trail;
}

// The record length a trail gives; nothing when the bytes are not a trail.
inline std::optional<std::uint32_t> ReadUninstallerTrail(std::span<const std::uint8_t> trail) noexcept {
    if (trail.size() != kUninstallerTrailSize ||
        !std::equal(kUninstallerMark.begin(), kUninstallerMark.end(), trail.begin() + 4))
        return std::nullopt;
    const std::uint32_t size = GetU32LE(trail.data());
    if (size > kInstallRecordMaxSize) return std::nullopt;
    return size;
}

}  // namespace kitforge::formats
