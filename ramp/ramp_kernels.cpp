// The shading kernels: one loop body for every depth, instantiated per pixel
// type. Rows are addressed through the signed row stride, so padded rows and
// bottom-up worlds (negative rowbytes) need no copy. Nothing here allocates or
// touches a host suite; the only host call is `pow`.
//
// Two paths draw the same bits. The reference path asks the evaluator for every
// pixel. The fast path works a row at a time in chunks: it computes t for a
// chunk with the shape chosen once, raises it to the power only where the
// result is not already known exactly, turns t' into the ramp pixel and the
// alpha factor, and then shades the chunk in a loop with no branch on "Type",
// shape or depth. Where t depends on one coordinate only (a horizontal or
// vertical "Linear"/"Linear 2" axis), t' and its pixel are computed once per
// column or once per row and reused. Every float64 operation keeps the
// reference order; only values that are provably identical are reused.
//
// The fast path's widest loops (t, ramp colours, shading with one ramp value
// per pixel) also exist for AVX2 in kernels_avx2.cpp; the KernelPath of the
// render picks them, and they hand the tail of every run back to these.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "params/param_table.h"
#include "ramp/kernel_parts.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_evaluator.h"

namespace velkor {
namespace {

using kernel::Blend;
using kernel::Geometry;

// Columns per chunk: the chunk's t, pixels and factors stay in the first-level
// cache and on the stack.
constexpr A_long kChunk = 256;

// Row y of a world, found by its byte stride: hosts may pad rows by any number
// of bytes that keeps the channels aligned, not only by whole pixels.
template <class Pixel>
Pixel* row_of(const PF_EffectWorld& world, A_long y)
{
    auto* const first = reinterpret_cast<unsigned char*>(world.data);
    return reinterpret_cast<Pixel*>(first + static_cast<std::ptrdiff_t>(y) * world.rowbytes);
}

// The rectangle both paths draw: `rect` clipped to the input, or false when
// there is nothing to draw or the worlds cannot be drawn safely.
template <class Traits>
bool drawable_area(const WorldView& input, const WorldView& output, const PF_Rect& rect,
                   const PF_InData* in_data, PF_Rect& area)
{
    constexpr DepthClass depth = Traits::depth;
    if (input.world == nullptr || output.world == nullptr) return false;
    if (!is_drawable(*input.world, depth) || !is_drawable(*output.world, depth)) return false;
    if (in_data == nullptr || in_data->utils == nullptr || in_data->utils->ansi.pow == nullptr) {
        return false;
    }
    area.left = std::max<A_long>(rect.left, 0);
    area.top = std::max<A_long>(rect.top, 0);
    area.right = std::min<A_long>(rect.right, input.world->width);
    area.bottom = std::min<A_long>(rect.bottom, input.world->height);
    return area.left < area.right && area.top < area.bottom;
}

// How the ramp parameter varies over the frame.
enum class Variation {
    columns_only,  // t depends on x alone
    rows_only,     // t depends on y alone
    both,
};

// A "Linear" or "Linear 2" axis with one zero component adds that coordinate's
// term as a signed zero, so t is the same along the other coordinate except
// where the remaining term is itself a zero: there t is a zero whose sign
// follows the zero term, and the sign matters (pow(-0, -1) is -inf, pow(+0, -1)
// is +inf). The kernel reuses t along the other coordinate and computes those
// places pixel by pixel. An unknown shape gives +0 everywhere.
Variation variation_of(A_long shape, const Vector2& axis)
{
    if (shape == kShapeLinear || shape == kShapeLinear2) {
        if (axis.y == 0.0 && axis.x != 0.0) return Variation::columns_only;
        if (axis.x == 0.0 && axis.y != 0.0) return Variation::rows_only;
        return Variation::both;
    }
    if (shape == kShapeRadial) return Variation::both;
    return Variation::columns_only;
}

// A run of columns, as offsets from the run's first column; empty when
// begin == end.
struct ColumnSpan {
    A_long begin = 0;
    A_long end = 0;
};

// Of the n columns from x0, the span from the first to the last whose term
// (x - origin.x) * axis.x is a zero: for a "Linear" or "Linear 2" ramp along
// a row, the columns whose t takes its sign from the row. Usually the one
// column through the origin, or none.
ColumnSpan zero_term_columns(const Vector2& origin, const Vector2& axis, A_long x0, A_long n)
{
    ColumnSpan span;
    for (A_long i = 0; i < n; ++i) {
        if ((static_cast<double>(x0 + i) - origin.x) * axis.x == 0.0) {
            if (span.begin == span.end) span.begin = i;
            span.end = i + 1;
        }
    }
    return span;
}

// t for `n` pixels of row y from column x0, exactly as the evaluator computes it.
template <A_long kShape>
void ramp_positions_of(const Geometry& g, A_long x0, A_long y, A_long n, double* t)
{
    const double dy = static_cast<double>(y) - g.origin.y;
    for (A_long i = 0; i < n; ++i) {
        const double dx = static_cast<double>(x0 + i) - g.origin.x;
        double s = 0.0;
        if constexpr (kShape == kShapeLinear) {
            s = dx * g.axis.x + dy * g.axis.y;
        } else if constexpr (kShape == kShapeLinear2) {
            s = dx * g.axis.x + dy * g.axis.y;
            s = s < 0.0 ? -s : s;
        } else if constexpr (kShape == kShapeRadial) {
            s = std::sqrt(dx * dx + dy * dy);
        }
        double v = s / g.ramp_length;
        v = !(v >= 0.0) ? 0.0 : v;
        v = v > 1.0 ? 1.0 : v;
        t[i] = v;
    }
}

// t' = pow(t, power) through the host, except where the result is exact
// without it: a Power of exactly 1 leaves t unchanged, pow(1, p) is 1 for every
// p but a NaN, and pow(+0, p) is +0 for every p > 0. A NaN Power goes to pow
// for every t: C makes pow(1, NaN) 1 only for a quiet NaN, and glibc answers a
// signalling one with NaN.
void shape_positions(A_FpLong (*host_pow)(A_FpLong, A_FpLong), double power, A_long n, double* t)
{
    if (power == 1.0) return;
    // Compared as bit patterns: exactly 1.0, and exactly +0 (a -0 goes to pow,
    // whose result's sign depends on the power). A NaN pattern stands for
    // "none": no t is a NaN.
    constexpr std::uint64_t kNone = ~0ull;
    const std::uint64_t fixed_one = power == power ? 0x3FF0000000000000ull : kNone;
    const std::uint64_t fixed_zero = power > 0.0 ? 0ull : kNone;
    const auto known = [&](double v) {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
        return (bits == fixed_one) | (bits == fixed_zero);
    };
    // Inside a ramp no t of a group of four is known, so one test passes the
    // four straight to pow. The test may flag more than it must (a -0, or a 0
    // when the power is not positive); a flagged group is sorted out value by
    // value.
#if defined(__SSE2__) || defined(_M_X64)
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const auto maybe_known = [&](const double* four) {
        const __m128d a = _mm_loadu_pd(four);
        const __m128d b = _mm_loadu_pd(four + 2);
        const __m128d hit = _mm_or_pd(_mm_or_pd(_mm_cmpeq_pd(a, zero), _mm_cmpeq_pd(a, one)),
                                      _mm_or_pd(_mm_cmpeq_pd(b, zero), _mm_cmpeq_pd(b, one)));
        return _mm_movemask_pd(hit) != 0;
    };
#else
    const auto maybe_known = [&](const double* four) {
        return known(four[0]) | known(four[1]) | known(four[2]) | known(four[3]);
    };
#endif
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
    for (; i < n; ++i) {
        if (!known(t[i])) t[i] = host_pow(t[i], power);
    }
}

// Ramp colours K = start + delta x t' of a run, converted to pixels of the
// depth. K's own alpha never reaches an output pixel; it is left 0.
template <class Traits>
void ramp_colors(const Blend& b, const double* t, A_long n, typename Traits::Pixel* color)
{
    A_long i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    if constexpr (!Traits::is_integer) {
        // Two pixels at a time: start + delta x t per channel, then the
        // nearest float (the same rounding as a scalar conversion), placed
        // straight into the two pixels (alpha 0, red, green, blue).
        const auto channel = [&](double start, double delta, __m128d vt) {
            return _mm_cvtpd_ps(_mm_add_pd(_mm_set1_pd(start), _mm_mul_pd(_mm_set1_pd(delta), vt)));
        };
        const __m128 zero = _mm_setzero_ps();
        for (; i + 1 < n; i += 2) {
            const __m128d vt = _mm_loadu_pd(t + i);
            const __m128 alpha_red = _mm_unpacklo_ps(zero, channel(b.start_color.red, b.color_delta.red, vt));
            const __m128 green_blue =
                _mm_unpacklo_ps(channel(b.start_color.green, b.color_delta.green, vt),
                                channel(b.start_color.blue, b.color_delta.blue, vt));
            float* out = reinterpret_cast<float*>(color + i);
            _mm_storeu_ps(out, _mm_movelh_ps(alpha_red, green_blue));
            _mm_storeu_ps(out + 4, _mm_movehl_ps(green_blue, alpha_red));
        }
    }
    if constexpr (Traits::is_integer) {
        // Two pixels at a time, each channel with the operations of
        // Traits::from_unit in the same order: start + delta x t, times the
        // maximum, plus 0.5; max with 0 (a NaN falls to the second operand, 0),
        // min with the maximum; truncation. The clamped channels are then
        // packed straight into the two pixels.
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
                // alpha | red << 8 | green << 16 | blue << 24, per pixel.
                const __m128i words = _mm_or_si128(
                    _mm_slli_epi32(red, 8), _mm_or_si128(_mm_slli_epi32(green, 16), _mm_slli_epi32(blue, 24)));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(color + i), words);
            } else {
                // Per pixel: (alpha | red << 16), then (green | blue << 16).
                const __m128i low = _mm_slli_epi32(red, 16);
                const __m128i high = _mm_or_si128(green, _mm_slli_epi32(blue, 16));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(color + i), _mm_unpacklo_epi32(low, high));
            }
        }
    }
