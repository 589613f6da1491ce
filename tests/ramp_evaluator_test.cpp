// Ramp geometry: the ramp parameter t of named pixels in both placement modes
// and every shape, the degenerate ramps, and the power curve.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>
#include <memory>
#include <utility>

#include "engine_test_support.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_renderer.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

using test::center_and_length;
using test::FakeHost;
using test::two_points;

constexpr A_long kLinear = 1, kLinear2 = 2, kRadial = 3;

struct NamedPixel {
    const char* what;
    RampSettings settings;
    A_long x, y;
    double t;
};

void PrintTo(const NamedPixel& p, std::ostream* os) { *os << p.what; }

// A test name from a case's description: its words capitalised and joined,
// a minus sign spelled out.
std::string case_name(const char* what)
{
    std::string name;
    bool word_start = true;
    for (const char* c = what; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) {
            name +=
                word_start ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
            word_start = false;
        } else {
            if (*c == '-') name += "Minus";
            word_start = true;
        }
    }
    return name;
}

template <class Case>
std::string described(const ::testing::TestParamInfo<Case>& info)
{
    return case_name(info.param.what);
}

class RampPositionOfNamedPixels : public ::testing::TestWithParam<NamedPixel> {};

TEST_P(RampPositionOfNamedPixels, IsExact)
{
    FakeHost host;
    const NamedPixel& p = GetParam();
    const RampEvaluator evaluator(host.record(p.settings));
    EXPECT_EQ(evaluator.ramp_position(p.x, p.y), p.t) << p.what;
    EXPECT_EQ(evaluator.shaped_position(p.x, p.y), p.t) << p.what << " with Power 1";
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, RampPositionOfNamedPixels,
    ::testing::Values(
        NamedPixel{"two points, linear, halfway", two_points(0, 0, 100, 0, kLinear), 50, 7, 0.5},
        NamedPixel{"two points, linear, behind start", two_points(0, 0, 100, 0, kLinear), -3, 40,
                   0.0},
        NamedPixel{"two points, linear, beyond end", two_points(0, 0, 100, 0, kLinear), 150, 0,
                   1.0},
        NamedPixel{"two points, linear 2, behind start", two_points(0, 0, 100, 0, kLinear2), -50, 9,
                   0.5},
        NamedPixel{"two points, radial", two_points(0, 0, 100, 0, kRadial), 30, 40, 0.5},
        NamedPixel{"two points, radial, outside", two_points(0, 0, 100, 0, kRadial), 80, -80, 1.0},
        NamedPixel{"two points, downwards", two_points(20, 0, 20, 8, kLinear), -7, 6, 0.75},
        NamedPixel{"center, 90 deg, linear", center_and_length(50, 50, 90, 100, kLinear), 100, 50,
                   0.5},
        NamedPixel{"center, 90 deg, linear, left", center_and_length(50, 50, 90, 100, kLinear), 0,
                   50, 0.0},
        NamedPixel{"center, 90 deg, linear 2", center_and_length(50, 50, 90, 100, kLinear2), 0, 50,
                   0.5},
        NamedPixel{"center, radial, any direction", center_and_length(50, 50, 37, 100, kRadial), 80,
                   90, 0.5},
        NamedPixel{"center, 180 deg", center_and_length(50, 50, 180, 100, kLinear), 50, 100, 0.5}),
    described<NamedPixel>);

// t over a patch of pixels around (5, 5) for ramps that degenerate there.
struct DegenerateRamp {
    const char* what;
    RampSettings settings;
    std::function<double(A_long x, A_long y)> t;
};

void PrintTo(const DegenerateRamp& ramp, std::ostream* os) { *os << ramp.what; }

class DegenerateRamps : public ::testing::TestWithParam<DegenerateRamp> {};

TEST_P(DegenerateRamps, HaveTheExpectedTEverywhere)
{
    FakeHost host;
    const RampEvaluator evaluator(host.record(GetParam().settings));
    EXPECT_GE(evaluator.ramp_length(), 1e-6);
    for (A_long y = -3; y <= 12; ++y) {
        for (A_long x = -3; x <= 12; ++x) {
            EXPECT_EQ(evaluator.ramp_position(x, y), GetParam().t(x, y))
                << GetParam().what << " at " << x << ", " << y;
        }
    }
}

const auto on_point = [](A_long x, A_long y) { return x == 5 && y == 5 ? 0.0 : 1.0; };
const auto zero = [](A_long, A_long) { return 0.0; };

