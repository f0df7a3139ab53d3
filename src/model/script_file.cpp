#include "model/script_file.h"

#include <array>
#include <optional>

#include "model/command_text.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/integer_parse.h"
#include "os/safe_file_writer.h"

namespace kitforge {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Build scripts are small; anything beyond this is not one, and reading it whole would only
// waste memory.
constexpr std::int64_t kLargestScriptFile = 64ll << 20;

bool StartsWithUpper(std::string_view line, std::string_view upper_key) {
    if (line.size() < upper_key.size()) return false;
    for (std::size_t i = 0; i < upper_key.size(); ++i) {
        char c = line[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != upper_key[i]) return false;
    }
    return true;
}

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

struct TextField {
    std::string_view key;
    std::string BuildScript::*field;
};
constexpr std::array<TextField, 6> kTextFields = {{
    {"TITLE=", &BuildScript::Title},
    {"PROMPT=", &BuildScript::Prompt},
    {"NOTES=", &BuildScript::Notes},
    {"OUTPUT=", &BuildScript::Output},
    {"VERSION=", &BuildScript::Version},
    {"PUBLISHER=", &BuildScript::Publisher},
}};
constexpr std::string_view kCompressedKey = "COMPRESSED=";

const TextField* TextFieldOf(std::string_view line) {
    for (const auto& text_field : kTextFields) {
        if (StartsWithUpper(line, text_field.key)) return &text_field;
    }
    return nullptr;
}

// The key of an entry is a whole number of 0 or more; gives the position of its "=".
std::optional<std::size_t> EntryEquals(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const auto number = ParsePlatformInteger(line.substr(0, equals));
    if (!number || *number < 0) return std::nullopt;
    return equals;
}

void ReadLine(std::string_view line, BuildScript& script) {
    if (const TextField* text_field = TextFieldOf(line)) {
        script.*text_field->field = std::string(line.substr(text_field->key.size()));
        return;
    }
    if (StartsWithUpper(line, kCompressedKey)) {
        script.Compressed = ToUpperAscii(line.substr(kCompressedKey.size())) == "1";
        return;
    }
    if (const auto equals = EntryEquals(line)) script.Commands.push_back(ParseCommand(line.substr(*equals + 1)));
}

}  // namespace

std::string FormatScriptFile(const BuildScript& script) {
    std::string text;
    const auto add_line = [&text](std::string_view a, std::string_view b = {}) {
        text += a;
        text += b;
        text += kLineEnd;
    };
    add_line("[info]");
    add_line("title=", script.Title);
    add_line("prompt=", script.Prompt);
    add_line("notes=", script.Notes);
    add_line(script.Compressed ? "compressed=1" : "compressed=0");
    add_line("output=", script.Output);
    // Only when set, so that a script without them is written as it always was.
    if (!script.Version.empty()) add_line("version=", script.Version);
    if (!script.Publisher.empty()) add_line("publisher=", script.Publisher);
    add_line("");
    add_line("[script]");
    int position = 0;
    for (const auto& command : script.Commands) {
        if (auto line = FormatCommand(command, ++position)) add_line(*line);
    }
    return text;
}

void WriteScriptFile(const std::string& path, const BuildScript& script) {
    const std::string text = FormatScriptFile(script);
    WriteFileSafely(path, [&text](File& file) { file.WriteAll(text); });
}

BuildScript ParseScriptFile(std::string_view text) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    BuildScript script;
    for (const std::string_view line : ScriptLines(text)) ReadLine(line, script);
    return script;
}

std::vector<std::string_view> ScriptLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

ScriptLineRole ScriptLineRoleOf(std::string_view line) {
    if (TextFieldOf(line) != nullptr || StartsWithUpper(line, kCompressedKey)) return ScriptLineRole::Field;
    return EntryEquals(line) ? ScriptLineRole::Entry : ScriptLineRole::Ignored;
}

std::string ReadScriptText(const std::string& path) {
    File file = File::OpenRead(path);
    const std::int64_t size = file.Size();
    if (size < 0) throw ReadError("read", path, file.LastError());
    if (size > kLargestScriptFile) throw ReadError("read", path, 0, "the file is too large to be a build script");
    std::string text(static_cast<std::size_t>(size), '\0');
    // The size may change under us; read what is there now, no more than we planned.
    text.resize(file.Read(text.data(), text.size()));
    if (file.LastError() != 0) throw ReadError("read", path, file.LastError());
    return text;
}

BuildScript ReadScriptFile(const std::string& path) { return ParseScriptFile(ReadScriptText(path)); }

}  // namespace kitforge
