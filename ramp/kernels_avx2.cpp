// AVX2 versions of the kernels' widest inner loops, four pixels to a vector.
//
// Only the functions below are compiled for AVX2 (the pragma covers this file's
// own code, not the headers included before it), so nothing here can leak
// AVX2 instructions into code that runs on a processor without them; callers
// ask supported() first. Each loop does the whole groups of four of a run and
// returns how many pixels it did; the baseline loop finishes the rest.
//
// Exactness: every float64 operation is the baseline's, in the baseline's
// order. Vector add, multiply, divide, square root and the conversions round
// exactly as their scalar forms; the clamps are the same selects (max/min
// return their second operand for a NaN, as the scalar selects do); nothing is
// contracted into a fused multiply-add (the file is not built for FMA).
#include "ramp/kernel_parts.h"

#if VELKOR_AVX2_KERNELS

#include <immintrin.h>

#include "params/param_table.h"

#pragma GCC push_options
#pragma GCC target("avx2")

namespace velkor::kernel::avx2 {
namespace {

template <A_long kShape>
A_long positions(const Geometry& g, A_long x0, A_long y, A_long n, double* t)
{
    const double dy = static_cast<double>(y) - g.origin.y;
    // The row's term is the same product for every pixel of the row.
    const double row_term = kShape == kShapeRadial ? dy * dy : dy * g.axis.y;
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
        if constexpr (kShape == kShapeRadial) {
            s = _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), row));
        } else {
            s = _mm256_add_pd(_mm256_mul_pd(dx, axis_x), row);
            if constexpr (kShape == kShapeLinear2) {
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

// The integer depths' ramp colours, four pixels at a time: the three channels
// converted, then packed into the pixels by `store`.
template <class Pixel, class Store>
A_long integer_colors(const Blend& b, const double* t, A_long n, Pixel* color, double max,
                      Store store)
{
    const Channels k(b);
    const IntegerChannel convert(max);
    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d vt = _mm256_loadu_pd(t + i);
        store(color + i, convert.of(k.red.at(vt)), convert.of(k.green.at(vt)),
              convert.of(k.blue.at(vt)));
    }
    return i;
}

// Copies whole vectors of color over out, taking the bytes that `alpha` marks
// from in.
template <class Pixel>
A_long blend_alpha(const Pixel* in, Pixel* out, A_long n, const Pixel* color, __m256i alpha)
{
    constexpr A_long kPerVector = static_cast<A_long>(32 / sizeof(Pixel));
    A_long i = 0;
    for (; i + kPerVector <= n; i += kPerVector) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(color + i));
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_blendv_epi8(c, p, alpha));
    }
    return i;
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
    switch (shape) {
    case kShapeLinear: return positions<kShapeLinear>(g, x0, y, n, t);
    case kShapeLinear2: return positions<kShapeLinear2>(g, x0, y, n, t);
    case kShapeRadial: return positions<kShapeRadial>(g, x0, y, n, t);
    default: return 0;
    }
}

A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_Pixel* color)
{
    return integer_colors(b, t, n, color, PF_MAX_CHAN8,
                          [](PF_Pixel* out, __m128i red, __m128i green, __m128i blue) {
                              // alpha 0 | red << 8 | green << 16 | blue << 24, per pixel.
                              const __m128i words = _mm_or_si128(
                                  _mm_slli_epi32(red, 8),
                                  _mm_or_si128(_mm_slli_epi32(green, 16), _mm_slli_epi32(blue, 24)));
                              _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
                          });
}

A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_Pixel16* color)
{
    return integer_colors(b, t, n, color, PF_MAX_CHAN16,
                          [](PF_Pixel16* out, __m128i red, __m128i green, __m128i blue) {
                              // Per pixel: (alpha 0 | red << 16), then (green | blue << 16).
                              const __m128i low = _mm_slli_epi32(red, 16);
                              const __m128i high = _mm_or_si128(green, _mm_slli_epi32(blue, 16));
                              _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                                               _mm_unpacklo_epi32(low, high));
                              _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2),
                                               _mm_unpackhi_epi32(low, high));
                          });
}

