// AVX2 versions of the kernels' widest inner loops, four pixels to a vector.
//
// Only the functions below are compiled for AVX2 (the pragma covers this file's
// own code, not the headers included before it), so nothing here can leak
// AVX2 instructions into code that runs on a processor without them; callers
// ask supported() first. Each loop does the whole groups of four of a run and
// returns how many pixels it did; the baseline loop finishes the rest. Every
// packer and store places the channels where the pixel traits say. The shading
// loops store through the caches, or past them (non-temporal stores) for an
// output too large for the caches to keep: the same bits either way.
//
// Exactness: every float64 operation is the baseline's, in the baseline's
// order. Vector add, multiply, divide, square root and the conversions round
// exactly as their scalar forms; the clamps are the same selects (max/min
// return their second operand for a NaN, as the scalar selects do); nothing is
// contracted into a fused multiply-add (the file is not built for FMA).
#include "ramp/kernel_parts.h"

#if VELKOR_AVX2_KERNELS

#include <cstddef>
#include <tuple>

#include <immintrin.h>

#include "ramp/kernel_packing.h"
#include "ramp/ramp_shape.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace velkor::kernel::avx2 {
namespace {

template <Measure kMeasure>
A_long positions(const Geometry& g, A_long x0, A_long y, A_long n, double* t)
{
    const double dy = static_cast<double>(y) - g.origin.y;
    // The row's term is the same product for every pixel of the row.
    const double row_term = kMeasure == Measure::radius ? dy * dy : dy * g.axis.y;
    const __m256d origin_x = _mm256_set1_pd(g.origin.x);
    const __m256d axis_x = _mm256_set1_pd(g.axis.x);
    const __m256d row = _mm256_set1_pd(row_term);
    const __m256d length = _mm256_set1_pd(g.ramp_length);
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d four = _mm256_set1_pd(4.0);
    // Column numbers as doubles: whole numbers far below 2^53, so adding 4 is exact.
    const double first = x0;
    __m256d column = _mm256_setr_pd(first, first + 1.0, first + 2.0, first + 3.0);

    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d dx = _mm256_sub_pd(column, origin_x);
        __m256d s;
        if constexpr (kMeasure == Measure::radius) {
            s = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), row));
        } else {
            s = _mm256_add_pd(_mm256_mul_pd(dx, axis_x), row);
            if constexpr (kMeasure == Measure::mirrored_projection) {
                // s < 0 ? -s : s by flipping the sign bit, which leaves a -0
                // as it is (clearing the bit would not).
                s = _mm256_xor_pd(s, _mm256_and_pd(_mm256_cmp_pd(s, zero, _CMP_LT_OQ), sign));
            }
        }
        __m256d v = _mm256_div_pd(s, length);
        // !(v >= 0) ? +0 : v, then v > 1 ? 1 : v (min gives 1 for v == 1, the same bits).
        v = _mm256_and_pd(v, _mm256_cmp_pd(v, zero, _CMP_GE_OQ));
        v = _mm256_min_pd(v, one);
        _mm256_storeu_pd(t + i, v);
        column = _mm256_add_pd(column, four);
    }
    return i;
}

// Each 64-bit lane shifted left by kBits; a shift by 0 is no instruction.
template <int kBits>
__m256i shifted_left64(__m256i v)
{
    if constexpr (kBits == 0) {
        return v;
    } else {
        return _mm256_slli_epi64(v, kBits);
    }
}

// start + delta x t of one channel for four values of t.
struct Channel {
    __m256d start;
    __m256d delta;

    Channel(double s, double d) : start(_mm256_set1_pd(s)), delta(_mm256_set1_pd(d)) {}
    __m256d at(__m256d t) const { return _mm256_add_pd(start, _mm256_mul_pd(delta, t)); }
};

struct Channels {
    Channel red;
    Channel green;
    Channel blue;

