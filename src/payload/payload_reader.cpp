#include "payload/payload_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/byte_cursor.h"
#include "formats/installer_integrity.h"
#include "formats/installer_payload.h"
#include "formats/pe_certificate_table.h"

namespace kitforge::payload {

namespace {

using namespace formats;

// Walks from the end of the payload towards the start of the file: the window's back is the
// end of what is still unread. Every read takes its length from the window before touching
// the bytes, so none reaches before the start of the file.
class BackwardCursor {
public:
    BackwardCursor(ByteSource& source, const PayloadLimits& limits, std::uint64_t end)
        : source_(source), limits_(limits), unread_(end) {}

    std::uint64_t Position() const { return unread_.Back(); }

    [[noreturn]] void Fail(const std::string& reason) const { throw PayloadError(source_.Name(), reason); }

    // A length or count field; `what` names it in errors.
    std::uint32_t Number(const char* what) {
        const std::uint32_t value = Word(what);
        if (value > kPayloadMaxNumber) {
            Fail(std::string("the payload is damaged: the ") + what + " " + std::to_string(value) +
                 " is not below 2147483648");
        }
        return value;
    }

    // A file's size: one number, or the long form's size word and the low word before it.
    std::uint64_t FileSize() {
        const std::uint32_t word = Word("file size");
        if (!IsLongSizeWord(word)) return word;
        if (LongSizeHighPart(word) > (kPayloadMaxFileSize >> 32)) {
            Fail("the payload is damaged: the 64-bit file size has the high part " +
                 std::to_string(LongSizeHighPart(word)) + ", past the largest file of " +
                 std::to_string(kPayloadMaxFileSize) + " bytes");
        }
        const std::uint64_t size = LongFileSize(word, Word("low part of the 64-bit file size"));
        if (size <= kPayloadMaxNumber) {
            Fail("the payload is damaged: the 64-bit file size " + std::to_string(size) +
                 " is below 2147483648, which is never written in that form");
        }
        return size;
    }

    // Checks that `size` bytes lie before the current position, then steps over them.
    std::uint64_t Skip(std::uint64_t size, const char* what) {
        const std::uint64_t left = unread_.Remaining();
        const auto at = unread_.TakeBack(size);
        if (!at) {
            Fail(std::string("the payload is damaged: the ") + what + " of " + std::to_string(size) +
                 " bytes reaches before the start of the file (" + std::to_string(left) + " bytes left)");
        }
        return *at;
    }

    std::string Text(std::uint32_t size, const char* what) {
        text_bytes_ += size;
        if (text_bytes_ > limits_.max_text_bytes) {
            Fail("the payload is damaged: its texts exceed " + std::to_string(limits_.max_text_bytes) + " bytes");
        }
        const std::uint64_t start = Skip(size, what);
        std::string text(size, '\0');
        if (size > 0) source_.ReadAt(start, text.data(), size);
        return text;
    }

    // A count of records that each take at least `smallest` bytes: a claim of more records than
    // the bytes before it could hold is rejected before anything is allocated for them.
    std::uint32_t Count(const char* what, std::uint64_t smallest, std::uint32_t limit) {
        const std::uint32_t count = Number(what);
        if (count > limit) {
            Fail(std::string("the payload is damaged: the ") + what + " " + std::to_string(count) +
                 " exceeds the limit of " + std::to_string(limit));
        }
        if (static_cast<std::uint64_t>(count) * smallest > unread_.Remaining()) {
            Fail(std::string("the payload is damaged: the ") + what + " " + std::to_string(count) +
                 " needs more than the " + std::to_string(unread_.Remaining()) + " bytes before it");
        }
        return count;
    }

    const PayloadLimits& Limits() const { return limits_; }

private:
    // Any 32-bit word; `what` names it in errors.
    std::uint32_t Word(const char* what) {
        const auto at = unread_.TakeBack(kPayloadNumberSize);
        if (!at) Fail(std::string("the installer is truncated: no room for the ") + what);
        std::array<std::uint8_t, kPayloadNumberSize> bytes{};
        source_.ReadAt(*at, bytes.data(), bytes.size());
        return GetPayloadNumber(bytes.data());
    }

