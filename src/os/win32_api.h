#pragma once
// Windows only: <windows.h> without the macros that clash with our own names (DeleteFile,
// CopyFile, ...), the one conversion between our UTF-8 texts and the UTF-16 of the W
// functions, and Windows error codes as errno values, so that every FileError carries the
// same kind of code on both platforms.
#ifdef _WIN32

#include <windows.h>

#undef DeleteFile
#undef CopyFile
#undef MoveFile
#undef CreateFile
#undef CreateDirectory
#undef GetMessage
#undef SendMessage
#undef PostMessage
#undef LoadLibrary
#undef FormatMessage
#undef GetEnvironmentVariable

#include <string>
#include <string_view>

namespace kitforge {

// UTF-8 to UTF-16. A text that is not valid UTF-8 is read in the ANSI code page instead.
std::wstring WideText(std::string_view text);
// UTF-16 to UTF-8.
std::string Utf8Text(std::wstring_view text);
// NativePath(path) in the UTF-16 form that the W functions take.
std::wstring WidePath(std::string_view path);
// The errno value closest to a GetLastError() code (EIO for codes without one).
int ErrnoFromWindowsError(DWORD code);
// ErrnoFromWindowsError(code) for a failure about to be reported: the Windows code is noted,
// so that the message gives Windows' own text for it (NoteSystemCode).
int WindowsErrorAsErrno(DWORD code);
// WindowsErrorAsErrno(GetLastError()), also stored in errno.
int LastErrorAsErrno();
// The system's description of a GetLastError() code, tidied by TidySystemMessage.
std::string WindowsErrorText(DWORD code);

}  // namespace kitforge

#endif
