// Shared by the OpenFX tests: the built bundle loaded into the test host, random
// settings that both hosts can hold, and the same frame through the other
// host's module in the simulated host.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "ofxhost/ofx_host.h"
#include "params/param_table.h"
#include "ramp/pixel_traits.h"
#include "simhost/session.h"

#ifndef VELKOR_OFX_BUNDLE
#error "VELKOR_OFX_BUNDLE must name the built OpenFX bundle"
#endif

namespace velkor_test {

inline constexpr const char* kBundle = VELKOR_OFX_BUNDLE;

// One frame's controls in the other host's units: 1-based choices, points in
// layer pixels from the top left, colour bytes, percent.
struct Settings {
    int type = 1, controlled_by = 1, shape = 1;
    double points[3][2]{};
    double length = 300, direction = 90, start_alpha = 100, end_alpha = 0, power = 1;
    PF_Pixel colors[2]{};
};

// On the grid both hosts hold exactly: 1/65536 for points, angles and percent.
inline double on_grid(std::mt19937& rng, double lo, double hi)
{
    return std::round(std::uniform_real_distribution<double>(lo, hi)(rng) * 65536.0) / 65536.0;
}

inline Settings random_settings(std::mt19937& rng, int width, int height)
{
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(1, n)(rng); };
    Settings s;
    s.type = pick(3);
    s.controlled_by = pick(2);
    s.shape = pick(3);
    for (auto& p : s.points) {
        p[0] = on_grid(rng, -0.5 * width, 1.5 * width);
        p[1] = on_grid(rng, -0.5 * height, 1.5 * height);
    }
    s.length = on_grid(rng, 0, 2.0 * width);
    s.direction = on_grid(rng, -400, 400);
    s.start_alpha = on_grid(rng, 0, 100);
    s.end_alpha = on_grid(rng, 0, 100);
    const double powers[] = {1.0, 2.0, 0.5, on_grid(rng, 0.1, 10)};
    s.power = powers[pick(4) - 1];
    for (PF_Pixel& c : s.colors) {
        c = PF_Pixel{255, static_cast<A_u_char>(pick(256) - 1),
                     static_cast<A_u_char>(pick(256) - 1), static_cast<A_u_char>(pick(256) - 1)};
    }
    return s;
}

// The settings on an OpenFX instance of a frame `height` high: y measured up.
inline void apply(ofxhost::Host& host, ofxhost::Effect* fx, const Settings& s, double height)
{
    const char* points[] = {"startOfRamp", "endOfRamp", "center"};
    const char* colors[] = {"startColor", "endColor"};
    ASSERT_EQ(host.set_param(fx, "type", {s.type - 1.0}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "controlledBy", {s.controlled_by - 1.0}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "shape", {s.shape - 1.0}), kOfxStatOK);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(host.set_param(fx, points[i], {s.points[i][0], height - s.points[i][1]}),
                  kOfxStatOK);
    }
    for (int i = 0; i < 2; ++i) {
        const PF_Pixel& c = s.colors[i];
        ASSERT_EQ(host.set_param(fx, colors[i], {c.red / 255.0, c.green / 255.0, c.blue / 255.0}),
                  kOfxStatOK);
    }
    ASSERT_EQ(host.set_param(fx, "length", {s.length}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "direction", {s.direction}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "startAlpha", {s.start_alpha}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "endAlpha", {s.end_alpha}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "power", {s.power}), kOfxStatOK);
}

// The same settings on the other host's module.
inline void apply(simhost::Session& session, const Settings& s)
{
    ASSERT_TRUE(session.set_popup(velkor::kParamType, s.type));
    ASSERT_TRUE(session.set_popup(velkor::kParamControlledBy, s.controlled_by));
    ASSERT_TRUE(session.set_popup(velkor::kParamShape, s.shape));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(
            session.set_point(velkor::kParamStartPoint + i, s.points[i][0], s.points[i][1]));
    }
    ASSERT_TRUE(session.set_color(velkor::kParamStartColor, s.colors[0]));
    ASSERT_TRUE(session.set_color(velkor::kParamEndColor, s.colors[1]));
    ASSERT_TRUE(session.set_float(velkor::kParamLength, s.length));
    ASSERT_TRUE(session.set_angle(velkor::kParamDirection, s.direction));
    ASSERT_TRUE(session.set_percent(velkor::kParamStartAlpha, s.start_alpha));
    ASSERT_TRUE(session.set_percent(velkor::kParamEndAlpha, s.end_alpha));
    ASSERT_TRUE(session.set_float(velkor::kParamPower, s.power));
}

// A straight-alpha source of random pixels, in both hosts' layouts: OpenFX
// rows bottom-up RGBA, the other host's top-down ARGB.
template <class Rgba, class Argb, class Channel>
void fill_source(std::mt19937& rng, Channel lo, Channel hi, ofxhost::Frame& f, simhost::World& w)
{
    std::uniform_real_distribution<double> value(static_cast<double>(lo), static_cast<double>(hi));
    for (int y = 0; y < f.height(); ++y) {
        for (int x = 0; x < f.width(); ++x) {
            Rgba p{};
            p.red = static_cast<Channel>(value(rng));
            p.green = static_cast<Channel>(value(rng));
            p.blue = static_cast<Channel>(value(rng));
            p.alpha = static_cast<Channel>(value(rng));
            std::memcpy(f.pixel(x, f.height() - 1 - y), &p, sizeof p);
            w.template at<Argb>(x, y) = Argb{p.alpha, p.red, p.green, p.blue};
        }
    }
}

// "" when the OpenFX frame holds the other host's pixels, else the first difference.
template <class Rgba, class Argb>
std::string difference(const ofxhost::Frame& f, const simhost::World& w)
{
    if (f.width() != w.width() || f.height() != w.height()) return "sizes differ";
    for (int y = 0; y < w.height(); ++y) {
        for (int x = 0; x < w.width(); ++x) {
            Rgba p;
            std::memcpy(&p, f.pixel(f.bounds.x1 + x, f.bounds.y2 - 1 - y), sizeof p);
            const Argb& q = w.template at<Argb>(x, y);
            const Argb mine{p.alpha, p.red, p.green, p.blue};
            if (std::memcmp(&mine, &q, sizeof q) != 0) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                       ") from the top: " + std::to_string(+mine.alpha) + "," +
                       std::to_string(+mine.red) + "," + std::to_string(+mine.green) + "," +
                       std::to_string(+mine.blue) + " against " + std::to_string(+q.alpha) + "," +
                       std::to_string(+q.red) + "," + std::to_string(+q.green) + "," +
                       std::to_string(+q.blue);
            }
        }
    }
    return "";
}

}  // namespace velkor_test
