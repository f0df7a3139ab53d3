#pragma once
// The zip library ZIPDLL.DLL as the zip component holds it: the loaded module, its two entry
// points, and the call that runs in it. The component keeps it private and reports what
// goes wrong; this only loads, resolves and calls.

#include <cstdint>
#include <exception>
#include <string>

#include "formats/zip_call_records.h"

namespace kitforge {

class ZipLibraryBinding {
public:
    ZipLibraryBinding() = default;
    ZipLibraryBinding(const ZipLibraryBinding&) = delete;
    ZipLibraryBinding& operator=(const ZipLibraryBinding&) = delete;
    // The library stays loaded until Unload: a component that loaded it for its host leaves
    // that choice to the host.
    ~ZipLibraryBinding() = default;

    // Loads the library at `path` (a bare name is looked for the platform's way) and resolves
    // its exports. False when it cannot be loaded; an export may still be missing after true.
    bool Load(const std::string& path);
    void Unload() noexcept;

    bool Loaded() const noexcept { return handle_ != nullptr; }
    bool HasExec() const noexcept { return exec_ != nullptr; }
    bool HasVersion() const noexcept { return version_ != nullptr; }
    // Both entry points are there, so the library may be called.
    bool Callable() const noexcept { return Loaded() && HasExec() && HasVersion(); }

    // The library's version; 0 when it is not loaded or has no version export.
    int Version() const;
    // Runs the call `record` and gives the library's result. The library must be callable.
    std::int32_t Exec(void* record);

    // The call record of the running call, or nullptr between calls.
    void* CallRecord = nullptr;
    // The first exception of an event handler during a call, raised again once the library
    // has returned: none may cross the library's C boundary.
    std::exception_ptr CallbackFailure;

private:
    void* handle_ = nullptr;
    // The exports have the library's calling convention, which on 32-bit Windows is not the
    // compiler's default.
    ZipDllExecFunction exec_ = nullptr;
    GetZipDllVersionFunction version_ = nullptr;
};

}  // namespace kitforge