    explicit Channels(const Blend& b)
        : red(b.start_color.red, b.color_delta.red),
          green(b.start_color.green, b.color_delta.green),
          blue(b.start_color.blue, b.color_delta.blue)
    {
    }
};

// k x max + 0.5, max with 0, min with max, truncated: the integer depths'
// conversion of a 0..1 channel.
struct IntegerChannel {
    __m256d max;
    __m256d half = _mm256_set1_pd(0.5);
    __m256d zero = _mm256_setzero_pd();

    explicit IntegerChannel(double m) : max(_mm256_set1_pd(m)) {}
    __m128i of(__m256d k) const
    {
        const __m256d v = _mm256_add_pd(_mm256_mul_pd(k, max), half);
        return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(v, zero), max));
    }
};

// The bytes of a vector of pixels that hold their alpha.
template <class Traits>
__m256i alpha_mask()
{
    using Pixel = typename Traits::Pixel;
    if constexpr (sizeof(Pixel) == 4) {
        return _mm256_set1_epi32(static_cast<int>(0xFFu << (8 * Traits::alpha_at)));
    } else if constexpr (sizeof(Pixel) == 8) {
        return _mm256_set1_epi64x(static_cast<long long>(0xFFFFull << (16 * Traits::alpha_at)));
    } else {
        constexpr int a = Traits::alpha_at;
        return _mm256_setr_epi32(a == 0 ? -1 : 0, a == 1 ? -1 : 0, a == 2 ? -1 : 0, a == 3 ? -1 : 0,
                                 a == 0 ? -1 : 0, a == 1 ? -1 : 0, a == 2 ? -1 : 0,
                                 a == 3 ? -1 : 0);
    }
}

// A vector of pixels (32 bytes, or 16) into memory: through the caches, or
// with kStream past them, where `to` is on the vector's own boundary.
template <bool kStream, class Bits>
void store_pixels(void* to, Bits v)
{
    if constexpr (sizeof(Bits) == 16) {
        auto* const at = static_cast<__m128i*>(to);
        kStream ? _mm_stream_si128(at, v) : _mm_storeu_si128(at, v);
    } else {
        auto* const at = static_cast<__m256i*>(to);
        kStream ? _mm256_stream_si256(at, v) : _mm256_storeu_si256(at, v);
    }
}

// The integer depths' alpha: factor x alpha + 0.5, max with 0, min with max,
// truncated (the conversion of an alpha already on the channel's scale).
__m128i scaled_alpha(__m256d factor, __m128i alpha, const IntegerChannel& convert)
{
    const __m256d v = _mm256_add_pd(_mm256_mul_pd(factor, _mm256_cvtepi32_pd(alpha)), convert.half);
    return _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(v, convert.zero), convert.max));
}

}  // namespace

A_long ramp_positions(A_long shape, const Geometry& g, A_long x0, A_long y, A_long n, double* t)
{
    switch (measure_of(shape)) {
    case Measure::projection:
        return positions<Measure::projection>(g, x0, y, n, t);
    case Measure::mirrored_projection:
        return positions<Measure::mirrored_projection>(g, x0, y, n, t);
    case Measure::radius:
        return positions<Measure::radius>(g, x0, y, n, t);
    default:
        return 0;
    }
}