    ByteSource& source_;
    const PayloadLimits& limits_;
    ByteWindow unread_;
    std::uint64_t text_bytes_ = 0;
};

// The certificate table of a signed Windows installer, or nothing.
std::optional<PeCertificateTable> CertificateTable(ByteSource& source) {
    const std::uint64_t size = source.Size();
    const PeCertificateLookup lookup = FindPeCertificateTable(
        [&](std::uint64_t offset, void* out, std::size_t length) {
            if (offset > size || length > size - offset) return false;
            source.ReadAt(offset, out, length);
            return true;
        },
        size);
    if (!lookup.problem.empty()) throw PayloadError(source.Name(), "the installer is damaged: " + lookup.problem);
    return lookup.table;
}

// Where the payload ends. Signing appends the certificate table and pads the file with zero
// bytes before it; the mark's last byte is not zero, so the padding is every zero byte (at
// most 7) that precedes the table. A table that does not end the file was there before the
// payload was appended (a signed stub): the payload then still ends with the file.
std::uint64_t PayloadEnd(ByteSource& source, const std::optional<PeCertificateTable>& table) {
    const std::uint64_t size = source.Size();
    if (!table || table->offset + table->size != size) return size;
    std::array<std::uint8_t, kPeCertificateAlignment - 1> before{};
    const std::uint64_t padding = std::min<std::uint64_t>(table->offset, before.size());
    std::uint64_t end = table->offset;
    source.ReadAt(end - padding, before.data(), static_cast<std::size_t>(padding));
    for (std::uint64_t i = padding; i > 0 && before[i - 1] == 0; --i) --end;
    return end;
}

void ReadMark(BackwardCursor& cursor, ByteSource& source, std::uint64_t end) {
    if (end < kMinimumPayloadSize) {
        cursor.Fail("not an installer: the file is too small to hold a payload (" + std::to_string(end) + " bytes)");
    }
    const std::uint64_t start = cursor.Skip(kPayloadMarkSize, "payload mark");
    std::array<std::uint8_t, kPayloadMarkSize> mark{};
    source.ReadAt(start, mark.data(), mark.size());
    if (mark != kPayloadMark) {
        cursor.Fail("not an installer: the file does not end with the payload mark 2E 22 6B 3D");
    }
}

std::vector<std::string> ReadLines(BackwardCursor& cursor) {
    const std::uint32_t count = cursor.Count("line count", kMinimumLineRecordSize, cursor.Limits().max_lines);
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t length = cursor.Number("line length");
        lines.push_back(cursor.Text(length, "line"));
    }
    return lines;
}

std::vector<PayloadFile> ReadFiles(BackwardCursor& cursor) {
    const std::uint32_t count = cursor.Count("file count", kMinimumFileRecordSize, cursor.Limits().max_files);
    std::vector<PayloadFile> files;
    files.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        PayloadFile file;
        const std::uint32_t name_length = cursor.Number("file name length");
        file.name = cursor.Text(name_length, "file name");
        file.size = cursor.FileSize();
        file.offset = cursor.Skip(file.size, "file contents");
        files.push_back(std::move(file));
    }
    return files;
}

// The integrity block ends where the payload starts; without its mark there is none.
std::optional<IntegrityBlock> ReadIntegrityBlock(ByteSource& source, std::uint64_t payload_offset) {
    if (payload_offset < kIntegrityBlockSize) return std::nullopt;
    IntegrityBlockBytes bytes{};
    source.ReadAt(payload_offset - kIntegrityBlockSize, bytes.data(), bytes.size());
    return DecodeIntegrityBlock(bytes);
}

std::size_t CountExtractLines(const std::vector<std::string>& lines) {
    std::size_t count = 0;
    for (const auto& line : lines) count += IsExtractLine(line) ? 1 : 0;
    return count;
}

}  // namespace

FileByteSource::FileByteSource(File& file) : file_(file) {
    const std::int64_t size = file.Size();
    if (size < 0) throw ReadError("read", file.Path(), file.LastError());
    size_ = static_cast<std::uint64_t>(size);
}

void FileByteSource::ReadAt(std::uint64_t offset, void* out, std::size_t size) {
    if (file_.Seek(static_cast<std::int64_t>(offset)) < 0) throw ReadError("read", file_.Path(), file_.LastError());
    file_.ReadExact(out, size);
}

void MemoryByteSource::ReadAt(std::uint64_t offset, void* out, std::size_t size) {
    if (offset > size_ || size > size_ - offset) throw PayloadError(name_, "read past the end of the data");
    std::memcpy(out, data_ + offset, size);
}

Payload ReadPayload(ByteSource& source, const PayloadLimits& limits) {
    const auto table = CertificateTable(source);
    Payload payload;
    payload.file_size = source.Size();
    payload.payload_end = PayloadEnd(source, table);
    BackwardCursor cursor(source, limits, payload.payload_end);
    ReadMark(cursor, source, payload.payload_end);
    const std::uint32_t title_length = cursor.Number("title length");
    payload.title = cursor.Text(title_length, "title");
    const std::uint32_t prompt_length = cursor.Number("prompt length");
    payload.prompt = cursor.Text(prompt_length, "prompt");
    payload.lines = ReadLines(cursor);
    payload.files = ReadFiles(cursor);
    payload.payload_offset = cursor.Position();
    payload.integrity = ReadIntegrityBlock(source, payload.payload_offset);
    payload.stub_size = payload.payload_offset - (payload.integrity ? kIntegrityBlockSize : 0);
    if (table && table->offset + table->size > payload.stub_size && payload.payload_end == payload.file_size) {
        cursor.Fail("the installer is damaged: the certificate table of the Windows program (" +
                    std::to_string(table->size) + " bytes at offset " + std::to_string(table->offset) +
                    ") overlaps the payload, which starts at offset " + std::to_string(payload.stub_size));
    }

    const std::size_t extract_lines = CountExtractLines(payload.lines);
    if (extract_lines != payload.files.size()) {
        cursor.Fail("the payload is damaged: it holds " + std::to_string(payload.files.size()) + " files for " +
                    std::to_string(extract_lines) + " EXTRACT lines");
    }
    return payload;
}

Payload ReadPayload(const std::string& path, const PayloadLimits& limits) {
    File file = File::OpenRead(path);
    FileByteSource source(file);
    return ReadPayload(source, limits);
}

}  // namespace kitforge::payload
