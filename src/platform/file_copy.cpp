#include "platform/file_copy.h"

#ifndef _WIN32
#include <sys/types.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <memory>

#include "os/errors.h"

namespace kitforge {

namespace {

std::uint64_t Remaining(const std::optional<std::uint64_t>& count, std::uint64_t copied) {
    return count ? *count - copied : UINT64_MAX;
}

// Returns false when the kernel copy must give way to the buffer loop, which carries on from
// where it stopped.
#ifdef _WIN32
// Windows has no copy between two open files; the buffer loop does all of it.
bool KernelCopy(File&, File&, const std::optional<std::uint64_t>&, const CopyOptions&, CopyOutcome&) { return false; }
#else
bool KernelCopy(File& from, File& to, const std::optional<std::uint64_t>& count, const CopyOptions& options,
                CopyOutcome& outcome) {
    while (Remaining(count, outcome.copied) > 0) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(Remaining(count, outcome.copied), options.kernel_chunk));
        const ssize_t n = ::copy_file_range(from.Descriptor(), nullptr, to.Descriptor(), nullptr, want, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            // Either the pair of files does not allow the kernel copy, or one side failed and
            // the kernel does not say which: a read error of the source would be blamed on the
            // target. The buffer loop carries on from here; its own read or write meets the
            // same failure and names the right file.
            return false;
        }
        if (n == 0) {
            outcome.source_ended = count.has_value();
            return true;
        }
        outcome.copied += static_cast<std::uint64_t>(n);
        if (options.between_chunks) options.between_chunks(outcome.copied);
    }
    return true;
}
#endif

void BufferCopy(File& from, File& to, const std::optional<std::uint64_t>& count, const CopyOptions& options,
                CopyOutcome& outcome) {
    const std::size_t size = std::max<std::size_t>(1, options.buffer_size);
    const auto buffer = std::make_unique<char[]>(size);
    while (Remaining(count, outcome.copied) > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(Remaining(count, outcome.copied), size));
        const std::size_t got = from.Read(buffer.get(), want);
        if (got == 0) {
            outcome.read_error = from.LastError();
            outcome.source_ended = count.has_value() && outcome.read_error == 0;
            return;
        }
        if (to.Write(buffer.get(), got) != got) {
            outcome.write_error = to.LastError() != 0 ? to.LastError() : ENOSPC;
            return;
        }
        outcome.copied += got;
        if (options.between_chunks) options.between_chunks(outcome.copied);
        if (got < want) {
            outcome.read_error = from.LastError();
            outcome.source_ended = count.has_value() && outcome.read_error == 0;
            return;
        }
    }
}

}  // namespace

CopyOutcome CopyBytes(File& from, File& to, std::optional<std::uint64_t> count, const CopyOptions& options) {
    CopyOutcome outcome;
    if (options.allow_kernel_copy && KernelCopy(from, to, count, options, outcome)) return outcome;
    BufferCopy(from, to, count, options, outcome);
    return outcome;
}

void CopyExactly(File& from, File& to, std::uint64_t count, const CopyOptions& options) {
    const CopyOutcome outcome = CopyBytes(from, to, count, options);
    if (outcome.write_error != 0) throw InOutError("write", to.Path(), outcome.write_error);
    if (outcome.read_error != 0) throw ReadError("read", from.Path(), outcome.read_error);
    if (outcome.copied != count) {
        throw ReadError("read", from.Path(), 0,
                        "it yielded " + std::to_string(outcome.copied) + " of its " + std::to_string(count) +
                            " bytes (it changed while being read)");
    }
}

}  // namespace kitforge