template <class Traits>
A_long ramp_colors(const Blend& b, const double* t, A_long n, typename Traits::Pixel* color)
{
    using T = Traits;
    const Channels k(b);
    A_long i = 0;
    if constexpr (!Traits::is_integer) {
        const __m128 zero = _mm_setzero_ps();
        for (; i + 4 <= n; i += 4) {
            const __m256d vt = _mm256_loadu_pd(t + i);
            // Nearest float of each channel at its place in the pixel, alpha
            // 0, then the four pixels as a transpose.
            __m128 place[4];
            place[T::alpha_at] = zero;
            place[T::red_at] = _mm256_cvtpd_ps(k.red.at(vt));
            place[T::green_at] = _mm256_cvtpd_ps(k.green.at(vt));
            place[T::blue_at] = _mm256_cvtpd_ps(k.blue.at(vt));
            const __m128 first_half_01 = _mm_unpacklo_ps(place[0], place[1]);
            const __m128 second_half_01 = _mm_unpacklo_ps(place[2], place[3]);
            const __m128 first_half_23 = _mm_unpackhi_ps(place[0], place[1]);
            const __m128 second_half_23 = _mm_unpackhi_ps(place[2], place[3]);
            float* out = reinterpret_cast<float*>(color + i);
            _mm_storeu_ps(out, _mm_movelh_ps(first_half_01, second_half_01));
            _mm_storeu_ps(out + 4, _mm_movehl_ps(second_half_01, first_half_01));
            _mm_storeu_ps(out + 8, _mm_movelh_ps(first_half_23, second_half_23));
            _mm_storeu_ps(out + 12, _mm_movehl_ps(second_half_23, first_half_23));
        }
    } else {
        const IntegerChannel convert(Traits::max);
        for (; i + 4 <= n; i += 4) {
            const __m256d vt = _mm256_loadu_pd(t + i);
            const __m128i red = convert.of(k.red.at(vt));
            const __m128i green = convert.of(k.green.at(vt));
            const __m128i blue = convert.of(k.blue.at(vt));
            if constexpr (sizeof(typename Traits::Pixel) == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(color + i),
                                 pixel_words<Traits>(red, green, blue));
            } else {
                const PixelWordPairs words = pixel_word_pairs<Traits>(red, green, blue);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(color + i),
                                 _mm_unpacklo_epi32(words.first, words.second));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(color + i + 2),
                                 _mm_unpackhi_epi32(words.first, words.second));
            }
        }
    }
    return i;
}

template <class Traits, bool kStream>
A_long keep_input_alpha(const typename Traits::Pixel* in, typename Traits::Pixel* out, A_long n,
                        const typename Traits::Pixel* color)
{
    // Whole vectors of color over out, the alpha bytes taken from in.
    constexpr A_long kPerVector = static_cast<A_long>(32 / sizeof(typename Traits::Pixel));
    const __m256i alpha = alpha_mask<Traits>();
    A_long i = 0;
    for (; i + kPerVector <= n; i += kPerVector) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(color + i));
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        store_pixels<kStream>(out + i, _mm256_blendv_epi8(c, p, alpha));
    }
    return i;
}

