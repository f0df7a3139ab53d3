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

// The vector code that runs XXH3 over long inputs. Every one gives the same digest from the
// same state; AVX2 hashes about twice as fast as the SSE2 code every x86-64 processor has,
// which keeps the check of a large installer cheap.
enum class Xxh3Code { Default, Avx2 };

// AVX2 when this build carries it and the processor runs it; Default otherwise.
Xxh3Code FastestXxh3Code() noexcept;

// XXH3-128 over bytes given in pieces, in order.
class Xxh3_128Stream {
public:
    // A code this processor cannot run falls back to Default.
    explicit Xxh3_128Stream(Xxh3Code code = FastestXxh3Code()) noexcept
        : code_(code == Xxh3Code::Avx2 && FastestXxh3Code() != Xxh3Code::Avx2 ? Xxh3Code::Default : code) {
        XXH3_128bits_reset(&state_);
    }
    void Update(const void* data, std::size_t size) noexcept;
    std::uint64_t Count() const noexcept { return count_; }
    Xxh3Code Code() const noexcept { return code_; }
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
    Xxh3Code code_;
    std::uint64_t count_ = 0;
};

inline std::uint64_t Xxh3_64(std::span<const std::uint8_t> bytes) noexcept {
    return XXH3_64bits(bytes.data(), bytes.size());
}

}  // namespace kitforge::formats
