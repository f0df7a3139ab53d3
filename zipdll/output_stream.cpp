#include "output_stream.h"

#include <algorithm>
#include <cstring>

namespace zipdll {

OutputStream::OutputStream(File& file, std::size_t buffer_size) : file_(file), capacity_(buffer_size) {
    buffer_.reserve(capacity_);
    flushed_ = PositionOf(file_);
}

void OutputStream::Write(std::span<const std::uint8_t> bytes) {
    if (buffer_.size() + bytes.size() > capacity_) Flush();
    if (bytes.size() >= capacity_) {
        WriteAll(file_, bytes.data(), bytes.size());
        flushed_ += bytes.size();
        return;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void OutputStream::PatchAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    // The part that is still in the buffer is patched there, the rest in the file.
    std::size_t in_file = 0;
    if (offset < flushed_) {
        in_file = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), flushed_ - offset));
        WriteAllAt(file_, bytes.data(), in_file, offset);
    }
    if (in_file < bytes.size()) {
        std::size_t at = static_cast<std::size_t>(offset + in_file - flushed_);
        std::memcpy(buffer_.data() + at, bytes.data() + in_file, bytes.size() - in_file);
    }
}

void OutputStream::RewindTo(std::uint64_t offset) {
    if (offset >= flushed_) {
        buffer_.resize(static_cast<std::size_t>(offset - flushed_));
        return;
    }
    buffer_.clear();
    Truncate(file_, offset);
    SeekTo(file_, offset);
    flushed_ = offset;
}

void OutputStream::CopyFrom(File& source, std::uint64_t offset, std::uint64_t length) {
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length, capacity_)));
    while (length > 0) {
        std::size_t step = static_cast<std::size_t>(std::min<std::uint64_t>(length, chunk.size()));
        ReadExactAt(source, chunk.data(), step, offset);
        Write(std::span(chunk.data(), step));
        offset += step;
        length -= step;
    }
}

void OutputStream::Flush() {
    if (buffer_.empty()) return;
    WriteAll(file_, buffer_.data(), buffer_.size());
    flushed_ += buffer_.size();
    buffer_.clear();
}

}  // namespace zipdll
