// The installation's entry in the registry's list of installed programs.
#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/uninstall_entry.h"

namespace kitforge::setup {

namespace {

std::wstring KeyPath(const std::string& key) { return WideText(std::string(kUninstallKeyParent) + "\\" + key); }

std::string Where(HKEY root, const std::string& key) {
    return std::string(root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\") +
           kUninstallKeyParent + "\\" + key;
}

void SetValue(HKEY key, const RegistryValue& value, const std::string& where) {
    LSTATUS status = ERROR_SUCCESS;
    const std::wstring name = WideText(value.name);
    if (const auto* text = std::get_if<std::string>(&value.data)) {
        const std::wstring wide = WideText(*text);
        status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                                static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    } else {
        const DWORD number = std::get<std::uint32_t>(value.data);
        status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    if (status != ERROR_SUCCESS)
        throw Error("cannot write " + value.name + " of " + where + ": " +
                    WindowsErrorText(static_cast<DWORD>(status)));
}

}  // namespace

void WriteUninstallEntry(const UninstallEntry& entry, InstallScope scope) {
    const HKEY root = scope == InstallScope::SystemWide ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::string where = Where(root, entry.key);
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(root, KeyPath(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        throw Error("cannot create " + where + ": " + WindowsErrorText(static_cast<DWORD>(status)));
    try {
        // Values an earlier installation wrote and this one leaves out (a version the new
        // installer no longer names) would describe the wrong product.
        for (const char* name : {"DisplayVersion", "Publisher"}) RegDeleteValueW(key, WideText(name).c_str());
        for (const auto& value : entry.values) SetValue(key, value, where);
    } catch (...) {
        RegCloseKey(key);
        throw;
    }
    RegCloseKey(key);
}

std::vector<std::string> RemoveUninstallEntry(const std::string& key) {
    std::vector<std::string> failures;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const LSTATUS status = RegDeleteKeyW(root, KeyPath(key).c_str());
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            failures.push_back(Where(root, key) + " was not removed: " + WindowsErrorText(static_cast<DWORD>(status)));
    }
    return failures;
}

}  // namespace kitforge::setup
