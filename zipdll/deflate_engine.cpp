#include "deflate_engine.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

#include "deflate_block_walker.h"

namespace zipdll {

namespace {
constexpr std::size_t kProbeSample = 16 * 1024;
constexpr std::size_t kProbeMinimum = 64 * 1024;
constexpr int kProbeLevel = 1;
}  // namespace

DeflateEngine::DeflateEngine(int level)
    : compressor_(libdeflate_alloc_compressor(std::clamp(level, 1, 9))),
      probe_(libdeflate_alloc_compressor(kProbeLevel)),
      probe_output_(libdeflate_deflate_compress_bound(nullptr, kProbeSample)) {
    if (compressor_ == nullptr || probe_ == nullptr) {
        libdeflate_free_compressor(compressor_);
        libdeflate_free_compressor(probe_);
        throw std::bad_alloc();
    }
}

DeflateEngine::~DeflateEngine() {
    libdeflate_free_compressor(compressor_);
    libdeflate_free_compressor(probe_);
}

void DeflateEngine::Compress(std::span<const std::uint8_t> input, bool final, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    if (!input.empty()) {
        out.resize(start + libdeflate_deflate_compress_bound(compressor_, input.size()));
        std::size_t written = libdeflate_deflate_compress(compressor_, input.data(), input.size(), out.data() + start,
                                                          out.size() - start);
        out.resize(start + written);
        if (written != 0 && written < input.size()) {
            if (final || OpenFinalBlock(out, start)) return;
        }
        out.resize(start);
    }
    AppendStoredBlocks(input, final, out);
}

bool DeflateEngine::LooksIncompressible(std::span<const std::uint8_t> input) {
    if (input.size() < kProbeMinimum) return false;
    const std::size_t positions[] = {0, input.size() / 2 - kProbeSample / 2, input.size() - kProbeSample};
    for (std::size_t at : positions) {
        std::size_t written = libdeflate_deflate_compress(probe_, input.data() + at, kProbeSample, probe_output_.data(),
                                                          probe_output_.size());
        if (written != 0 && written < kProbeSample) return false;
    }
    return true;
}

const char* DeflateEngineName() { return "libdeflate"; }

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> data) {
    return libdeflate_crc32(crc, data.data(), data.size());
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t second_length) {
    return static_cast<std::uint32_t>(crc32_combine64(first, second, static_cast<z_off64_t>(second_length)));
}

}  // namespace zipdll
