#include "formats/xxh3_digest.h"

namespace kitforge::formats {

#if KITFORGE_XXH3_AVX2
// xxh3_update_avx2.cpp: the same update compiled for AVX2. It is only called once the
// processor is known to run it.
void Xxh3_128UpdateAvx2(XXH3_state_t* state, const void* data, std::size_t size) noexcept;
#endif

Xxh3Code FastestXxh3Code() noexcept {
#if KITFORGE_XXH3_AVX2
    // Also false when the system does not save the AVX registers.
    if (__builtin_cpu_supports("avx2")) return Xxh3Code::Avx2;
#endif
    return Xxh3Code::Default;
}

void Xxh3_128Stream::Update(const void* data, std::size_t size) noexcept {
#if KITFORGE_XXH3_AVX2
    if (code_ == Xxh3Code::Avx2) {
        Xxh3_128UpdateAvx2(&state_, data, size);
        count_ += size;
        return;
    }
#endif
    XXH3_128bits_update(&state_, data, size);
    count_ += size;
}

}  // namespace kitforge::formats
