#pragma once
// The deflate engine: libdeflate, chosen by measurement over zlib and ISA-L (see
// docs/zipdll.md). One engine per worker thread; not shared between threads.

#include <cstdint>
#include <span>
#include <vector>

struct libdeflate_compressor;

namespace zipdll {

class DeflateEngine {
public:
    // `level` 1 to 9.
    explicit DeflateEngine(int level);
    ~DeflateEngine();
    DeflateEngine(const DeflateEngine&) = delete;
    DeflateEngine& operator=(const DeflateEngine&) = delete;

    // Appends the deflate form of `input` to `out`. A final piece closes the stream; a
    // non-final one ends on a byte boundary so that the next piece can follow it directly.
    // Data that does not shrink goes out as stored blocks.
    void Compress(std::span<const std::uint8_t> input, bool final, std::vector<std::uint8_t>& out);

    // True when quick samples of `input` do not shrink at the fastest level: such data (already
    // compressed or random) is not worth the strong levels' time.
    bool LooksIncompressible(std::span<const std::uint8_t> input);

private:
#ifdef _WIN32
    // zlib (deflate_engine_zlib.cpp): libdeflate has no MinGW-w64 package.
    int level_ = 6;
#else
    libdeflate_compressor* compressor_ = nullptr;
    libdeflate_compressor* probe_ = nullptr;
#endif
    std::vector<std::uint8_t> probe_output_;
};

// The engine's name, for the trace.
const char* DeflateEngineName();

// CRC-32 of the zip format.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data);
// The CRC of two pieces joined, from the CRCs of both and the second one's length.
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t second_length);

}  // namespace zipdll
