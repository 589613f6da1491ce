// The baseline x86-64 loops, two float64 to a vector: SSE2 is part of every
// x86-64 processor, so these run wherever the module does. Each does the whole
// vectors of a run and returns how many values that was; the portable loops
// finish the rest (kernel_parts.h says what each must match).
#include "ramp/kernel_parts.h"

#if VELKOR_SSE2_KERNELS

#include <tuple>

#include <emmintrin.h>

#include "ramp/kernel_packing.h"

namespace velkor::kernel::sse2 {

A_long shape_positions(HostPow host_pow, double power, A_long n, double* t)
{
    const KnownPowers known(power);
    // Inside a ramp no t of a group of four is known, so one test passes the
    // four straight to pow. The test may flag more than it must (a -0, or a 0
    // when the power is not positive); a flagged group is sorted out value by
    // value.
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const auto maybe_known = [&](const double* four) {
        const __m128d a = _mm_loadu_pd(four);
        const __m128d b = _mm_loadu_pd(four + 2);
        const __m128d hit = _mm_or_pd(_mm_or_pd(_mm_cmpeq_pd(a, zero), _mm_cmpeq_pd(a, one)),
                                      _mm_or_pd(_mm_cmpeq_pd(b, zero), _mm_cmpeq_pd(b, one)));
        return _mm_movemask_pd(hit) != 0;
    };
    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        if (maybe_known(t + i)) {
            for (A_long j = i; j < i + 4; ++j) {
                if (!known(t[j])) t[j] = host_pow(t[j], power);
            }
            continue;
        }
        t[i] = host_pow(t[i], power);
        t[i + 1] = host_pow(t[i + 1], power);
        t[i + 2] = host_pow(t[i + 2], power);
        t[i + 3] = host_pow(t[i + 3], power);
    }
    return i;
}

template <class Traits>
A_long ramp_colors(const Blend& b, const double* t, A_long n, typename Traits::Pixel* color)
{
    using T = Traits;
    A_long i = 0;
    if constexpr (!Traits::is_integer) {
        // Two pixels at a time: start + delta x t per channel, then the
        // nearest float (the same rounding as a scalar conversion), placed
        // straight into the two pixels with alpha 0.
        const auto channel = [&](double start, double delta, __m128d vt) {
            return _mm_cvtpd_ps(_mm_add_pd(_mm_set1_pd(start), _mm_mul_pd(_mm_set1_pd(delta), vt)));
        };
        for (; i + 1 < n; i += 2) {
            const __m128d vt = _mm_loadu_pd(t + i);
            // Each channel's two values, at the channel's place in the pixel.
            __m128 place[4];
            place[T::alpha_at] = _mm_setzero_ps();
            place[T::red_at] = channel(b.start_color.red, b.color_delta.red, vt);
            place[T::green_at] = channel(b.start_color.green, b.color_delta.green, vt);
            place[T::blue_at] = channel(b.start_color.blue, b.color_delta.blue, vt);
            const __m128 first_half = _mm_unpacklo_ps(place[0], place[1]);
            const __m128 second_half = _mm_unpacklo_ps(place[2], place[3]);
            float* out = reinterpret_cast<float*>(color + i);
            _mm_storeu_ps(out, _mm_movelh_ps(first_half, second_half));
            _mm_storeu_ps(out + 4, _mm_movehl_ps(second_half, first_half));
        }
    } else {
        // Two pixels at a time, each channel with the operations of
        // Traits::from_unit in the same order: start + delta x t, times the
        // maximum, plus 0.5; max with 0 (a NaN falls to the second operand, 0),
        // min with the maximum; truncation. The clamped channels are then
        // packed straight into the two pixels, alpha 0.
        const __m128d vmax = _mm_set1_pd(Traits::max);
        const __m128d vhalf = _mm_set1_pd(0.5);
        const __m128d vzero = _mm_setzero_pd();
        const __m128d red_start = _mm_set1_pd(b.start_color.red);
        const __m128d red_delta = _mm_set1_pd(b.color_delta.red);
        const __m128d green_start = _mm_set1_pd(b.start_color.green);
        const __m128d green_delta = _mm_set1_pd(b.color_delta.green);
        const __m128d blue_start = _mm_set1_pd(b.start_color.blue);
        const __m128d blue_delta = _mm_set1_pd(b.color_delta.blue);
        const auto channel = [&](__m128d start, __m128d delta, __m128d vt) {
            const __m128d k = _mm_add_pd(start, _mm_mul_pd(delta, vt));
            const __m128d v = _mm_add_pd(_mm_mul_pd(k, vmax), vhalf);
            return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, vzero), vmax));
        };
        for (; i + 1 < n; i += 2) {
            const __m128d vt = _mm_loadu_pd(t + i);
            const __m128i red = channel(red_start, red_delta, vt);
            const __m128i green = channel(green_start, green_delta, vt);
            const __m128i blue = channel(blue_start, blue_delta, vt);
            if constexpr (sizeof(typename Traits::Pixel) == 4) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(color + i),
                                 pixel_words<Traits>(red, green, blue));
            } else {
                const PixelWordPairs words = pixel_word_pairs<Traits>(red, green, blue);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(color + i),
                                 _mm_unpacklo_epi32(words.first, words.second));
            }
        }
    }
    return i;
}

// Emits the loops for every traits type the kernels are built for (the
// kernels see only their declarations).
template <class... Traits>
const void* instantiate_loops(TraitsList<Traits...>)
{
    static const auto loops = std::make_tuple(&ramp_colors<Traits>...);
    return &loops;
}

template const void* instantiate_loops(KernelTraits);

}  // namespace velkor::kernel::sse2

#endif
