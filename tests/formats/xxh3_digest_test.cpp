// XXH3-128 streamed through each vector code this processor runs gives the digest of the
// default code over the whole input at once, at the lengths where XXH3 changes its method.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "formats/xxh3_digest.h"

namespace kitforge::formats {
namespace {

Xxh3_128Digest OneShot(const std::vector<std::uint8_t>& bytes) {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits(bytes.data(), bytes.size()));
    Xxh3_128Digest digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = canonical.digest[i];
    return digest;
}

TEST(Xxh3Digest, EveryVectorCodeStreamedInUnevenPiecesGivesTheOneShotDigest) {
    // Where the processor has AVX2 the stream must use it; otherwise only the default runs.
#if defined(__x86_64__) && !defined(_WIN32)
    if (__builtin_cpu_supports("avx2")) {
        EXPECT_EQ(FastestXxh3Code(), Xxh3Code::Avx2);
    }
#endif
    std::vector<Xxh3Code> codes = {Xxh3Code::Default};
    if (FastestXxh3Code() == Xxh3Code::Avx2) codes.push_back(Xxh3Code::Avx2);
    const std::size_t pieces[] = {1, 7, 64, 1000, 4096 + 3};
    for (const std::size_t size : {0u, 1u, 15u, 16u, 17u, 128u, 129u, 240u, 241u, (1u << 20) + 3}) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
        const Xxh3_128Digest expected = OneShot(bytes);
        for (const Xxh3Code code : codes) {
            Xxh3_128Stream stream(code);
            ASSERT_EQ(stream.Code(), code);
            for (std::size_t at = 0, turn = 0; at < size; ++turn) {
                const std::size_t n = std::min(pieces[turn % std::size(pieces)], size - at);
                stream.Update(bytes.data() + at, n);
                at += n;
            }
            EXPECT_EQ(stream.Digest(), expected) << size << " bytes, code " << static_cast<int>(code);
            EXPECT_EQ(stream.Count(), size);
        }
    }
}

}  // namespace
}  // namespace kitforge::formats
