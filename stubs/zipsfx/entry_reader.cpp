#include "zipsfx/entry_reader.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "formats/byte_cursor.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

[[noreturn]] void Damaged(ByteSource& source, const ArchiveEntry& entry, const std::string& what) {
    throw SfxError(source.Name() + " is damaged: " + Printable(entry.stored_name) + " " + what);
}

// Counts and checksums what reaches the sink, and refuses more than the entry's size.
class CheckedSink {
public:
    CheckedSink(ByteSource& source, const ArchiveEntry& entry, const ByteSink& sink)
        : source_(source), entry_(entry), sink_(sink) {}

    void Put(const std::uint8_t* data, std::size_t size) {
        if (size == 0) return;
        if (size > entry_.unpacked_size - written_) Damaged(source_, entry_, "unpacks to more bytes than recorded");
        crc_ = crc32_z(crc_, data, size);
        written_ += size;
        sink_(data, size);
    }

    void Finish() const {
        if (written_ != entry_.unpacked_size) Damaged(source_, entry_, "unpacks to fewer bytes than recorded");
        if (crc_ != entry_.crc32) Damaged(source_, entry_, "fails its CRC check");
    }

private:
    ByteSource& source_;
    const ArchiveEntry& entry_;
    const ByteSink& sink_;
    std::uint64_t written_ = 0;
    uLong crc_ = crc32_z(0, nullptr, 0);
};

// Reads the entry's packed bytes chunk by chunk, never past the last of them.
class PackedReader {
public:
    PackedReader(ByteSource& source, const ArchiveEntry& entry)
        : source_(source), entry_(entry), unread_(entry.data_offset, entry.data_offset + entry.packed_size) {}

    std::size_t Next(std::vector<std::uint8_t>& buffer) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, Remaining()));
        const std::uint64_t at = *unread_.TakeFront(size);
        buffer.resize(size);
        if (!source_.ReadAt(at, buffer.data(), size)) Damaged(source_, entry_, "cannot be read: its data ends early");
        return size;
    }
    std::uint64_t Remaining() const { return unread_.Remaining(); }

private:
    ByteSource& source_;
    const ArchiveEntry& entry_;
    formats::ByteWindow unread_;
};

void CopyStored(ByteSource& source, const ArchiveEntry& entry, CheckedSink& out) {
    if (entry.packed_size != entry.unpacked_size) Damaged(source, entry, "is stored but its two sizes differ");
    PackedReader in(source, entry);
    std::vector<std::uint8_t> buffer;
    while (in.Remaining() > 0) {
        const std::size_t size = in.Next(buffer);
        out.Put(buffer.data(), size);
    }
}

struct InflateStream {
    z_stream stream{};
    InflateStream() {
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw SfxError("cannot start the decompressor: out of memory");
    }
    ~InflateStream() { inflateEnd(&stream); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
};

void Inflate(ByteSource& source, const ArchiveEntry& entry, CheckedSink& out) {
    PackedReader in(source, entry);
    InflateStream inflater;
    z_stream& z = inflater.stream;
    std::vector<std::uint8_t> input;
    std::vector<std::uint8_t> output(kChunk);
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (in.Remaining() == 0) Damaged(source, entry, "has a compressed stream that ends early");
            z.avail_in = static_cast<uInt>(in.Next(input));
            z.next_in = input.data();
        }
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(output.size());
        status = inflate(&z, Z_NO_FLUSH);
        // Z_BUF_ERROR with input left means no progress is possible: the stream is broken.
        const bool stuck = status == Z_BUF_ERROR && z.avail_in != 0 && z.avail_out != 0;
        if (stuck || (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)) {
            Damaged(source, entry, "has a broken compressed stream");
        }
        out.Put(output.data(), output.size() - z.avail_out);
    }
}

}  // namespace

void ReadEntryData(ByteSource& source, const ArchiveEntry& entry, const ByteSink& sink) {
    const std::string reason = entry.UnsupportedReason();
    if (!reason.empty()) throw SfxError("cannot unpack " + Printable(entry.stored_name) + ": " + reason);
    CheckedSink out(source, entry, sink);
    if (entry.method == formats::kMethodStored) {
        CopyStored(source, entry, out);
    } else {
        Inflate(source, entry, out);
    }
    out.Finish();
}

}  // namespace kitforge::zipsfx
