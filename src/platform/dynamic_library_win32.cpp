#include "platform/dynamic_library.h"
#include "os/win32_api.h"

namespace kitforge {

void* OpenDynamicLibrary(const std::string& path) {
    // No error box for a library that cannot be loaded: the caller reports it.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const bool has_folder = path.find_first_of("\\/:") != std::string::npos;
    // A bare name is looked for in the program's folder and the system's folders only, never in
    // the current folder, where anybody's download could put a library of that name. A path
    // is loaded as named; the libraries it needs are looked for beside it.
    HMODULE module = LoadLibraryExW(WidePath(path).c_str(), nullptr,
                                    has_folder ? LOAD_WITH_ALTERED_SEARCH_PATH : LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    SetErrorMode(previous);
    return reinterpret_cast<void*>(module);
}

void* DynamicLibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDynamicLibrary(void* library) noexcept {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace kitforge
