// The parameter sets the host check renders. Each is rendered at 8, 16 and
// 32-bit float over a patterned input layer, on every build of the module, and
// the frames are compared bit for bit between builds.
#pragma once

#include <span>

#include "host/host_interface.h"

namespace velkor::hostcheck {

struct PointValue {
    double x;
    double y;
};

// One value for every control, in user units: popups as choice numbers,
// points in layer pixels, the angle in degrees, the alphas in percent.
struct RampCase {
    const char* name;
    int type;           // 1 Color, 2 Alpha, 3 Color & Alpha
    int controlled_by;  // 1 Two Points, 2 Center & Length
    PointValue start;
    PointValue end;
    PointValue center;
    double length;
    double direction;
    PF_Pixel start_color;
    PF_Pixel end_color;
    double start_alpha;
    double end_alpha;
    int shape;  // 1 Linear, 2 Linear 2, 3 Radial
    double power;
};

inline constexpr int kLayerWidth = 97;
inline constexpr int kLayerHeight = 61;

std::span<const RampCase> ramp_cases();

}  // namespace velkor::hostcheck
