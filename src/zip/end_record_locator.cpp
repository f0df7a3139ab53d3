// Finding the end-of-central-directory record of an archive: one 22-byte read at the end of
// the file in the common case of an archive without a comment, otherwise one read of the
// file's last 65,557 bytes (the longest comment plus the record) searched backwards.

#include <algorithm>
#include <span>
#include <vector>

#include "zip/volume_names.h"
#include "formats/end_record_search.h"
#include "formats/pe_certificate_table.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

using namespace formats;

constexpr std::int64_t kPaddingBlock = 512;

// The first part of a multi-volume set starts with the spanning signature and then the
// first local header.
bool StartsLikeFirstVolume(File& file) {
    std::array<std::uint8_t, 8> start{};
    if (file.Seek(0) != 0 || file.Read(start.data(), start.size()) != start.size()) return false;
    return GetU32LE<0>(start) == kSpanningSignature && GetU32LE<4>(start) == kLocalHeaderSignature;
}

// The comment runs up to its declared length or to its first zero byte.
std::string CommentAt(const std::uint8_t* bytes, std::size_t length) {
    const auto* end = std::find(bytes, bytes + length, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
}

// True when what follows the archive in `tail` (from `archive_end`, both counted in `tail`, which
// ends the file) is the certificate table of a signed Windows self-extractor and the zero
// bytes that pad the file before it: signing appends them after the archive.
bool SignatureFollows(File& file, std::uint64_t file_size, std::span<const std::uint8_t> tail,
                      std::size_t archive_end) {
    const formats::PeCertificateLookup lookup = formats::FindPeCertificateTable(
        [&](std::uint64_t offset, void* out, std::size_t size) { return file.ReadAt(out, size, offset) == size; },
        file_size);
    if (!lookup.EndsFile(file_size)) return false;
    const std::uint64_t tail_start = file_size - tail.size();
    if (lookup.table->offset < tail_start + archive_end) return false;
    const std::uint64_t padding = lookup.table->offset - tail_start - archive_end;
    return padding < formats::kPeCertificateAlignment &&
           std::all_of(tail.begin() + static_cast<std::ptrdiff_t>(archive_end),
                       tail.begin() + static_cast<std::ptrdiff_t>(archive_end + padding),
                       [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool TZipMaster::LocateEndRecord(EndRecord& end_record) {
    directory_.ArchiveComment.clear();
    directory_.EndRecordOffset = 0;
    int volume_number = 0;

    auto opened = File::TryOpenRead(directory_.InputPath);
    if (!opened) throw EZipMaster::Shown(zip_msg::kCannotOpenArchive);
    directory_.InputHandle = std::move(*opened);

    volume_number = SpanLabelNumber(directory_.VolumeLabel).value_or(0);
    const bool spanned_signature = StartsLikeFirstVolume(directory_.InputHandle);
    if (spanned_signature) directory_.SpannedArchive = true;

    const std::int64_t size = directory_.InputHandle.Size();
    if (size < 0) throw Error("its size cannot be read: " + SystemErrorText(directory_.InputHandle.LastError()));
    directory_.PhysicalSize = size;
    directory_.ArchiveSize = size;
    if (size < static_cast<std::int64_t>(kEndRecordSize)) {
        throw Error("the file is " + std::to_string(size) +
                    " bytes long, shorter than the smallest zip archive (22 bytes)");
    }

    // An archive without a comment ends with its end record.
    if (directory_.InputHandle.Seek(size - static_cast<std::int64_t>(kEndRecordSize)) >= 0 &&
        directory_.InputHandle.Read(end_record.bytes.data(), kEndRecordSize) == kEndRecordSize &&
        end_record.EndSignature() == kEndRecordSignature && end_record.CommentSize() == 0) {
        directory_.EndRecordOffset = size - static_cast<std::int64_t>(kEndRecordSize);
        return true;
    }
    return SearchEndRecord(end_record, spanned_signature, volume_number);
}

bool TZipMaster::SearchEndRecord(EndRecord& end_record, bool spanned_signature, int volume_number) {
    const auto n = static_cast<std::int64_t>(EndSearchLength(static_cast<std::uint64_t>(directory_.ArchiveSize)));
    if (directory_.InputHandle.Seek(directory_.PhysicalSize - n) < 0) throw EZipMaster::Shown(zip_msg::kSeekFailed);
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(n));
    if (directory_.InputHandle.Read(tail.data(), tail.size()) != tail.size()) {
        throw EZipMaster::Shown(zip_msg::kEndSearchReadShort);
    }

    // The record nearest the end of the file wins. The last possible place, 22 bytes before
    // the end, is searched too: a record there with a comment length is one whose comment
    // runs past the end of the file, and fails as such.
    if (const auto found = formats::SearchEndRecord(tail, [](std::size_t) { return true; })) {
        const auto i = static_cast<std::int64_t>(*found);
        const std::uint8_t* at = tail.data() + i;
        directory_.EndRecordOffset = directory_.PhysicalSize - n + i;
        end_record = EndRecordFrom(tail, *found);
        const std::int64_t comment_end = i + static_cast<std::int64_t>(kEndRecordSize) + end_record.CommentSize();
        const std::int64_t excess = comment_end - n;
        if (excess > 0) {
            throw Error("the archive comment of " + std::to_string(end_record.CommentSize()) +
                        " bytes runs past the end of the file");
        }
        if (excess < 0) {
            directory_.ArchiveSize += excess;
            // Copying an archive to a medium of 512-byte blocks may pad it with zeros; only
            // that is taken silently.
            const bool zero_padding =
                directory_.PhysicalSize - directory_.ArchiveSize < kPaddingBlock &&
                directory_.PhysicalSize % kPaddingBlock == 0 &&
                std::all_of(tail.begin() + comment_end, tail.end(), [](std::uint8_t b) { return b == 0; });
            if (!zero_padding &&
                !SignatureFollows(directory_.InputHandle, static_cast<std::uint64_t>(directory_.PhysicalSize), tail,
                                  static_cast<std::size_t>(comment_end))) {
                ReportMessage(zip_msg::kBytesAfterComment, FileNote());
            }
        }
        if (end_record.CommentSize() > 0) {
            directory_.ArchiveComment = CommentAt(at + kEndRecordSize, end_record.CommentSize());
        }
        return true;
    }

    // No end record: tell the parts of a multi-volume set from files that are no archive.
    if (!spanned_signature && volume_number != 0) throw EZipMaster::WithDisk(zip_msg::kDiskOfSet, volume_number);
    if (spanned_signature && volume_number == 1) throw EZipMaster::Shown(zip_msg::kFirstDiskOfSet);
    if (spanned_signature) throw EZipMaster::Shown(zip_msg::kNotLastPartOfSet);
    throw EZipMaster::Shown(zip_msg::kNotAZipArchive);
}

}  // namespace kitforge
