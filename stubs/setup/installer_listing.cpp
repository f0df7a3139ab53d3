#include "setup/installer_listing.h"

#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace

std::string InstallerListing(const std::string& installer_path, const payload::Payload& payload,
                             const std::vector<ScriptStep>& steps) {
    std::string text = "Installer: " + PrintablePath(installer_path) + " (stub " +
                       Plural(payload.stub_size, "byte", "bytes") + ", payload " +
                       Plural(payload.payload_end - payload.stub_size, "byte", "bytes") + ")\n";
    text += "Title:     " + Printable(payload.title) + "\n";
    text += "Prompt:    " + Printable(payload.prompt) + "\n";
    text += "Script:    " + Plural(payload.lines.size(), "line", "lines") + "\n";
    for (const auto& step : steps) {
        text += Padded(std::to_string(step.line_number), 6) + "  " + Printable(step.line) + "\n";
    }
    text += "Files:     " + Plural(payload.files.size(), "file", "files") + "\n";
    for (const auto& step : steps) {
        if (step.word != CommandWord::Extract) continue;
        const auto& file = payload.files[step.file_index];
        text += Padded(std::to_string(file.size), 12) + "  " + Printable(file.name) + "  (line " +
                std::to_string(step.line_number) + ")\n";
    }
    text += "Checksum:  " + payload::DescribeChecksum(payload::StoredChecksum(payload)) + "\n";
    return text;
}

std::string InstallerCheckSummary(const std::string& installer_path, const payload::Payload& payload,
                                  const payload::ChecksumCheck& checksum) {
    std::uint64_t bytes = 0;
    for (const auto& file : payload.files) bytes += file.size;
    return PrintablePath(installer_path) +
           ": the installer is sound: " + Plural(payload.lines.size(), "line", "lines") + ", " +
           Plural(payload.files.size(), "file", "files") + " of " + Plural(bytes, "byte", "bytes") +
           " in all; checksum " + payload::DescribeChecksum(checksum);
}

}  // namespace kitforge::setup
