#include "setup/uninstaller_record.h"

#include <vector>

#include "os/errors.h"

namespace kitforge::setup {

namespace {

std::optional<std::uint32_t> TrailOf(File& file, std::uint64_t size) {
    if (size < formats::kUninstallerTrailSize) return std::nullopt;
    std::array<std::uint8_t, formats::kUninstallerTrailSize> trail{};
    if (file.ReadAt(trail.data(), trail.size(), size - trail.size()) != trail.size()) return std::nullopt;
    return formats::ReadUninstallerTrail(trail);
}

std::uint64_t SizeOf(File& file) {
    const std::int64_t end = file.Seek(0, File::Whence::End);
    if (end < 0) throw ReadError("read", file.Path(), file.LastError());
    return static_cast<std::uint64_t>(end);
}

}  // namespace

bool HasUninstallerMark(File& file) {
    const std::int64_t end = file.Seek(0, File::Whence::End);
    return end >= 0 && TrailOf(file, static_cast<std::uint64_t>(end)).has_value();
}

formats::InstallRecord ReadUninstallerRecord(File& file) {
    const std::uint64_t size = SizeOf(file);
    const std::optional<std::uint32_t> record_size = TrailOf(file, size);
    if (!record_size)
        throw ReadError("read", file.Path(), 0,
                        "it is not an uninstaller: its last bytes are not the uninstaller's mark");
    if (*record_size > size - formats::kUninstallerTrailSize)
        throw ReadError("read", file.Path(), 0,
                        "the install record is damaged: its length reaches past the start of the file");
    std::vector<std::uint8_t> bytes(*record_size);
    const std::uint64_t start = size - formats::kUninstallerTrailSize - *record_size;
    if (file.ReadAt(bytes.data(), bytes.size(), start) != bytes.size())
        throw ReadError("read", file.Path(), file.LastError());
    std::string reason;
    std::optional<formats::InstallRecord> record = formats::DecodeInstallRecord(bytes, &reason);
    if (!record) throw ReadError("read", file.Path(), 0, "the install record is damaged: " + reason);
    return std::move(*record);
}

}  // namespace kitforge::setup
