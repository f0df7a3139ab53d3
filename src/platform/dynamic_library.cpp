#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace kitforge {

void* OpenDynamicLibrary(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* DynamicLibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseDynamicLibrary(void* library) noexcept {
    if (library != nullptr) dlclose(library);
}

}  // namespace kitforge
