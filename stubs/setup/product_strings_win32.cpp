// The product's version and publisher, as the installer's own version resource gives them.
#include <cstdio>
#include <vector>

#include "os/win32_api.h"
#include "setup/uninstall_entry.h"

namespace kitforge::setup {

namespace {

std::string StringValue(std::vector<std::uint8_t>& block, const wchar_t* language, const wchar_t* name) {
    wchar_t query[96];
    std::swprintf(query, sizeof query / sizeof query[0], L"\\StringFileInfo\\%ls\\%ls", language, name);
    void* found = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), query, &found, &length) || found == nullptr || length == 0) return {};
    std::wstring text(static_cast<const wchar_t*>(found), length);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Utf8Text(text);
}

}  // namespace

ProductStrings ReadProductStrings(const std::string& path) {
    const std::wstring wide = WidePath(path);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &handle);
    if (size == 0) return {};
    std::vector<std::uint8_t> block(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data())) return {};
    struct Translation {
        WORD language;
        WORD code_page;
    };
    void* found = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &found, &length) || length < sizeof(Translation))
        return {};
    const auto* first = static_cast<const Translation*>(found);
    wchar_t language[9];
    std::swprintf(language, 9, L"%04x%04x", first->language, first->code_page);
    return {StringValue(block, language, L"ProductVersion"), StringValue(block, language, L"CompanyName")};
}

}  // namespace kitforge::setup
