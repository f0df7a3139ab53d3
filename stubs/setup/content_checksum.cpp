#include "setup/content_checksum.h"

#include <vector>

#include "formats/xxh3_digest.h"

namespace kitforge::setup {

namespace {

constexpr std::size_t kChunkSize = 1u << 20;

}  // namespace

std::optional<ContentSummary> SummariseContents(File& file, int* error) {
    formats::Xxh3_128Stream stream;
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
        stream.Update(chunk.data(), n);
        summary.size += n;
    }
    summary.checksum = stream.Digest();
    return summary;
}

}  // namespace kitforge::setup
