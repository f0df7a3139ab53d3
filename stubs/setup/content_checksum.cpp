#include "setup/content_checksum.h"

#include <vector>

namespace kitforge::setup {

namespace {

constexpr std::size_t kChunkSize = 1u << 20;

}  // namespace

std::optional<ContentSummary> SummariseContents(File& file, int* error) {
    XXH3_state_t state;
    XXH3_128bits_reset(&state);
    std::vector<unsigned char> chunk(kChunkSize);
    ContentSummary summary;
    while (true) {
        const std::size_t n = file.ReadAt(chunk.data(), chunk.size(), summary.size);
        if (n == 0) {
            if (file.LastError() != 0) {
                if (error) *error = file.LastError();
                return std::nullopt;
            }
            break;
        }
        XXH3_128bits_update(&state, chunk.data(), n);
        summary.size += n;
    }
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state));
    std::copy(std::begin(canonical.digest), std::end(canonical.digest), summary.checksum.begin());
    return summary;
}

}  // namespace kitforge::setup
