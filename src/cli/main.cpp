// kitforge-cli: the builder without a window, for scripts and continuous integration.

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "os/errors.h"
#include "platform/program_arguments.h"
#include "platform/version.h"

int main(int argc, char** argv) {
    using namespace kitforge::cli;
    CLI::App app{"Kitforge command-line builder: shows and builds installer build scripts.", "kitforge-cli"};
    app.set_version_flag("--version", std::string("kitforge-cli ") + kitforge::kVersionText);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 on success, 1 on failure (one line on stderr names the file and the reason), "
        "2 on bad usage.");

    CommandContext context;
    AddShowCommand(app, context);
    AddBuildCommand(app, context);
    AddInspectCommand(app, context);
    AddVersionInfoCommand(app, context);
    AddListCommand(app, context);
    AddMakeSfxCommand(app, context);
    AddSfxCommand(app, context);
    AddAddCommand(app, context);
    AddSpanCommand(app, context);

    // UTF-8 on every system: Windows' narrow argv cannot hold every file name.
    const std::vector<std::string> arguments = kitforge::ProgramArguments(argc, argv);
    std::vector<const char*> argument_texts;
    for (const std::string& argument : arguments) argument_texts.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argument_texts.size()), argument_texts.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    } catch (const kitforge::Error& e) {
        std::cerr << "kitforge-cli: " << e.what() << '\n';
        return kFailure;
    } catch (const std::exception& e) {
        std::cerr << "kitforge-cli: " << e.what() << '\n';
        return kFailure;
    }
    return context.status;
}
