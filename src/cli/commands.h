#pragma once
// The commands of kitforge-cli. Each adds one subcommand to the application; its callback
// does the work and leaves the exit status in the context. Failures are thrown as
// kitforge::Error and turned into one line on stderr and status 1 by main.

#include <CLI/CLI.hpp>

#include "cli/console_ui_host.h"

namespace kitforge::cli {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

struct CommandContext {
    ConsoleUiHost host;
    int status = kSuccess;
};

void AddShowCommand(CLI::App& app, CommandContext& context);
void AddBuildCommand(CLI::App& app, CommandContext& context);
void AddInspectCommand(CLI::App& app, CommandContext& context);
void AddVersionInfoCommand(CLI::App& app, CommandContext& context);
void AddListCommand(CLI::App& app, CommandContext& context);
void AddMakeSfxCommand(CLI::App& app, CommandContext& context);
void AddSfxCommand(CLI::App& app, CommandContext& context);
void AddAddCommand(CLI::App& app, CommandContext& context);
void AddSpanCommand(CLI::App& app, CommandContext& context);

}  // namespace kitforge::cli
