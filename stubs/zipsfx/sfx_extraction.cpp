#include "zipsfx/sfx_extraction.h"

#include <sys/stat.h>

#include "zipsfx/command_program.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/extraction_plan.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

const char* ModeName(OverwriteMode mode) {
    switch (mode) {
        case OverwriteMode::Always: return "always";
        case OverwriteMode::Never: return "never";
        case OverwriteMode::Confirm: break;
    }
    return "confirm";
}

class Extraction {
public:
    Extraction(ByteSource& source, const StubHeader& header, const ZipArchive& archive, const SfxOptions& options,
               const std::string& target, SfxEnvironment& environment)
        : source_(source),
          header_(header),
          archive_(archive),
          options_(options),
          target_(target),
          environment_(environment),
          console_(*environment.console) {}

    void Run() {
        if (!options_.silent) {
            if (!header_.caption.empty()) console_.Say(Printable(header_.caption));
            console_.Say("Extracting to " + Printable(target_));
        }
        items_ = CheckEntries(archive_);
        if (header_.AskFiles() && !options_.silent) ChooseFiles();
        ProbeTargets(target_, items_);
        SettleExistingFiles();
        CheckFreeSpace();
        Write();
        RunCommandLine();
    }

private:
    [[noreturn]] void Cancel() { throw SfxError("cancelled: nothing was extracted", FailureKind::Cancelled); }

