// XXH3's update compiled with AVX2 (this file alone is built with -mavx2). It includes
// xxhash.h itself, not xxh3_digest.h: an inline function of ours compiled here could be the copy
// the linker keeps for every caller, and would then run AVX2 code on processors without it.
// XXH_INLINE_ALL keeps everything xxhash.h defines private to this file.

#if KITFORGE_XXH3_AVX2

#define XXH_INLINE_ALL
#define XXH_VECTOR XXH_AVX2
#include <xxhash.h>

namespace kitforge::formats {

void Xxh3_128UpdateAvx2(XXH3_state_t* state, const void* data, std::size_t size) noexcept {
    XXH3_128bits_update(state, data, size);
}

}  // namespace kitforge::formats

#endif
