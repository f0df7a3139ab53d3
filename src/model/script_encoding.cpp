#include "model/script_encoding.h"

#include "os/errors.h"

namespace kitforge {

namespace {

// Calls visit(name, text) for every text of the script, named as the window shows it.
template <typename Script, typename Visit>
void ForEachText(Script& script, Visit&& visit) {
    visit("Title", script.Title);
    visit("Prompt", script.Prompt);
    visit("Output File", script.Output);
    visit("Notes", script.Notes);
    visit("Version", script.Version);
    visit("Publisher", script.Publisher);
    for (std::size_t row = 0; row < script.Commands.size(); ++row) {
        auto& command = script.Commands[row];
        const std::string where = " of row " + std::to_string(row + 1);
        visit("Parameter 1" + where, command.Parameter1);
        visit("Parameter 2" + where, command.Parameter2);
    }
}

}  // namespace

TextEncoding ScriptEncoding(const BuildScript& script) {
    bool utf8 = true;
    ForEachText(script, [&](const std::string&, const std::string& text) { utf8 = utf8 && IsUtf8Text(text); });
    return utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

BuildScript DecodeScript(BuildScript script, TextEncoding encoding) {
    if (encoding == TextEncoding::Windows1252) {
        ForEachText(script, [](const std::string&, std::string& text) { text = Windows1252ToUtf8(text); });
    }
    return script;
}

BuildScript EncodeScript(BuildScript script, TextEncoding encoding, const std::string& file) {
    if (encoding == TextEncoding::Utf8) return script;
    ForEachText(script, [&](const std::string& name, std::string& text) {
        std::string character;
        auto encoded = Utf8ToWindows1252(text, &character);
        if (!encoded) {
            throw Error("Cannot save " + (file.empty() ? std::string("the script") : file) + " in " +
                        std::string(TextEncodingName(encoding)) + ", the encoding it was read in: " + name +
                        " holds \"" + character + "\", which " + std::string(TextEncodingName(encoding)) +
                        " cannot write. Change that text and save again.");
        }
        text = std::move(*encoded);
    });
    return script;
}

}  // namespace kitforge
