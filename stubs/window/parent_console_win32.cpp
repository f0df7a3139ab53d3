#include "window/parent_console.h"

#include <cstdio>

#include <io.h>

#include "os/win32_api.h"

namespace kitforge::window {

namespace {

struct StandardStream {
    DWORD id;
    std::FILE* stream;
    const wchar_t* device;
    const wchar_t* mode;
};

// A handle the program was given: a file, a pipe or a console of its own.
bool HasHandle(DWORD id) {
    const HANDLE handle = GetStdHandle(id);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool AttachParentConsole() {
    const StandardStream streams[] = {
        {STD_INPUT_HANDLE, stdin, L"CONIN$", L"r"},
        {STD_OUTPUT_HANDLE, stdout, L"CONOUT$", L"w"},
        {STD_ERROR_HANDLE, stderr, L"CONOUT$", L"w"},
    };
    bool given[3];
    bool all_given = true;
    for (int n = 0; n < 3; ++n) {
        given[n] = HasHandle(streams[n].id);
        all_given = all_given && given[n];
    }
    // Everything redirected (a script's files and pipes): there is nothing to show on a console.
    if (all_given) return false;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    for (int n = 0; n < 3; ++n) {
        if (given[n]) continue;
        if (_wfreopen(streams[n].device, streams[n].mode, streams[n].stream) == nullptr) continue;
        SetStdHandle(streams[n].id, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(streams[n].stream))));
    }
    return true;
}

}  // namespace kitforge::window
