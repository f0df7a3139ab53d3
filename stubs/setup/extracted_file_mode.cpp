// Which extracted files are programs, told by their first bytes: the payload carries no
// permissions.
#include "setup/safe_extraction.h"

namespace kitforge::setup {

namespace {

constexpr std::string_view kElfMagic =
    "\x7F"
    "ELF";
constexpr std::string_view kScriptMagic = "#!";
#ifdef _WIN32
constexpr std::string_view kWindowsProgramMagic = "MZ";
#endif

bool StartsWith(std::string_view head, std::string_view magic) { return head.substr(0, magic.size()) == magic; }

}  // namespace

bool LooksLikeProgram(std::string_view head) {
#ifdef _WIN32
    if (StartsWith(head, kWindowsProgramMagic)) return true;
#endif
    return StartsWith(head, kScriptMagic) || StartsWith(head, kElfMagic);
}

unsigned ExtractedFileMode(std::string_view head) { return LooksLikeProgram(head) ? 0755u : 0644u; }

}  // namespace kitforge::setup
