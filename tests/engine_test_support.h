// Helpers for the engine tests: a stand-in for the host's `pow` callback, pixel
// worlds of any layout, and an independent per-pixel model of the ramp that
// rendered frames are compared with bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <vector>

#include "host/host_interface.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_settings.h"
#include "ramp/world_view.h"

namespace velkor::test {

inline std::atomic<long> pow_calls{0};

inline double host_pow(double x, double y)
{
    pow_calls.fetch_add(1, std::memory_order_relaxed);
    return std::pow(x, y);
}

// The part of PF_InData that a render reaches: the utility callbacks' `pow`.
struct FakeHost {
    PF_UtilCallbacks utils{};
    PF_InData in_data{};

    FakeHost()
    {
        utils.ansi.pow = host_pow;
        in_data.utils = &utils;
    }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    RenderRecord record(const RampSettings& settings) const { return {&in_data, settings}; }
};

// White to black, alpha 100 % to 0 %, "Color", "Two Points" (0, 0) to (100, 0), "Linear", Power 1.
inline RampSettings basic_settings()
{
    return {1,
            1,
            {0.0, 0.0},
            {100.0, 0.0},
            {50.0, 50.0},
            100.0,
            1.5707963267948966,
            {1.0, 1.0, 1.0, 1.0},
            {1.0, 0.0, 0.0, 0.0},
            1.0,
            0.0,
            1,
            1.0};
}

inline RampSettings two_points(double x0, double y0, double x1, double y1, A_long shape)
{
    RampSettings s = basic_settings();
    s.start_point = {x0, y0};
    s.end_point = {x1, y1};
    s.shape = shape;
    return s;
}

inline RampSettings center_and_length(double cx, double cy, double degrees, double length,
                                      A_long shape)
{
    RampSettings s = basic_settings();
    s.controlled_by = 2;
    s.center = {cx, cy};
    s.direction = degrees * 0.017453292519943295;
    s.length = length;
    s.shape = shape;
    return s;
}

// t of pixel (x, y) before the power curve, from the settings alone.
inline double model_t(const RampSettings& s, A_long x, A_long y)
{
    double ox = 0.0, oy = 0.0, ax = 0.0, ay = 0.0, len = 1e-6;
    if (s.controlled_by == 1) {
        ox = s.start_point.x;
        oy = s.start_point.y;
        const double vx = s.end_point.x - s.start_point.x;
        const double vy = s.end_point.y - s.start_point.y;
        len = std::sqrt(vx * vx + vy * vy);
        if (len > 0.0) {
            ax = vx / len;
            ay = vy / len;
        }
        len = len < 1e-6 ? 1e-6 : len;
    } else if (s.controlled_by == 2) {
        ox = s.center.x;
        oy = s.center.y;
        ax = std::sin(s.direction);
        ay = -std::cos(s.direction);
        len = s.length < 1e-6 ? 1e-6 : s.length;
    }
    const double dx = static_cast<double>(x) - ox;
    const double dy = static_cast<double>(y) - oy;
    double along = 0.0;
    if (s.shape == 1) along = dx * ax + dy * ay;
    if (s.shape == 2) along = std::fabs(dx * ax + dy * ay);
    if (s.shape == 3) along = std::sqrt(dx * dx + dy * dy);
    const double t = along / len;
    return t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
}

template <class Channel>
Channel clamp_truncate(double v, double max)
{
    return v < 0.0 ? 0 : (v > max ? static_cast<Channel>(max) : static_cast<Channel>(v));
}

// Per depth: the pixel type, its depth class, the two conversions and a source
// of input channel values.
struct Depth8 {
    using Pixel = PF_Pixel;
    static constexpr DepthClass depth = DepthClass::eight;
    static A_u_char unit(double k) { return clamp_truncate<A_u_char>(k * 255.0 + 0.5, 255.0); }
    static A_u_char scaled(double a) { return clamp_truncate<A_u_char>(a + 0.5, 255.0); }
    static A_u_char channel(unsigned r) { return static_cast<A_u_char>(r % 256); }
};
struct Depth16 {
    using Pixel = PF_Pixel16;
    static constexpr DepthClass depth = DepthClass::sixteen;
    static A_u_short unit(double k)
    {
        return clamp_truncate<A_u_short>(k * 32768.0 + 0.5, 32768.0);
    }
    static A_u_short scaled(double a) { return clamp_truncate<A_u_short>(a + 0.5, 32768.0); }
    static A_u_short channel(unsigned r) { return static_cast<A_u_short>(r % 32769); }
};
struct DepthFloat {
    using Pixel = PF_PixelFloat;
    static constexpr DepthClass depth = DepthClass::floating;
    static float unit(double k) { return static_cast<float>(k); }
    static float scaled(double a) { return static_cast<float>(a); }
    // -0.5 .. 2.0, so that alphas outside 0..1 occur.
    static float channel(unsigned r) { return static_cast<float>(r % 2501) / 1000.0f - 0.5f; }
};

// What the output pixel at (x, y) must be, given the input pixel there.
template <class D>
typename D::Pixel model_pixel(const RampSettings& s, A_long x, A_long y,
                              const typename D::Pixel& in)
{
    const double t = std::pow(model_t(s, x, y), s.power);
    typename D::Pixel out = in;
    if (s.type == 1 || s.type == 3) {
        out.red = D::unit(s.start_color.red + (s.end_color.red - s.start_color.red) * t);
        out.green = D::unit(s.start_color.green + (s.end_color.green - s.start_color.green) * t);
        out.blue = D::unit(s.start_color.blue + (s.end_color.blue - s.start_color.blue) * t);
    }
    if (s.type == 2 || s.type == 3) {
        out.alpha = D::scaled((t * (s.end_alpha - s.start_alpha) + s.start_alpha) *
                              static_cast<double>(in.alpha));
    }
    return out;
}

// A host world over its own memory, every byte preset to `fill`. `pad` extra
// bytes end each row; a bottom-up world has a negative row stride, its data
// pointing at row 0, which lies last in memory.
template <class Pixel>
class TestWorld {
public:
    TestWorld(A_long width, A_long height, std::size_t pad = 0, bool bottom_up = false,
              unsigned char fill = 0xA5)
        : stride_(width * sizeof(Pixel) + pad),
          bytes_(stride_ * static_cast<std::size_t>(height), fill)
    {
        world.width = width;
        world.height = height;
        world.rowbytes = static_cast<A_long>(stride_) * (bottom_up ? -1 : 1);
        world.data =
            reinterpret_cast<PF_PixelPtr>(bytes_.data() + (bottom_up ? (height - 1) * stride_ : 0));
    }
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    Pixel& at(A_long x, A_long y)
    {
        auto* row =
            reinterpret_cast<unsigned char*>(world.data) + std::ptrdiff_t{y} * world.rowbytes;
        return reinterpret_cast<Pixel*>(row)[x];
    }
    WorldView view(DepthClass depth) { return {depth, &world}; }
    const std::vector<unsigned char>& bytes() const { return bytes_; }

