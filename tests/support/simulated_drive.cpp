#include "support/simulated_drive.h"

#include <filesystem>
#include <stdexcept>

#include "os/errors.h"

namespace kitforge {

namespace fs = std::filesystem;

SimulatedDrive::SimulatedDrive(std::string root, std::string store, DriveType type, Volumes& others)
    : link_(FullPath(root)), store_(FullPath(store) + "/"), type_(type), others_(others) {
    root_ = link_ + "/";
    std::error_code ec;
    if (fs::exists(fs::symlink_status(link_, ec))) throw Error("The simulated drive's root already exists: " + link_);
    if (!fs::is_directory(store_, ec)) throw Error("The simulated drive's disk store is not a folder: " + store_);
}

SimulatedDrive::~SimulatedDrive() {
    std::error_code ec;
    fs::remove(link_, ec);
}

int SimulatedDrive::AddDisk(std::string label, std::uint64_t size, bool formatted) {
    const int number = DiskCount();
    Disk disk{std::move(label), size, formatted, store_ + "disk" + std::to_string(number + 1) + "/"};
    fs::create_directories(disk.folder);
    disks_.push_back(std::move(disk));
    return number;
}

void SimulatedDrive::Insert(int disk) {
    const std::string& folder = DiskAt(disk).folder;
    Eject();
    fs::create_directory_symlink(fs::path(folder).parent_path(), link_);
    inserted_ = disk;
}

void SimulatedDrive::Eject() {
    std::error_code ec;
    fs::remove(link_, ec);
    inserted_.reset();
}

bool SimulatedDrive::InsertNext() {
    if (queued_disks.empty()) return false;
    Insert(queued_disks.front());
    queued_disks.pop_front();
    return true;
}

std::uint64_t SimulatedDrive::UsedBytes(int disk) const {
    std::uint64_t used = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(disks_.at(static_cast<std::size_t>(disk)).folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code size_ec;
        if (it->is_regular_file(size_ec)) used += it->file_size(size_ec);
    }
    return used;
}

bool SimulatedDrive::IsOurs(std::string_view root) const { return root == root_ || root == link_; }

SimulatedDrive::Disk* SimulatedDrive::InsertedDisk() { return inserted_ ? &DiskAt(*inserted_) : nullptr; }

std::string SimulatedDrive::DriveRootOf(std::string_view path) {
    const std::string full = FullPath(path);
    if (full == link_ || full.rfind(root_, 0) == 0) return root_;
    return others_.DriveRootOf(path);
}

DriveType SimulatedDrive::TypeOf(std::string_view root) { return IsOurs(root) ? type_ : others_.TypeOf(root); }

VolumeInfo SimulatedDrive::QueryVolume(std::string_view root) {
    if (!IsOurs(root)) return others_.QueryVolume(root);
    const Disk* disk = InsertedDisk();
    if (disk == nullptr) return {VolumeState::NoMedium, {}};
    if (!disk->formatted) return {VolumeState::Unformatted, {}};
    return {VolumeState::Ready, disk->label};
}

std::optional<DiskSpace> SimulatedDrive::QuerySpace(std::string_view root) {
    if (!IsOurs(root)) return others_.QuerySpace(root);
    const Disk* disk = InsertedDisk();
    if (disk == nullptr || !disk->formatted) return std::nullopt;
    const std::uint64_t used = UsedBytes(*inserted_);
    return DiskSpace{used < disk->size ? disk->size - used : 0, disk->size};
}

bool SimulatedDrive::SetLabel(std::string_view root, std::string_view label) {
    if (!IsOurs(root)) return others_.SetLabel(root, label);
    Disk* disk = InsertedDisk();
    if (disk == nullptr || !disk->formatted || !labels_writable) return false;
    disk->label = std::string(label);
    return true;
}

FormatOutcome SimulatedDrive::Format(std::string_view root, std::string_view label) {
    if (!IsOurs(root)) return others_.Format(root, label);
    ++format_count;
    FormatOutcome outcome = FormatOutcome::Formatted;
    if (!format_outcomes.empty()) {
        outcome = format_outcomes.front();
        format_outcomes.pop_front();
    }
    Disk* disk = InsertedDisk();
    if (disk == nullptr) return FormatOutcome::Failed;
    if (outcome != FormatOutcome::Formatted) return outcome;
    std::error_code ec;
    for (auto it = fs::directory_iterator(disk->folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code remove_ec;
        fs::remove_all(it->path(), remove_ec);
    }
    disk->formatted = true;
    disk->label = std::string(label);
    return FormatOutcome::Formatted;
}

}  // namespace kitforge
