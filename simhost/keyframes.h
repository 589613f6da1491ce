// Time and keyframes as the host keeps them.
//
// The host's clock counts in time units of 1/scale seconds. A frame rate of
// num/den frames a second is a time scale of num with frames den units apart, so
// frame f is at time f * den exactly, for 24 as for 30000/1001.
//
// A control holds either one value for all time or keys: times with a value
// each. Checked out at a time, numbers, angles, points and colours lie on the
// straight line between the keys around that time; a popup keeps the earlier
// key's choice until the next key; before the first key and after the last the
// control holds that key's value. At a key's own time the value is the key's,
// exactly. Between keys the value is v0 + (v1 - v0) * u, u the time's fraction of
// the way from the earlier key to the later one, kept between v0 and v1 and, for
// the controls the host stores as whole numbers (16.16 fixed values, colour
// bytes), rounded to the nearest one, halves away from zero.
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

struct Keyframe {
    KeyTime time;
    KeyValue value;
};

// True when `a` is earlier than `b` (exact for any two times).
bool earlier(const KeyTime& a, const KeyTime& b);
bool same_time(const KeyTime& a, const KeyTime& b);

// The value at `at` of a control of `type` with these keys (sorted by time, one
// per time, at least one).
KeyValue value_at(PF_ParamType type, const std::vector<Keyframe>& keys, const KeyTime& at);

// A record's value as a KeyValue, and back; points are kept apart by the host
// (in layer pixels), so they are not read from or written to the record here.
KeyValue record_value(const PF_ParamDef& def);
void set_record_value(PF_ParamDef& def, const KeyValue& value);

}  // namespace simhost
