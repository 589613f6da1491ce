// The frame's resolved ramp settings: what smart pre-render reads from the
// thirteen controls and smart render draws from. A plain, packed record of
// numbers (no pointers), so it can live in a host handle of exactly its size.
#pragma once

#include <array>

#include "host/host_interface.h"
#include "params/param_table.h"
#include "ramp/ramp_types.h"

namespace velkor {

#pragma pack(push, 1)
struct RampSettings {
    A_long type;           // "Type" choice: 1 colour, 2 alpha, 3 both
    A_long controlled_by;  // 1 two points, 2 centre and length
    Vector2 start_point;   // layer pixels as the host gave them
    Vector2 end_point;
    Vector2 center;
    double length;       // pixels, already scaled by the horizontal downsample
    double direction;    // radians
    Color4 start_color;  // 0..1, from the 8-bit colour controls
    Color4 end_color;
    double start_alpha;  // fractions: 100 % is 1.0, never clamped
    double end_alpha;
    A_long shape;  // 1 linear, 2 linear 2, 3 radial
    double power;
};
#pragma pack(pop)

static_assert(sizeof(RampSettings) == 164, "the settings handle is exactly 164 bytes");

// Checked-out parameter records, indexed by ParamIndex; slot 0 is unused.
using ParamValues = std::array<PF_ParamDef, kParamCount>;

// Clears `settings` and fills it from the checked-out controls and the host's
// horizontal downsample factor. Popup values are carried as given, not checked.
void fill_ramp_settings(const ParamValues& params, const PF_RationalScale& downsample_x,
                        RampSettings& settings);

// Moves the three points from layer coordinates to the pixel grid of a buffer
// whose top-left pixel sits at (origin_x, origin_y) of the layer.
void rebase_ramp_points(RampSettings& settings, A_long origin_x, A_long origin_y);

}  // namespace velkor
