#include "simhost/keyframes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace simhost {

namespace {

// A time scale of 0 means nothing; such a time is read as whole seconds.
A_u_long scale_of(const KeyTime& t) { return t.scale == 0 ? 1 : t.scale; }

// a / sa against b / sb without rounding: both products fit in 64 bits when the
// time is a 32-bit value and the scale a 32-bit count, but their difference may
// not, so the comparison is of the products themselves.
int compare(const KeyTime& a, const KeyTime& b)
{
    if (scale_of(a) == scale_of(b)) return a.value < b.value ? -1 : a.value > b.value ? 1 : 0;
    const std::int64_t left =
        static_cast<std::int64_t>(a.value) * static_cast<std::int64_t>(scale_of(b));
    const std::int64_t right =
        static_cast<std::int64_t>(b.value) * static_cast<std::int64_t>(scale_of(a));
    return left < right ? -1 : left > right ? 1 : 0;
}

double seconds(const KeyTime& t)
{
    return static_cast<double>(t.value) / static_cast<double>(scale_of(t));
}

// How far `at` lies from `from` towards `to` (from < at < to), 0 < u < 1. With one
// time scale, as the host's own times have, this is one rounding of the ratio of
// two whole numbers.
double fraction(const KeyTime& from, const KeyTime& to, const KeyTime& at)
{
    if (scale_of(from) == scale_of(to) && scale_of(at) == scale_of(from)) {
        const double done = static_cast<double>(static_cast<std::int64_t>(at.value) - from.value);
        const double span = static_cast<double>(static_cast<std::int64_t>(to.value) - from.value);
        return done / span;
    }
    const double u = (seconds(at) - seconds(from)) / (seconds(to) - seconds(from));
    return std::clamp(u, 0.0, 1.0);
}

bool whole_numbers(PF_ParamType type)
{
    return type == PF_Param_FIX_SLIDER || type == PF_Param_ANGLE || type == PF_Param_COLOR;
}

double between(double v0, double v1, double u, bool whole)
{
    double v = v0 + (v1 - v0) * u;
    // The rounding of the product may step past the later key; a value between
    // two keys never leaves the span of the two.
    v = std::clamp(v, std::min(v0, v1), std::max(v0, v1));
    return whole ? std::round(v) : v;
}

bool holds(const Keyframe& before, const Keyframe& after)
{
    return before.out.kind == KeyInterpolation::hold || after.in.kind == KeyInterpolation::hold;
}

// The curve parameter u at which the segment's time coordinate, as a fraction s
// of the segment, is reached: x(u) = 3a u(1-u)^2 + 3(1-b) u^2(1-u) + u^3 with a, b
// the two influences as fractions. x is monotone for a, b in (0, 1], so Newton's
// steps are kept inside a bracket that bisection narrows whenever a step would
// leave it; the search ends when no step moves u.
double curve_parameter(double a, double b, double s)
{
    const auto x = [&](double u) {
        const double w = 1.0 - u;
        return 3.0 * a * u * w * w + 3.0 * (1.0 - b) * u * u * w + u * u * u;
    };
    const auto slope = [&](double u) {
        const double w = 1.0 - u;
        return 3.0 * (a * w * w + 2.0 * (1.0 - a - b) * u * w + b * u * u);
    };
    double low = 0.0;
    double high = 1.0;
    double u = s;
    for (int step = 0; step < 200; ++step) {
        const double miss = x(u) - s;
        if (miss == 0.0) return u;
        (miss < 0.0 ? low : high) = u;
        const double d = slope(u);
        double next = d > 0.0 ? u - miss / d : 0.5 * (low + high);
        if (!(next > low && next < high)) next = 0.5 * (low + high);
        if (next == u || next == low || next == high) return u;
        u = next;
    }
    return u;
}

// One side's Bezier control value: the key's value moved by its speed over its
// share of the segment, `toward` +1 after the key, -1 before it.
struct SideCurve {
    double influence;  // a fraction of the segment
    double control;
};

SideCurve side_curve(const KeySide& side, std::size_t c, double v, double v0, double v1,
                     double span, double toward)
{
    if (side.kind == KeyInterpolation::bezier) {
        const double a = side.influence / 100.0;
        return {a, v + toward * side.speed[c] * a * span};
    }
    // A linear side meeting a Bezier side: the segment's average speed,
    // (v1 - v0) / span, over a third of the segment.
    return {1.0 / 3.0, v + toward * (v1 - v0) / 3.0};
}

KeyValue eased(PF_ParamType type, const Keyframe& before, const Keyframe& after, double s)
{
    const double span = seconds(after.time) - seconds(before.time);
    KeyValue value;
    double u = -1.0;
    for (std::size_t c = 0; c < value.v.size(); ++c) {
        const double v0 = before.value.v[c];
        const double v1 = after.value.v[c];
        const SideCurve out = side_curve(before.out, c, v0, v0, v1, span, 1.0);
        const SideCurve in = side_curve(after.in, c, v1, v0, v1, span, -1.0);
        // The influences are the same for every number, so is the parameter.
        if (u < 0.0) u = curve_parameter(out.influence, in.influence, s);
        const double w = 1.0 - u;
        const double v = v0 * w * w * w + 3.0 * out.control * u * w * w +
                         3.0 * in.control * u * u * w + v1 * u * u * u;
        value.v[c] = whole_numbers(type) ? std::round(v) : v;
    }
    return value;
}

}  // namespace

