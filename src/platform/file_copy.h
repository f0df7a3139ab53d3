#pragma once
// Streams bytes from one open file to another without holding them in memory: the kernel
// copies (copy_file_range) where the file systems allow it, and a bounded buffer does
// otherwise. Both files keep their positions moving as with read and write.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "os/file.h"

namespace kitforge {

struct CopyOptions {
    // Size of the buffer of the fallback loop, and the most one read asks for.
    std::size_t buffer_size = 61440;
    // Bytes per kernel copy call; between two calls `between_chunks` runs.
    std::size_t kernel_chunk = 8u << 20;
    bool allow_kernel_copy = true;
    // Runs after every chunk (to let a window stay live, or to report progress).
    std::function<void(std::uint64_t copied_so_far)> between_chunks;
};

struct CopyOutcome {
    std::uint64_t copied = 0;
    // The source ended before the requested count (not an error by itself).
    bool source_ended = false;
    // errno of a failed read, or 0.
    int read_error = 0;
    // errno of a failed or short write, or 0.
    int write_error = 0;

    bool Failed() const noexcept { return read_error != 0 || write_error != 0; }
};

// Copies `count` bytes, or everything to the end of the source when `count` is empty.
CopyOutcome CopyBytes(File& from, File& to, std::optional<std::uint64_t> count, const CopyOptions& options = {});

// Copies exactly `count` bytes or throws: ReadError naming the source when it fails or ends
// early, InOutError naming the target when a write fails.
void CopyExactly(File& from, File& to, std::uint64_t count, const CopyOptions& options = {});

}  // namespace kitforge
