#include "archive_builder.h"

#include <algorithm>
#include <cstdio>

#include "deflate_engine.h"
#include "formats/zip_extra_fields.h"
#include "formats/zip_records.h"
#include "report_codes.h"
#include "traditional_encryption.h"

namespace zipdll {

namespace zf = kitforge::formats;

namespace {
// "Version made by" of the zip64 end record, as in the entries' own records: format 3.0 on
// Unix, or 2.0 on MS-DOS when the host is forced to be MS-DOS.
constexpr std::uint16_t kUnixMadeBy = (zf::kHostUnix << 8) | 30;
constexpr std::uint16_t kDosMadeBy = (zf::kHostMsDos << 8) | 20;
}  // namespace

// Cuts the sources of the plan into pieces, in plan order, as the pipeline has room for them.
class ArchiveBuilder::PieceFeeder {
public:
    PieceFeeder(const std::vector<PlanItem>& plan, int level) : plan_(plan), level_(level) {}

    bool HasMore() {
        while (item_ < plan_.size()) {
            const SourceItem* source = plan_[item_].source;
            if (source != nullptr && !source->is_directory && offset_ < source->size) return true;
            ++item_;
            offset_ = 0;
        }
        return false;
    }

    std::size_t NextLength() const {
        const SourceItem& source = *plan_[item_].source;
        return static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, source.size - offset_));
    }

    std::unique_ptr<Piece> Next() {
        const SourceItem& source = *plan_[item_].source;
        auto piece = std::make_unique<Piece>();
        piece->path = source.path;
        piece->offset = offset_;
        piece->length = static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, source.size - offset_));
        piece->level = level_;
        piece->whole_file = source.size <= kPieceSize;
        offset_ += piece->length;
        piece->last = offset_ == source.size;
        return piece;
    }

private:
    const std::vector<PlanItem>& plan_;
    int level_;
    std::size_t item_ = 0;
    std::uint64_t offset_ = 0;
};

ArchiveBuilder::ArchiveBuilder(const AddRequest& request, const TimePolicy& times, ProgressReporter& reporter)
    : request_(request), times_(times), reporter_(reporter) {}

ArchiveBuilder::~ArchiveBuilder() = default;

void ArchiveBuilder::CheckCancel() const {
    if (reporter_.Cancelled()) throw CancelledByCaller{};
}

void ArchiveBuilder::TopUp() {
    while (feeder_->HasMore() && pipeline_->HasRoom(feeder_->NextLength())) pipeline_->Submit(feeder_->Next());
}

std::unique_ptr<Piece> ArchiveBuilder::NextPiece() {
    TopUp();
    std::unique_ptr<Piece> piece = pipeline_->Next();
    TopUp();
    return piece;
}

void ArchiveBuilder::Build(File& output, File* old_archive, const ExistingArchive& existing,
                           const std::vector<PlanItem>& plan) {
    pipeline_ = std::make_unique<CompressionPipeline>();
    feeder_ = std::make_unique<PieceFeeder>(plan, request_.level);
    if (request_.trace)
        reporter_.Report(kInformation, std::string("Compressing with ") + DeflateEngineName() + " on " +
                                           std::to_string(pipeline_->Workers()) + " worker threads, level " +
                                           std::to_string(request_.level));
    OutputStream out(output);
    if (old_archive != nullptr && existing.prefix_size > 0) out.CopyFrom(*old_archive, 0, existing.prefix_size);

    for (const PlanItem& item : plan) {
        TopUp();
        bool added = false;
        if (item.source != nullptr) added = AddSource(out, *item.source, item.existing);
        if (!added && item.existing != nullptr) CopyExisting(out, *old_archive, *item.existing);
    }

    const std::uint64_t central_start = out.Position();
    for (const auto& record : central_) out.Write(record);
    const std::uint64_t central_end = out.Position();
    const std::uint64_t central_size = central_end - central_start;
    const std::uint64_t count = central_.size();

    // The classic record holds what fits; the rest is saturated there and kept in a zip64 end
    // record, which readers find through the locator right before the classic record.
    const bool many = count > zf::zip64::kLargest16;
    const bool large_size = central_size > zf::zip64::kLargest32;
    const bool far = central_start > zf::zip64::kLargest32;
    if (many || large_size || far) {
        const std::uint16_t made_by = request_.force_dos ? kDosMadeBy : kUnixMadeBy;
        out.Write(zf::Zip64EndRecord::Make(count, central_size, central_start, made_by).bytes);
        out.Write(zf::Zip64Locator::Make(central_end).bytes);
    }
    zf::EndRecord end = zf::EndRecord::Empty();
    zf::PutU16LE<zf::end_record::kDiskEntries>(end.bytes, zf::Classic16(count, many));
    zf::PutU16LE<zf::end_record::kTotalEntries>(end.bytes, zf::Classic16(count, many));
    zf::PutU32LE<zf::end_record::kCentralSize>(end.bytes, zf::Classic32(central_size, large_size));
    end.SetCentralStart(zf::Classic32(central_start, far));
    zf::PutU16LE<zf::end_record::kCommentSize>(end.bytes, static_cast<std::uint16_t>(existing.comment.size()));
    out.Write(end.bytes);
    out.Write(existing.comment);
    out.Flush();
}

