// kitforge-cli inspect INSTALLER: reads an installer's payload from its end, trusting no
// stored length, checks it against its stored checksum, and prints what the installer would
// carry out; --extract writes its files.

#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>

#include "cli/commands.h"
#include "formats/installer_payload.h"
#include "os/native_path.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/file_copy.h"
#include "platform/printable_text.h"

namespace kitforge::cli {

namespace {

struct InspectArguments {
    std::string installer;
    bool json = false;
    std::string extract_folder;
};

// The texts come from whoever made the installer: control characters are shown as "?", as
// the installer's own listing shows them, so that no line can hide another from the reader.
void PrintText(const payload::Payload& payload, const payload::ChecksumCheck& checksum) {
    std::cout << "Title:  " << Printable(payload.title) << '\n'
              << "Prompt: " << Printable(payload.prompt) << '\n'
              << "Stub:   " << payload.stub_size << " bytes\n"
              << "Checksum: " << payload::DescribeChecksum(checksum) << '\n'
              << '\n'
              << "Lines (" << payload.lines.size() << "):\n";
    for (const auto& line : payload.lines) std::cout << "  " << Printable(line) << '\n';
    std::cout << '\n' << "Files (" << payload.files.size() << "):\n";
    for (const auto& file : payload.files) std::cout << "  " << Printable(file.name) << "  " << file.size << " bytes\n";
}

// null for an installer built without a checksum.
nlohmann::ordered_json ChecksumJson(const payload::ChecksumCheck& checksum) {
    using Outcome = payload::ChecksumCheck::Outcome;
    if (checksum.outcome == Outcome::Absent) return nullptr;
    nlohmann::ordered_json computed = nullptr;
    if (!checksum.computed.empty()) computed = checksum.computed;
    return {{"algorithm", checksum.algorithm},
            {"value", checksum.stored},
            {"matches", checksum.outcome == Outcome::Matches},
            {"computed", computed}};
}

void PrintJson(const payload::Payload& payload, const payload::ChecksumCheck& checksum) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const auto& file : payload.files) {
        files.push_back({{"name", file.name}, {"size", file.size}, {"offset", file.offset}});
    }
    const nlohmann::ordered_json document = {
        {"title", payload.title},
        {"prompt", payload.prompt},
        {"stub_size", payload.stub_size},
        {"file_size", payload.file_size},
        {"checksum", ChecksumJson(checksum)},
        {"lines", payload.lines},
        {"files", files},
    };
    // Payload texts are 8-bit; bytes that are not UTF-8 are shown as replacement characters.
    std::cout << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// Every name is checked before anything is written, so a refused installer leaves nothing
// half extracted behind.
void CheckNamesForExtraction(const payload::Payload& payload, const std::string& installer) {
    std::set<std::string> seen;
    for (const auto& file : payload.files) {
        if (!formats::IsSafeFileName(file.name)) {
            throw Error("Cannot extract from " + DisplayPath(installer) + ": the stored file name \"" +
                        Printable(file.name) + "\" is not a plain file name");
        }
        if (!seen.insert(file.name).second) {
            throw Error("Cannot extract from " + DisplayPath(installer) + ": two files are named \"" +
                        Printable(file.name) + "\" and one folder cannot hold both");
        }
    }
}

void Extract(const payload::Payload& payload, const std::string& installer, const std::string& folder) {
    CheckNamesForExtraction(payload, installer);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw InOutError("create", folder, error.value());
    File source = File::OpenRead(installer);
    for (const auto& file : payload.files) {
        const std::string target = (std::filesystem::path(folder) / file.name).string();
        // Never replace a file that is already there.
        File output = File::CreateNew(target);
        if (source.Seek(static_cast<std::int64_t>(file.offset)) < 0) {
            throw ReadError("read", installer, source.LastError());
        }
        CopyExactly(source, output, file.size);
        output.Close();
        std::cerr << "kitforge-cli: extracted " << target << '\n';
    }
}

}  // namespace

void AddInspectCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<InspectArguments>();
    auto* inspect =
        app.add_subcommand("inspect",
                           "Read an installer's payload from its end and print its title, prompt, "
                           "script lines (in script order) and "
                           "files (name and size, in the order of their EXTRACT lines), and its "
                           "checksum, read through and compared (\"none\" for an installer built "
                           "without one). Control "
                           "characters, and bytes that are not UTF-8, are "
                           "shown as \"?\". A truncated or damaged installer, or one whose contents do not match its "
                           "checksum, is an error.");
    inspect->add_option("INSTALLER", arguments->installer, "the installer to read")->required();
    inspect->add_flag("--json", arguments->json,
                      "print the same as JSON, with the stub size and file offsets; texts are kept "
                      "as stored (control "
                      "characters escaped, bytes that are not UTF-8 replaced)");
    inspect->add_option("--extract", arguments->extract_folder,
                        "write the installer's files into this folder (created when missing; existing files are "
                        "never replaced; names that are not plain file names are refused)");
    inspect->callback([arguments, &context] {
        File installer = File::OpenRead(arguments->installer);
        payload::FileByteSource source(installer);
        const payload::Payload payload = payload::ReadPayload(source);
        const payload::ChecksumCheck checksum = payload::CheckPayloadChecksum(source, payload);
        if (arguments->json) {
            PrintJson(payload, checksum);
        } else {
            PrintText(payload, checksum);
        }
        std::cout.flush();
        // What the installer holds is shown either way; a damaged one is still an error, and
        // nothing is extracted from it.
        if (!checksum.Passed()) throw payload::DamagedInstallerError(arguments->installer, checksum);
        if (!arguments->extract_folder.empty()) Extract(payload, arguments->installer, arguments->extract_folder);
        context.status = std::cout ? kSuccess : kFailure;
    });
}

}  // namespace kitforge::cli
