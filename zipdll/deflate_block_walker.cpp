#include "deflate_block_walker.h"

#include <algorithm>
#include <array>

namespace zipdll {

namespace {

constexpr int kMaxCodeLength = 15;
constexpr int kLiteralLengthSymbols = 288;
constexpr int kDistanceSymbols = 32;
constexpr int kEndOfBlock = 256;

constexpr std::array<std::uint8_t, 29> kLengthExtraBits = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> kDistanceExtraBits = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// Bits are read least significant first, as deflate packs them. Reads past the end give
// zero bits and set `overrun`, which callers check once per block.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint32_t Peek(int count) {
        Refill(count);
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
    }
    void Consume(int count) {
        buffer_ >>= count;
        held_ -= count;
        bit_position_ += static_cast<std::uint64_t>(count);
        if (bit_position_ > bytes_.size() * 8) overrun_ = true;
    }
    std::uint32_t Take(int count) {
        if (count == 0) return 0;
        std::uint32_t value = Peek(count);
        Consume(count);
        return value;
    }
    void AlignToByte() { Take(static_cast<int>((8 - bit_position_ % 8) % 8)); }
    // Skips whole bytes; the position must be on a byte boundary.
    void SkipBytes(std::uint64_t count) {
        bit_position_ += count * 8;
        buffer_ = 0;
        held_ = 0;
        if (bit_position_ > bytes_.size() * 8) overrun_ = true;
    }
    std::uint64_t BitPosition() const { return bit_position_; }
    bool Overrun() const { return overrun_; }

private:
    void Refill(int count) {
        while (held_ < count) {
            std::size_t byte_index = static_cast<std::size_t>((bit_position_ + static_cast<std::uint64_t>(held_)) / 8);
            std::uint64_t byte = byte_index < bytes_.size() ? bytes_[byte_index] : 0;
            buffer_ |= byte << held_;
            held_ += 8;
        }
    }

    std::span<const std::uint8_t> bytes_;
    std::uint64_t buffer_ = 0;
    int held_ = 0;  // bits in buffer_, always a whole number of bytes past bit_position_
    std::uint64_t bit_position_ = 0;
    bool overrun_ = false;
};

// A canonical Huffman code as a direct lookup table indexed by the next `max_length` bits.
// Each entry holds symbol << 4 | length; length 0 marks a bit pattern no code starts with.
class HuffmanTable {
public:
    bool Build(std::span<const std::uint8_t> lengths) {
        std::array<int, kMaxCodeLength + 1> count{};
        for (std::uint8_t length : lengths) ++count[length];
        count[0] = 0;
        max_length_ = 0;
        for (int length = 1; length <= kMaxCodeLength; ++length)
            if (count[length] != 0) max_length_ = length;
        int left = 1;
        for (int length = 1; length <= kMaxCodeLength; ++length) {
            left = left * 2 - count[length];
            if (left < 0) return false;  // over-subscribed
        }
        if (max_length_ == 0) {
            table_.assign(1, 0);
            return true;
        }
        std::array<std::uint32_t, kMaxCodeLength + 2> next_code{};
        std::uint32_t code = 0;
        for (int length = 1; length <= kMaxCodeLength; ++length) {
            code = (code + static_cast<std::uint32_t>(count[length - 1])) << 1;
            next_code[length] = code;
        }
        table_.assign(std::size_t{1} << max_length_, 0);
        for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            int length = lengths[symbol];
            if (length == 0) continue;
            std::uint32_t reversed = Reverse(next_code[length]++, length);
            auto entry = static_cast<std::uint16_t>((symbol << 4) | static_cast<std::size_t>(length));
            for (std::uint32_t index = reversed; index < table_.size(); index += 1u << length) table_[index] = entry;
        }
        return true;
    }

    // The next symbol, or -1 for a pattern that no code covers (an incomplete code).
    int Decode(BitReader& bits) const {
        if (max_length_ == 0) return -1;
        std::uint16_t entry = table_[bits.Peek(max_length_)];
        int length = entry & 0xF;
        if (length == 0) return -1;
        bits.Consume(length);
        return entry >> 4;
    }

private:
    static std::uint32_t Reverse(std::uint32_t code, int length) {
        std::uint32_t result = 0;
        for (int i = 0; i < length; ++i) {
            result = (result << 1) | (code & 1);
            code >>= 1;
        }
        return result;
    }

    std::vector<std::uint16_t> table_;
    int max_length_ = 0;
};

bool BuildFixedTables(HuffmanTable& literals, HuffmanTable& distances) {
    std::array<std::uint8_t, kLiteralLengthSymbols> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    std::array<std::uint8_t, kDistanceSymbols> distance_lengths{};
    distance_lengths.fill(5);
    return literals.Build(lengths) && distances.Build(distance_lengths);
}

