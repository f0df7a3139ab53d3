#pragma once
// Writes the new archive into the temporary file: the old archive's prefix (a self-extracting
// stub, if any), then every entry in order, copied from the old archive or made from a source
// file, then the central directory and the end record with the old comment. Every offset
// counts from the start of the whole file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "add_request.h"
#include "compression_pipeline.h"
#include "dos_time.h"
#include "entry_records.h"
#include "existing_archive.h"
#include "output_stream.h"
#include "progress_reporter.h"
#include "source_collector.h"

namespace zipdll {

// One entry of the new archive: an old entry copied as it is, or a source to add. A source
// that replaces an old entry keeps the old one as its fallback when it cannot be read.
struct PlanItem {
    const ExistingEntry* existing = nullptr;
    const SourceItem* source = nullptr;
};

// An entry came out larger than its local header had room for.
class ArchiveTooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ArchiveBuilder {
public:
    ArchiveBuilder(const AddRequest& request, const TimePolicy& times, ProgressReporter& reporter);
    ~ArchiveBuilder();

    // Writes the whole archive to `output`; `old_archive` is open when an archive exists.
    void Build(File& output, File* old_archive, const ExistingArchive& existing, const std::vector<PlanItem>& plan);

    // The sources that made it into the archive, in order.
    const std::vector<const SourceItem*>& Added() const noexcept { return added_; }
    // The newest entry time of the written archive, as an MS-DOS date and time.
    std::uint32_t NewestDosTime() const noexcept { return newest_dos_time_; }

private:
    class PieceFeeder;

    void CopyExisting(OutputStream& out, File& old_archive, const ExistingEntry& entry);
    bool AddSource(OutputStream& out, const SourceItem& source, const ExistingEntry* replaced);
    bool WriteFileData(OutputStream& out, const SourceItem& source, NewEntry& entry);
    void TopUp();
    std::unique_ptr<Piece> NextPiece();
    void CheckCancel() const;

    const AddRequest& request_;
    const TimePolicy& times_;
    ProgressReporter& reporter_;
    std::unique_ptr<CompressionPipeline> pipeline_;
    std::unique_ptr<PieceFeeder> feeder_;
    std::vector<std::vector<std::uint8_t>> central_;
    std::vector<const SourceItem*> added_;
    std::uint32_t newest_dos_time_ = 0;
};

}  // namespace zipdll
