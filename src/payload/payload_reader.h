#pragma once
// Reads the payload of an installer from the end of its file backwards. Nothing stored in the
// file is trusted: every length and count is checked against the bytes that are really there
// before it is used, and what the reader allocates is bounded by those bytes and by the
// limits below. The contents of the files are not read; the caller copies them by offset
// and size (the installer stub extracts them, kitforge-cli inspect --extract writes them out).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/installer_integrity.h"
#include "os/errors.h"
#include "os/file.h"

namespace kitforge::payload {

// A payload that is missing, truncated or damaged. The message reads
// "Cannot read <path>: <reason>", the reason saying which field is wrong and why.
class PayloadError : public ReadError {
public:
    PayloadError(std::string path, std::string_view reason) : ReadError("read", std::move(path), 0, reason) {}
};

// One file record, for the stub to extract.
struct PayloadFile {
    std::string name;          // the stored file name, exactly as stored (check with IsSafeFileName)
    std::uint64_t offset = 0;  // where its contents start in the installer file
    std::uint64_t size = 0;    // how many bytes they are
};

struct Payload {
    std::string title;
    std::string prompt;
    std::vector<std::string> lines;    // in script order
    std::vector<PayloadFile> files;    // in the order of the EXTRACT lines: files[k] belongs to the k-th
    std::uint64_t stub_size = 0;       // bytes of the stub: before the integrity block, or before the payload
    std::uint64_t payload_offset = 0;  // where the payload starts: stub_size, plus the block when there is one
    std::uint64_t file_size = 0;       // size of the whole installer file
    // Where the payload ends: the end of the file, or, in a signed Windows installer, where the
    // signature's certificate table begins, less the zero bytes that pad the file before it.
    std::uint64_t payload_end = 0;
    // The checksum the builder stored in front of the payload; nothing for an older installer.
    // Whether it matches is for CheckPayloadChecksum to say.
    std::optional<formats::IntegrityBlock> integrity;
};

// Ceilings on what one payload may claim, so that a damaged or hostile file cannot make a
// reader allocate without bound. Real installers stay far below them.
struct PayloadLimits {
    std::uint32_t max_lines = 1u << 20;
    std::uint32_t max_files = 1u << 20;
    // Bytes of title, prompt, lines and names together.
    std::uint64_t max_text_bytes = 64u << 20;
};

// Where the reader gets its bytes: a file, or memory (for tests and fuzzing).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Fills `out` with `size` bytes from `offset`, which the reader has checked lie inside
    // Size(); throws PayloadError or ReadError when they cannot be read.
    virtual void ReadAt(std::uint64_t offset, void* out, std::size_t size) = 0;
    // The name used in error messages.
    virtual const std::string& Name() const = 0;
};

class FileByteSource : public ByteSource {
public:
    // Reads from an open file (its position moves); `Size()` is taken once, here.
    explicit FileByteSource(File& file);
    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t offset, void* out, std::size_t size) override;
    const std::string& Name() const override { return file_.Path(); }

private:
    File& file_;
    std::uint64_t size_;
};

class MemoryByteSource : public ByteSource {
public:
    MemoryByteSource(const void* data, std::size_t size, std::string name = "(memory)")
        : data_(static_cast<const unsigned char*>(data)), size_(size), name_(std::move(name)) {}
    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t offset, void* out, std::size_t size) override;
    const std::string& Name() const override { return name_; }

private:
    const unsigned char* data_;
    std::size_t size_;
    std::string name_;
};

// Reads the payload at the end of `source` (before the certificate table, when the installer is
// a signed Windows program), and the integrity block in front of it when one is there. Throws
// PayloadError when a Windows installer's security directory points outside the file or into
// the payload, when there is no mark at the end, when any length or count reaches past the
// bytes before it or breaks a limit, or when the number of file records differs from the
// number of EXTRACT lines.
Payload ReadPayload(ByteSource& source, const PayloadLimits& limits = {});

// Opens the installer at `path` and reads its payload. Throws ReadError or PayloadError.
Payload ReadPayload(const std::string& path, const PayloadLimits& limits = {});

}  // namespace kitforge::payload
