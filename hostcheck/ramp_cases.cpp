#include "hostcheck/ramp_cases.h"

namespace velkor::hostcheck {
namespace {

constexpr PF_Pixel kWhite{255, 255, 255, 255};
constexpr PF_Pixel kBlack{255, 0, 0, 0};
constexpr PF_Pixel kOrange{255, 250, 128, 16};
constexpr PF_Pixel kTeal{200, 0, 140, 160};

// The defaults of the parameter set, at this layer size.
constexpr RampCase kDefaults{"defaults",   1,     1,    {0, 30.5}, {97, 30.5},
                             {48.5, 30.5}, 300.0, 90.0, kWhite,    kBlack,
                             100.0,        0.0,   1,    1.0};

constexpr RampCase with(RampCase c, const char* name) { return c.name = name, c; }

constexpr RampCase two_points_radial_alpha()
{
    RampCase c = with(kDefaults, "two-points-radial-alpha");
    c.type = 2;
    c.shape = 3;
    c.start = {10.25, 12.5};
    c.end = {80.0, 50.75};
    c.start_alpha = 90.0;
    c.end_alpha = 15.5;
    c.power = 2.2;
    return c;
}

constexpr RampCase center_linear_both()
{
    RampCase c = with(kDefaults, "center-linear-color-alpha");
    c.type = 3;
    c.controlled_by = 2;
    c.center = {40.5, 20.25};
    c.length = 57.3;
    c.direction = 33.7;
    c.start_color = kOrange;
    c.end_color = kTeal;
    c.start_alpha = 80.0;
    c.end_alpha = 35.0;
    c.power = 0.37;
    return c;
}

constexpr RampCase center_linear2_steep()
{
    RampCase c = with(kDefaults, "center-linear2-steep");
    c.controlled_by = 2;
    c.shape = 2;
    c.center = {60.0, 33.0};
    c.length = 25.0;
    c.direction = 211.3;
    c.start_color = kTeal;
    c.end_color = kWhite;
    c.power = 3.7;
    return c;
}

constexpr RampCase center_radial_far()
{
    RampCase c = with(kDefaults, "center-radial-far");
    c.type = 3;
    c.controlled_by = 2;
    c.shape = 3;
    c.center = {-20.0, 70.0};
    c.length = 140.0;
    c.direction = -75.0;
    c.start_color = kBlack;
    c.end_color = kOrange;
    c.power = 7.5;
    return c;
}

// Directions on the axes, where the sine or cosine is a rounding residue
// (cos 90 degrees is about 6e-17, not 0): black to white makes such residues
// visible in float pixels.
constexpr RampCase center_linear_on_axis(const char* name, double direction)
{
    RampCase c = with(kDefaults, name);
    c.controlled_by = 2;
    c.center = {48.0, 30.0};
    c.length = 40.0;
    c.direction = direction;
    c.start_color = kBlack;
    c.end_color = kWhite;
    c.power = 1.5;
    return c;
}

constexpr RampCase kCases[] = {
    kDefaults,
    two_points_radial_alpha(),
    center_linear_both(),
    center_linear2_steep(),
    center_radial_far(),
    center_linear_on_axis("center-linear-90deg", 90.0),
    center_linear_on_axis("center-linear-180deg", 180.0),
};

}  // namespace

std::span<const RampCase> ramp_cases() { return kCases; }

}  // namespace velkor::hostcheck
