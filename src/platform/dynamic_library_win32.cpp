#include "platform/dynamic_library.h"
#include "platform/win32_api.h"

namespace kitforge {

void* OpenDynamicLibrary(const std::string& path) {
    // No error box for a library that cannot be loaded: the caller reports it.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryW(WidePath(path).c_str());
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
