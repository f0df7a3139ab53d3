// kitforge-cli show SCRIPT.inf: the project fields and the command rows as the editor's list
// shows them; --json for the same as JSON, --inf for the file exactly as the editor saves it.
// A script in code page 1252 is shown in UTF-8, as the editor shows it.

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/commands.h"
#include "model/command_kinds.h"
#include "model/script_encoding.h"
#include "model/script_file.h"
#include "platform/printable_text.h"

namespace kitforge::cli {

namespace {

struct ShowOptions {
    std::string script;
    bool json = false;
    bool inf = false;
};

// The texts as characters (a script made on Windows is in code page 1252), with control
// characters shown as "?": a script from someone else cannot rewrite the terminal.
BuildScript ForDisplay(const BuildScript& script) {
    BuildScript shown = DecodeScript(script, ScriptEncoding(script));
    for (std::string* text : {&shown.Title, &shown.Prompt, &shown.Notes, &shown.Output}) *text = Printable(*text);
    for (auto& command : shown.Commands) {
        command.Parameter1 = Printable(command.Parameter1);
        command.Parameter2 = Printable(command.Parameter2);
    }
    return shown;
}

void PrintTable(const BuildScript& script) {
    std::cout << "Title:       " << script.Title << '\n'
              << "Prompt:      " << script.Prompt << '\n'
              << "Notes:       " << script.Notes << '\n'
              << "Output File: " << script.Output << '\n'
              << "Compressed:  " << (script.Compressed ? "yes" : "no") << '\n'
              << '\n';
    std::size_t action_width = 6;
    std::size_t first_width = 11;
    for (const auto& command : script.Commands) {
        action_width = std::max(action_width, CommandCaption(command.Action).size());
        first_width = std::max(first_width, command.Parameter1.size());
    }
    const auto row = [&](std::string_view a, std::string_view b, std::string_view c) {
        std::string line(a);
        line.resize(action_width + 2, ' ');
        line += b;
        if (!c.empty()) {
            line.resize(action_width + 2 + first_width + 2, ' ');
            line += c;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::cout << line << '\n';
    };
    row("Action", "Parameter 1", "Parameter 2");
    for (const auto& command : script.Commands)
        row(CommandCaption(command.Action), command.Parameter1, command.Parameter2);
}

void PrintJson(const BuildScript& script) {
    nlohmann::ordered_json commands = nlohmann::ordered_json::array();
    for (const auto& command : script.Commands) {
        commands.push_back({{"action", CommandCaption(command.Action)},
                            {"parameter1", command.Parameter1},
                            {"parameter2", command.Parameter2}});
    }
    const nlohmann::ordered_json document = {
        {"title", script.Title},   {"prompt", script.Prompt},         {"notes", script.Notes},
        {"output", script.Output}, {"compressed", script.Compressed}, {"commands", commands},
    };
    // The texts are UTF-8 here: a script in code page 1252 was turned into it.
    std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

void AddShowCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<ShowOptions>();
    auto* show = app.add_subcommand("show",
                                    "Print a build script's project fields and commands. A script in code page 1252 "
                                    "(made on Windows) is shown in UTF-8, as the editor shows it; control characters "
                                    "are shown as \"?\".");
    show->add_option("SCRIPT", options->script, "the build script (.inf)")->required();
    auto* json = show->add_flag("--json", options->json, "print the same as JSON");
    show->add_flag("--inf", options->inf, "print the script exactly as the editor would save it")->excludes(json);
    show->callback([options, &context] {
        const BuildScript script = ReadScriptFile(options->script);
        if (options->inf) {
            const std::string text = FormatScriptFile(script);
            std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
        } else if (options->json) {
            PrintJson(DecodeScript(script, ScriptEncoding(script)));
        } else {
            PrintTable(ForDisplay(script));
        }
        std::cout.flush();
        context.status = std::cout ? kSuccess : kFailure;
    });
}

}  // namespace kitforge::cli