INSTANTIATE_TEST_SUITE_P(
    PointsAndLengths, DegenerateRamps,
    ::testing::Values(
        // Direction 0 points to the top: t grows upwards and is 0 at or below Center.
        DegenerateRamp{"direction 0", center_and_length(5, 5, 0, 4, kLinear),
                       [](A_long, A_long y) {
                           return y >= 5 ? 0.0 : (y <= 1 ? 1.0 : (5.0 - y) / 4.0);
                       }},
        DegenerateRamp{"coinciding points, linear", two_points(5, 5, 5, 5, kLinear), zero},
        DegenerateRamp{"coinciding points, linear 2", two_points(5, 5, 5, 5, kLinear2), zero},
        DegenerateRamp{"coinciding points, radial", two_points(5, 5, 5, 5, kRadial), on_point},
        DegenerateRamp{"coinciding points between pixels", two_points(5.5, 5, 5.5, 5, kRadial),
                       [](A_long, A_long) { return 1.0; }},
        // Direction 0 again, whose axis is exactly (0, -1).
        DegenerateRamp{"length 0, linear", center_and_length(5, 5, 0, 0, kLinear),
                       [](A_long, A_long y) { return y >= 5 ? 0.0 : 1.0; }},
        DegenerateRamp{"length 0, linear 2", center_and_length(5, 5, 0, 0, kLinear2),
                       [](A_long, A_long y) { return y == 5 ? 0.0 : 1.0; }},
        DegenerateRamp{"length 0, radial", center_and_length(5, 5, 0, 0, kRadial), on_point},
        DegenerateRamp{"unknown shape 0", two_points(5, 5, 9, 0, 0), zero},
        DegenerateRamp{"unknown shape after the choices",
                       center_and_length(5, 5, 90, 3, kUnknownShape), zero},
        DegenerateRamp{"unknown shape -1", two_points(0, 0, 1, 1, -1), zero}),
    described<DegenerateRamp>);

TEST(RampPosition, IsZeroOnTheOriginPixelInEveryShape)
{
    FakeHost host;
    for (A_long shape : {kLinear, kLinear2, kRadial}) {
        for (const RampSettings& s :
             {two_points(7, 3, 20, 11, shape), center_and_length(7, 3, 33, 10, shape)}) {
            EXPECT_EQ(RampEvaluator(host.record(s)).ramp_position(7, 3), 0.0) << "shape " << shape;
        }
    }
}

TEST(ShapedPosition, RaisesTheClampedPositionToThePowerThroughTheHost)
{
    FakeHost host;
    RampSettings squared = two_points(0, 0, 100, 0, kLinear);
    squared.power = 2.0;
    const RampEvaluator evaluator(host.record(squared));
    const long calls_before = test::pow_calls.load();
    EXPECT_EQ(evaluator.shaped_position(50, 7), 0.25);
    EXPECT_EQ(evaluator.shaped_position(-10, 0), 0.0);
    EXPECT_EQ(evaluator.shaped_position(170, 0), 1.0);
    EXPECT_EQ(test::pow_calls.load() - calls_before, 3);

    RampSettings root = two_points(0, 0, 7, 0, kRadial);
    root.power = 0.37;
    EXPECT_EQ(RampEvaluator(host.record(root)).shaped_position(3, 2),
              std::pow(std::sqrt(13.0) / 7.0, 0.37));
}

TEST(RampEvaluator, CopiesAndHoldersCarryTheWholeGeometry)
{
    FakeHost host;
    const RampEvaluator original(host.record(center_and_length(3, 4, 30, 12, kLinear2)));
    const RampEvaluator copied(original);
    RampEvaluatorHolder holder(std::make_unique<RampEvaluator>(original));
    RampEvaluatorHolder overwritten(
        std::make_unique<RampEvaluator>(host.record(two_points(0, 0, 1, 0, kRadial))));
    holder.copy_into(overwritten);
    const auto clone = holder.clone();
    ASSERT_NE(&clone->get(), &holder.get());
    for (const RampEvaluator* e :
         {&copied, &std::as_const(overwritten.get()), &std::as_const(clone->get())}) {
        for (A_long x = -4; x < 20; x += 3)
            EXPECT_EQ(e->ramp_position(x, x), original.ramp_position(x, x));
    }
}

}  // namespace
}  // namespace velkor
