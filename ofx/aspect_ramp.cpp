#include "ofx/aspect_ramp.h"

#include "params/param_table.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_shape.h"

namespace velkor::ofx {
namespace {

template <class Traits>
void shade_rows(const RampEvaluator& e, double aspect, A_long column_offset, A_long row_offset,
                const PF_EffectWorld& in, const PF_EffectWorld& out, A_long top, A_long bottom)
{
    using Pixel = typename Traits::Pixel;
    const RampSettings& s = e.settings();
    const Color4 color_delta = s.end_color - s.start_color;
    const double alpha_delta = s.end_alpha - s.start_alpha;
    const bool write_color = s.type == kTypeColor || s.type == kTypeColorAndAlpha;
    const bool scale_alpha = s.type == kTypeAlpha || s.type == kTypeColorAndAlpha;
    const auto pow = e.context().in_data->utils->ansi.pow;
    with_shape(s.shape, [&](auto shape) {
        using Shape = decltype(shape);
        for (A_long y = top; y < bottom; ++y) {
            const auto row = [&](const PF_EffectWorld& w) {
                return reinterpret_cast<Pixel*>(reinterpret_cast<unsigned char*>(w.data) +
                                                static_cast<std::ptrdiff_t>(y) * w.rowbytes);
            };
            const Pixel* in_row = row(in);
            Pixel* out_row = row(out);
            const double dy = static_cast<double>(y + row_offset) - e.origin().y;
            for (A_long x = 0; x < out.width; ++x) {
                const double dx = static_cast<double>(x + column_offset) * aspect - e.origin().x;
                const double t =
                    pow(ramp_fraction(distance<Shape>(dx, dy, e.axis()), e.ramp_length()), s.power);
                const Pixel p = in_row[x];
                Pixel result = write_color ? to_pixel<Traits>(s.start_color + color_delta * t) : p;
                result.alpha = scale_alpha
                                   ? Traits::scaled_alpha(t * alpha_delta + s.start_alpha, p.alpha)
                                   : p.alpha;
                out_row[x] = result;
            }
        }
    });
}

}  // namespace

AspectRamp::AspectRamp(const RampEvaluator& evaluator, double pixel_aspect, A_long column_offset,
                       A_long row_offset)
    : evaluator_(evaluator),
      pixel_aspect_(pixel_aspect),
      column_offset_(column_offset),
      row_offset_(row_offset)
{
}

void AspectRamp::render_rows(const WorldView& input, const WorldView& output, A_long top,
                             A_long bottom) const
{
    const auto run = [&](auto traits) {
        shade_rows<decltype(traits)>(evaluator_, pixel_aspect_, column_offset_, row_offset_,
                                     *input.world, *output.world, top, bottom);
    };
    with_pixel_traits(output.depth, run);
}

}  // namespace velkor::ofx
