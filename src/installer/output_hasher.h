#pragma once
// Hashes the payload of an installer as the builder writes it, by reading back what reached the
// file. The bytes hashed are exactly those in the installer, and the copy of the files into it
// keeps the kernel's copy, which never shows the bytes. On Linux a thread of its own reads them
// back beside the copy; on Windows, which has no kernel copy and whose reads at an offset move
// the position of every descriptor of the file, they are read back in place as they come.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "formats/installer_integrity.h"
#include "os/file.h"
#include "payload/payload_checksum.h"

namespace kitforge {

class OutputHasher {
public:
    // Hashes `output` from `start` on. Reads through a descriptor of its own, so the writer's
    // position and error are untouched. Throws InOutError when that descriptor cannot be made.
    OutputHasher(File& output, std::uint64_t start);
    // Stops the thread when Finish was not reached (the build failed).
    ~OutputHasher();
    OutputHasher(const OutputHasher&) = delete;
    OutputHasher& operator=(const OutputHasher&) = delete;

    // The file holds every byte before `end`.
    void Written(std::uint64_t end);
    // Waits until every byte before `end` is hashed and gives the block. Throws ReadError when the
    // file could not be read back.
    formats::IntegrityBlock Finish(std::uint64_t end);

private:
    void Run();
    int ReadBack(File& source, std::uint64_t until, std::vector<std::uint8_t>& buffer);

    File& output_;
    File reader_;
    std::uint64_t hashed_;
    payload::PayloadHasher hasher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t written_;
    bool finishing_ = false;
    bool stopping_ = false;
    bool done_ = false;
    int error_ = 0;
    std::thread thread_;
};

}  // namespace kitforge
