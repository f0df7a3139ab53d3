#pragma once
// Who made the editor and which version it is: the texts of the About box and of the
// version block that the program carries (read back from its own file for About).

#include <string_view>

#include "platform/version.h"

namespace kitforge::program_identity {

inline constexpr std::string_view kFileVersion = kVersionText;
inline constexpr std::string_view kProductVersion = kProductVersionText;
inline constexpr std::string_view kProductName = "Kitforge";
inline constexpr std::string_view kOriginalFilename = "Kitforge.exe";
inline constexpr std::string_view kMakerName = "The Kitforge authors";
inline constexpr std::string_view kRightsLine1 = "Copyright (C) The Kitforge authors.";
inline constexpr std::string_view kRightsLine2 = "All rights reserved.";
inline constexpr std::string_view kLegalCopyright = "Copyright (C) The Kitforge authors. All rights reserved.";
inline constexpr std::string_view kWebAddress = "https://kitforge.example.org/";

// The language of the program's one string table (English, Australia) and its code page.
inline constexpr std::string_view kVersionLanguage = "0C09";
inline constexpr unsigned kVersionLanguageId = 0x0C09;
inline constexpr unsigned kVersionCodePageId = 0x04E4;

}  // namespace kitforge::program_identity
