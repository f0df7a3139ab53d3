#include "os/win32_api.h"

#include <cerrno>

#include "os/errors.h"
#include "os/native_path.h"
#include "os/system_message.h"

namespace kitforge {

std::wstring WideText(std::string_view text) {
    if (text.empty()) return std::wstring();
    UINT page = CP_UTF8;
    int length =
        MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        page = CP_ACP;
        length = MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    }
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string Utf8Text(std::wstring_view text) {
    if (text.empty()) return std::string();
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                            nullptr);
    return utf8;
}

std::wstring WidePath(std::string_view path) { return WideText(NativePath(path)); }

int ErrnoFromWindowsError(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS: return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_CURRENT_DIRECTORY: return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_NOT_SAME_DEVICE: return EXDEV;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_INVALID_HANDLE: return EBADF;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_NOT_READY:
        case ERROR_NOT_DOS_DISK:
        case ERROR_UNRECOGNIZED_MEDIA: return ENODEV;
        case ERROR_INVALID_PARAMETER:
        case ERROR_NEGATIVE_SEEK: return EINVAL;
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED: return ENOSYS;
        case ERROR_BROKEN_PIPE: return EPIPE;
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        case ERROR_BAD_FORMAT: return ENOEXEC;
        default: return EIO;
    }
}

std::string WindowsErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::wstring wide = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) LocalFree(buffer);
    const std::string text = TidySystemMessage(Utf8Text(wide));
    if (text.empty()) return "system error " + std::to_string(code);
    return text;
}

int WindowsErrorAsErrno(DWORD code) {
    const int value = ErrnoFromWindowsError(code);
    NoteSystemCode(value, code);
    return value;
}

int LastErrorAsErrno() {
    const int value = WindowsErrorAsErrno(GetLastError());
    errno = value;
    return value;
}

}  // namespace kitforge
