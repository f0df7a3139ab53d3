// Zip archives come from anywhere: the directory reader must take any bytes without crashing,
// and end either with a directory that agrees with itself or with one report and no name.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "zip/zip_master.h"
#include "zip/zip_master_internals.h"

namespace {

using namespace kitforge;

class SilentHost final : public UiHost {
public:
    Answer ShowMessage(MessageKind, std::string_view, std::string_view, Buttons, std::optional<Answer>) override {
        return Answer::Cancel;
    }
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> InputBox(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFolder(std::string_view, std::string_view) override { return std::nullopt; }
    void ProcessMessages() override {}

protected:
    void SetBusy(bool) override {}
};

// A removable drive with a set's label, so that every path of the reader can be reached
// without asking the machine about its mounts on every input.
class QuietVolumes final : public Volumes {
public:
    std::string DriveRootOf(std::string_view) override { return "/"; }
    std::uint32_t LogicalDriveMask() override { return 0; }
    DriveType TypeOf(std::string_view) override { return DriveType::Removable; }
    VolumeInfo QueryVolume(std::string_view) override { return {VolumeState::Ready, "PKBACK# 001"}; }
    std::optional<DiskSpace> QuerySpace(std::string_view) override { return DiskSpace{1 << 20, 1 << 21}; }
    bool SetLabel(std::string_view, std::string_view) override { return false; }
    FormatOutcome Format(std::string_view, std::string_view) override { return FormatOutcome::Failed; }
};

std::string InputFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zip-directory-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return pattern;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = InputFile();
    static SilentHost host;
    static QuietVolumes volumes;
    {
        File file = File::Create(path);
        file.WriteAll(data, size);
        file.Close();
    }
    TZipMaster zip(host, volumes);
    zip.SetUnattended(true);
    int updates = 0;
    int errors = 0;
    zip.OnDirUpdate = [&](TZipMaster&) { ++updates; };
    zip.OnMessage = [&](TZipMaster& z, int, const std::string&) {
        errors += z.LastMessageId() != zip_msg::kOffsetsShifted && z.LastMessageId() != zip_msg::kBytesAfterComment;
    };
    zip.SetZipFilename(path);

    const DirectoryState& directory = ZipMasterInternals::Directory(zip);
    Check(updates == 1);
    Check(!directory.InputHandle.IsOpen());
    const bool failed = zip.ZipFilename().empty();
    Check(errors == (failed ? 1 : 0));
    Check(zip.StubSize() >= 0);
    // A reading that failed keeps the entries read so far; the last of them may lack its
    // comment, which is what failed.
    // A name or comment may come from a Unicode field, of any length; the stored name's
    // slashes never survive. A real figure differs from its stored field only where that
    // field is saturated.
    for (std::size_t i = 0; i < zip.Entries().size(); ++i) {
        const ZipDirEntry& e = zip.Entries()[i];
        Check(e.FileName.find('/') == std::string::npos);
        Check(e.FileComment.size() == e.CommentLength || e.CommentLength > 0 ||
              (failed && i + 1 == zip.Entries().size()));
        Check(e.UnpackedSize64 == e.UnpackedSize || e.UnpackedSize == 0xFFFFFFFF);
        Check(e.PackedSize64 == e.PackedSize || e.PackedSize == 0xFFFFFFFF);
        Check(e.LocalHeaderOffset64 == e.LocalHeaderOffset || e.LocalHeaderOffset == 0xFFFFFFFF);
        Check(e.StartDisk32 == e.StartDisk || e.StartDisk == 0xFFFF);
    }
    if (failed) {
        Check(zip.StubSize() == 0);
    } else {
        Check(zip.ArchiveSize() <= zip.PhysicalSize() && zip.PhysicalSize() == static_cast<std::int64_t>(size));
        Check(directory.EndRecordOffset + 22 <= zip.ArchiveSize());
        const std::uint64_t expected =
            directory.Zip64Directory
                ? directory.Zip64TotalEntries
                : formats::GetU16LE(data + directory.EndRecordOffset + formats::end_record::kTotalEntries);
        Check(zip.Entries().size() == expected);
    }
    return 0;
}
