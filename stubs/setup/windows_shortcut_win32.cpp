// Shell links through the shell's own objects, so that every field is written as Explorer
// expects it.
#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/windows_shortcut.h"

namespace kitforge::setup {

namespace {

// COM for this thread while a shortcut is made. A thread that has COM already in another
// mode keeps it; the shell link object works in either.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_) pointer_->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface** Out() { return &pointer_; }
    Interface* operator->() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

void Check(HRESULT result, const std::string& path) {
    if (FAILED(result)) throw InOutError("create", path, 0, WindowsErrorText(static_cast<DWORD>(result)));
}

}  // namespace

void SaveShortcut(const Shortcut& shortcut, const std::string& path) {
    ComScope com;
    ComPointer<IShellLinkW> link;
    Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                           reinterpret_cast<void**>(link.Out())),
          path);
    Check(link->SetPath(WideText(WindowsPathText(shortcut.target)).c_str()), path);
    Check(link->SetArguments(WideText(shortcut.arguments).c_str()), path);
    if (!shortcut.working_folder.empty())
        Check(link->SetWorkingDirectory(WideText(WindowsPathText(shortcut.working_folder)).c_str()), path);
    if (!shortcut.description.empty()) Check(link->SetDescription(WideText(shortcut.description).c_str()), path);
    ComPointer<IPersistFile> file;
    Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())), path);
    Check(file->Save(WidePath(path).c_str(), TRUE), path);
}

}  // namespace kitforge::setup
