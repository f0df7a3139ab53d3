#include "installer/output_hasher.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <vector>

#include "os/errors.h"

namespace kitforge {

namespace {

constexpr std::size_t kReadBack = 1u << 20;

}  // namespace

// Hashes the bytes of `source` from where the hash stands up to `until`. Gives 0, or the errno
// value of a read that failed or fell short (EIO when the file simply ended).
int OutputHasher::ReadBack(File& source, std::uint64_t until, std::vector<std::uint8_t>& buffer) {
    while (hashed_ < until) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), until - hashed_));
        if (source.ReadAt(buffer.data(), size, hashed_) != size)
            return source.LastError() != 0 ? source.LastError() : EIO;
        hasher_.Update(buffer.data(), size);
        hashed_ += size;
    }
    return 0;
}

#ifdef _WIN32

OutputHasher::OutputHasher(File& output, std::uint64_t start) : output_(output), hashed_(start), written_(start) {}

OutputHasher::~OutputHasher() = default;

void OutputHasher::Written(std::uint64_t end) {
    if (error_ != 0 || end <= hashed_) return;
    std::vector<std::uint8_t> buffer(kReadBack);
    error_ = ReadBack(output_, end, buffer);
    if (output_.Seek(static_cast<std::int64_t>(end)) < 0 && error_ == 0) error_ = output_.LastError();
}

formats::IntegrityBlock OutputHasher::Finish(std::uint64_t end) {
    Written(end);
    if (error_ != 0 || hashed_ != end) {
        throw ReadError("read", output_.Path(), error_, error_ != 0 ? "" : "it is shorter than what was written to it");
    }
    return hasher_.Finish();
}

void OutputHasher::Run() {}

#else

OutputHasher::OutputHasher(File& output, std::uint64_t start) : output_(output), hashed_(start), written_(start) {
    // A device written in place (/dev/null) gives nothing back to hash, and keeps nothing to check.
    struct stat status {};
    if (::fstat(output.Descriptor(), &status) == 0 && !S_ISREG(status.st_mode)) {
        done_ = true;
        return;
    }
    const int descriptor = ::dup(output.Descriptor());
    if (descriptor < 0) throw InOutError("write", output.Path(), errno);
    reader_ = File::Adopt(descriptor, output.Path());
    thread_ = std::thread([this] { Run(); });
}

OutputHasher::~OutputHasher() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void OutputHasher::Written(std::uint64_t end) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        written_ = std::max(written_, end);
    }
    changed_.notify_all();
}

formats::IntegrityBlock OutputHasher::Finish(std::uint64_t end) {
    if (!thread_.joinable()) return hasher_.Finish();  // a device
    Written(end);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finishing_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return done_; });
    }
    thread_.join();
    if (error_ != 0 || hashed_ != end) {
        throw ReadError("read", output_.Path(), error_, error_ != 0 ? "" : "it is shorter than what was written to it");
    }
    return hasher_.Finish();
}

void OutputHasher::Run() {
    std::vector<std::uint8_t> buffer(kReadBack);
    for (;;) {
        std::uint64_t until = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || finishing_ || written_ > hashed_; });
            if (stopping_) return;
            if (finishing_ && written_ <= hashed_) break;
            until = written_;
        }
        if (const int error = ReadBack(reader_, until, buffer); error != 0) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error_ = error;
            break;
        }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

#endif

}  // namespace kitforge
