// Loading and unloading the zip library ZIPDLL.DLL, and asking its version.

#include "zip/zip_library_binding.h"

#include "platform/dynamic_library.h"
#include "os/file.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {
constexpr const char* kLibraryName = "ZIPDLL.DLL";
}  // namespace

bool ZipLibraryBinding::Load(const std::string& path) {
    handle_ = OpenDynamicLibrary(path);
    exec_ = nullptr;
    version_ = nullptr;
    if (handle_ == nullptr) return false;
    exec_ = reinterpret_cast<ZipDllExecFunction>(DynamicLibrarySymbol(handle_, ZIPDLL_EXEC_NAME));
    version_ = reinterpret_cast<GetZipDllVersionFunction>(DynamicLibrarySymbol(handle_, ZIPDLL_VERSION_NAME));
    return true;
}

void ZipLibraryBinding::Unload() noexcept {
    CloseDynamicLibrary(handle_);
    handle_ = nullptr;
    exec_ = nullptr;
    version_ = nullptr;
}

int ZipLibraryBinding::Version() const { return Loaded() && HasVersion() ? version_() : 0; }

std::int32_t ZipLibraryBinding::Exec(void* record) { return exec_(record); }

void TZipMaster::LoadZipLibrary() {
    // The program's own folder first; the bare name leaves the choice to the platform's search.
    // (The bare name needs no slash: dlopen only searches for names without one.)
    std::string path = kLibraryName;
    if (!dll_directory_.empty()) {
        std::string candidate = NativePath(WithTrailingBackslash(dll_directory_) + kLibraryName);
        if (FileExists(candidate)) path = candidate;
    }
    const bool loaded = library_.Load(path);
    try {
        if (!loaded) {
            ReportMessage(zip_msg::kLibraryLoadFailed);
            return;
        }
        if (trace_) ReportMessage(zip_msg::kLibraryLoaded);
        if (!library_.HasExec()) ReportMessage(zip_msg::kNoZipDllExec);
        if (!library_.HasVersion()) ReportMessage(zip_msg::kNoGetZipDllVersion);
    } catch (...) {
        // A report that fails must not leave the library half loaded behind an exception.
    }
}

void TZipMaster::UnloadZipLibrary() noexcept { library_.Unload(); }

int TZipMaster::LibraryVersion() {
    bool loaded_here = false;
    if (!library_.Loaded()) {
        LoadZipLibrary();
        loaded_here = library_.Loaded();
    }
    // A library without the version export is never called through it.
    const int version = library_.Version();
    if (loaded_here) UnloadZipLibrary();
    return version;
}

}  // namespace kitforge
