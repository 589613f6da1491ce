// The shading kernels: one loop body for every pixel type, instantiated per
// pixel traits (see ramp_kernels.h for what they promise).
//
// Two paths draw the same bits. The reference path asks the evaluator for every
// pixel. The fast path works a row at a time in chunks: it asks the evaluator
// for t of a chunk, turns t' into the ramp pixel and the alpha factor, and then
// shades the chunk in a loop with no branch on "Type", shape or depth. Where t
// depends on one coordinate only (a horizontal or vertical axis of a shape that
// measures along it), t' and its pixel are computed once per column or once
// per row and reused. Every float64 operation keeps the reference order; only
// values that are provably identical are reused.
//
// The widest loops (ramp colours, shading with one ramp value per pixel) also
// exist as vector loops (kernels_sse2.cpp, kernels_avx2.cpp); the KernelPath of
// the render picks them, and they hand the tail of every run back to these.
#include "ramp/ramp_kernels.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "params/param_table.h"
#include "ramp/kernel_parts.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

using kernel::Blend;

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

// A shape that measures along the axis, with one zero component of the axis,
// adds that coordinate's term as a signed zero, so t is the same along the
// other coordinate except where the remaining term is itself a zero: there t
// is a zero whose sign follows the zero term, and the sign matters (pow(-0, -1)
// is -inf, pow(+0, -1) is +inf). The kernel reuses t along the other
// coordinate and computes those places pixel by pixel. A shape that measures
// nothing gives +0 everywhere.
Variation variation_of(A_long shape, const Vector2& axis)
{
    const Measure measure = measure_of(shape);
    if (uses_axis(measure)) {
        if (axis.y == 0.0 && axis.x != 0.0) return Variation::columns_only;
        if (axis.x == 0.0 && axis.y != 0.0) return Variation::rows_only;
        return Variation::both;
    }
    if (measure == Measure::none) return Variation::columns_only;
    return Variation::both;
}

// A run of columns, as offsets from the run's first column; empty when
// begin == end.
struct ColumnSpan {
    A_long begin = 0;
    A_long end = 0;
};

// Of the n columns from x0, the span from the first to the last whose term
// (x - origin.x) * axis.x is a zero: for a ramp measured along an axis that
// runs along a row, the columns whose t takes its sign from the row. Usually the one
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

// Ramp colours K = start + delta x t' of a run, converted to pixels of the
// depth, through the widest loops of the path. K's own alpha never reaches an
// output pixel; it is left 0.
template <class Traits>
void ramp_colors(KernelPath path, const Blend& b, const double* t, A_long n,
                 typename Traits::Pixel* color)
{
    A_long i = 0;
#if VELKOR_AVX2_KERNELS
    if (path == KernelPath::avx2) i = kernel::avx2::ramp_colors<Traits>(b, t, n, color);
#else
    (void)path;
#endif
#if VELKOR_SSE2_KERNELS
    i += kernel::sse2::ramp_colors<Traits>(b, t + i, n - i, color + i);
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
    if (write_color) ramp_colors<Traits>(path, b, t, n, color);
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
        case kTypeColor:
            return kernel::avx2::keep_input_alpha<Traits>(in, out, n, color);
        case kTypeAlpha:
            return kernel::avx2::scale_alpha<Traits>(in, out, n, nullptr, alpha_factor);
        case kTypeColorAndAlpha:
            return kernel::avx2::scale_alpha<Traits>(in, out, n, color, alpha_factor);
        default:
            return 0;
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
    case kTypeColor:
        shade_span<Traits, kTypeColor, kStep>(in, out, n, color, alpha_factor);
        break;
    case kTypeAlpha:
        shade_span<Traits, kTypeAlpha, kStep>(in, out, n, color, alpha_factor);
        break;
    case kTypeColorAndAlpha:
        shade_span<Traits, kTypeColorAndAlpha, kStep>(in, out, n, color, alpha_factor);
        break;
    default:
        shade_span<Traits, 0, kStep>(in, out, n, color, alpha_factor);
        break;
    }
}

// Columns whose ramp values a band computes once and reuses on every row when t
// depends on x alone: a whole row of most frames, so each row is shaded in one
// contiguous sweep (short strided sweeps defeat the memory prefetchers). The
// values stay under 64 KiB of stack.
template <class Traits>
constexpr A_long kWideRun = static_cast<A_long>(65536 /
                                                (sizeof(typename Traits::Pixel) + sizeof(double)));

