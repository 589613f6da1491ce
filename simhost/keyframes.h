// Time and keyframes as the host keeps them.
//
// The host's clock counts in time units of 1/scale seconds. A frame rate of
// num/den frames a second is a time scale of num with frames den units apart, so
// frame f is at time f * den exactly, for 24 as for 30000/1001.
//
// A control holds either one value for all time or keys: times with a value
// each, and for each key how the value arrives at it (its incoming side) and
// leaves it (its outgoing side): linear, hold, or Bezier with a speed and an
// influence, the host's temporal ease. Checked out at a time:
// - before the first key and after the last the control holds that key's value;
//   at a key's own time the value is the key's, exactly; a popup keeps the
//   earlier key's choice until the next key;
// - a segment whose earlier key goes out held, or whose later key comes in held,
//   keeps the earlier key's value until the later key's time;
// - a segment linear on both sides is v0 + (v1 - v0) * u, u the time's fraction
//   of the way from the earlier key to the later one, kept between v0 and v1;
// - otherwise it is the cubic Bezier through (t0, v0),
//   (t0 + a * dt, v0 + speed_out * a * dt), (t1 - b * dt, v1 - speed_in * b * dt)
//   and (t1, v1), a and b the outgoing and incoming influences, dt in seconds,
//   solved for the curve's parameter at the time; a linear side of such a
//   segment counts as a Bezier side of speed (v1 - v0) / dt and influence 1/3.
//   Easy Ease on both keys (speed 0, influence 1/3) is v0 + (v1 - v0)(3u^2 - 2u^3).
//   The curve may leave the span of its keys (a speed can overshoot).
// Points, colours and every other value of several numbers ease each number on
// its own, with a speed of its own. The controls the host stores as whole
// numbers (16.16 fixed values, colour bytes) are rounded to the nearest one,
// halves away from zero.
#pragma once

#include <array>
#include <vector>

#include "host/host_interface.h"

namespace simhost {

// A time on the host's clock: value / scale seconds (a scale of 0 counts as 1).
struct KeyTime {
    A_long value = 0;
    A_u_long scale = 1;
};

// A control's value in the units the host keys it in:
//   popup          v[0] the choice
//   float slider   v[0] the value
//   fixed slider   v[0] the 16.16 value (a whole number)
//   angle          v[0] the 16.16 value in degrees (a whole number)
//   point          v[0], v[1] x and y in layer pixels, before any downsample
//   colour         v[0..3] alpha, red, green, blue, 0 to 255
struct KeyValue {
    std::array<double, 4> v{};
    bool operator==(const KeyValue&) const = default;
};

enum class KeyInterpolation {
    linear,
    hold,
    bezier
};

// One side of a key. For a Bezier side, `speed` is each number's rate of change
// at the key in the keyed units a second (16.16 units for angles and fixed
// sliders, 0..255 for colours, layer pixels for points), and `influence` the
// share of the segment's time the side pulls over, in percent, more than 0 and
// at most 100.
struct KeySide {
    KeyInterpolation kind = KeyInterpolation::linear;
    std::array<double, 4> speed{};
    double influence = 100.0 / 3.0;
    bool operator==(const KeySide&) const = default;
};

// Easy Ease's side: speed 0, influence 33 1/3 %.
inline constexpr KeySide kEasyEase{KeyInterpolation::bezier, {}, 100.0 / 3.0};
inline constexpr KeySide kHold{KeyInterpolation::hold, {}, 100.0 / 3.0};

struct Keyframe {
    Keyframe() = default;
    Keyframe(KeyTime t, KeyValue v, KeySide arriving = {}, KeySide leaving = {})
        : time(t), value(v), in(arriving), out(leaving)
    {
    }
    KeyTime time;
    KeyValue value;
    KeySide in;   // how the value arrives at this key
    KeySide out;  // how it leaves it
};

// True when `a` is earlier than `b` (exact for any two times).
bool earlier(const KeyTime& a, const KeyTime& b);
bool same_time(const KeyTime& a, const KeyTime& b);

// The value at `at` of a control of `type` with these keys (sorted by time, one
// per time, at least one, influences within (0, 100]).
KeyValue value_at(PF_ParamType type, const std::vector<Keyframe>& keys, const KeyTime& at);

// A record's value as a KeyValue, and back; points are kept apart by the host
// (in layer pixels), so they are not read from or written to the record here.
KeyValue record_value(const PF_ParamDef& def);
void set_record_value(PF_ParamDef& def, const KeyValue& value);

}  // namespace simhost