    void ChooseFiles() {
        std::vector<std::size_t> files;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!items_[i].is_directory) files.push_back(i);
        }
        if (files.empty()) return;
        for (std::size_t n = 0; n < files.size(); ++n) {
            console_.Say("  " + std::to_string(n + 1) + ". " + Printable(items_[files[n]].path));
        }
        for (;;) {
            const auto answer = console_.Ask("Files to extract (numbers such as 1,3-5; Enter for all; q to quit): ");
            if (!answer) return;
            if (Lower(*answer) == "q") Cancel();
            if (const auto chosen = ParseSelection(*answer, files.size())) {
                std::vector<PlannedItem> kept;
                for (std::size_t i = 0; i < items_.size(); ++i) {
                    if (items_[i].is_directory) kept.push_back(items_[i]);
                }
                for (std::size_t n = 0; n < files.size(); ++n) {
                    if ((*chosen)[n]) kept.push_back(items_[files[n]]);
                }
                items_ = std::move(kept);
                return;
            }
            console_.Say("Please give numbers from 1 to " + std::to_string(files.size()) + ".");
        }
    }

    OverwriteMode AskOverwriteMode(OverwriteMode mode, std::size_t existing) {
        for (;;) {
            const auto answer =
                console_.Ask(std::to_string(existing) + (existing == 1 ? " file exists" : " files exist") +
                             " already. Replace: [c]onfirm each, [a]lways, [n]ever (Enter: " + ModeName(mode) + ")? ");
            if (!answer || answer->empty()) return mode;
            const std::string choice = Lower(*answer);
            if (choice == "c" || choice == "confirm") return OverwriteMode::Confirm;
            if (choice == "a" || choice == "always") return OverwriteMode::Always;
            if (choice == "n" || choice == "never") return OverwriteMode::Never;
            if (choice == "q") Cancel();
        }
    }

    // Asks about one file; may switch the mode for the rest ("A" all, "N" none).
    bool ConfirmReplace(const PlannedItem& item, OverwriteMode& mode) {
        for (;;) {
            const auto answer =
                console_.Ask("Replace " + Printable(item.path) + "? [y]es, [n]o, [A]ll, [N]one, [q]uit: ");
            if (!answer) return false;
            if (*answer == "A") {
                mode = OverwriteMode::Always;
                return true;
            }
            if (*answer == "N") {
                mode = OverwriteMode::Never;
                return false;
            }
            const std::string choice = Lower(*answer);
            if (choice == "y" || choice == "yes") return true;
            if (choice == "n" || choice == "no" || choice.empty()) return false;
            if (choice == "q") Cancel();
        }
    }

    void SettleExistingFiles() {
        std::size_t existing = 0;
        for (const PlannedItem& item : items_) existing += item.state == TargetState::File;
        if (existing == 0) return;
        OverwriteMode mode = options_.overwrite.value_or(header_.Overwrite());
        if (!options_.silent && !options_.overwrite && !header_.HideOverwriteBox()) {
            mode = AskOverwriteMode(mode, existing);
        }
        for (PlannedItem& item : items_) {
            if (item.state != TargetState::File) continue;
            if (mode == OverwriteMode::Confirm) {
                // Nobody can be asked in silent mode: keeping the file loses nothing.
                item.write = !options_.silent && ConfirmReplace(item, mode);
            } else {
                item.write = mode == OverwriteMode::Always;
            }
            if (!item.write) {
                ++kept_;
                if (!options_.silent) console_.Say("  kept:       " + Printable(item.path));
            }
        }
    }

    void CheckFreeSpace() {
        if (!header_.CheckSize()) return;
        const std::uint64_t needed = BytesToWrite(items_);
        const auto available = environment_.free_space(target_);
        if (!available || needed <= *available) return;
        throw SfxError("not enough free space in " + Printable(target_) + ": the files need " + std::to_string(needed) +
                           " bytes, " + std::to_string(*available) + " are free; nothing was extracted",
                       FailureKind::NoSpace);
    }

    // After a full disk, with the temporary files removed again: what the extraction needed
    // and what the file system has, so the user knows how much room to make.
    std::string RoomFigures() const {
        std::string text = "; the files need " + std::to_string(BytesToWrite(items_)) + " bytes in all";
        if (const auto available = environment_.free_space(target_)) {
            text += ", " + std::to_string(*available) + " bytes are free in " + Printable(target_);
        }
        return text;
    }

    void Write() {
        FolderWriter writer(target_);
        try {
            writer.Open();
            for (const PlannedItem& item : items_) {
                if (item.is_directory) writer.MakeFolder(item.path);
            }
            for (const PlannedItem& item : items_) {
                if (item.is_directory || !item.write) continue;
                if (!options_.silent) console_.Say("  extracting: " + Printable(item.path));
                const ArchiveEntry& entry = *item.entry;
                auto mode = entry.UnixMode();
                if (mode && !S_ISREG(*mode)) mode.reset();
                writer.StageFile(item.path, mode, entry.dos_date_time,
                                 [&](const ByteSink& sink) { ReadEntryData(source_, entry, sink); });
                ++written_;
            }
        } catch (const SfxError& error) {
            writer.Discard();
            std::string text = error.what();
            if (error.Kind() == FailureKind::NoSpace) text += RoomFigures();
            throw SfxError(text + "; nothing was replaced", error.Kind());
        }
        writer.Commit();
        written_files_ = writer.WrittenFiles();
        if (!options_.silent) {
            std::string summary = std::to_string(written_) + (written_ == 1 ? " file" : " files") + " extracted";
            if (kept_ > 0) summary += ", " + std::to_string(kept_) + " existing kept";
            console_.Say(summary + ".");
        }
    }

    void RunCommandLine() {
        if (header_.command_line.empty()) return;
        bool run = header_.AutoRun();
        if (header_.AskCmdLine() && !options_.silent) {
            const auto answer =
                console_.Ask("Run \"" + Printable(header_.command_line) + "\" now? " + (run ? "[Y/n]: " : "[y/N]: "));
            if (answer && !answer->empty()) {
                const std::string choice = Lower(*answer);
                run = choice == "y" || choice == "yes";
            }
        }
        if (!run) return;
        const std::string command = CommandToRun(header_.command_line, target_, written_files_);
        const int status = environment_.run_command(command, target_);
        if (status != 0) {
            throw SfxError(
                "the command \"" + Printable(header_.command_line) + "\" " +
                    (status < 0 ? std::string("could not be started") : "failed with status " + std::to_string(status)),
                FailureKind::CommandFailed);
        }
    }

    ByteSource& source_;
    const StubHeader& header_;
    const ZipArchive& archive_;
    const SfxOptions& options_;
    const std::string target_;
    SfxEnvironment& environment_;
    Console& console_;
    std::vector<PlannedItem> items_;
    std::vector<FileIdentity> written_files_;
    std::size_t written_ = 0;
    std::size_t kept_ = 0;
};

}  // namespace

void ExtractArchive(ByteSource& source, const StubHeader& header, const ZipArchive& archive, const SfxOptions& options,
                    const std::string& target, SfxEnvironment& environment) {
    Extraction(source, header, archive, options, target, environment).Run();
}

}  // namespace kitforge::zipsfx