// Runs `draw` with the pixel traits of the input's depth class, when the two
// worlds exist and agree in size; otherwise nothing is drawn.
template <class Draw>
void by_input_depth(const WorldView& input, const WorldView& output, Draw&& draw)
{
    if (input.world == nullptr || output.world == nullptr) return;
    if (input.world->width != output.world->width || input.world->height != output.world->height) {
        return;
    }
    with_pixel_traits(input.depth, draw);
}

// The reference path of one pixel type.
template <class Traits>
void shade_reference(const RampEvaluator& evaluator, const WorldView& input,
                     const WorldView& output, const PF_Rect& rect)
{
    using Pixel = typename Traits::Pixel;
    PF_Rect area;
    if (!drawable_area<Traits>(input, output, rect, evaluator.context().in_data, area)) return;

    const RampSettings& s = evaluator.settings();
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
            const double t = evaluator.shaped_position(x, y);
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

// The fast path of one pixel type.
template <class Traits>
void shade_fast(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                const PF_Rect& rect, KernelPath path)
{
    using Pixel = typename Traits::Pixel;
    PF_Rect area;
    if (!drawable_area<Traits>(input, output, rect, evaluator.context().in_data, area)) return;

    const RampSettings& s = evaluator.settings();
    const A_long type = s.type;
    const Blend blend{s.start_color, s.end_color - s.start_color, s.start_alpha,
                      s.end_alpha - s.start_alpha};

    const bool write_color = type == kTypeColor || type == kTypeColorAndAlpha;
    const bool scale_alpha = type == kTypeAlpha || type == kTypeColorAndAlpha;
    const bool projected = uses_axis(measure_of(s.shape));
    double t[kChunk];

    // Pixels x_begin .. x_end - 1 of row y, each with a ramp value of its own.
    Pixel span_color[kChunk];
    double span_alpha_factor[kChunk];
    const auto draw_span = [&](A_long y, A_long x_begin, A_long x_end) {
        const Pixel* in_row = row_of<Pixel>(*input.world, y);
        Pixel* out_row = row_of<Pixel>(*output.world, y);
        for (A_long x0 = x_begin; x0 < x_end; x0 += kChunk) {
            const A_long n = std::min<A_long>(kChunk, x_end - x0);
            evaluator.shaped_positions(x0, y, n, t, path);
            blend_values<Traits>(path, blend, write_color, scale_alpha, t, n, span_color,
                                 span_alpha_factor);
            shade<Traits, 1>(path, type, in_row + x0, out_row + x0, n, span_color,
                             span_alpha_factor);
        }
    };

    switch (variation_of(s.shape, evaluator.axis())) {
    case Variation::columns_only: {
        constexpr A_long kWide = kWideRun<Traits>;
        Pixel color[kWide];
        double alpha_factor[kWide];
        for (A_long x0 = area.left; x0 < area.right; x0 += kWide) {
            const A_long n = std::min<A_long>(kWide, area.right - x0);
            for (A_long c = 0; c < n; c += kChunk) {
                const A_long m = std::min<A_long>(kChunk, n - c);
                evaluator.shaped_positions(x0 + c, area.top, m, t, path);
                blend_values<Traits>(path, blend, write_color, scale_alpha, t, m, color + c,
                                     alpha_factor + c);
            }
            const ColumnSpan own =
                projected ? zero_term_columns(evaluator.origin(), evaluator.axis(), x0, n)
                          : ColumnSpan{};
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
            if ((static_cast<double>(y) - evaluator.origin().y) * evaluator.axis().y == 0.0) {
                draw_span(y, area.left, area.right);
                continue;
            }
            evaluator.shaped_positions(area.left, y, 1, t, path);
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

}  // namespace

void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect)
{
    render_ramp(evaluator, input, output, rect, widest_kernel_path());
}

void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect, KernelPath path)
{
    path = available_kernel_path(path);
    by_input_depth(input, output, [&](auto traits) {
        shade_fast<decltype(traits)>(evaluator, input, output, rect, path);
    });
}

void render_ramp_reference(const RampEvaluator& evaluator, const WorldView& input,
                           const WorldView& output, const PF_Rect& rect)
{
    by_input_depth(input, output, [&](auto traits) {
        shade_reference<decltype(traits)>(evaluator, input, output, rect);
    });
}

}  // namespace velkor