bool earlier(const KeyTime& a, const KeyTime& b) { return compare(a, b) < 0; }

bool same_time(const KeyTime& a, const KeyTime& b) { return compare(a, b) == 0; }

KeyValue value_at(PF_ParamType type, const std::vector<Keyframe>& keys, const KeyTime& at)
{
    // The first key later than `at`; the one before it (if any) is at or before.
    const auto next =
        std::upper_bound(keys.begin(), keys.end(), at,
                         [](const KeyTime& t, const Keyframe& k) { return earlier(t, k.time); });
    if (next == keys.begin()) return keys.front().value;
    const Keyframe& before = *(next - 1);
    if (next == keys.end() || same_time(before.time, at) || type == PF_Param_POPUP ||
        holds(before, *next))
        return before.value;
    const double u = fraction(before.time, next->time, at);
    if (before.out.kind != KeyInterpolation::linear || next->in.kind != KeyInterpolation::linear)
        return eased(type, before, *next, u);
    KeyValue value;
    for (std::size_t c = 0; c < value.v.size(); ++c) {
        value.v[c] = between(before.value.v[c], next->value.v[c], u, whole_numbers(type));
    }
    return value;
}

KeyValue record_value(const PF_ParamDef& def)
{
    KeyValue value;
    switch (def.param_type) {
    case PF_Param_POPUP:
        value.v[0] = def.u.pd.value;
        break;
    case PF_Param_FLOAT_SLIDER:
        value.v[0] = def.u.fs_d.value;
        break;
    case PF_Param_FIX_SLIDER:
        value.v[0] = def.u.fd.value;
        break;
    case PF_Param_ANGLE:
        value.v[0] = def.u.ad.value;
        break;
    case PF_Param_COLOR:
        value.v = {static_cast<double>(def.u.cd.value.alpha),
                   static_cast<double>(def.u.cd.value.red),
                   static_cast<double>(def.u.cd.value.green),
                   static_cast<double>(def.u.cd.value.blue)};
        break;
    default:
        break;
    }
    return value;
}

void set_record_value(PF_ParamDef& def, const KeyValue& value)
{
    // Linear keys of valid values give valid values; a Bezier segment's speeds
    // may carry it past its keys, and a slider then stops at its valid range, a
    // colour at 0 and 255, as the host's controls do.
    const auto within = [](double v, double low, double high) {
        return v >= low ? std::min(v, high) : low;
    };
    const auto byte = [&](double v) { return static_cast<A_u_char>(within(v, 0.0, 255.0)); };
    const auto fixed = [&](double v) {
        return static_cast<PF_Fixed>(within(v, -2147483647.0, 2147483647.0));
    };
    const auto whole = [&](double v) {
        return static_cast<A_long>(within(v, -2147483648.0, 2147483647.0));
    };
    switch (def.param_type) {
    case PF_Param_POPUP:
        def.u.pd.value = whole(value.v[0]);
        break;
    case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.value = within(value.v[0], def.u.fs_d.valid_min, def.u.fs_d.valid_max);
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.value = fixed(within(value.v[0], def.u.fd.valid_min, def.u.fd.valid_max));
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = fixed(value.v[0]);
        break;
    case PF_Param_COLOR:
        def.u.cd.value =
            PF_Pixel{byte(value.v[0]), byte(value.v[1]), byte(value.v[2]), byte(value.v[3])};
        break;
    default:
        break;
    }
}

}  // namespace simhost