#endif
    for (; i < n; ++i) {
        color[i].alpha = 0;
        color[i].red = Traits::from_unit(b.start_color.red + b.color_delta.red * t[i]);
        color[i].green = Traits::from_unit(b.start_color.green + b.color_delta.green * t[i]);
        color[i].blue = Traits::from_unit(b.start_color.blue + b.color_delta.blue * t[i]);
    }
}

// The ramp colours of a run, when they are drawn, and the alpha factor
// t' x delta alpha + start alpha of each, when alpha is scaled.
template <class Traits>
void blend_values(KernelPath path, const Blend& b, bool write_color, bool scale_alpha,
                  const double* t, A_long n, typename Traits::Pixel* color, double* alpha_factor)
{
    if (write_color) {
        A_long done = 0;
#if VELKOR_AVX2_KERNELS
        if (path == KernelPath::avx2) done = kernel::avx2::ramp_colors(b, t, n, color);
#else
        (void)path;
#endif
        ramp_colors<Traits>(b, t + done, n - done, color + done);
    }
    if (scale_alpha) {
        for (A_long i = 0; i < n; ++i) alpha_factor[i] = t[i] * b.alpha_delta + b.start_alpha;
    }
}

// Shades n pixels. kStep is 1 when every pixel has its own ramp value and 0
// when one value serves the whole span.
template <class Traits, A_long kType, A_long kStep>
void shade_span(const typename Traits::Pixel* in, typename Traits::Pixel* out, A_long n,
                const typename Traits::Pixel* color, const double* alpha_factor)
{
    using Pixel = typename Traits::Pixel;
    constexpr bool write_color = kType == kTypeColor || kType == kTypeColorAndAlpha;
    constexpr bool scale_alpha = kType == kTypeAlpha || kType == kTypeColorAndAlpha;
    for (A_long i = 0; i < n; ++i) {
        const Pixel p = in[i];
        Pixel r = write_color ? color[i * kStep] : p;
        if constexpr (scale_alpha) {
            r.alpha = Traits::scaled_alpha(alpha_factor[i * kStep], p.alpha);
        } else {
            r.alpha = p.alpha;
        }
        out[i] = r;
    }
}