template <class Traits, bool kStream>
A_long scale_alpha(const typename Traits::Pixel* in, typename Traits::Pixel* out, A_long n,
                   const typename Traits::Pixel* color, const double* alpha_factor)
{
    constexpr std::size_t kPixelBytes = sizeof(typename Traits::Pixel);
    constexpr int a = Traits::alpha_at;
    A_long i = 0;
    if constexpr (kPixelBytes == 4) {
        const IntegerChannel convert(Traits::max);
        const __m128i alpha_byte = _mm256_castsi256_si128(alpha_mask<Traits>());
        for (; i + 4 <= n; i += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i base =
                color != nullptr ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(color + i)) : p;
            const __m128i alpha =
                scaled_alpha(_mm256_loadu_pd(alpha_factor + i),
                             shifted_right<8 * a>(_mm_and_si128(p, alpha_byte)), convert);
            store_pixels<kStream>(out + i, _mm_or_si128(_mm_andnot_si128(alpha_byte, base),
                                                        shifted_left<8 * a>(alpha)));
        }
    } else if constexpr (kPixelBytes == 8) {
        const IntegerChannel convert(Traits::max);
        const __m256i alpha_word = alpha_mask<Traits>();
        // The 32-bit word of each pixel that holds its alpha, into the low half.
        constexpr int w = a / 2;
        const __m256i alpha_words =
            _mm256_setr_epi32(w, 2 + w, 4 + w, 6 + w, w, 2 + w, 4 + w, 6 + w);
        for (; i + 4 <= n; i += 4) {
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
            const __m256i base =
                color != nullptr ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(color + i))
                                 : p;
            const __m128i input_alpha = shifted_right<16 * (a % 2)>(_mm256_castsi256_si128(
                _mm256_permutevar8x32_epi32(_mm256_and_si256(p, alpha_word), alpha_words)));
            const __m128i alpha =
                scaled_alpha(_mm256_loadu_pd(alpha_factor + i), input_alpha, convert);
            store_pixels<kStream>(out + i, _mm256_or_si256(_mm256_andnot_si256(alpha_word, base),
                                                           shifted_left64<16 * a>(
                                                               _mm256_cvtepu32_epi64(alpha))));
        }
    } else {
        // Alphas are floats a and 4 + a of each pair of pixels.
        const __m256i gather = _mm256_setr_epi32(a, 4 + a, a, 4 + a, 0, 0, 0, 0);
        const __m256i first_pair = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
        const __m256i second_pair = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
        constexpr int kAlphaLanes = 0x11 << a;
        for (; i + 4 <= n; i += 4) {
            const float* source = reinterpret_cast<const float*>(in + i);
            const __m256 p01 = _mm256_loadu_ps(source);
            const __m256 p23 = _mm256_loadu_ps(source + 8);
            const float* colors = reinterpret_cast<const float*>(color + i);
            const __m256 base01 = color != nullptr ? _mm256_loadu_ps(colors) : p01;
            const __m256 base23 = color != nullptr ? _mm256_loadu_ps(colors + 8) : p23;
            // Alphas 0 and 1, then 2 and 3, widened to float64 in pixel order.
            const __m128 alpha01 = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(p01, gather));
            const __m128 alpha23 = _mm256_castps256_ps128(_mm256_permutevar8x32_ps(p23, gather));
            const __m256d input_alpha = _mm256_cvtps_pd(_mm_movelh_ps(alpha01, alpha23));
            // factor x alpha, or the factor itself where it is a NaN (the select of
            // PixelFloatTraits::scaled_alpha), to the nearest float; then each back
            // into its pixel.
            const __m256d factor = _mm256_loadu_pd(alpha_factor + i);
            const __m256d product = _mm256_mul_pd(factor, input_alpha);
            const __m128 alpha = _mm256_cvtpd_ps(
                _mm256_blendv_pd(product, factor, _mm256_cmp_pd(factor, factor, _CMP_UNORD_Q)));
            const __m256 spread = _mm256_castps128_ps256(alpha);
            float* target = reinterpret_cast<float*>(out + i);
            const __m256 pixels01 =
                _mm256_blend_ps(base01, _mm256_permutevar8x32_ps(spread, first_pair), kAlphaLanes);
            const __m256 pixels23 =
                _mm256_blend_ps(base23, _mm256_permutevar8x32_ps(spread, second_pair), kAlphaLanes);
            store_pixels<kStream>(target, _mm256_castps_si256(pixels01));
            store_pixels<kStream>(target + 8, _mm256_castps_si256(pixels23));
        }
    }
    return i;
}

// Emits the loops for every traits type the kernels are built for (the
// kernels see only their declarations).
template <class... Traits>
const void* instantiate_loops(TraitsList<Traits...>)
{
    static const auto loops =
        std::make_tuple(&ramp_colors<Traits>..., &keep_input_alpha<Traits, false>...,
                        &keep_input_alpha<Traits, true>..., &scale_alpha<Traits, false>...,
                        &scale_alpha<Traits, true>...);
    return &loops;
}

template const void* instantiate_loops(KernelTraits);

}  // namespace velkor::kernel::avx2

#pragma GCC pop_options

namespace velkor::kernel::avx2 {

bool supported()
{
    // Asked once; the answer cannot change while the module is loaded.
    static const bool has_avx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has_avx2;
}

void end_streaming() { _mm_sfence(); }

}  // namespace velkor::kernel::avx2

#endif