void ArchiveBuilder::CopyExisting(OutputStream& out, File& old_archive, const ExistingEntry& entry) {
    std::uint64_t offset = out.Position();
    out.CopyFrom(old_archive, entry.local_offset, entry.extent);
    central_.push_back(MovedCentralRecord(entry.central, offset));
    newest_dos_time_ = std::max(newest_dos_time_, entry.dos_time);
}

bool ArchiveBuilder::AddSource(OutputStream& out, const SourceItem& source, const ExistingEntry* replaced) {
    const std::uint64_t start = out.Position();
    NewEntry entry;
    entry.name = source.name;
    entry.is_directory = source.is_directory;
    entry.force_dos = request_.force_dos;
    entry.mode = source.mode;
    entry.writable = source.writable;
    entry.dos_time = ToDosDateTime(times_.EntryTime(source.mtime), times_.UsesUtc());
    entry.local_offset = start;

    reporter_.FileStart(source.name, source.size);
    CheckCancel();
    if (source.is_directory || source.size == 0) {
        entry.flags = EntryFlags(entry.name, request_.level, false, false, false);
        out.Write(LocalHeader(entry));
    } else if (!WriteFileData(out, source, entry)) {
        out.RewindTo(start);
        return false;
    }
    central_.push_back(CentralRecord(entry));
    added_.push_back(&source);
    newest_dos_time_ = std::max(newest_dos_time_, entry.dos_time);
    if (request_.verbose) {
        std::string how =
            entry.method == zf::kMethodDeflated && entry.unpacked > 0
                ? "deflated " + std::to_string(100 - static_cast<int>(100.0 * entry.packed / entry.unpacked)) + "%"
                : "stored 0%";
        reporter_.Report(kInformation,
                         std::string(replaced ? "updating: " : "adding: ") + entry.name + " (" + how + ")");
        CheckCancel();
    }
    return true;
}

// Writes the local header and the data of a file from its pieces. False when the file could not
// be read whole; the caller then drops what was written.
bool ArchiveBuilder::WriteFileData(OutputStream& out, const SourceItem& source, NewEntry& entry) {
    const std::uint64_t header_at = out.Position();
    const bool single = source.size <= kPieceSize;
    const bool encrypt = request_.encrypt;
    std::optional<TraditionalEncryption> cipher;
    if (encrypt) cipher.emplace(request_.password);

    std::uint64_t consumed = 0, packed = 0;
    std::uint32_t crc = 0;
    bool ok = true;
    std::string problem;
    bool header_written = false;
    while (consumed < source.size) {
        std::unique_ptr<Piece> piece = NextPiece();
        consumed += piece->length;
        if (!ok) continue;  // drain the rest of a failed file's pieces
        if (piece->failed) {
            ok = false;
            problem = piece->error;
            continue;
        }
        crc = consumed == piece->length ? piece->crc : Crc32Combine(crc, piece->crc, piece->length);
        if (!header_written) {
            // One piece is the whole file: everything is known before the header is written.
            // Several pieces: the sizes are patched in afterwards, and an encrypted entry,
            // whose check byte must precede the data, takes its check from the time instead.
            bool deflated = !piece->stored;
            entry.method = deflated ? zf::kMethodDeflated : zf::kMethodStored;
            bool descriptor = encrypt && !single;
            entry.flags = EntryFlags(entry.name, request_.level, deflated, encrypt, descriptor);
            entry.crc = single ? piece->crc : 0;
            entry.unpacked = source.size;
            entry.packed = single ? piece->data.size() + (encrypt ? kEncryptionHeaderSize : 0) : 0;
            entry.zip64_local = MayNeedZip64Sizes(source.size, deflated, encrypt);
            out.Write(LocalHeader(entry));
            if (cipher) {
                auto check = static_cast<std::uint8_t>(descriptor ? (entry.dos_time >> 8) : (piece->crc >> 24));
                auto header = cipher->MakeHeader(check);
                out.Write(header);
                packed += header.size();
            }
            header_written = true;
        }
        if (cipher) cipher->Encrypt(piece->data);
        out.Write(piece->data);
        packed += piece->data.size();
        pipeline_->Recycle(std::move(piece->data));
        reporter_.Advance(piece->length);
        CheckCancel();
    }
    if (!ok) {
        reporter_.Report(problem.find("while it was read") != std::string::npos ? kChangedWhileRead : kCannotRead,
                         problem + "; " + source.path + " was skipped");
        CheckCancel();
        return false;
    }
    entry.crc = crc;
    entry.packed = packed;
    // Cannot happen with the slack MayNeedZip64Sizes leaves; a header that lies would be worse.
    if (!entry.zip64_local && packed > zf::zip64::kLargest32)
        throw ArchiveTooLarge(source.path + " grew past 4 GiB when compressed, beyond the room its header left; " +
                              request_.archive + " was left unchanged");
    if ((entry.flags & zf::kFlagDataDescriptor) != 0) {
        out.Write(DataDescriptor(entry));
    } else if (!single) {
        out.PatchAt(header_at, LocalHeader(entry));
    }
    return true;
}

}  // namespace zipdll
