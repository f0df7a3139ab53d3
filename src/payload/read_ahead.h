#pragma once
// Reads a range of a ByteSource in a thread of its own, a few pieces ahead of the caller, so that
// the caller's work on one piece (hashing the payload) overlaps the reading of the next.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "payload/payload_reader.h"

namespace kitforge::payload {

class ReadAhead {
public:
    // Starts reading [begin, end) of `source`, which only the reading thread uses until this
    // object is destroyed.
    ReadAhead(ByteSource& source, std::uint64_t begin, std::uint64_t end);
    // Stops the reading thread and waits for it, whether or not everything was taken.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece, in order; empty after the last. It stays valid until the next call.
    // Rethrows, unchanged, what the source threw when it failed to read it.
    std::span<const std::uint8_t> Next();

private:
    void Read(std::uint64_t begin, std::uint64_t end);

    ByteSource& source_;
    std::vector<std::vector<std::uint8_t>> slots_;
    std::vector<std::size_t> sizes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t produced_ = 0;  // pieces read
    std::uint64_t taken_ = 0;     // pieces handed to the caller
    std::uint64_t released_ = 0;  // pieces whose slot may be filled again
    bool finished_ = false;       // the reading thread has nothing more to give
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread reader_;  // last: it starts once everything above is ready
};

}  // namespace kitforge::payload
