#include "zip/zip_master.h"

#include "platform/oem_code_page.h"

namespace kitforge {

TZipMaster::TZipMaster(UiHost& host, Volumes& volumes) : host_(host), volumes_(volumes) {}

TZipMaster::~TZipMaster() { ClearEntries(); }

void TZipMaster::SetZipFilename(std::string value) {
    zip_filename_ = std::move(value);
    ReadDirectory();
}

void TZipMaster::SetPassword(std::string value) {
    if (value.size() > kMaxPasswordLength) value.resize(kMaxPasswordLength);
    password_ = std::move(value);
}

void TZipMaster::SetDLLDirectory(std::string value) {
    if (value == dll_directory_) return;
    if (!value.empty() && (value.back() == '\\' || value.back() == '/')) value.pop_back();
    dll_directory_ = std::move(value);
}

void TZipMaster::Deliver(int id, MessageKind kind, const std::string& text, bool show) noexcept {
    try {
        operation_.LastMessageId = id;
        operation_.LastMessage = text;
        if (show && !unattended_) host_.ShowMessage(kind, text);
        if (OnMessage) OnMessage(*this, kComponentMessageCode, text);
    } catch (...) {
        // A report is the last thing a failing operation does; a host or handler that fails
        // while showing it must not turn the report into a second failure.
    }
}

void TZipMaster::ReportMessage(int id, std::string_view extra) {
    std::string text;
    try {
        text = MessageTextOrMissing(id);
        text += extra;
    } catch (...) {
        return;
    }
    Deliver(id, MessageKindOf(id), text, true);
}

void TZipMaster::ReportException(const EZipMaster& failure, std::string_view extra) {
    std::string text;
    try {
        text = failure.what();
        text += extra;
    } catch (...) {
        return;
    }
    Deliver(failure.MessageId, MessageKindOf(failure.MessageId), text, failure.DisplayMessage);
}

std::string TZipMaster::FileNote() const { return ".\nFile: " + directory_.InputPath; }

bool TZipMaster::IsOemName(std::uint8_t host_system, std::uint8_t spec_version) const noexcept {
    using namespace formats;
    // Names from MS-DOS follow the CodePage setting; OS/2 and the first NTFS archivers
    // (version byte 50) always stored OEM names, whatever the setting says.
    return (code_page_ == cpAuto && host_system == kHostMsDos) || host_system == kHostOs2Hpfs ||
           (host_system == kHostWindowsNtfs && spec_version == 50) || code_page_ == cpOEM;
}

std::string TZipMaster::OemToAnsiName(std::string_view text, std::uint8_t host_system,
                                      std::uint8_t spec_version) const {
    return IsOemName(host_system, spec_version) ? OemToAnsi(text) : std::string(text);
}

void TZipMaster::ClearEntries() noexcept {
    while (!directory_.Entries.empty()) directory_.Entries.pop_back();
}

void TZipMaster::CloseInput() noexcept { directory_.InputHandle = File(); }

std::string WithTrailingBackslash(std::string_view path) {
    std::string result(path);
    if (result.empty() || (result.back() != '\\' && result.back() != '/')) result += '\\';
    return result;
}

std::string ToBackslashes(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c == '/') c = '\\';
    }
    return result;
}

}  // namespace kitforge
