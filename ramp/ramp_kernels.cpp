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
// An output larger than the caches is stored past them by the AVX2 shading
// loops, from the first pixel of each run on their vectors' boundary: each
// pixel is written once and not read back, so caching it would only make every
// store read its line from memory first.
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

// Shades pixels `from` to n - 1. kStep is 1 when every pixel has its own ramp
// value and 0 when one value serves the whole span. Reads color only when the
// type writes it and alpha_factor only when it scales alpha.
template <class Traits, A_long kType, A_long kStep>
void shade_span(const typename Traits::Pixel* in, typename Traits::Pixel* out, A_long from,
                A_long n, const typename Traits::Pixel* color, const double* alpha_factor)
{
    using Pixel = typename Traits::Pixel;
    constexpr bool write_color = kType == kTypeColor || kType == kTypeColorAndAlpha;
    constexpr bool scale_alpha = kType == kTypeAlpha || kType == kTypeColorAndAlpha;
    for (A_long i = from; i < n; ++i) {
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

// Pixels from..n - 1 of a run through the portable loops.
template <class Traits, A_long kStep>
void shade_portable(A_long type, const typename Traits::Pixel* in, typename Traits::Pixel* out,
                    A_long from, A_long n, const typename Traits::Pixel* color,
                    const double* alpha_factor)
{
    switch (type) {
    case kTypeColor:
        shade_span<Traits, kTypeColor, kStep>(in, out, from, n, color, alpha_factor);
        break;
    case kTypeAlpha:
        shade_span<Traits, kTypeAlpha, kStep>(in, out, from, n, color, alpha_factor);
        break;
    case kTypeColorAndAlpha:
        shade_span<Traits, kTypeColorAndAlpha, kStep>(in, out, from, n, color, alpha_factor);
        break;
    default:
        shade_span<Traits, 0, kStep>(in, out, from, n, color, alpha_factor);
        break;
    }
}

// How one render shades: the loops of its path, and whether their stores go
// past the caches.
struct Shading {
    KernelPath path;
    bool stream;
};

#if VELKOR_AVX2_KERNELS
// Pixels from..n - 1 of a run, one ramp value each, through the AVX2 loops
// (whole groups from `from`); returns where they stopped.
template <class Traits, bool kStream>
A_long shade_avx2(A_long type, const typename Traits::Pixel* in, typename Traits::Pixel* out,
                  A_long from, A_long n, const typename Traits::Pixel* color,
                  const double* alpha_factor)
{
    const A_long m = n - from;
    switch (type) {
    case kTypeColor:
        return from + kernel::avx2::keep_input_alpha<Traits, kStream>(in + from, out + from, m,
                                                                      color + from);
    case kTypeAlpha:
        return from + kernel::avx2::scale_alpha<Traits, kStream>(in + from, out + from, m, nullptr,
                                                                 alpha_factor + from);
    case kTypeColorAndAlpha:
        return from + kernel::avx2::scale_alpha<Traits, kStream>(in + from, out + from, m,
                                                                 color + from, alpha_factor + from);
    default:
        return from;
    }
}

// The pixels before the first streaming boundary of `out`, at most n; -1 when
// no pixel of the run starts on one (a world padded by part of a pixel).
template <class Pixel>
A_long pixels_before_stream_boundary(const Pixel* out, A_long n)
{
    static_assert(kernel::avx2::kStreamAlignment % sizeof(Pixel) == 0);
    const auto address = reinterpret_cast<std::uintptr_t>(out);
    if (address % sizeof(Pixel) != 0) return -1;
    const std::uintptr_t gap =
        (kernel::avx2::kStreamAlignment - address % kernel::avx2::kStreamAlignment) %
        kernel::avx2::kStreamAlignment;
    return std::min<A_long>(static_cast<A_long>(gap / sizeof(Pixel)), n);
}
#endif

// Shades n pixels: the whole groups of a run with one ramp value per pixel
// through the AVX2 loops, streaming from the output's first boundary on when
// the render streams, and the rest through the portable loops.
template <class Traits, A_long kStep>
void shade(const Shading& how, A_long type, const typename Traits::Pixel* in,
           typename Traits::Pixel* out, A_long n, const typename Traits::Pixel* color,
           const double* alpha_factor)
{
    A_long done = 0;
#if VELKOR_AVX2_KERNELS
    if (kStep == 1 && how.path == KernelPath::avx2) {
        const A_long head = how.stream ? pixels_before_stream_boundary(out, n) : -1;
        if (head >= 0) {
            shade_portable<Traits, kStep>(type, in, out, 0, head, color, alpha_factor);
            done = shade_avx2<Traits, true>(type, in, out, head, n, color, alpha_factor);
        } else {
            done = shade_avx2<Traits, false>(type, in, out, 0, n, color, alpha_factor);
        }
    }
#else
    (void)how;
#endif
    shade_portable<Traits, kStep>(type, in, out, done, n, color, alpha_factor);
}

// The stack a band gives the ramp values it computes once per column and
// reuses on every row when t depends on x alone. It holds only the values the
// type uses, so that a whole row of most frames (3840 float pixels of "Color")
// is shaded in one contiguous sweep: short strided sweeps defeat the memory
// prefetchers.
constexpr std::size_t kColumnValueBytes = 65536;

// Columns of one sweep: as many as the scratch holds of the values the type
// uses, and few enough that a pointer to either kind of value stays inside it.
template <class Traits>
A_long columns_per_sweep(bool write_color, bool scale_alpha)
{
    constexpr std::size_t pixel = sizeof(typename Traits::Pixel);
    const std::size_t used = (write_color ? pixel : 0) + (scale_alpha ? sizeof(double) : 0);
    return static_cast<A_long>(kColumnValueBytes / std::max({used, pixel, sizeof(double)}));
}

// Outputs at least this large are stored past the caches where the loops can:
// with its input beside it such a frame fills the last-level cache of most
// machines, so what a cached store keeps there is evicted before anyone reads
// it, and every cached store first reads its line from memory. That pays where
// a sweep is bound by memory; a ramp that calls `pow` at every pixel is bound
// by the calls, which hide its stores, so by size it is stored as before.
constexpr std::int64_t kStreamingOutputBytes = std::int64_t{16} << 20;

bool streams_output(KernelPath path, OutputStores stores, const PF_EffectWorld& output,
                    bool pow_per_pixel)
{
    if (path != KernelPath::avx2) return false;
    switch (stores) {
    case OutputStores::cached:
        return false;
    case OutputStores::streaming:
        return true;
    case OutputStores::by_size:
        break;
    }
    return !pow_per_pixel &&
           std::llabs(static_cast<std::int64_t>(output.rowbytes)) * output.height >=
               kStreamingOutputBytes;
}

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
                const PF_Rect& rect, KernelPath path, OutputStores stores)
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
    const Variation variation = variation_of(s.shape, evaluator.axis());
    const Shading how{path, streams_output(path, stores, *output.world,
                                           s.power != 1.0 && variation == Variation::both)};
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
            shade<Traits, 1>(how, type, in_row + x0, out_row + x0, n, span_color,
                             span_alpha_factor);
        }
    };

    switch (variation) {
    case Variation::columns_only: {
        const A_long wide = columns_per_sweep<Traits>(write_color, scale_alpha);
        alignas(64) unsigned char column_values[kColumnValueBytes];
        auto* const alpha_factor = reinterpret_cast<double*>(column_values);
        auto* const color = reinterpret_cast<Pixel*>(
            column_values + (scale_alpha ? static_cast<std::size_t>(wide) * sizeof(double) : 0));
        for (A_long x0 = area.left; x0 < area.right; x0 += wide) {
            const A_long n = std::min<A_long>(wide, area.right - x0);
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
                    shade<Traits, 1>(how, type, in, out, n, color, alpha_factor);
                    continue;
                }
                shade<Traits, 1>(how, type, in, out, own.begin, color, alpha_factor);
                draw_span(y, x0 + own.begin, x0 + own.end);
                shade<Traits, 1>(how, type, in + own.end, out + own.end, n - own.end,
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
            shade<Traits, 0>(how, type, row_of<Pixel>(*input.world, y) + area.left,
                             row_of<Pixel>(*output.world, y) + area.left, area.right - area.left,
                             color, alpha_factor);
        }
        break;
    }
    case Variation::both:
        for (A_long y = area.top; y < area.bottom; ++y) draw_span(y, area.left, area.right);
        break;
    }
#if VELKOR_AVX2_KERNELS
    if (how.stream) kernel::avx2::end_streaming();
#endif
}

}  // namespace

void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect)
{
    render_ramp(evaluator, input, output, rect, widest_kernel_path());
}

void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect, KernelPath path, OutputStores stores)
{
    path = available_kernel_path(path);
    by_input_depth(input, output, [&](auto traits) {
        shade_fast<decltype(traits)>(evaluator, input, output, rect, path, stores);
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
