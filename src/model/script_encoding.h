#pragma once
// A build script's encoding is decided once for the whole file when it is read: UTF-8 when
// every text of it is UTF-8, otherwise Windows-1252. The editor holds the texts in UTF-8 and
// writes each back in the file's encoding, so a text nobody touched keeps its bytes.

#include <string>

#include "model/build_script.h"
#include "model/text_encoding.h"

namespace kitforge {

// UTF-8 when every text of the script is well-formed UTF-8, otherwise Windows-1252.
TextEncoding ScriptEncoding(const BuildScript& script);

// The script with every text in UTF-8.
BuildScript DecodeScript(BuildScript script, TextEncoding encoding);

// The script with every text in `encoding`. A character the encoding cannot hold is never
// dropped or replaced: throws Error naming `file` (or "the script" when empty), the field or
// row that holds it and the character.
BuildScript EncodeScript(BuildScript script, TextEncoding encoding, const std::string& file);

}  // namespace kitforge
