#include "zipsfx/sfx_extraction.h"

#include <sys/stat.h>

#include "os/native_path.h"
#include "zipsfx/command_program.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/extraction_plan.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

class Extraction {
public:
    Extraction(ByteSource& source, const StubHeader& header, const ZipArchive& archive, const SfxOptions& options,
               const std::string& target, SfxEnvironment& environment, SfxFrontEnd& front, EntryPasswords& passwords)
        : source_(source),
          header_(header),
          archive_(archive),
          options_(options),
          target_(target),
          environment_(environment),
          front_(front),
          passwords_(passwords) {}

    void Run() {
        if (!options_.silent) {
            SfxIntroduction introduction;
            introduction.caption = Printable(header_.caption);
            introduction.folder = DisplayPath(target_);
            introduction.folder_choosable = !options_.folder;
            const std::optional<std::string> folder = front_.Begin(introduction);
            if (!folder) Cancel();
            target_ = *folder;
        }
        items_ = CheckEntries(archive_);
        if (header_.AskFiles() && !options_.silent) ChooseFiles();
        ProbeTargets(target_, items_);
        SettleExistingFiles();
        CheckFreeSpace();
        SettlePasswords();
        Write();
        RunCommandLine();
    }

private:
    [[noreturn]] void Cancel() { throw SfxError("cancelled: nothing was extracted", FailureKind::Cancelled); }

    void ChooseFiles() {
        std::vector<std::size_t> files;
        std::vector<std::string> shown;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].is_directory) continue;
            files.push_back(i);
            shown.push_back(Printable(items_[i].path));
        }
        if (files.empty()) return;
        const std::optional<std::vector<bool>> chosen = front_.ChooseFiles(shown);
        if (!chosen) Cancel();
        std::vector<PlannedItem> kept;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (items_[i].is_directory) kept.push_back(items_[i]);
        }
        for (std::size_t n = 0; n < files.size() && n < chosen->size(); ++n) {
            if ((*chosen)[n]) kept.push_back(items_[files[n]]);
        }
        items_ = std::move(kept);
    }

    // Asks about one file; may switch the mode for the rest ("all", "none").
    bool ConfirmReplace(const PlannedItem& item, OverwriteMode& mode) {
        switch (front_.AskReplace(PrintablePath(item.path))) {
            case ReplaceAnswer::Yes: return true;
            case ReplaceAnswer::No: return false;
            case ReplaceAnswer::All: mode = OverwriteMode::Always; return true;
            case ReplaceAnswer::None: mode = OverwriteMode::Never; return false;
            case ReplaceAnswer::Quit: break;
        }
        Cancel();
    }

    void SettleExistingFiles() {
        std::size_t existing = 0;
        for (const PlannedItem& item : items_) existing += item.state == TargetState::File;
        if (existing == 0) return;
        OverwriteMode mode = options_.overwrite.value_or(header_.Overwrite());
        if (!options_.silent && !options_.overwrite && !header_.HideOverwriteBox()) {
            const std::optional<OverwriteMode> chosen = front_.AskOverwriteMode(existing, mode);
            if (!chosen) Cancel();
            mode = *chosen;
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
                if (!options_.silent) front_.Kept(PrintablePath(item.path));
            }
        }
    }

    void CheckFreeSpace() {
        if (!header_.CheckSize()) return;
        const std::uint64_t needed = BytesToWrite(items_);
        const auto available = environment_.free_space(target_);
        if (!available || needed <= *available) return;
        throw SfxError("not enough free space in " + PrintablePath(target_) + ": the files need " +
                           std::to_string(needed) + " bytes, " + std::to_string(*available) +
                           " are free; nothing was extracted",
                       FailureKind::NoSpace);
    }

    // Every password is known before the first file is written, so a wrong one (or none, in
    // silent mode) stops the run with nothing written.
    void SettlePasswords() {
        for (PlannedItem& item : items_) {
            if (item.is_directory || !item.write || !item.entry->IsEncrypted()) continue;
            try {
                item.password = passwords_.For(*item.entry);
            } catch (const SfxError& error) {
                throw SfxError(std::string(error.what()) + "; nothing was extracted", error.Kind());
            }
        }
    }

    // After a full disk, with the temporary files removed again: what the extraction needed
    // and what the file system has, so the user knows how much room to make.
    std::string RoomFigures() const {
        std::string text = "; the files need " + std::to_string(BytesToWrite(items_)) + " bytes in all";
        if (const auto available = environment_.free_space(target_)) {
            text += ", " + std::to_string(*available) + " bytes are free in " + PrintablePath(target_);
        }
        return text;
    }

    void Write() {
        FolderWriter writer(target_);
        const std::uint64_t total = BytesToWrite(items_);
        std::uint64_t done = 0;
        try {
            writer.Open();
            for (const PlannedItem& item : items_) {
                if (item.is_directory) writer.MakeFolder(item.path);
            }
            for (const PlannedItem& item : items_) {
                if (item.is_directory || !item.write) continue;
                if (!options_.silent) front_.Extracting(PrintablePath(item.path));
                const ArchiveEntry& entry = *item.entry;
                auto mode = entry.UnixMode();
                if (mode && !S_ISREG(*mode)) mode.reset();
                writer.StageFile(item.path, mode, entry.dos_date_time, [&](const ByteSink& sink) {
                    ReadEntryData(
                        source_, entry,
                        [&](const std::uint8_t* data, std::size_t size) {
                            sink(data, size);
                            done += size;
                            if (!options_.silent && !front_.Progress(done, total)) Cancel();
                        },
                        item.password);
                });
                ++written_;
            }
        } catch (const SfxError& error) {
            writer.Discard();
            if (error.Kind() == FailureKind::Cancelled) throw;
            std::string text = error.what();
            if (error.Kind() == FailureKind::NoSpace) text += RoomFigures();
            throw SfxError(text + "; nothing was replaced", error.Kind());
        }
        writer.Commit();
        written_files_ = writer.WrittenFiles();
        if (!options_.silent) {
            std::string summary = std::to_string(written_) + (written_ == 1 ? " file" : " files") + " extracted";
            if (kept_ > 0) summary += ", " + std::to_string(kept_) + " existing kept";
            front_.Say(summary + ".");
        }
    }

    void RunCommandLine() {
        if (header_.command_line.empty()) return;
        bool run = header_.AutoRun();
        if (header_.AskCmdLine() && !options_.silent) run = front_.AskRunCommand(Printable(header_.command_line), run);
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
    std::string target_;
    SfxEnvironment& environment_;
    SfxFrontEnd& front_;
    EntryPasswords& passwords_;
    std::vector<PlannedItem> items_;
    std::vector<FileIdentity> written_files_;
    std::size_t written_ = 0;
    std::size_t kept_ = 0;
};

}  // namespace

void ExtractArchive(ByteSource& source, const StubHeader& header, const ZipArchive& archive, const SfxOptions& options,
                    const std::string& target, SfxEnvironment& environment, SfxFrontEnd& front,
                    EntryPasswords& passwords) {
    Extraction(source, header, archive, options, target, environment, front, passwords).Run();
}

}  // namespace kitforge::zipsfx
