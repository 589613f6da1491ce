#include "ramp/ramp_evaluator.h"

#include <cmath>

#include "params/param_table.h"
#include "ramp/portable_math.h"

namespace velkor {

RampEvaluator::RampEvaluator(const RenderRecord& context)
    : in_data_(context.in_data), context_(context)
{
    const RampSettings& s = context_.settings;
    if (s.controlled_by == kControlledByTwoPoints) {
        origin_ = s.start_point;
        Vector2 v = s.end_point;
        v -= s.start_point;
        ramp_length_ = v.length();
        if (ramp_length_ < kMinRampLength) ramp_length_ = kMinRampLength;
        v.normalize();
        axis_ = v;
    } else if (s.controlled_by == kControlledByCenterAndLength) {
        origin_ = s.center;
        const double direction = s.direction;
        // The C libraries' sine and cosine differ between platforms in the last
        // bits; these give every build of the module the same axis.
        axis_ = {portable_sin(direction), -portable_cos(direction)};
        ramp_length_ = s.length;
        if (ramp_length_ < kMinRampLength) ramp_length_ = kMinRampLength;
    }
    // Any other placement keeps a zero origin and axis and the shortest ramp.
}

double RampEvaluator::ramp_position(A_long x, A_long y) const
{
    Vector2 d{static_cast<double>(x), static_cast<double>(y)};
    d -= origin_;

    double s = 0.0;
    switch (context_.settings.shape) {
    case kShapeLinear:
        s = d.dot(axis_);
        break;
    case kShapeLinear2:
        s = d.dot(axis_);
        if (s < 0.0) s = -s;
        break;
    case kShapeRadial:
        s = d.length();
        break;
    default:
        break;
    }

    // Written as !(t >= 0) so that a NaN (from a malformed settings record)
    // clamps to 0 like a negative t instead of travelling on.
    double t = s / ramp_length_;
    if (!(t >= 0.0)) {
        t = 0.0;
    } else if (t > 1.0) {
        t = 1.0;
    }
    return t;
}

double RampEvaluator::shaped_position(A_long x, A_long y) const
{
    return in_data_->utils->ansi.pow(ramp_position(x, y), context_.settings.power);
}

}  // namespace velkor
