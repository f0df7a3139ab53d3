#include "zipsfx/archive_report.h"

#include <cstdio>
#include <string>

#include "zipsfx/entry_names.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

std::string DosDateText(std::uint32_t dos_time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", ((dos_time >> 25) & 0x7F) + 1980,
                  (dos_time >> 21) & 0x0F, (dos_time >> 16) & 0x1F, (dos_time >> 11) & 0x1F, (dos_time >> 5) & 0x3F);
    return text;
}

std::string Row(std::uint64_t size, const std::string& middle, const std::string& name) {
    char number[32];
    std::snprintf(number, sizeof number, "%12llu", static_cast<unsigned long long>(size));
    return std::string(number) + "  " + middle + "  " + name;
}

const char* WhenCommandRuns(const StubHeader& header) {
    if (header.AutoRun()) return header.AskCmdLine() ? "asked after extracting, default yes" : "runs after extracting";
    return header.AskCmdLine() ? "asked after extracting, default no" : "not run (auto-run is off)";
}

const char* OverwriteText(const StubHeader& header) {
    switch (header.Overwrite()) {
        case OverwriteMode::Always: return "always (existing files are replaced)";
        case OverwriteMode::Never: return "never (existing files are kept)";
        case OverwriteMode::Confirm: break;
    }
    return "confirm (asks about each existing file)";
}

}  // namespace

void ListHeader(const StubHeader& header, const std::string& target, Console& console) {
    if (!header.caption.empty()) console.Say(Printable(header.caption));
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "\"" + text.
    std::string folder = "none";
    if (!header.default_folder.empty()) folder.assign(1, '"').append(Printable(header.default_folder)).append(1, '"');
    console.Say("Default folder: " + folder + ", extracts to " + PrintablePath(target));
    if (header.command_line.empty()) {
        console.Say("Command line:   none");
    } else {
        console.Say("Command line:   \"" + Printable(header.command_line) + "\", " + WhenCommandRuns(header));
    }
    std::string overwrite = OverwriteText(header);
    if (!header.HideOverwriteBox()) overwrite += ", asked first when files exist";
    console.Say("Overwrite mode: " + overwrite);
}

void ListArchive(const ZipArchive& archive, Console& console) {
    console.Say("      Length  Date       Time   Name");
    console.Say("------------  ---------- -----  ----");
    std::uint64_t total = 0;
    for (const ArchiveEntry& entry : archive.entries) {
        console.Say(Row(entry.unpacked_size, DosDateText(entry.dos_date_time), Printable(entry.stored_name)));
        total += entry.unpacked_size;
    }
    console.Say("------------                    ----");
    const std::size_t count = archive.entries.size();
    console.Say(Row(total, "                ", std::to_string(count) + (count == 1 ? " file" : " files")));
}

bool TestArchive(ByteSource& source, const ZipArchive& archive, Console& console, bool quiet,
                 EntryPasswords& passwords) {
    std::size_t failures = 0;
    for (const ArchiveEntry& entry : archive.entries) {
        if (entry.IsDirectoryName() && entry.unpacked_size == 0) continue;
        try {
            std::optional<std::string> password;
            if (entry.IsEncrypted() && entry.UnsupportedReason().empty()) password = passwords.For(entry);
            ReadEntryData(
                source, entry, [](const std::uint8_t*, std::size_t) {}, password);
            if (!quiet) console.Say("    OK      " + Printable(entry.stored_name));
        } catch (const SfxError& error) {
            console.Complain("    FAILED  " + Printable(entry.stored_name) + ": " + error.what());
            ++failures;
        }
    }
    if (failures == 0) {
        if (!quiet) console.Say("No errors in " + PrintablePath(source.Name()) + ".");
        return true;
    }
    console.Complain(std::to_string(failures) + (failures == 1 ? " entry" : " entries") + " of " +
                     PrintablePath(source.Name()) + " failed the test.");
    return false;
}

}  // namespace kitforge::zipsfx