// The pixels of a run the AVX2 loops shade (whole groups from the start), when
// every pixel has its own ramp value; 0 otherwise.
template <class Traits, A_long kStep>
A_long shade_wide(KernelPath path, A_long type, const typename Traits::Pixel* in,
                  typename Traits::Pixel* out, A_long n, const typename Traits::Pixel* color,
                  const double* alpha_factor)
{
#if VELKOR_AVX2_KERNELS
    if (kStep == 1 && path == KernelPath::avx2) {
        switch (type) {
        case kTypeColor: return kernel::avx2::keep_input_alpha(in, out, n, color);
        case kTypeAlpha: return kernel::avx2::scale_alpha(in, out, n, nullptr, alpha_factor);
        case kTypeColorAndAlpha: return kernel::avx2::scale_alpha(in, out, n, color, alpha_factor);
        default: return 0;
        }
    }
#else
    (void)path, (void)type, (void)in, (void)out, (void)n, (void)color, (void)alpha_factor;
#endif
    return 0;
}

template <class Traits, A_long kStep>
void shade(KernelPath path, A_long type, const typename Traits::Pixel* in,
           typename Traits::Pixel* out, A_long n, const typename Traits::Pixel* color,
           const double* alpha_factor)
{
    const A_long done = shade_wide<Traits, kStep>(path, type, in, out, n, color, alpha_factor);
    in += done;
    out += done;
    n -= done;
    color += done * kStep;
    alpha_factor += done * kStep;
    switch (type) {
    case kTypeColor: shade_span<Traits, kTypeColor, kStep>(in, out, n, color, alpha_factor); break;
    case kTypeAlpha: shade_span<Traits, kTypeAlpha, kStep>(in, out, n, color, alpha_factor); break;
    case kTypeColorAndAlpha:
        shade_span<Traits, kTypeColorAndAlpha, kStep>(in, out, n, color, alpha_factor);
        break;
    default: shade_span<Traits, 0, kStep>(in, out, n, color, alpha_factor); break;
    }
}

