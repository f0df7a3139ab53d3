#include "platform/volumes.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/paths.h"

namespace kitforge {

namespace fs = std::filesystem;

namespace {

struct Mount {
    std::string point;  // without a trailing "/", except "/" itself
    std::string type;
    std::string source;
};

// Mount points in the mount table escape blanks, tabs, line feeds and backslashes as "\ooo".
std::string UnescapeOctal(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 4 <= text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string_view::npos) {
                out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) | (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// /proc/self/mountinfo: "id parent major:minor root point options [optional...] - type source super".
std::vector<Mount> ReadMountTable() {
    std::vector<Mount> mounts;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point, word;
        if (!(fields >> id >> parent >> device >> root >> point)) continue;
        while (fields >> word && word != "-") {
        }
        Mount mount;
        if (!(fields >> mount.type >> mount.source)) continue;
        mount.point = UnescapeOctal(point);
        mount.source = UnescapeOctal(mount.source);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

bool IsUnder(std::string_view path, std::string_view point) {
    if (point == "/") return true;
    return path.substr(0, point.size()) == point && (path.size() == point.size() || path[point.size()] == '/');
}

// The real path of `path` or of its nearest existing ancestor, so that a file about to be
// created is placed on the right mount.
std::string ResolvedPath(const std::string& path) {
    std::error_code ec;
    fs::path probe(path);
    while (!probe.empty()) {
        const fs::path real = fs::canonical(probe, ec);
        if (!ec) return real.string();
        if (probe == probe.root_path()) break;
        probe = probe.parent_path();
    }
    return "/";
}

std::string WithSlash(std::string root) {
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

std::string WithoutSlash(std::string_view root) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    return std::string(root);
}

const Mount* FindMountAt(const std::vector<Mount>& mounts, std::string_view point) {
    const Mount* found = nullptr;
    for (const auto& mount : mounts) {
        if (mount.point == point) found = &mount;  // the last one mounted there is on top
    }
    return found;
}

bool IsNetworkType(std::string_view type) {
    for (std::string_view network : {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph", "glusterfs",
                                     "fuse.sshfs", "fuse.glusterfs", "davfs", "fuse.davfs2"}) {
        if (type == network) return true;
    }
    return false;
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// A block device is removable when the kernel says so of the whole disk that holds it.
bool IsRemovableDevice(const std::string& source) {
    std::error_code ec;
    const fs::path device = fs::canonical(source, ec);
    if (ec) return false;
    fs::path block = fs::canonical(fs::path("/sys/class/block") / device.filename(), ec);
    if (ec) return false;
    if (fs::exists(block / "partition", ec)) block = block.parent_path();
    return ReadFirstLine(block / "removable") == "1";
}

// Names in /dev/disk/by-label escape unusual bytes as "\xNN".
std::string UnescapeHex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 4 <= text.size() && text[i + 1] == 'x') {
            const std::string hex(text.substr(i + 2, 2));
            if (hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
                out += static_cast<char>(std::stoi(hex, nullptr, 16));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string LabelOfDevice(const std::string& source) {
    std::error_code ec;
    const fs::path device = fs::canonical(source, ec);
    if (ec) return {};
    for (auto it = fs::directory_iterator("/dev/disk/by-label", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code link_ec;
        if (fs::canonical(it->path(), link_ec) == device && !link_ec)
            return UnescapeHex(it->path().filename().string());
    }
    return {};
}

class SystemVolumeService final : public Volumes {
public:
    std::string DriveRootOf(std::string_view path) override {
        const std::string real = ResolvedPath(FullPath(path));
        const auto mounts = ReadMountTable();
        std::string best = "/";
        for (const auto& mount : mounts) {
            if (IsUnder(real, mount.point) && mount.point.size() > best.size()) best = mount.point;
        }
        return WithSlash(best);
    }

    std::uint32_t LogicalDriveMask() override { return 0; }

    DriveType TypeOf(std::string_view root) override {
        const auto mounts = ReadMountTable();
        const Mount* mount = FindMountAt(mounts, WithoutSlash(root));
        if (mount == nullptr) {
            std::error_code ec;
            return fs::is_directory(std::string(root), ec) ? DriveType::Fixed : DriveType::NoRootDir;
        }
        if (IsNetworkType(mount->type)) return DriveType::Network;
        if (mount->source.rfind("/dev/", 0) == 0 && IsRemovableDevice(mount->source)) return DriveType::Removable;
        return DriveType::Fixed;
    }

    VolumeInfo QueryVolume(std::string_view root) override {
        struct statvfs st {};
        if (::statvfs(std::string(root).c_str(), &st) != 0) {
            const int error = errno;
            return {error == ENOENT || error == ENOMEDIUM || error == ENOTDIR ? VolumeState::NoMedium
                                                                              : VolumeState::Unreadable,
                    {}};
        }
        VolumeInfo info{VolumeState::Ready, {}};
        const auto mounts = ReadMountTable();
        if (const Mount* mount = FindMountAt(mounts, WithoutSlash(root));
            mount && mount->source.rfind("/dev/", 0) == 0) {
            info.label = LabelOfDevice(mount->source);
        }
        return info;
    }

    std::optional<DiskSpace> QuerySpace(std::string_view root) override {
        struct statvfs st {};
        if (::statvfs(std::string(root).c_str(), &st) != 0) return std::nullopt;
        const std::uint64_t unit = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
        return DiskSpace{static_cast<std::uint64_t>(st.f_bavail) * unit,
                         static_cast<std::uint64_t>(st.f_blocks) * unit};
    }

    bool SetLabel(std::string_view, std::string_view) override { return false; }

    FormatOutcome Format(std::string_view, std::string_view) override { return FormatOutcome::Failed; }
};

}  // namespace

Volumes& SystemVolumes() {
    static SystemVolumeService service;
    return service;
}

std::string FullPath(std::string_view path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(fs::path(NativePath(path)), ec);
    if (ec) absolute = fs::path(NativePath(path));
    std::string text = absolute.lexically_normal().string();
    // lexically_normal keeps a trailing "/" of a folder path; a path names the thing itself.
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace kitforge
