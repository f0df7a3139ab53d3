#include "zipsfx/entry_reader.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/byte_cursor.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/traditional_decryption.h"

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
        // One wrong password in 256 passes the check byte and shows only here.
        if (crc_ != entry_.crc32) {
            Damaged(source_, entry_,
                    entry_.IsEncrypted() ? "fails its CRC check (or the password is wrong)" : "fails its CRC check");
        }
    }

private:
    ByteSource& source_;
    const ArchiveEntry& entry_;
    const ByteSink& sink_;
    std::uint64_t written_ = 0;
    uLong crc_ = crc32_z(0, nullptr, 0);
};

// Reads the entry's packed bytes chunk by chunk, never past the last of them, deciphering them
// when the entry is encrypted.
class PackedReader {
public:
    PackedReader(ByteSource& source, const ArchiveEntry& entry, std::uint64_t start, std::uint64_t size,
                 TraditionalDecryption* decryption)
        : source_(source), entry_(entry), unread_(start, start + size), decryption_(decryption) {}

    std::size_t Next(std::vector<std::uint8_t>& buffer) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, Remaining()));
        const std::uint64_t at = *unread_.TakeFront(size);
        buffer.resize(size);
        if (!source_.ReadAt(at, buffer.data(), size)) Damaged(source_, entry_, "cannot be read: its data ends early");
        if (decryption_) decryption_->Decrypt(buffer.data(), size);
        return size;
    }
    std::uint64_t Remaining() const { return unread_.Remaining(); }

private:
    ByteSource& source_;
    const ArchiveEntry& entry_;
    formats::ByteWindow unread_;
    TraditionalDecryption* decryption_;
};

// Where the packed bytes of the file itself lie, behind the encryption header if any.
struct PackedRange {
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    std::optional<TraditionalDecryption> decryption;

    PackedReader Reader(ByteSource& source, const ArchiveEntry& entry) {
        return PackedReader(source, entry, start, size, decryption ? &*decryption : nullptr);
    }
};

// Deciphers the encryption header with `password`: gives the cipher, ready for the data, or
// nothing when the check byte shows the password is wrong.
std::optional<TraditionalDecryption> OpenEncryption(ByteSource& source, const ArchiveEntry& entry,
                                                    std::string_view password) {
    if (entry.packed_size < kEncryptionHeaderSize) Damaged(source, entry, "is too short for an encrypted entry");
    std::uint8_t header[kEncryptionHeaderSize];
    if (!source.ReadAt(entry.data_offset, header, sizeof header)) {
        Damaged(source, entry, "cannot be read: its data ends early");
    }
    TraditionalDecryption decryption(password);
    decryption.Decrypt(header, sizeof header);
    if (header[kEncryptionHeaderSize - 1] != PasswordCheckByte(entry)) return std::nullopt;
    return decryption;
}

void CopyStored(ByteSource& source, const ArchiveEntry& entry, PackedRange& range, CheckedSink& out) {
    if (range.size != entry.unpacked_size) Damaged(source, entry, "is stored but its two sizes differ");
    PackedReader in = range.Reader(source, entry);
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

void Inflate(ByteSource& source, const ArchiveEntry& entry, PackedRange& range, CheckedSink& out) {
    PackedReader in = range.Reader(source, entry);
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

bool PasswordOpens(ByteSource& source, const ArchiveEntry& entry, std::string_view password) {
    if (!OpenEncryption(source, entry, password)) return false;
    // One wrong password in 256 passes the check byte. Unpacking the entry with it (and
    // throwing the bytes away) is the only sure test: otherwise the person who mistyped would
    // be told the archive is damaged instead of being asked again.
    try {
        ReadEntryData(
            source, entry, [](const std::uint8_t*, std::size_t) {}, password);
    } catch (const SfxError&) {
        return false;
    }
    return true;
}

void ReadEntryData(ByteSource& source, const ArchiveEntry& entry, const ByteSink& sink,
                   std::optional<std::string_view> password) {
    const std::string reason = entry.UnsupportedReason();
    if (!reason.empty()) throw SfxError("cannot unpack " + Printable(entry.stored_name) + ": " + reason);
    PackedRange range{entry.data_offset, entry.packed_size, std::nullopt};
    if (entry.IsEncrypted()) {
        if (!password) {
            throw SfxError("cannot unpack " + Printable(entry.stored_name) +
                           ": it is encrypted and no password was given");
        }
        range.decryption = OpenEncryption(source, entry, *password);
        if (!range.decryption) {
            throw SfxError("cannot unpack " + Printable(entry.stored_name) + ": the password is wrong");
        }
        range.start += kEncryptionHeaderSize;
        range.size -= kEncryptionHeaderSize;
    }
    CheckedSink out(source, entry, sink);
    if (entry.method == formats::kMethodStored) {
        CopyStored(source, entry, range, out);
    } else {
        Inflate(source, entry, range, out);
    }
    out.Finish();
}

}  // namespace kitforge::zipsfx
