#include "window/folder_chooser.h"

#include "os/win32_api.h"
// After <windows.h>:
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace kitforge::window {

namespace {

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WideText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A drive's root keeps its separator ("C:\"); every other folder loses it.
std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back()) && !(path.size() == 3 && path[1] == ':')) path.pop_back();
    return path;
}

// Releases a COM interface when it goes out of scope.
template <typename Interface>
struct Held {
    Interface* pointer = nullptr;
    ~Held() {
        if (pointer != nullptr) pointer->Release();
    }
};

// The system's folder dialog: the Vista one, which can be typed into and browsed like the
// Explorer.
std::optional<std::optional<std::string>> ChooseWithFileDialog(HWND owner, const std::string& title,
                                                               const std::string& start) {
    Held<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog.pointer)))) {
        return std::nullopt;
    }
    DWORD options = 0;
    dialog.pointer->GetOptions(&options);
    dialog.pointer->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
    dialog.pointer->SetTitle(WideText(title).c_str());
    Held<IShellItem> folder;
    if (SUCCEEDED(SHCreateItemFromParsingName(WideText(start).c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(&folder.pointer)))) {
        dialog.pointer->SetFolder(folder.pointer);
    }
    const HRESULT shown = dialog.pointer->Show(owner);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::optional<std::string>();
    if (FAILED(shown)) return std::nullopt;
    Held<IShellItem> chosen;
    if (FAILED(dialog.pointer->GetResult(&chosen.pointer))) return std::nullopt;
    wchar_t* path = nullptr;
    if (FAILED(chosen.pointer->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::optional<std::string>();
    std::string result = Utf8Text(path);
    CoTaskMemFree(path);
    return std::optional<std::string>(WithoutTrailingSeparators(result));
}

int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// The older folder tree, where the Vista dialog is missing.
std::optional<std::string> ChooseWithFolderTree(HWND owner, const std::string& title, const std::string& start) {
    const std::wstring wide_title = WideText(title);
    const std::wstring wide_start = WideText(start);
    BROWSEINFOW browse{};
    browse.hwndOwner = owner;
    browse.lpszTitle = wide_title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    browse.lpfn = StartAt;
    browse.lParam = reinterpret_cast<LPARAM>(wide_start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const bool named = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!named) return std::nullopt;
    return WithoutTrailingSeparators(Utf8Text(path));
}

}  // namespace

std::string AbsoluteFolder(const std::string& folder) {
    if (folder.empty()) return folder;
    const std::wstring wide = WideText(folder);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return folder;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return folder;
    full.resize(length);
    return Utf8Text(full);
}

std::string NearestExistingFolder(const std::string& folder) {
    std::string path = WithoutTrailingSeparators(AbsoluteFolder(folder));
    while (!path.empty() && !IsFolder(path)) {
        const std::string::size_type separator = path.find_last_of("\\/");
        if (separator == std::string::npos) return std::string();
        const std::string parent = WithoutTrailingSeparators(path.substr(0, separator + 1));
        if (parent == path) return std::string();
        path = parent;
    }
    return path;
}

std::optional<std::string> ChooseFolder(const std::string& title, const std::string& folder) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HWND owner = GetActiveWindow();
    const std::string start = NearestExistingFolder(folder);
    std::optional<std::string> chosen;
    if (const auto answered = ChooseWithFileDialog(owner, title, start)) {
        chosen = *answered;
    } else {
        chosen = ChooseWithFolderTree(owner, title, start);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

}  // namespace kitforge::window