// Columns whose ramp values a band computes once and reuses on every row when t
// depends on x alone: a whole row of most frames, so each row is shaded in one
// contiguous sweep (short strided sweeps defeat the memory prefetchers). The
// values stay under 64 KiB of stack.
template <class Traits>
constexpr A_long kWideRun =
    static_cast<A_long>(65536 / (sizeof(typename Traits::Pixel) + sizeof(double)));

}  // namespace

KernelPath widest_kernel_path()
{
#if VELKOR_AVX2_KERNELS
    if (kernel::avx2::supported()) return KernelPath::avx2;
#endif
    return KernelPath::baseline;
}

void RampEvaluator::shaped_positions(A_long x0, A_long y, A_long n, double* t) const
{
    shaped_positions(x0, y, n, t, widest_kernel_path());
}

void RampEvaluator::shaped_positions(A_long x0, A_long y, A_long n, double* t,
                                     KernelPath path) const
{
    const Geometry g{origin_, axis_, ramp_length_};
    const A_long shape = context_.settings.shape;
    A_long done = 0;
#if VELKOR_AVX2_KERNELS
    if (path == KernelPath::avx2 && kernel::avx2::supported()) {
        done = kernel::avx2::ramp_positions(shape, g, x0, y, n, t);
    }
#else
    (void)path;
#endif
    const A_long rest = n - done;
    double* const tail = t + done;
    switch (shape) {
    case kShapeLinear: ramp_positions_of<kShapeLinear>(g, x0 + done, y, rest, tail); break;
    case kShapeLinear2: ramp_positions_of<kShapeLinear2>(g, x0 + done, y, rest, tail); break;
    case kShapeRadial: ramp_positions_of<kShapeRadial>(g, x0 + done, y, rest, tail); break;
    default: ramp_positions_of<0>(g, x0 + done, y, rest, tail); break;
    }
    // One load of the host's function pointer for the whole run.
    shape_positions(in_data_->utils->ansi.pow, context_.settings.power, n, t);
}

