#include "add_operation.h"

#include <algorithm>
#include <optional>
#include <map>
#include <new>

#include "archive_builder.h"
#include "archive_commit.h"
#include "file_system.h"
#include "report_codes.h"
#include "room_check.h"

namespace zipdll {

namespace {

std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// Which sources go in, and where: an entry of the same name is replaced in its place (with
// freshen or update only by a newer file), new names go at the end (not with freshen).
std::vector<PlanItem> MakePlan(const AddRequest& request, const TimePolicy& times, const ExistingArchive& existing,
                               const std::vector<SourceItem>& sources) {
    std::map<std::string, const SourceItem*> by_name;
    for (const SourceItem& source : sources) by_name[source.name] = &source;

    auto newer = [&](const SourceItem& source, const ExistingEntry& entry) {
        return ToDosDateTime(times.EntryTime(source.mtime), times.UsesUtc()) > entry.dos_time;
    };
    std::vector<PlanItem> plan;
    for (const ExistingEntry& entry : existing.entries) {
        PlanItem item{&entry, nullptr};
        auto match = by_name.find(entry.name);
        if (match != by_name.end()) {
            const SourceItem* source = match->second;
            by_name.erase(match);
            if (!(request.update || request.freshen) || newer(*source, entry)) item.source = source;
        }
        plan.push_back(item);
    }
    if (!request.freshen) {
        for (const SourceItem& source : sources)
            if (by_name.count(source.name) != 0) plan.push_back({nullptr, &source});
    }
    return plan;
}

class Add {
public:
    Add(const AddRequest& request, ProgressReporter& reporter)
        : request_(request),
          reporter_(reporter),
          times_(TimePolicy::FromEnvironment()),
          archive_(NativePath(request.archive)) {}

    std::int32_t Run() {
        if (request_.encrypt && request_.password.empty()) {
            reporter_.Report(kBadCall, "Encryption was asked for without a password; " + archive_ + " was not written");
            return 0;
        }
        ExistingArchive existing = ReadExistingArchive(archive_);
        std::vector<SourceItem> sources = CollectSources(request_.specs, CollectOptionsFor(), reporter_);
        std::vector<PlanItem> plan = MakePlan(request_, times_, existing, sources);

        std::uint64_t files = 0, bytes = 0;
        for (const PlanItem& item : plan) {
            if (item.source == nullptr) continue;
            ++files;
            bytes += item.source->size;
        }
        if (files == 0) {
            reporter_.Report(kNothingToDo, "Nothing to add to " + archive_ + "; it was left as it was");
            return 0;
        }
        reporter_.FileCount(files);
        reporter_.ByteTotal(bytes);
        CheckCancel();

        // Checked before anything is written: a full disk found after copying gigabytes of
        // old entries would waste minutes and leave the user none the wiser about the cause.
        std::vector<std::string> folders{FolderOf(archive_)};
        if (!request_.temp_dir.empty()) folders.insert(folders.begin(), NativePath(request_.temp_dir));
        CheckRoom(BytesCertainlyWritten(existing, plan), folders, FreeBytes);

        PendingArchive pending(archive_, NativePath(request_.temp_dir));
        std::optional<File> old_archive;
        if (existing.exists && (!existing.entries.empty() || existing.prefix_size > 0))
            old_archive = OpenRead(archive_);
        ArchiveBuilder builder(request_, times_, reporter_);
        builder.Build(pending.File(), old_archive ? &*old_archive : nullptr, existing, plan);
        if (builder.Added().empty()) {
            reporter_.Report(kNothingToDo, "No file could be added to " + archive_ + "; it was left as it was");
            return 0;
        }
        CheckCancel();
        // Windows cannot put a file in place of one that is still open: let go of it first.
        old_archive.reset();
        pending.Commit();

        if (request_.move) DeleteMovedSources(builder.Added());
        if (request_.zip_time) SetArchiveTime(builder.NewestDosTime());
        return static_cast<std::int32_t>(builder.Added().size());
    }

private:
    CollectOptions CollectOptionsFor() const {
        CollectOptions options;
        options.recurse = request_.recurse;
        options.hidden_files = request_.hidden_files;
        options.keep_directory_names = request_.keep_directory_names;
        options.directory_entries = request_.directory_entries;
        PathInfo archive;
        if (ReadPathInfo(archive_, archive) == PathState::kFound) options.excluded.push_back(archive.identity);
        return options;
    }

    void CheckCancel() const {
        if (reporter_.Cancelled()) throw CancelledByCaller{};
    }

    // Only now that the archive is safely in place are the sources deleted: files first, then
    // the folders that were added, deepest first, when nothing is left in them.
    void DeleteMovedSources(const std::vector<const SourceItem*>& added) {
        std::vector<const SourceItem*> folders;
        for (const SourceItem* source : added) {
            if (source->is_directory) {
                folders.push_back(source);
            } else if (std::string reason = RemoveFile(source->path); !reason.empty()) {
                reporter_.Report(kMoveFailed,
                                 "Cannot delete " + source->path + " after moving it into " + archive_ + ": " + reason);
            }
        }
        std::sort(folders.begin(), folders.end(),
                  [](const SourceItem* a, const SourceItem* b) { return a->path.size() > b->path.size(); });
        for (const SourceItem* folder : folders) {
            std::string reason;
            if (RemoveEmptyFolder(folder->path, reason) == FolderRemoval::kFailed)
                reporter_.Report(kMoveFailed, "Cannot delete the folder " + folder->path + " after moving it into " +
                                                  archive_ + ": " + reason);
        }
    }

    void SetArchiveTime(std::uint32_t dos_time) {
        std::string reason = SetModificationTime(archive_, FromDosDateTime(dos_time, times_.UsesUtc()));
        if (!reason.empty()) reporter_.Report(kTimeNotSet, "Cannot set the time of " + archive_ + ": " + reason);
    }

    const AddRequest& request_;
    ProgressReporter& reporter_;
    TimePolicy times_;
    std::string archive_;
};

}  // namespace

std::int32_t RunAdd(const AddRequest& request, ProgressReporter& reporter) {
    std::int32_t added = 0;
    try {
        added = Add(request, reporter).Run();
    } catch (const CancelledByCaller&) {
        reporter.Report(kCancelled, "Stopped as asked; " + request.archive + " was left as it was");
    } catch (const ArchiveProblem& e) {
        reporter.Report(kBadArchive, e.what());
    } catch (const ArchiveTooLarge& e) {
        reporter.Report(kArchiveTooLarge, e.what());
    } catch (const IoFailure& e) {
        reporter.Report(kCannotWrite, std::string(e.what()) + "; " + request.archive + " was left as it was");
    } catch (const std::bad_alloc&) {
        reporter.Report(kCannotWrite, "Out of memory; " + request.archive + " was left as it was");
    } catch (const std::exception& e) {
        reporter.Report(kCannotWrite, std::string(e.what()) + "; " + request.archive + " was left as it was");
    }
    reporter.BatchEnd();
    return added;
}

}  // namespace zipdll
