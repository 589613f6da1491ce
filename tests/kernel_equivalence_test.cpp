// The fast kernels must draw exactly the bits of the reference path (one
// evaluator query and one host pow call per pixel) for any settings, frame,
// stride, origin and rectangle, at every depth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "params/param_table.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_kernels.h"
#include "ramp/ramp_shape.h"

namespace velkor {

// Parameter values as the test runner prints them beside each test's name.
void PrintTo(KernelPath path, std::ostream* os)
{
    *os << (path == KernelPath::avx2 ? "avx2" : "baseline");
}
void PrintTo(OutputStores stores, std::ostream* os)
{
    *os << (stores == OutputStores::streaming ? "streaming" : "by size");
}
void PrintTo(DepthClass depth, std::ostream* os)
{
    *os << (depth == DepthClass::eight     ? "8-bit"
            : depth == DepthClass::sixteen ? "16-bit"
                                           : "float");
}

namespace {

A_FpLong host_pow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }

struct Frame {
    std::vector<std::uint8_t> memory;
    PF_EffectWorld world{};
};

// A world of w x h pixels whose rows are `pad` bytes longer than needed and,
// when `bottom_up`, stored from the last row of memory upwards.
Frame make_frame(std::mt19937& rng, DepthClass depth, A_long w, A_long h, A_long pad,
                 bool bottom_up)
{
    const std::size_t px = depth == DepthClass::eight ? 4 : depth == DepthClass::sixteen ? 8 : 16;
    const A_long row_bytes = static_cast<A_long>(w * static_cast<A_long>(px) + pad);
    Frame f;
    f.memory.resize(static_cast<std::size_t>(row_bytes) * static_cast<std::size_t>(h) + 16);
    for (auto& b : f.memory) b = static_cast<std::uint8_t>(rng());
    if (depth == DepthClass::floating) {
        // Floats spread over -0.5..2 (alphas outside 0..1 too), with now and
        // then a zero of either sign, an infinity or a NaN of some payload.
        std::uniform_real_distribution<float> v(-0.5f, 2.0f);
        const float odd[] = {0.0f,
                             -0.0f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::nanf(""),
                             -std::nanf("")};
        auto* p = reinterpret_cast<float*>(f.memory.data());
        for (std::size_t i = 0; i < f.memory.size() / 4; ++i) {
            if (rng() % 16 != 0) {
                p[i] = v(rng);
            } else if (rng() % 2 == 0) {
                p[i] = odd[rng() % 6];
            } else {
                // A NaN, quiet or signalling, with a payload of its own.
                const std::uint32_t nan = 0x7F800001u | (rng() & 0x807FFFFFu);
                std::memcpy(&p[i], &nan, sizeof nan);
            }
        }
    } else if (depth == DepthClass::sixteen) {
        std::uniform_int_distribution<int> v(0, 32768);
        auto* p = reinterpret_cast<std::uint16_t*>(f.memory.data());
        for (std::size_t i = 0; i < f.memory.size() / 2; ++i)
            p[i] = static_cast<std::uint16_t>(v(rng));
    }
    f.world.width = w;
    f.world.height = h;
    f.world.rowbytes = bottom_up ? -row_bytes : row_bytes;
    std::uint8_t* first_row =
        f.memory.data() + (bottom_up ? static_cast<std::size_t>(row_bytes) * (h - 1) : 0);
    f.world.data = reinterpret_cast<PF_Pixel*>(first_row);
    return f;
}

// Any settings a settings record can hold from the controls, in range or not:
// popups outside their choices, Length and Power anywhere a float can be (zero
// of either sign, negative, infinite, NaN). Colours and alphas stay finite, as
// the controls make them (bytes / 255 and 16.16 percents).
RampSettings random_settings(std::mt19937& rng)
{
    std::uniform_real_distribution<double> coord(-40.0, 120.0);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> pick(0, 9);
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kSignallingNaN = std::numeric_limits<double>::signaling_NaN();
    RampSettings s{};
    s.type = std::uniform_int_distribution<A_long>(0, 4)(rng);
    s.controlled_by = std::uniform_int_distribution<A_long>(0, 3)(rng);
    s.shape = std::uniform_int_distribution<A_long>(0, kUnknownShape)(rng);
    // Points on 16.16 positions, as the host gives them; often on whole pixels,
    // so that a pixel lies exactly on the origin and its t is a zero.
    auto fixed = [&] {
        const double v = coord(rng);
        return pick(rng) < 4 ? std::round(v) : std::round(v * 65536.0) / 65536.0;
    };
    s.start_point = {fixed(), fixed()};
    s.end_point = {fixed(), fixed()};
    switch (pick(rng)) {
    case 0:
        s.end_point.y = s.start_point.y;
        break;  // horizontal
    case 1:
        s.end_point.x = s.start_point.x;
        break;  // vertical
    case 2:
        s.end_point = s.start_point;
        break;  // coinciding
    default:
        break;
    }
    s.center = {fixed(), fixed()};
    const double lengths[] = {0.0, -0.0, -5.0, kInf, kNaN, 1e-300};
    s.length = pick(rng) < 2 ? lengths[pick(rng) % 6]
                             : std::uniform_real_distribution<double>(0.5, 200.0)(rng);
    // Whole quarter turns give an axis with a zero component: a ramp along a
    // row or a column.
    const double degrees[] = {0.0, 90.0, 180.0, -90.0, 270.0, 45.0, 33.3, 720.0};
    s.direction = (pick(rng) < 5 ? degrees[pick(rng) % 8]
                                 : std::uniform_real_distribution<double>(-400.0, 400.0)(rng)) *
                  0.017453292519943295;
    s.start_color = {byte(rng) / 255.0, byte(rng) / 255.0, byte(rng) / 255.0, byte(rng) / 255.0};
    s.end_color = pick(rng) == 0 ? s.start_color
                                 : Color4{byte(rng) / 255.0, byte(rng) / 255.0, byte(rng) / 255.0,
                                          byte(rng) / 255.0};
    s.start_alpha = std::uniform_real_distribution<double>(-0.3, 1.3)(rng);
    s.end_alpha =
        pick(rng) < 2 ? s.start_alpha : std::uniform_real_distribution<double>(-0.3, 1.3)(rng);
    // Powers outside the control's range too. Exactly 0 makes pow(+0, 0) = 1;
    // odd negative integers make pow(-0, p) = -inf but pow(+0, p) = +inf; the
    // infinities, NaNs (of either sign) and 1 itself each have rules of their
    // own, and pow(1, NaN) is 1 for a quiet NaN but NaN for a signalling one.
    const double powers[] = {1.0,  2.2,  0.01, 100.0, 0.5,   2.0,  -1.5,  kNaN,          0.0,
                             -0.0, -1.0, -3.0, 3.0,   -kInf, kInf, -kNaN, kSignallingNaN};
    s.power = pick(rng) < 8 ? powers[std::uniform_int_distribution<int>(0, 16)(rng)]
                            : std::uniform_real_distribution<double>(0.01, 10.0)(rng);
    return s;
}

// Bit patterns, so that a difference in the last bit, or in the sign of a zero,
// is a difference.
std::uint64_t bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::string path_name(KernelPath path) { return path == KernelPath::avx2 ? "Avx2" : "Baseline"; }

// Each path is tested on its own; one the processor lacks is skipped, not
// silently replaced by the baseline.
void skip_unless_available(KernelPath path)
{
    if (path == KernelPath::avx2 && widest_kernel_path() != KernelPath::avx2) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
}

class ShapedPositions : public ::testing::TestWithParam<KernelPath> {};

TEST_P(ShapedPositions, RunsGiveTheEvaluatorsBitsPixelByPixel)
{
    const KernelPath path = GetParam();
    skip_unless_available(path);
    PF_UtilCallbacks utils{};
    utils.ansi.pow = host_pow;
    PF_InData in_data{};
    in_data.utils = &utils;

    std::mt19937 rng(7u);
    for (int round = 0; round < 300; ++round) {
        const RampSettings settings = random_settings(rng);
        const RampEvaluator evaluator(RenderRecord{&in_data, settings});
        for (A_long y = -3; y < 60; y += 7) {
            constexpr A_long kRun = 150;
            double run[kRun];
            evaluator.shaped_positions(-20, y, kRun, run, path);
            for (A_long i = 0; i < kRun; ++i) {
                ASSERT_EQ(bits(run[i]), bits(evaluator.shaped_position(-20 + i, y)))
                    << "round " << round << ", pixel (" << -20 + i << ", " << y << "), shape "
                    << settings.shape << ", power " << settings.power;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, ShapedPositions,
                         ::testing::Values(KernelPath::baseline, KernelPath::avx2),
                         [](const ::testing::TestParamInfo<KernelPath>& path) {
                             return path_name(path.param);
                         });

// Each path with the output stored by its size (through the caches, for
// frames this small) and past the caches wherever the path can.
class KernelEquivalence
    : public ::testing::TestWithParam<std::tuple<DepthClass, KernelPath, OutputStores>> {};

TEST_P(KernelEquivalence, FastPathDrawsTheReferenceBits)
{
    const auto [depth, path, stores] = GetParam();
    skip_unless_available(path);
    PF_UtilCallbacks utils{};
    utils.ansi.pow = host_pow;
    PF_InData in_data{};
    in_data.utils = &utils;

    std::mt19937 rng(20261208u + static_cast<unsigned>(depth));
    for (int round = 0; round < 400; ++round) {
        RampSettings settings = random_settings(rng);
        const A_long w = std::uniform_int_distribution<A_long>(1, round % 10 == 0 ? 600 : 70)(rng);
        const A_long h = std::uniform_int_distribution<A_long>(1, 40)(rng);
        // Padding in whole channels, not only whole pixels.
        const A_long pad = std::uniform_int_distribution<A_long>(0, 12)(rng) *
                           static_cast<A_long>(channel_alignment(depth));
        const bool bottom_up = rng() % 3 == 0;
        rebase_ramp_points(settings, std::uniform_int_distribution<A_long>(-30, 30)(rng),
                           std::uniform_int_distribution<A_long>(-30, 30)(rng));

        Frame input = make_frame(rng, depth, w, h, pad, bottom_up);
        Frame fast = make_frame(rng, depth, w, h, pad, !bottom_up);
        Frame reference = fast;
        reference.world.data = reinterpret_cast<PF_Pixel*>(
            reference.memory.data() +
            (reinterpret_cast<std::uint8_t*>(fast.world.data) - fast.memory.data()));

        const PF_Rect rect{std::uniform_int_distribution<A_long>(-5, w)(rng),
                           std::uniform_int_distribution<A_long>(-5, h)(rng),
                           std::uniform_int_distribution<A_long>(0, w + 5)(rng),
                           std::uniform_int_distribution<A_long>(0, h + 5)(rng)};

        const RampEvaluator evaluator(RenderRecord{&in_data, settings});
        render_ramp(evaluator, {depth, &input.world}, {depth, &fast.world}, rect, path, stores);
        render_ramp_reference(evaluator, {depth, &input.world}, {depth, &reference.world}, rect);
        ASSERT_EQ(fast.memory, reference.memory)
            << "round " << round << ": type " << settings.type << ", placement "
            << settings.controlled_by << ", shape " << settings.shape << ", power "
            << settings.power << ", " << w << "x" << h << (bottom_up ? " bottom-up" : "");
    }
}

// The places where only the sign of a zero or the choice of a NaN tells the
// paths apart, each met on purpose: ramps along a row or a column whose origin
// lies on a pixel (t is -0 or +0 there, by the side of the other coordinate),
// coinciding points (the zero axis makes t a signed zero everywhere), Powers
// that turn those zeros into infinities of either sign or into 1, and float
// inputs whose alpha is a NaN of its own payload.
TEST_P(KernelEquivalence, SignedZerosAndNaNsAlongAxisAlignedRamps)
{
    const auto [depth, path, stores] = GetParam();
    skip_unless_available(path);
    PF_UtilCallbacks utils{};
    utils.ansi.pow = host_pow;
    PF_InData in_data{};
    in_data.utils = &utils;
    constexpr double kInf = std::numeric_limits<double>::infinity();

    std::mt19937 rng(99u + static_cast<unsigned>(depth));
    constexpr A_long w = 13, h = 9;
    Frame input = make_frame(rng, depth, w, h, 0, false);
    if (depth == DepthClass::floating) {
        // Every third alpha a NaN with a payload of its own.
        for (A_long i = 0; i < w * h; i += 3) {
            const std::uint32_t nan =
                0x7FC00000u | (static_cast<std::uint32_t>(i) * 977u & 0x3FFFFFu);
            std::memcpy(input.memory.data() + static_cast<std::size_t>(i) * 16, &nan, sizeof nan);
        }
    }
    struct Placement {
        const char* name;
        A_long controlled_by;
        Vector2 start;
        Vector2 end;
        double degrees;
    };
    const Placement placements[] = {
        {"along a row", 1, {6.0, 4.0}, {11.0, 4.0}, 0.0},
        {"along a row, leftwards", 1, {6.0, 4.0}, {1.0, 4.0}, 0.0},
        {"along a column", 1, {6.0, 4.0}, {6.0, 8.0}, 0.0},
        {"along a column, upwards", 1, {6.0, 4.0}, {6.0, 0.0}, 0.0},
        {"coinciding points", 1, {6.0, 4.0}, {6.0, 4.0}, 0.0},
        {"from the centre upwards", 2, {6.0, 4.0}, {0.0, 0.0}, 0.0},
        {"from the centre downwards", 2, {6.0, 4.0}, {0.0, 0.0}, 180.0},
    };
    for (const Placement& placement : placements) {
        for (const double power : {-1.0, -3.0, 3.0, 1.0, 0.0, -0.0, -2.0, -kInf, kInf,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::signaling_NaN()}) {
            for (const A_long shape : {kShapeLinear, kShapeLinear2}) {
                for (const A_long type : {kTypeColor, kTypeAlpha, kTypeColorAndAlpha}) {
                    RampSettings s{};
                    s.type = type;
                    s.controlled_by = placement.controlled_by;
                    s.start_point = placement.start;
                    s.end_point = placement.end;
                    s.center = placement.start;
                    s.length = 5.0;
                    s.direction = placement.degrees * 0.017453292519943295;
                    s.start_color = {1.0, 0.2, 0.4, 0.0};
                    s.end_color = {1.0, 0.6, 0.4, 1.0};
                    s.start_alpha = 0.5;
                    // Equal alphas make the alpha factor inf x 0, a NaN, where
                    // t' is infinite.
                    s.end_alpha = type == kTypeColorAndAlpha ? 0.5 : 1.0;
                    s.shape = shape;
                    s.power = power;
                    // The whole frame and a band that starts on the origin's
                    // row and column.
                    for (const PF_Rect rect : {PF_Rect{0, 0, w, h}, PF_Rect{6, 4, w, h}}) {
                        Frame fast = make_frame(rng, depth, w, h, 0, false);
                        Frame reference = fast;
                        reference.world.data = reinterpret_cast<PF_Pixel*>(reference.memory.data());
                        const RampEvaluator evaluator(RenderRecord{&in_data, s});
                        render_ramp(evaluator, {depth, &input.world}, {depth, &fast.world}, rect,
                                    path, stores);
                        render_ramp_reference(evaluator, {depth, &input.world},
                                              {depth, &reference.world}, rect);
                        ASSERT_EQ(fast.memory, reference.memory)
                            << placement.name << ", power " << power << ", shape " << shape
                            << ", type " << type << ", rect from " << rect.left << ", " << rect.top;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllDepths, KernelEquivalence,
    ::testing::Combine(::testing::Values(DepthClass::eight, DepthClass::sixteen,
                                         DepthClass::floating),
                       ::testing::Values(KernelPath::baseline, KernelPath::avx2),
                       ::testing::Values(OutputStores::by_size, OutputStores::streaming)),
    [](const ::testing::TestParamInfo<std::tuple<DepthClass, KernelPath, OutputStores>>&
           param_info) {
        const DepthClass depth = std::get<0>(param_info.param);
        const std::string depth_name = depth == DepthClass::eight     ? "Eight"
                                       : depth == DepthClass::sixteen ? "Sixteen"
                                                                      : "Float";
        return depth_name + path_name(std::get<1>(param_info.param)) +
               (std::get<2>(param_info.param) == OutputStores::streaming ? "Streaming" : "");
    });

}  // namespace
}  // namespace velkor
