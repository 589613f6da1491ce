#include "ramp/ramp_settings.h"

#include <cstring>

namespace velkor {
namespace {

constexpr double kFixedScale = 65536.0;
constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kFractionPerPercent = 0.01;

Vector2 point_from(const PF_ParamDef& def)
{
    return {static_cast<double>(def.u.td.x_value) / kFixedScale,
            static_cast<double>(def.u.td.y_value) / kFixedScale};
}

Color4 color_from(const PF_ParamDef& def)
{
    const PF_Pixel& p = def.u.cd.value;
    return {p.alpha / 255.0, p.red / 255.0, p.green / 255.0, p.blue / 255.0};
}

double fraction_from(const PF_ParamDef& def)
{
    return (static_cast<double>(def.u.fd.value) / kFixedScale) * kFractionPerPercent;
}

}  // namespace

void fill_ramp_settings(const ParamValues& params, const PF_RationalScale& downsample_x,
                        RampSettings& settings)
{
    const double downsample =
        static_cast<double>(downsample_x.num) / static_cast<double>(downsample_x.den);

    std::memset(&settings, 0, sizeof settings);
    settings.type = params[kParamType].u.pd.value;
    settings.controlled_by = params[kParamControlledBy].u.pd.value;
    settings.start_point = point_from(params[kParamStartPoint]);
    settings.end_point = point_from(params[kParamEndPoint]);
    settings.center = point_from(params[kParamCenter]);
    settings.length = params[kParamLength].u.fs_d.value * downsample;
    settings.direction =
        (static_cast<double>(params[kParamDirection].u.ad.value) / kFixedScale) * kRadiansPerDegree;
    settings.start_color = color_from(params[kParamStartColor]);
    settings.end_color = color_from(params[kParamEndColor]);
    settings.start_alpha = fraction_from(params[kParamStartAlpha]);
    settings.end_alpha = fraction_from(params[kParamEndAlpha]);
    settings.shape = params[kParamShape].u.pd.value;
    settings.power = params[kParamPower].u.fs_d.value;
}

void rebase_ramp_points(RampSettings& settings, A_long origin_x, A_long origin_y)
{
    const Vector2 origin{static_cast<double>(origin_x), static_cast<double>(origin_y)};
    Vector2 start = settings.start_point;
    Vector2 end = settings.end_point;
    Vector2 center = settings.center;
    settings.start_point = start -= origin;
    settings.end_point = end -= origin;
    settings.center = center -= origin;
}

}  // namespace velkor
