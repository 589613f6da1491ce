// How a key is arrived at and left, as written after its frame on the command
// line ("0@1:ease,360@100:hold") and named in a keys file: linear (the
// default), hold, or Bezier with a speed and an influence on each side, the
// host's temporal ease (simhost/keyframes.h).
#pragma once

#include <optional>
#include <string_view>

#include "simhost/keyframes.h"

namespace velkorramp {

struct KeySides {
    simhost::KeySide in;   // arriving at the key
    simhost::KeySide out;  // leaving it
};

// The forms after a frame, for messages: ":ease, :ease-in, ...".
extern const char* const kKeySideForms;

// The sides that `text` (what follows the ':') names: "ease" (Easy Ease on both
// sides: speed 0, influence 33 1/3 %), "ease-in", "ease-out" (on one side, the
// other linear), "hold" (the key's value held until the next key; it is still
// arrived at linearly), "linear", or "bezier=SPEED_IN/INFLUENCE_IN/SPEED_OUT/
// INFLUENCE_OUT" with speeds in the control's units a second (the same for each
// number of a point or colour) and influences in percent, more than 0 and at
// most 100. Nothing for any other text.
std::optional<KeySides> parse_key_sides(std::string_view text);

// A side's interpolation as a keys file names it, and back.
const char* interpolation_name(simhost::KeyInterpolation kind);
std::optional<simhost::KeyInterpolation> interpolation_named(std::string_view name);

}  // namespace velkorramp
