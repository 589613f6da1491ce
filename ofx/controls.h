// The thirteen controls as OpenFX parameters, generated from the one parameter
// table: popups become choices, points 2-D positions whose defaults are the
// same fractions of the frame, Direction an angle, colours RGB, alphas
// percentages. Each parameter's name and script name is its label in lower
// camel case ("Start of Ramp" is startOfRamp).
#pragma once

#include <array>
#include <string>

#include "ofx/ofx_api.h"
#include "ofx/ramp_frame.h"
#include "params/param_table.h"

namespace velkor::ofx {

inline constexpr std::size_t kControlCount = kParamTable.size();

// "Start of Ramp" -> "startOfRamp".
std::string script_name(const char* label);

// Defines every control on a descriptor's parameter set.
void define_controls(OfxParamSetHandle params);

// An instance's parameter handles, in table order.
using ControlHandles = std::array<OfxParamHandle, kControlCount>;
void fetch_controls(OfxParamSetHandle params, ControlHandles& handles);

// The values at `time`.
RampControls read_controls(const ControlHandles& handles, OfxTime time);

// Enables and disables the controls as the current choices decide.
void apply_enabling_rules(const ControlHandles& handles, OfxTime time);

}  // namespace velkor::ofx
