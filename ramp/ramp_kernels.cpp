// The shading kernels: one loop body for every depth, instantiated per pixel
// type. Rows are addressed through the signed row stride, so padded rows and
// bottom-up worlds (negative rowbytes) need no copy. Nothing here allocates or
// touches a host suite; the only host call is `pow`.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "params/param_table.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_evaluator.h"

namespace velkor {
namespace {

// A world whose rows can be addressed as whole pixels without overlapping.
bool has_usable_rows(const PF_EffectWorld& world, std::size_t bytes_per_pixel)
{
    if (world.data == nullptr || world.width < 0 || world.height < 0) return false;
    const std::int64_t rowbytes = world.rowbytes;
    if (rowbytes % static_cast<std::int64_t>(bytes_per_pixel) != 0) return false;
    const std::int64_t row_span = static_cast<std::int64_t>(world.width) *
                                  static_cast<std::int64_t>(bytes_per_pixel);
    return world.height <= 1 || std::llabs(rowbytes) >= row_span;
}

template <class Pixel>
Pixel* row_of(const PF_EffectWorld& world, std::ptrdiff_t stride, A_long y)
{
    return reinterpret_cast<Pixel*>(world.data) + static_cast<std::ptrdiff_t>(y) * stride;
}

}  // namespace

void RampEvaluator::render(const WorldView& input, const WorldView& output,
                           const PF_Rect& rect) const
{
    if (input.world == nullptr || output.world == nullptr) return;
    if (input.world->width != output.world->width ||
        input.world->height != output.world->height) {
        return;
    }
    switch (input.depth) {
    case DepthClass::eight: render_8(input, output, rect); break;
    case DepthClass::sixteen: render_16(input, output, rect); break;
    case DepthClass::floating: render_float(input, output, rect); break;
    default: break;
    }
}

void RampEvaluator::render_8(const WorldView& input, const WorldView& output,
                             const PF_Rect& rect) const
{
    render_kernel<Pixel8Traits>(input, output, rect);
}

void RampEvaluator::render_16(const WorldView& input, const WorldView& output,
                              const PF_Rect& rect) const
{
    render_kernel<Pixel16Traits>(input, output, rect);
}

void RampEvaluator::render_float(const WorldView& input, const WorldView& output,
                                 const PF_Rect& rect) const
{
    render_kernel<PixelFloatTraits>(input, output, rect);
}

template <class Traits>
void RampEvaluator::render_kernel(const WorldView& input, const WorldView& output,
                                  const PF_Rect& rect) const
{
    using Pixel = typename Traits::Pixel;
    if (input.world == nullptr || output.world == nullptr) return;
    const PF_EffectWorld& in = *input.world;
    const PF_EffectWorld& out = *output.world;
    if (!has_usable_rows(in, sizeof(Pixel)) || !has_usable_rows(out, sizeof(Pixel))) return;
    if (in_data_ == nullptr || in_data_->utils == nullptr || in_data_->utils->ansi.pow == nullptr) {
        return;
    }

    const A_long left = std::max<A_long>(rect.left, 0);
    const A_long top = std::max<A_long>(rect.top, 0);
    const A_long right = std::min<A_long>(rect.right, in.width);
    const A_long bottom = std::min<A_long>(rect.bottom, in.height);
    if (left >= right || top >= bottom) return;

    const RampSettings& s = context_.settings;
    const Color4 start_color = s.start_color;
    const Color4 color_delta = s.end_color - start_color;
    const double start_alpha = s.start_alpha;
    const double alpha_delta = s.end_alpha - start_alpha;
    const bool write_color = s.type == kTypeColor || s.type == kTypeColorAndAlpha;
    const bool scale_alpha = s.type == kTypeAlpha || s.type == kTypeColorAndAlpha;

    const std::ptrdiff_t in_stride = in.rowbytes / static_cast<A_long>(sizeof(Pixel));
    const std::ptrdiff_t out_stride = out.rowbytes / static_cast<A_long>(sizeof(Pixel));

    for (A_long y = top; y < bottom; ++y) {
        const Pixel* in_row = row_of<Pixel>(in, in_stride, y);
        Pixel* out_row = row_of<Pixel>(out, out_stride, y);
        for (A_long x = left; x < right; ++x) {
            const double t = shaped_position(x, y);
            const Pixel p = in_row[x];
            Pixel result = p;
            if (write_color) result = to_pixel<Traits>(start_color + color_delta * t);
            if (scale_alpha) {
                result.alpha = Traits::from_scaled((t * alpha_delta + start_alpha) *
                                                   Traits::widen(p.alpha));
            } else {
                result.alpha = p.alpha;
            }
            out_row[x] = result;
        }
    }
}

}  // namespace velkor
