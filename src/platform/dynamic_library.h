#pragma once
// Loading a shared library at run time and finding its exports by name: dlopen and dlsym
// here, LoadLibraryW and GetProcAddress on Windows.
#include <string>

namespace kitforge {

// Nothing (nullptr) when the library cannot be loaded. A name without a folder is looked for
// the platform's way.
void* OpenDynamicLibrary(const std::string& path);
// The address of an export, or nullptr.
void* DynamicLibrarySymbol(void* library, const char* name);
void CloseDynamicLibrary(void* library) noexcept;

}  // namespace kitforge
