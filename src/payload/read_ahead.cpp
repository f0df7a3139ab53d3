#include "payload/read_ahead.h"

#include <algorithm>

namespace kitforge::payload {

namespace {

// Four pieces of 1 MiB: enough that neither thread waits for the other on a page-cached file,
// small enough to stay in the processor's cache between the read and the hash.
constexpr std::size_t kSlots = 4;
constexpr std::size_t kPiece = 1u << 20;

}  // namespace

ReadAhead::ReadAhead(ByteSource& source, std::uint64_t begin, std::uint64_t end) : source_(source), sizes_(kSlots) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, end > begin ? end - begin : 0));
    slots_.assign(kSlots, std::vector<std::uint8_t>(piece));
    reader_ = std::thread([this, begin, end] { Read(begin, end); });
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::Read(std::uint64_t begin, std::uint64_t end) {
    std::uint64_t index = 0;
    for (std::uint64_t at = begin; at < end; ++index) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || index - released_ < kSlots; });
            if (stop_) return;
        }
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, end - at));
        std::vector<std::uint8_t>& slot = slots_[index % kSlots];
        try {
            source_.ReadAt(at, slot.data(), size);
        } catch (...) {
            std::lock_guard lock(mutex_);
            error_ = std::current_exception();
            finished_ = true;
            changed_.notify_all();
            return;
        }
        at += size;
        std::lock_guard lock(mutex_);
        sizes_[index % kSlots] = size;
        produced_ = index + 1;
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

std::span<const std::uint8_t> ReadAhead::Next() {
    std::unique_lock lock(mutex_);
    // The piece handed out last is done with: its slot may be filled again.
    if (released_ < taken_) {
        released_ = taken_;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return produced_ > taken_ || finished_; });
    if (produced_ > taken_) {
        const std::size_t slot = taken_ % kSlots;
        ++taken_;
        return {slots_[slot].data(), sizes_[slot]};
    }
    if (error_) std::rethrow_exception(error_);
    return {};
}

}  // namespace kitforge::payload
