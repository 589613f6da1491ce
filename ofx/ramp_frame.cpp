#include "ofx/ramp_frame.h"

#include <cmath>
#include <cstring>

#include "params/param_table.h"

namespace velkor::ofx {
namespace {

constexpr double kFixedScale = 65536.0;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kFractionPerPercent = 0.01;

// v x scale on the grid of 1/65536 pixel, rounded half away from zero: the
// other host's point controls at a downsample.
double on_point_grid(double v, double scale)
{
    const double fixed = v * scale * kFixedScale;
    if (!(fixed > -2147483648.0)) return -2147483648.0 / kFixedScale;
    if (!(fixed < 2147483647.0)) return 2147483647.0 / kFixedScale;
    return static_cast<double>(static_cast<std::int32_t>(std::lround(fixed))) / kFixedScale;
}

Color4 opaque(const double (&rgb)[3]) { return {1.0, rgb[0], rgb[1], rgb[2]}; }

A_FpLong c_library_pow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }

}  // namespace

int frame_left_pixel(const RenderGeometry& g)
{
    return static_cast<int>(std::floor(g.frame.x1 * g.render_scale.x / g.pixel_aspect));
}

int frame_top_pixel(const RenderGeometry& g)
{
    return static_cast<int>(std::ceil(g.frame.y2 * g.render_scale.y));
}

RampSettings settings_from(const RampControls& c, const RenderGeometry& g)
{
    const double sx = g.render_scale.x / g.pixel_aspect;
    const double sy = g.render_scale.y;
    const auto point = [&](const OfxPointD& p) {
        return Vector2{on_point_grid(p.x - g.frame.x1, sx), on_point_grid(g.frame.y2 - p.y, sy)};
    };
    RampSettings s;
    std::memset(&s, 0, sizeof s);
    s.type = c.type + 1;
    s.controlled_by = c.controlled_by + 1;
    s.start_point = point(c.start_point);
    s.end_point = point(c.end_point);
    s.center = point(c.center);
    s.length = c.length * sx;
    s.direction = c.direction * kRadiansPerDegree;
    s.start_color = opaque(c.start_color);
    s.end_color = opaque(c.end_color);
    s.start_alpha = c.start_alpha * kFractionPerPercent;
    s.end_alpha = c.end_alpha * kFractionPerPercent;
    s.shape = c.shape + 1;
    s.power = c.power;
    return s;
}

PF_EffectWorld world_of(const ImageMemory& image, const OfxRectI& window)
{
    PF_EffectWorld world;
    std::memset(&world, 0, sizeof world);
    const std::ptrdiff_t row = window.y2 - 1 - image.bounds.y1;
    const std::ptrdiff_t column = window.x1 - image.bounds.x1;
    world.data = reinterpret_cast<PF_PixelPtr>(
        static_cast<unsigned char*>(image.data) + row * image.row_bytes +
        column * static_cast<std::ptrdiff_t>(image.pixel_bytes));
    world.rowbytes = -image.row_bytes;
    world.width = window.x2 - window.x1;
    world.height = window.y2 - window.y1;
    return world;
}

const PF_InData& engine_in_data()
{
    static PF_UtilCallbacks utils = [] {
        PF_UtilCallbacks u;
        std::memset(&u, 0, sizeof u);
        u.ansi.pow = &c_library_pow;
        return u;
    }();
    static const PF_InData in_data = [] {
        PF_InData d;
        std::memset(&d, 0, sizeof d);
        d.utils = &utils;
        return d;
    }();
    return in_data;
}

}  // namespace velkor::ofx