bool ReadDynamicTables(BitReader& bits, HuffmanTable& literals, HuffmanTable& distances) {
    int literal_count = static_cast<int>(bits.Take(5)) + 257;
    int distance_count = static_cast<int>(bits.Take(5)) + 1;
    int code_length_count = static_cast<int>(bits.Take(4)) + 4;
    if (literal_count > 286 || distance_count > 30) return false;

    std::array<std::uint8_t, 19> code_length_lengths{};
    for (int i = 0; i < code_length_count; ++i)
        code_length_lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits.Take(3));
    HuffmanTable code_lengths;
    if (!code_lengths.Build(code_length_lengths)) return false;

    std::array<std::uint8_t, kLiteralLengthSymbols + kDistanceSymbols> lengths{};
    int filled = 0;
    const int total = literal_count + distance_count;
    while (filled < total) {
        int symbol = code_lengths.Decode(bits);
        if (symbol < 0 || bits.Overrun()) return false;
        if (symbol < 16) {
            lengths[filled++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (filled == 0) return false;
            value = lengths[filled - 1];
            repeat = 3 + static_cast<int>(bits.Take(2));
        } else if (symbol == 17) {
            repeat = 3 + static_cast<int>(bits.Take(3));
        } else {
            repeat = 11 + static_cast<int>(bits.Take(7));
        }
        if (filled + repeat > total) return false;
        std::fill_n(lengths.begin() + filled, repeat, value);
        filled += repeat;
    }
    if (lengths[kEndOfBlock] == 0) return false;
    return literals.Build(std::span(lengths.data(), static_cast<std::size_t>(literal_count))) &&
           distances.Build(std::span(lengths.data() + literal_count, static_cast<std::size_t>(distance_count)));
}

bool SkipHuffmanData(BitReader& bits, const HuffmanTable& literals, const HuffmanTable& distances) {
    for (;;) {
        int symbol = literals.Decode(bits);
        if (symbol < 0 || bits.Overrun()) return false;
        if (symbol == kEndOfBlock) return true;
        if (symbol < kEndOfBlock) continue;
        int length_index = symbol - 257;
        if (length_index >= static_cast<int>(kLengthExtraBits.size())) return false;
        bits.Take(kLengthExtraBits[length_index]);
        int distance = distances.Decode(bits);
        if (distance < 0 || distance >= static_cast<int>(kDistanceExtraBits.size())) return false;
        bits.Take(kDistanceExtraBits[distance]);
    }
}

}  // namespace

std::optional<FinalBlockPosition> FindFinalBlock(std::span<const std::uint8_t> stream) {
    BitReader bits(stream);
    HuffmanTable literals, distances;
    for (;;) {
        FinalBlockPosition position;
        position.header_bit = bits.BitPosition();
        bool final = bits.Take(1) != 0;
        std::uint32_t type = bits.Take(2);
        if (type == 0) {
            bits.AlignToByte();
            std::uint32_t length = bits.Take(16);
            std::uint32_t complement = bits.Take(16);
            if ((length ^ 0xFFFF) != complement) return std::nullopt;
            if (bits.BitPosition() / 8 + length > stream.size()) return std::nullopt;
            bits.SkipBytes(length);
        } else if (type == 1) {
            if (!BuildFixedTables(literals, distances) || !SkipHuffmanData(bits, literals, distances))
                return std::nullopt;
        } else if (type == 2) {
            if (!ReadDynamicTables(bits, literals, distances) || !SkipHuffmanData(bits, literals, distances))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (bits.Overrun()) return std::nullopt;
        if (final) {
            position.end_bit = bits.BitPosition();
            return position;
        }
    }
}

bool OpenFinalBlock(std::vector<std::uint8_t>& stream, std::size_t start) {
    std::optional<FinalBlockPosition> found = FindFinalBlock(std::span(stream).subspan(start));
    if (!found) return false;
    stream[start + found->header_bit / 8] &= static_cast<std::uint8_t>(~(1u << (found->header_bit % 8)));
    // An empty, non-final stored block: three zero header bits, zero bits to the byte
    // boundary, then LEN 0 and NLEN 0xFFFF.
    std::uint64_t header_end = found->end_bit + 3;
    stream.resize(start + static_cast<std::size_t>((header_end + 7) / 8), 0);
    std::size_t last = start + static_cast<std::size_t>(found->end_bit / 8);
    if (last < stream.size()) {
        // Clear everything from the end-of-block code on: the stored header and the padding.
        stream[last] &= static_cast<std::uint8_t>((1u << (found->end_bit % 8)) - 1);
        std::fill(stream.begin() + static_cast<std::ptrdiff_t>(last) + 1, stream.end(), 0);
    }
    const std::uint8_t marker[] = {0x00, 0x00, 0xFF, 0xFF};
    stream.insert(stream.end(), std::begin(marker), std::end(marker));
    return true;
}

void AppendStoredBlocks(std::span<const std::uint8_t> data, bool final, std::vector<std::uint8_t>& out) {
    constexpr std::size_t kMaxStored = 65535;
    std::size_t offset = 0;
    do {
        std::size_t length = std::min(kMaxStored, data.size() - offset);
        bool last = offset + length == data.size();
        out.push_back(final && last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                   data.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < data.size());
}

}  // namespace zipdll