A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_PixelFloat* color)
{
    const Channels k(b);
    const __m128 zero = _mm_setzero_ps();
    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256d vt = _mm256_loadu_pd(t + i);
        // Nearest float of each channel, then the four pixels (alpha 0, red,
        // green, blue) as a transpose.
        const __m128 red = _mm256_cvtpd_ps(k.red.at(vt));
        const __m128 green = _mm256_cvtpd_ps(k.green.at(vt));
        const __m128 blue = _mm256_cvtpd_ps(k.blue.at(vt));
        const __m128 alpha_red_01 = _mm_unpacklo_ps(zero, red);
        const __m128 green_blue_01 = _mm_unpacklo_ps(green, blue);
        const __m128 alpha_red_23 = _mm_unpackhi_ps(zero, red);
        const __m128 green_blue_23 = _mm_unpackhi_ps(green, blue);
        float* out = reinterpret_cast<float*>(color + i);
        _mm_storeu_ps(out, _mm_movelh_ps(alpha_red_01, green_blue_01));
        _mm_storeu_ps(out + 4, _mm_movehl_ps(green_blue_01, alpha_red_01));
        _mm_storeu_ps(out + 8, _mm_movelh_ps(alpha_red_23, green_blue_23));
        _mm_storeu_ps(out + 12, _mm_movehl_ps(green_blue_23, alpha_red_23));
    }
    return i;
}

A_long keep_input_alpha(const PF_Pixel* in, PF_Pixel* out, A_long n, const PF_Pixel* color)
{
    return blend_alpha(in, out, n, color, _mm256_set1_epi32(0xFF));
}

A_long keep_input_alpha(const PF_Pixel16* in, PF_Pixel16* out, A_long n, const PF_Pixel16* color)
{
    return blend_alpha(in, out, n, color, _mm256_set1_epi64x(0xFFFF));
}

A_long keep_input_alpha(const PF_PixelFloat* in, PF_PixelFloat* out, A_long n,
                        const PF_PixelFloat* color)
{
    return blend_alpha(in, out, n, color, _mm256_setr_epi32(-1, 0, 0, 0, -1, 0, 0, 0));
}

A_long scale_alpha(const PF_Pixel* in, PF_Pixel* out, A_long n, const PF_Pixel* color,
                   const double* alpha_factor)
{
    const IntegerChannel convert(PF_MAX_CHAN8);
    const __m128i alpha_byte = _mm_set1_epi32(0xFF);
    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i base =
            color != nullptr ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(color + i)) : p;
        const __m128i alpha = scaled_alpha(_mm256_loadu_pd(alpha_factor + i),
                                           _mm_and_si128(p, alpha_byte), convert);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_or_si128(_mm_andnot_si128(alpha_byte, base), alpha));
    }
    return i;
}

A_long scale_alpha(const PF_Pixel16* in, PF_Pixel16* out, A_long n, const PF_Pixel16* color,
                   const double* alpha_factor)
{
    const IntegerChannel convert(PF_MAX_CHAN16);
    const __m256i alpha_word = _mm256_set1_epi64x(0xFFFF);
    // The low 32 bits of each pixel (alpha and red) into the low half.
    const __m256i low_words = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    A_long i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i base =
            color != nullptr ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(color + i)) : p;
        const __m128i input_alpha = _mm256_castsi256_si128(
            _mm256_permutevar8x32_epi32(_mm256_and_si256(p, alpha_word), low_words));
        const __m128i alpha =
            scaled_alpha(_mm256_loadu_pd(alpha_factor + i), input_alpha, convert);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_or_si256(_mm256_andnot_si256(alpha_word, base),
                                            _mm256_cvtepu32_epi64(alpha)));
    }
    return i;
}

A_long scale_alpha(const PF_PixelFloat* in, PF_PixelFloat* out, A_long n,
                   const PF_PixelFloat* color, const double* alpha_factor)
{
    // Alphas are floats 0 and 4 of each pair of pixels.
    const __m256i gather = _mm256_setr_epi32(0, 4, 0, 4, 0, 0, 0, 0);
    const __m256i first_pair = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i second_pair = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
    A_long i = 0;
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
        _mm256_storeu_ps(target, _mm256_blend_ps(base01, _mm256_permutevar8x32_ps(spread, first_pair), 0x11));
        _mm256_storeu_ps(target + 8,
                         _mm256_blend_ps(base23, _mm256_permutevar8x32_ps(spread, second_pair), 0x11));
    }
    return i;
}

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

}  // namespace velkor::kernel::avx2

#endif
