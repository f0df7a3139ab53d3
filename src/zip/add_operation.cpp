// Add: hands the file specifications to the zip library, which writes the archive, and reads
// the archive's directory again afterwards. Every failure is reported; the caller learns of it
// by AddedCount being 0.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <utility>
#include <vector>

#include "os/file.h"
#include "platform/paths.h"
#include "zip/zip_call_buffers.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

bool HasExeExtension(const std::string& path) {
    std::string name = FileNamePart(path);
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".EXE";
}

// The library writes a multi-volume Add's archive here first. The file is created to make the
// name unique, then deleted at once: only its name is used.
std::string TemporaryArchiveName(const std::string& folder) {
    std::string pattern = NativePath(folder + "zip") + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return {};
    close(fd);
    unlink(name.data());
    return name.data();
}

std::string SystemTemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace

void TZipMaster::Add() {
    operation_.AddedCount = 0;
    if (fspec_args_.empty()) {
        ReportMessage(zip_msg::kNothingToAdd);
        return;
    }
    if (zip_filename_.empty()) {
        ReportMessage(zip_msg::kNoArchiveName);
        return;
    }
    if (unattended_ && add_options_.Contains(AddEncrypt) && password_.empty()) {
        ReportMessage(zip_msg::kPasswordNeeded);
        return;
    }
    const bool spanning = add_options_.Contains(AddDiskSpan) || add_options_.Contains(AddDiskSpanErase);
    std::string target = zip_filename_;
    if (spanning) {
        if (add_options_.Contains(AddFreshen) || add_options_.Contains(AddUpdate)) {
            ReportMessage(zip_msg::kSpanWithFreshenOrUpdate);
            return;
        }
        if (HasExeExtension(zip_filename_)) {
            ReportMessage(zip_msg::kSpanToExe);
            return;
        }
        std::string folder = SystemTemporaryFolder();
        if (!temp_dir_.empty()) {
            temp_dir_ = WithTrailingBackslash(temp_dir_);
            folder = temp_dir_;
        }
        target = TemporaryArchiveName(WithTrailingBackslash(folder));
        if (target.empty()) {
            // Without a temporary name there is nowhere for the library to write.
            ReportMessage(zip_msg::kAddFailed);
            return;
        }
        if (verbose_ && OnMessage) OnMessage(*this, kComponentMessageCode, "Temporary zipfile: " + target);
    }
    if (operation_.OperationActive) return;  // started again from a handler of the running Add
    operation_.OperationActive = true;
    operation_.CancelRequested = false;

    if (HasExeExtension(zip_filename_) && directory_.StubSize == 0 && !FileExists(zip_filename_)) {
        operation_.EmptySFXMode = true;
        const int made = MakeSFX();  // the library adds to the executable it writes
        operation_.EmptySFXMode = false;
        if (made != sfx_result::kDone) {
            // MakeSFX has reported why. Going on would give a plain zip archive named .exe,
            // which cannot run: the Add ends as after a failed load, keeping FSpecArgs.
            operation_.OperationActive = false;
            return;
        }
    }

    bool loaded_here = false;
    if (!library_.Loaded()) {
        LoadZipLibrary();
        loaded_here = library_.Loaded();
    }
    // A library that could not be loaded, or lacks an entry point (reported while loading), is
    // never called: the Add ends as after a failed load and keeps FSpecArgs.
    if (!library_.Callable()) {
        if (loaded_here) UnloadZipLibrary();
        operation_.OperationActive = false;
        return;
    }
    const int version = LibraryVersion();

    {
        AddCallBuffers buffers;
        library_.CallbackFailure = nullptr;
        try {
            CallLibrary(version, target, buffers);
            if (operation_.AddedCount > 0 && spanning) {
                // The multi-volume writer copies the finished archive onto its volumes and has
                // reported any failure itself.
                if (SpanArchive(target, zip_filename_) != span_result::kDone) operation_.AddedCount = 0;
                DeleteFile(target);
            }
        } catch (...) {
            ReportMessage(zip_msg::kAddFailed);
        }
        fspec_args_.clear();
        library_.CallRecord = nullptr;
    }  // the record and every buffer it points to are freed here

    if (loaded_here) UnloadZipLibrary();
    operation_.CancelRequested = false;
    operation_.OperationActive = false;
    if (operation_.AddedCount > 0) ReadDirectory();
}

void TZipMaster::CallLibrary(int version, const std::string& target, AddCallBuffers& buffers) {
    buffers.specs = fspec_args_;
    ZipCallHeader* header = nullptr;
    if (version < ZIPDLL_NEW_LAYOUT_VERSION) {
        buffers.old_record = std::make_unique<ZipOldCallRecord>();
        header = &buffers.old_record->header;
        FillAddParams(*header, target, buffers);
        if (buffers.specs.size() > ZIPDLL_OLD_LAYOUT_SPEC_CAPACITY)
            throw std::length_error("more file specifications than the old call record holds");
        for (std::size_t i = 0; i < buffers.specs.size(); ++i) buffers.old_record->specs[i] = buffers.specs[i].data();
        buffers.old_record->seal = ZIPDLL_RECORD_SEAL;
        library_.CallRecord = buffers.old_record.get();
    } else {
        buffers.new_record = std::make_unique<ZipCallRecord>();
        header = &buffers.new_record->header;
        FillAddParams(*header, target, buffers);
        if (!temp_dir_.empty()) {
            buffers.temp_dir = temp_dir_;
            buffers.new_record->temp_dir = buffers.temp_dir.data();
        }
        buffers.spec_elements.assign(buffers.specs.size(), ZipFileSpec{});
        for (std::size_t i = 0; i < buffers.specs.size(); ++i) buffers.spec_elements[i].spec = buffers.specs[i].data();
        buffers.new_record->specs = buffers.spec_elements.empty() ? nullptr : buffers.spec_elements.data();
        buffers.new_record->seal = ZIPDLL_RECORD_SEAL;
        library_.CallRecord = buffers.new_record.get();
    }
    header->spec_count = static_cast<std::int32_t>(buffers.specs.size());
    operation_.AddedCount = library_.Exec(library_.CallRecord);
    if (library_.CallbackFailure) {
        std::exception_ptr failure = std::exchange(library_.CallbackFailure, nullptr);
        std::rethrow_exception(failure);
    }
}

}  // namespace kitforge
