#pragma once
// The one hash of the formats: XXH3 from libxxhash-dev, compiled into each program from its one
// header (XXH_INLINE_ALL), so the static stubs load nothing and the Windows build needs no
// library. The 128-bit form checks contents (an installer's payload, each installed file); the
// 64-bit form checks the install record itself.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace kitforge::formats {

inline constexpr std::size_t kXxh3_128DigestSize = 16;
using Xxh3_128Digest = std::array<std::uint8_t, kXxh3_128DigestSize>;

// XXH3-128 over bytes given in pieces, in order.
class Xxh3_128Stream {
public:
    Xxh3_128Stream() noexcept { XXH3_128bits_reset(&state_); }
    void Update(const void* data, std::size_t size) noexcept {
        XXH3_128bits_update(&state_, data, size);
        count_ += size;
    }
    std::uint64_t Count() const noexcept { return count_; }
    // The canonical (big-endian) form, which is also how xxhsum prints it.
    Xxh3_128Digest Digest() const noexcept {
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(&state_));
        Xxh3_128Digest digest{};
        for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = canonical.digest[i];
        return digest;
    }

private:
    XXH3_state_t state_;
    std::uint64_t count_ = 0;
};

inline std::uint64_t Xxh3_64(std::span<const std::uint8_t> bytes) noexcept {
    return XXH3_64bits(bytes.data(), bytes.size());
}

}  // namespace kitforge::formats
