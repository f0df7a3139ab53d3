#pragma once
// Joins separately compressed pieces of one file into a single deflate stream.
//
// Whole-buffer compressors always close their output with a final block. To let several
// workers compress the pieces of one large file, each non-last piece is compressed alone and
// then "opened": its final block is marked as not final and an empty stored block is appended,
// which brings the stream to a byte boundary. The next piece then follows byte for byte, and a
// decoder reads the whole as one stream. Finding the final block needs a walk through every
// block header and Huffman code of the piece; no output is produced.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zipdll {

struct FinalBlockPosition {
    std::uint64_t header_bit = 0;  // bit offset of the final block's first header bit
    std::uint64_t end_bit = 0;     // bit offset just past its end-of-block code
};

// Walks a complete deflate stream; nothing when it is malformed or does not end in a final
// block within `stream`.
std::optional<FinalBlockPosition> FindFinalBlock(std::span<const std::uint8_t> stream);

// Turns the complete stream that starts at `start` in `stream` into a non-final piece ending
// on a byte boundary (see above). False, leaving `stream` unchanged, when it cannot be walked.
bool OpenFinalBlock(std::vector<std::uint8_t>& stream, std::size_t start = 0);

// Appends `data` as stored blocks; the last one is final when `final` is set. An empty final
// piece gives one empty final block.
void AppendStoredBlocks(std::span<const std::uint8_t> data, bool final, std::vector<std::uint8_t>& out);

}  // namespace zipdll
