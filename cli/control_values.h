// The controls' values as the host holds them for a frame, in the units the
// host shows: for `-v` and for the record a written file keeps of how it was
// made.
#pragma once

#include <string>
#include <vector>

#include "simhost/session.h"

namespace velkorramp {

struct ControlValue {
    std::string option;   // "--start", or "" for a control with no option
    std::string control;  // the declared name, "Start of Ramp"
    std::string value;    // "960,540", "Color & Alpha", "#FF8000", "2.5", "50 %"
};

// Every declared control's value at `at` (keyed controls move with time), in
// declaration order.
std::vector<ControlValue> control_values(const simhost::Session& session,
                                         const simhost::KeyTime& at);

}  // namespace velkorramp
