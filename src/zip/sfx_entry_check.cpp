#include "zip/sfx_entry_check.h"

#include <cstdio>

#include "formats/zip_method_names.h"
#include "formats/zip_records.h"

namespace kitforge {

namespace {

using namespace formats;

constexpr std::uint16_t kMethodAesEncrypted = 99;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;

// FileName keeps "\" for the stored "/"; a folder's name ends in one.
bool IsFolderName(const std::string& name) { return !name.empty() && (name.back() == '\\' || name.back() == '/'); }

bool IsSymbolicLink(const ZipDirEntry& entry) {
    const std::uint32_t mode = entry.ExternalAttributes >> kUnixModeShift;
    return entry.HostSystem == kHostUnix && mode != 0 && (mode & kUnixTypeMask) == kUnixSymbolicLink;
}

// The name as stored, with control characters shown as \xNN so that a message cannot be
// rewritten by the name it quotes.
std::string Shown(const std::string& name) {
    std::string shown;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            shown += '/';
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace

std::string SfxStubRefusal(const ZipDirEntry& entry) {
    if (IsFolderName(entry.FileName)) return "";
    // Traditional encryption the stub deciphers with a password; these it cannot.
    if (entry.Method == kMethodAesEncrypted) {
        return "it is encrypted with " + ZipMethodName(entry.Method) + ", which the self-extractor cannot decrypt";
    }
    if ((entry.Flags & kFlagEncrypted) && (entry.Flags & kFlagStrongEncryption)) {
        return "it is encrypted with PKWARE strong encryption, which the self-extractor cannot decrypt";
    }
    if (entry.Method != kMethodStored && entry.Method != kMethodDeflated) {
        return "it is compressed with " + ZipMethodName(entry.Method) + ", which the self-extractor cannot unpack";
    }
    if (IsSymbolicLink(entry)) return "it is a symbolic link, which the self-extractor does not make";
    return "";
}

std::string FirstEntryTheSfxStubRefuses(const std::vector<ZipDirEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string reason = SfxStubRefusal(entries[i]);
        if (!reason.empty())
            return "entry " + std::to_string(i + 1) + ", \"" + Shown(entries[i].FileName) + "\": " + reason;
    }
    return "";
}

}  // namespace kitforge
