// kitforge-cli version-info FILE [--lang 0C09]: the ten text fields of an executable's version
// information, read the way the editor's About box reads its own: from the version resource
// of a Windows executable, or the version section of one of our native programs.

#include <algorithm>
#include <cctype>
#include <iostream>

#include "cli/commands.h"
#include "os/errors.h"
#include "os/native_path.h"
#include "platform/version_resource.h"

namespace kitforge::cli {

namespace {

struct VersionInfoOptions {
    std::string file;
    std::string lang = "0C09";
};

bool IsLanguageId(const std::string& text) {
    if (text.size() != 4) return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

void PrintFields(const VersionInfoOptions& options) {
    const auto block = ReadVersionBlock(options.file);
    if (!block) throw Error(DisplayPath(options.file) + " holds no version information");
    TEPInfoExe info;
    info.SetExeName(options.file);
    info.SetLangId(options.lang);
    info.ReadVersionInfo();
    std::size_t width = 0;
    for (const auto key : kVersionInfoKeys) width = std::max(width, key.size());
    for (std::size_t i = 0; i < kVersionInfoKeys.size(); ++i) {
        std::string key(kVersionInfoKeys[i]);
        key += ':';
        key.resize(width + 2, ' ');
        std::cout << key << info.Field(i) << '\n';
    }
    // Empty fields are most often a language the file does not hold: say which it does.
    const std::string table = options.lang + std::string(kVersionCodePage);
    bool found = false;
    std::string tables;
    for (const auto& name : block->StringTableNames()) {
        found = found ||
                (name.size() == table.size() && std::equal(name.begin(), name.end(), table.begin(), [](char a, char b) {
                     return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
                 }));
        tables += (tables.empty() ? "" : ", ") + name;
    }
    if (!found) {
        std::cerr << "kitforge-cli: " << DisplayPath(options.file) << " has no string table " << table
                  << (tables.empty() ? std::string(" (it has none)") : "; it has " + tables) << '\n';
    }
}

}  // namespace

void AddVersionInfoCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<VersionInfoOptions>();
    auto* command = app.add_subcommand("version-info", "Print the ten version-information fields of an executable.");
    command->add_option("FILE", options->file, "a Windows executable, or one of Kitforge's own programs")->required();
    command
        ->add_option("--lang", options->lang,
                     "language of the string table, four hexadecimal digits (code page 04E4 is fixed)")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](std::string& text) {
                return IsLanguageId(text) ? std::string() : "must be four hexadecimal digits, such as 0C09";
            },
            "LANG"));
    command->footer(
        "The fields are CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, LegalTradeMarks, "
        "OriginalFilename, ProductName, ProductVersion and Comments, looked up under StringFileInfo\\<LANG>04E4. "
        "A field the file does not hold prints empty. Exit status 1 when the file cannot be read or holds no "
        "version information.");
    command->callback([options, &context] {
        PrintFields(*options);
        std::cout.flush();
        context.status = std::cout ? kSuccess : kFailure;
    });
}

}  // namespace kitforge::cli
