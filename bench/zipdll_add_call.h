#pragma once
// One Add through ZIPDLL.DLL loaded by its path, as the zip component makes it, for the
// benchmarks that time the library in a child process of their own.

#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "formats/zip_call_records.h"

namespace kitforge::bench {

// Adds `spec` to `archive` at `level`. `whole_tree`: recursively, with folder names, folder
// entries and hidden files, as `zip -r` takes a folder; else the named file alone. Answers 0
// when at least one entry was added; reports of trouble go to stderr.
inline int RunZipDllAdd(const std::string& library, std::string spec, std::string archive, int level, bool whole_tree) {
    void* handle = dlopen(library.c_str(), RTLD_NOW);
    if (handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", library.c_str(), dlerror());
        return 1;
    }
    auto exec = reinterpret_cast<ZipDllExecFunction>(dlsym(handle, ZIPDLL_EXEC_NAME));
    if (exec == nullptr) return 1;
    char password[ZIPDLL_PASSWORD_CAPACITY] = {};
    ZipFileSpec element{};
    element.spec = spec.data();
    ZipCallRecord record{};
    ZipCallHeader& h = record.header;
    h.record_version = ZIPDLL_RECORD_VERSION;
    h.callback = [](ZipCallbackRecord* r) -> std::int32_t {
        if (r->action == ZIPDLL_ACTION_MESSAGE && r->error_code != 0) std::fprintf(stderr, "  library: %s\n", r->text);
        return ZIPDLL_CALLBACK_CONTINUE;
    };
    h.password = password;
    h.hidden_files = whole_tree ? ZIPDLL_TRUE : ZIPDLL_FALSE;
    h.no_directory_entries = whole_tree ? ZIPDLL_FALSE : ZIPDLL_TRUE;
    h.always_true56 = ZIPDLL_TRUE;
    h.compression_level = level;
    h.junk_directory_names = whole_tree ? ZIPDLL_FALSE : ZIPDLL_TRUE;
    h.recurse = whole_tree ? 0xFFFF : 0;
    h.always_true80 = ZIPDLL_TRUE;
    h.spec_count = 1;
    h.archive_name = archive.data();
    record.specs = &element;
    record.seal = ZIPDLL_RECORD_SEAL;
    return exec(&record) > 0 ? 0 : 1;
}

}  // namespace kitforge::bench
