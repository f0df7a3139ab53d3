// The deflate engine of the Windows build: zlib, because libdeflate has no MinGW-w64 package.
// It keeps the contract of the libdeflate engine: a non-final piece ends on a byte boundary
// (zlib's sync flush appends the empty stored block that brings it there), and data that does
// not shrink goes out as stored blocks.

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "deflate_block_walker.h"
#include "deflate_engine.h"

namespace zipdll {

namespace {
constexpr std::size_t kProbeSample = 16 * 1024;
constexpr std::size_t kProbeMinimum = 64 * 1024;
constexpr int kProbeLevel = 1;

class RawDeflate {
public:
    explicit RawDeflate(int level) {
        std::memset(&stream_, 0, sizeof stream_);
        if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~RawDeflate() { deflateEnd(&stream_); }
    RawDeflate(const RawDeflate&) = delete;
    RawDeflate& operator=(const RawDeflate&) = delete;

    // Compresses all of `input` into at most `room` bytes at `out`; the count written, or 0
    // when it does not fit.
    std::size_t Run(std::span<const std::uint8_t> input, bool final, std::uint8_t* out, std::size_t room) {
        if (input.size() > UINT_MAX || room > UINT_MAX) return 0;
        stream_.next_in = const_cast<Bytef*>(input.data());
        stream_.avail_in = static_cast<uInt>(input.size());
        stream_.next_out = out;
        stream_.avail_out = static_cast<uInt>(room);
        int result = deflate(&stream_, final ? Z_FINISH : Z_SYNC_FLUSH);
        bool complete =
            final ? result == Z_STREAM_END : result == Z_OK && stream_.avail_in == 0 && stream_.avail_out > 0;
        return complete ? room - stream_.avail_out : 0;
    }

private:
    z_stream stream_;
};
}  // namespace

DeflateEngine::DeflateEngine(int level)
    : level_(std::clamp(level, 1, 9)), probe_output_(compressBound(static_cast<uLong>(kProbeSample))) {}

DeflateEngine::~DeflateEngine() = default;

void DeflateEngine::Compress(std::span<const std::uint8_t> input, bool final, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    if (!input.empty()) {
        // Only output smaller than the input is kept, so that much room is enough.
        out.resize(start + input.size());
        RawDeflate deflater(level_);
        std::size_t written = deflater.Run(input, final, out.data() + start, input.size());
        if (written != 0 && written < input.size()) {
            out.resize(start + written);
            return;
        }
        out.resize(start);
    }
    AppendStoredBlocks(input, final, out);
}

bool DeflateEngine::LooksIncompressible(std::span<const std::uint8_t> input) {
    if (input.size() < kProbeMinimum) return false;
    const std::size_t positions[] = {0, input.size() / 2 - kProbeSample / 2, input.size() - kProbeSample};
    for (std::size_t at : positions) {
        RawDeflate probe(kProbeLevel);
        std::size_t written =
            probe.Run(input.subspan(at, kProbeSample), true, probe_output_.data(), probe_output_.size());
        if (written != 0 && written < kProbeSample) return false;
    }
    return true;
}

const char* DeflateEngineName() { return "zlib"; }

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data) {
    uLong value = crc;
    const std::uint8_t* at = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        uInt step = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
        value = crc32(value, at, step);
        at += step;
        left -= step;
    }
    return static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t second_length) {
    // zlib's 32-bit build takes a 32-bit length; the pieces combined are a few MiB at most.
    if (second_length > static_cast<std::uint64_t>(LONG_MAX)) throw std::length_error("piece too long to combine");
    return static_cast<std::uint32_t>(crc32_combine(first, second, static_cast<z_off_t>(second_length)));
}

}  // namespace zipdll