    template <class Fn>
    void for_each(Fn fn)
    {
        for (A_long y = 0; y < world.height; ++y)
            for (A_long x = 0; x < world.width; ++x) fn(x, y, at(x, y));
    }

    // Whether the bytes after the last pixel of every row still hold `fill`.
    bool padding_holds(unsigned char fill) const
    {
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            if (i % stride_ >= world.width * sizeof(Pixel) && bytes_[i] != fill) return false;
        }
        return true;
    }

    PF_EffectWorld world{};

private:
    std::size_t stride_;
    std::vector<unsigned char> bytes_;
};

template <class Pixel>
::testing::AssertionResult same_bits(const Pixel& actual, const Pixel& expected)
{
    if (std::memcmp(&actual, &expected, sizeof(Pixel)) == 0) return ::testing::AssertionSuccess();
    const auto text = [](const Pixel& p) {
        std::ostringstream out;
        out << std::setprecision(9) << "(" << +p.alpha << ", " << +p.red << ", " << +p.green << ", "
            << +p.blue << ")";
        return out.str();
    };
    return ::testing::AssertionFailure()
           << "got " << text(actual) << ", expected " << text(expected);
}

// Every pixel of `actual` has the bits of the same pixel of `expected`.
template <class Pixel>
::testing::AssertionResult same_frame(TestWorld<Pixel>& actual, TestWorld<Pixel>& expected)
{
    for (A_long y = 0; y < actual.world.height; ++y) {
        for (A_long x = 0; x < actual.world.width; ++x) {
            if (auto r = same_bits(actual.at(x, y), expected.at(x, y)); !r) {
                return r << " at pixel (" << x << ", " << y << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace velkor::test