namespace {

// Runs `draw` with the pixel traits of the input's depth class, when the two
// worlds exist and agree in size; otherwise nothing is drawn.
template <class Draw>
void by_input_depth(const WorldView& input, const WorldView& output, Draw&& draw)
{
    if (input.world == nullptr || output.world == nullptr) return;
    if (input.world->width != output.world->width ||
        input.world->height != output.world->height) {
        return;
    }
    switch (input.depth) {
    case DepthClass::eight: draw(Pixel8Traits{}); break;
    case DepthClass::sixteen: draw(Pixel16Traits{}); break;
    case DepthClass::floating: draw(PixelFloatTraits{}); break;
    default: break;
    }
}

}  // namespace

void RampEvaluator::render(const WorldView& input, const WorldView& output,
                           const PF_Rect& rect) const
{
    render(input, output, rect, widest_kernel_path());
}

void RampEvaluator::render(const WorldView& input, const WorldView& output, const PF_Rect& rect,
                           KernelPath path) const
{
    // A path the processor lacks is never taken.
    if (path == KernelPath::avx2 && widest_kernel_path() != KernelPath::avx2) {
        path = KernelPath::baseline;
    }
    by_input_depth(input, output, [&](auto traits) {
        render_kernel<decltype(traits)>(input, output, rect, path);
    });
}

void RampEvaluator::render_reference(const WorldView& input, const WorldView& output,
                                     const PF_Rect& rect) const
{
    by_input_depth(input, output, [&](auto traits) {
        render_kernel_reference<decltype(traits)>(input, output, rect);
    });
}

void RampEvaluator::render_8(const WorldView& input, const WorldView& output,
                             const PF_Rect& rect) const
{
    render_kernel<Pixel8Traits>(input, output, rect, widest_kernel_path());
}

void RampEvaluator::render_16(const WorldView& input, const WorldView& output,
                              const PF_Rect& rect) const
{
    render_kernel<Pixel16Traits>(input, output, rect, widest_kernel_path());
}

void RampEvaluator::render_float(const WorldView& input, const WorldView& output,
                                 const PF_Rect& rect) const
{
    render_kernel<PixelFloatTraits>(input, output, rect, widest_kernel_path());
}

template <class Traits>
void RampEvaluator::render_kernel_reference(const WorldView& input, const WorldView& output,
                                            const PF_Rect& rect) const
{
    using Pixel = typename Traits::Pixel;
    PF_Rect area;
    if (!drawable_area<Traits>(input, output, rect, in_data_, area)) return;

    const RampSettings& s = context_.settings;
    const Color4 start_color = s.start_color;
    const Color4 color_delta = s.end_color - start_color;
    const double start_alpha = s.start_alpha;
    const double alpha_delta = s.end_alpha - start_alpha;
    const bool write_color = s.type == kTypeColor || s.type == kTypeColorAndAlpha;
    const bool scale_alpha = s.type == kTypeAlpha || s.type == kTypeColorAndAlpha;

    for (A_long y = area.top; y < area.bottom; ++y) {
        const Pixel* in_row = row_of<Pixel>(*input.world, y);
        Pixel* out_row = row_of<Pixel>(*output.world, y);
        for (A_long x = area.left; x < area.right; ++x) {
            const double t = shaped_position(x, y);
            const Pixel p = in_row[x];
            Pixel result = p;
            if (write_color) result = to_pixel<Traits>(start_color + color_delta * t);
            if (scale_alpha) {
                result.alpha = Traits::scaled_alpha(t * alpha_delta + start_alpha, p.alpha);
            } else {
                result.alpha = p.alpha;
            }
            out_row[x] = result;
        }
    }
}

