// How the SSE2 and AVX2 loops pack integer channels into pixels: 32-bit lanes
// of red, green and blue (one pixel a lane) become the pixels' words, each
// channel at the place its pixel traits give it, alpha 0. Baseline x86-64 code
// only: the AVX2 file includes it before it turns AVX2 on, so that the
// functions here, wherever they are not inlined, stay runnable everywhere.
// Internal to ramp/.
#pragma once

#include <emmintrin.h>

#include "ramp/pixel_traits.h"

namespace velkor::kernel {

// Each 32-bit lane shifted left (or right) by kBits; a shift by 0 is no
// instruction.
template <int kBits>
inline __m128i shifted_left(__m128i v)
{
    if constexpr (kBits == 0) {
        return v;
    } else {
        return _mm_slli_epi32(v, kBits);
    }
}

template <int kBits>
inline __m128i shifted_right(__m128i v)
{
    if constexpr (kBits == 0) {
        return v;
    } else {
        return _mm_srli_epi32(v, kBits);
    }
}

// 8-bit pixels: one 32-bit word a pixel, each channel shifted to its byte.
template <class Traits>
inline __m128i pixel_words(__m128i red, __m128i green, __m128i blue)
{
    static_assert(sizeof(typename Traits::Pixel) == 4);
    return _mm_or_si128(shifted_left<8 * Traits::red_at>(red),
                        _mm_or_si128(shifted_left<8 * Traits::green_at>(green),
                                     shifted_left<8 * Traits::blue_at>(blue)));
}

// 16-bit pixels: two 32-bit words a pixel, the channels at places 0 and 1 in
// the first and those at 2 and 3 in the second, each shifted to its half.
struct PixelWordPairs {
    __m128i first;
    __m128i second;
};

template <class Traits>
inline PixelWordPairs pixel_word_pairs(__m128i red, __m128i green, __m128i blue)
{
    static_assert(sizeof(typename Traits::Pixel) == 8);
    __m128i place[4];
    place[Traits::alpha_at] = _mm_setzero_si128();
    place[Traits::red_at] = red;
    place[Traits::green_at] = green;
    place[Traits::blue_at] = blue;
    return {_mm_or_si128(place[0], shifted_left<16>(place[1])),
            _mm_or_si128(place[2], shifted_left<16>(place[3]))};
}

}  // namespace velkor::kernel
