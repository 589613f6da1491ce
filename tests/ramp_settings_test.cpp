// The settings record as filled from checked-out control values, and the move
// of its points into a buffer's pixel grid.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <utility>

#include "ramp/ramp_settings.h"

namespace velkor {
namespace {

PF_Fixed fixed(double v) { return static_cast<PF_Fixed>(v * 65536.0); }

// The controls as a host reports them at checkout; points are in layer pixels.
ParamValues checked_out()
{
    ParamValues p;
    std::memset(p.data(), 0, sizeof(PF_ParamDef) * p.size());
    p[1].u.pd.value = 1;
    p[2].u.pd.value = 1;
    p[3].u.td = {fixed(0), fixed(240), {}, 0, 0, 0};
    p[4].u.td = {fixed(640), fixed(240), {}, 0, 0, 0};
    p[5].u.td = {fixed(320), fixed(240), {}, 0, 0, 0};
    p[6].u.fs_d.value = 300.0;
    p[7].u.ad.value = fixed(90);
    p[8].u.cd.value = {255, 255, 255, 255};
    p[9].u.cd.value = {255, 0, 0, 0};
    p[10].u.fd.value = fixed(100);
    p[12].u.pd.value = 1;
    p[13].u.fs_d.value = 1.0;
    return p;
}

RampSettings filled(const ParamValues& p, PF_RationalScale downsample_x = {1, 1})
{
    RampSettings s;
    fill_ramp_settings(p, downsample_x, s);
    return s;
}

TEST(FillRampSettings, ConvertsEveryControlIntoTheRampUnits)
{
    ParamValues p = checked_out();
    p[1].u.pd.value = 3;
    p[2].u.pd.value = 2;
    p[3].u.td.x_value = 98304;
    p[3].u.td.y_value = -655360 - 16384;
    p[5].u.td.x_value = 1;
    p[6].u.fs_d.value = 123.25;
    p[8].u.cd.value = {255, 128, 0, 1};
    p[10].u.fd.value = fixed(50);
    p[11].u.fd.value = fixed(57);
    p[12].u.pd.value = 3;
    p[13].u.fs_d.value = 2.5;
    const RampSettings s = filled(p);

    EXPECT_EQ(s.type, 3);
    EXPECT_EQ(s.controlled_by, 2);
    EXPECT_EQ(s.start_point.x, 1.5);
    EXPECT_EQ(s.start_point.y, -10.25);
    EXPECT_EQ(s.end_point.x, 640.0);
    EXPECT_EQ(s.end_point.y, 240.0);
    EXPECT_EQ(s.center.x, 1.0 / 65536.0);
    EXPECT_EQ(s.center.y, 240.0);
    EXPECT_EQ(s.length, 123.25);
    EXPECT_EQ(s.direction, 1.5707963267948966);
    EXPECT_EQ(s.start_color.alpha, 1.0);
    EXPECT_EQ(s.start_color.red, 0.5019607843137255);
    EXPECT_EQ(s.start_color.green, 0.0);
    EXPECT_EQ(s.start_color.blue, 1.0 / 255.0);
    EXPECT_EQ(s.end_color.alpha, 1.0);
    EXPECT_EQ(s.end_color.red, 0.0);
    EXPECT_EQ(s.start_alpha, 0.5);
    EXPECT_EQ(s.end_alpha, 57.0 * 0.01);
    EXPECT_EQ(s.shape, 3);
    EXPECT_EQ(double{s.power}, 2.5);  // a copy: the packed field is not 8-byte aligned

    const RampSettings defaults = filled(checked_out());
    EXPECT_EQ(defaults.start_alpha, 1.0);
    EXPECT_EQ(defaults.end_alpha, 0.0);
}

TEST(FillRampSettings, EveryColorByteBecomesItsFractionOf255InPixelOrder)
{
    ParamValues p = checked_out();
    for (int k = 0; k < 256; ++k) {
        const auto b = [](int v) { return static_cast<A_u_char>(v); };
        p[8].u.cd.value = {b(k), b(255 - k), b(k / 2), b(k / 3)};
        p[9].u.cd.value = {b(k / 5), b(k / 7), b(255 - k), b(k)};
        const RampSettings s = filled(p);
        const Color4 start = s.start_color, end = s.end_color;
        EXPECT_TRUE(start.alpha == k / 255.0 && start.red == (255 - k) / 255.0 &&
                    start.green == (k / 2) / 255.0 && start.blue == (k / 3) / 255.0)
            << "byte " << k;
        EXPECT_TRUE(end.alpha == (k / 5) / 255.0 && end.red == (k / 7) / 255.0 &&
                    end.green == (255 - k) / 255.0 && end.blue == k / 255.0)
            << "byte " << k;
    }
}

TEST(FillRampSettings, DirectionIsDegreesTimesPiOver180Unwrapped)
{
    ParamValues p = checked_out();
    for (const auto& [fixed_degrees, radians] :
         {std::pair{fixed(90), 1.5707963267948966}, std::pair{fixed(-90), -1.5707963267948966},
          std::pair{fixed(180), 3.141592653589793},
          std::pair{fixed(450), 450.0 * 0.017453292519943295},
          std::pair{-3276833, (-3276833 / 65536.0) * 0.017453292519943295}}) {
        p[7].u.ad.value = fixed_degrees;
        EXPECT_EQ(filled(p).direction, radians) << fixed_degrees;
    }
}

TEST(FillRampSettings, OnlyTheHorizontalDownsampleScalesAndOnlyTheLength)
{
    ParamValues p = checked_out();
    p[6].u.fs_d.value = 1.25;
    EXPECT_EQ(filled(p, {1, 1}).length, 1.25);
    EXPECT_EQ(filled(p, {1, 2}).length, 0.625);
    EXPECT_EQ(filled(p, {2, 3}).length, 1.25 * (2.0 / 3.0));
    EXPECT_EQ(filled(p, {-1, 2147483648u}).length, 1.25 * (-1.0 / 2147483648.0));

    const RampSettings half = filled(p, {1, 2});
    EXPECT_EQ(half.start_point.y, 240.0);
    EXPECT_EQ(half.end_point.x, 640.0);
    EXPECT_EQ(half.center.x, 320.0);
    EXPECT_EQ(half.direction, 1.5707963267948966);
}

TEST(FillRampSettings, CarriesPopupValuesUncheckedAndKeepsNothingOfTheOldRecord)
{
    ParamValues p = checked_out();
    p[1].u.pd.value = 7;
    p[2].u.pd.value = 0;
    p[12].u.pd.value = -2;
    RampSettings dirty, clean;
    std::memset(&dirty, 0xCD, sizeof dirty);
    fill_ramp_settings(p, {1, 1}, dirty);
    std::memset(&clean, 0, sizeof clean);
    fill_ramp_settings(p, {1, 1}, clean);
    EXPECT_EQ(dirty.type, 7);
    EXPECT_EQ(dirty.controlled_by, 0);
    EXPECT_EQ(dirty.shape, -2);
    EXPECT_EQ(std::memcmp(&dirty, &clean, sizeof dirty), 0);
}

TEST(RebaseRampPoints, SubtractsTheBufferOriginFromTheThreePointsOnly)
{
    ParamValues p = checked_out();
    p[3].u.td.x_value = p[3].u.td.y_value = fixed(100);
    p[4].u.td.x_value = fixed(-4.5);
    p[5].u.td.y_value = fixed(20);
    const RampSettings before = filled(p);
    RampSettings s = before;
    rebase_ramp_points(s, 10, 20);
    EXPECT_EQ(s.start_point.x, 90.0);
    EXPECT_EQ(s.start_point.y, 80.0);
    EXPECT_EQ(s.end_point.x, -14.5);
    EXPECT_EQ(s.end_point.y, 220.0);
    EXPECT_EQ(s.center.x, 310.0);
    EXPECT_EQ(s.center.y, 0.0);
    const auto* a = reinterpret_cast<const unsigned char*>(&s);
    const auto* b = reinterpret_cast<const unsigned char*>(&before);
    const std::size_t rest = offsetof(RampSettings, length);
    EXPECT_EQ(std::memcmp(a, b, offsetof(RampSettings, start_point)), 0);
    EXPECT_EQ(std::memcmp(a + rest, b + rest, sizeof(RampSettings) - rest), 0);

    rebase_ramp_points(s, -5, 3);
    EXPECT_EQ(s.start_point.x, 95.0);
    EXPECT_EQ(s.start_point.y, 77.0);
}

}  // namespace
}  // namespace velkor
