// Loading and unloading the zip library ZIPDLL.DLL, and asking its version.

#include "platform/dynamic_library.h"
#include "os/file.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {
constexpr const char* kLibraryName = "ZIPDLL.DLL";
}  // namespace

void TZipMaster::LoadZipLibrary() {
    // The program's own folder first; the bare name leaves the choice to the platform's search.
    // (The bare name needs no slash: dlopen only searches for names without one.)
    std::string path = kLibraryName;
    if (!dll_directory_.empty()) {
        std::string candidate = NativePath(WithTrailingBackslash(dll_directory_) + kLibraryName);
        if (FileExists(candidate)) path = candidate;
    }
    void* handle = OpenDynamicLibrary(path);
    try {
        if (handle == nullptr) {
            LibraryHandle = nullptr;
            ReportMessage(zip_msg::kLibraryLoadFailed);
            return;
        }
        LibraryHandle = handle;
        if (trace_) ReportMessage(zip_msg::kLibraryLoaded);
        ZipDllExecEntry = reinterpret_cast<ZipDllExecFunction>(DynamicLibrarySymbol(handle, ZIPDLL_EXEC_NAME));
        GetZipDllVersionEntry =
            reinterpret_cast<GetZipDllVersionFunction>(DynamicLibrarySymbol(handle, ZIPDLL_VERSION_NAME));
        if (ZipDllExecEntry == nullptr) ReportMessage(zip_msg::kNoZipDllExec);
        if (GetZipDllVersionEntry == nullptr) ReportMessage(zip_msg::kNoGetZipDllVersion);
    } catch (...) {
        // A report that fails must not leave the library half loaded behind an exception.
    }
}

void TZipMaster::UnloadZipLibrary() noexcept {
    CloseDynamicLibrary(LibraryHandle);
    LibraryHandle = nullptr;
    ZipDllExecEntry = nullptr;
    GetZipDllVersionEntry = nullptr;
}

int TZipMaster::LibraryVersion() {
    bool loaded_here = false;
    if (LibraryHandle == nullptr) {
        LoadZipLibrary();
        loaded_here = LibraryHandle != nullptr;
    }
    // A library without the version export is never called through it.
    int version = LibraryHandle != nullptr && GetZipDllVersionEntry != nullptr ? GetZipDllVersionEntry() : 0;
    if (loaded_here) UnloadZipLibrary();
    return version;
}

}  // namespace kitforge
