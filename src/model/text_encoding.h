#pragma once
// The two encodings a build script's text comes in: UTF-8, and the Windows code page 1252 in
// which scripts made on Windows hold accented letters. The editor works in UTF-8 and turns a
// script's texts back into the file's own encoding when it saves.

#include <optional>
#include <string>
#include <string_view>

namespace kitforge {

enum class TextEncoding { Utf8, Windows1252 };

// Appends character `c` (below U+10000) to `out` in UTF-8.
void AppendUtf8(std::string& out, char32_t c);

// "UTF-8" or "Windows-1252".
std::string_view TextEncodingName(TextEncoding encoding);

// True when every byte belongs to well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8Text(std::string_view text);

// Every byte as its code page 1252 character, in UTF-8. The five bytes that code page 1252
// leaves undefined become the control characters of the same number, as Windows converts
// them, so that every byte comes back unchanged from Utf8ToWindows1252.
std::string Windows1252ToUtf8(std::string_view text);

// The UTF-8 text in code page 1252, or nothing when it holds a character that code page
// lacks (or is not UTF-8). `unwritable` then receives the first such character.
std::optional<std::string> Utf8ToWindows1252(std::string_view text, std::string* unwritable = nullptr);

}  // namespace kitforge
