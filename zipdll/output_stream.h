#pragma once
// The new archive as it is written: a buffered, append-only stream over the temporary file,
// with patching of bytes already written (local headers get their sizes once the data is
// known) and raw copies out of the old archive.

#include <cstdint>
#include <span>
#include <vector>

#include "file_io.h"

namespace zipdll {

class OutputStream {
public:
    explicit OutputStream(File& file, std::size_t buffer_size = 1u << 20);

    std::uint64_t Position() const noexcept { return flushed_ + buffer_.size(); }
    void Write(std::span<const std::uint8_t> bytes);
    // Overwrites bytes written earlier at `offset`.
    void PatchAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    // Drops everything written from `offset` on (an entry that could not be finished).
    void RewindTo(std::uint64_t offset);
    // Appends `length` bytes of `source` from `offset`.
    void CopyFrom(File& source, std::uint64_t offset, std::uint64_t length);
    void Flush();

private:
    File& file_;
    std::size_t capacity_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t flushed_ = 0;  // bytes in the file before the buffer
};

}  // namespace zipdll