template <class Traits>
void RampEvaluator::render_kernel(const WorldView& input, const WorldView& output,
                                  const PF_Rect& rect, KernelPath path) const
{
    using Pixel = typename Traits::Pixel;
    PF_Rect area;
    if (!drawable_area<Traits>(input, output, rect, in_data_, area)) return;

    const RampSettings& s = context_.settings;
    const A_long type = s.type;
    const Blend blend{s.start_color, s.end_color - s.start_color, s.start_alpha,
                      s.end_alpha - s.start_alpha};

    const bool write_color = type == kTypeColor || type == kTypeColorAndAlpha;
    const bool scale_alpha = type == kTypeAlpha || type == kTypeColorAndAlpha;
    const bool projected = s.shape == kShapeLinear || s.shape == kShapeLinear2;
    double t[kChunk];

    // Pixels x_begin .. x_end - 1 of row y, each with a ramp value of its own.
    Pixel span_color[kChunk];
    double span_alpha_factor[kChunk];
    const auto draw_span = [&](A_long y, A_long x_begin, A_long x_end) {
        const Pixel* in_row = row_of<Pixel>(*input.world, y);
        Pixel* out_row = row_of<Pixel>(*output.world, y);
        for (A_long x0 = x_begin; x0 < x_end; x0 += kChunk) {
            const A_long n = std::min<A_long>(kChunk, x_end - x0);
            shaped_positions(x0, y, n, t, path);
            blend_values<Traits>(path, blend, write_color, scale_alpha, t, n, span_color,
                                 span_alpha_factor);
            shade<Traits, 1>(path, type, in_row + x0, out_row + x0, n, span_color,
                             span_alpha_factor);
        }
    };

    switch (variation_of(s.shape, axis_)) {
    case Variation::columns_only: {
        constexpr A_long kWide = kWideRun<Traits>;
        Pixel color[kWide];
        double alpha_factor[kWide];
        for (A_long x0 = area.left; x0 < area.right; x0 += kWide) {
            const A_long n = std::min<A_long>(kWide, area.right - x0);
            for (A_long c = 0; c < n; c += kChunk) {
                const A_long m = std::min<A_long>(kChunk, n - c);
                shaped_positions(x0 + c, area.top, m, t, path);
                blend_values<Traits>(path, blend, write_color, scale_alpha, t, m, color + c,
                                     alpha_factor + c);
            }
            const ColumnSpan own =
                projected ? zero_term_columns(origin_, axis_, x0, n) : ColumnSpan{};
            for (A_long y = area.top; y < area.bottom; ++y) {
                const Pixel* in = row_of<Pixel>(*input.world, y) + x0;
                Pixel* out = row_of<Pixel>(*output.world, y) + x0;
                if (own.begin == own.end) {
                    shade<Traits, 1>(path, type, in, out, n, color, alpha_factor);
                    continue;
                }
                shade<Traits, 1>(path, type, in, out, own.begin, color, alpha_factor);
                draw_span(y, x0 + own.begin, x0 + own.end);
                shade<Traits, 1>(path, type, in + own.end, out + own.end, n - own.end,
                                 color + own.end, alpha_factor + own.end);
            }
        }
        break;
    }
    case Variation::rows_only: {
        Pixel color[1]{};
        double alpha_factor[1]{};
        for (A_long y = area.top; y < area.bottom; ++y) {
            // The row whose own term is a zero takes the sign of each column's.
            if ((static_cast<double>(y) - origin_.y) * axis_.y == 0.0) {
                draw_span(y, area.left, area.right);
                continue;
            }
            shaped_positions(area.left, y, 1, t, path);
            blend_values<Traits>(path, blend, write_color, scale_alpha, t, 1, color, alpha_factor);
            shade<Traits, 0>(path, type, row_of<Pixel>(*input.world, y) + area.left,
                             row_of<Pixel>(*output.world, y) + area.left, area.right - area.left,
                             color, alpha_factor);
        }
        break;
    }
    case Variation::both:
        for (A_long y = area.top; y < area.bottom; ++y) draw_span(y, area.left, area.right);
        break;
    }
}

}  // namespace velkor
