// Pixel values that the design states outright (Parts 3.1, 3.2 and 3.5),
// rendered by the module through the host and checked against numbers worked
// out by hand, not against the engine.
#include <gtest/gtest.h>

#include <string>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using simhost::RenderOptions;
using simhost::RenderResult;

// The 8-bit red written for a shaped ramp position t' with white to black.
constexpr A_u_char red_at(double t)
{
    return static_cast<A_u_char>((1.0 + (0.0 - 1.0) * t) * 255.0 + 0.5);
}

class SmartRenderValues : public ModuleTest {
protected:
    SmartRenderValues() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 200;
        c.layer_height = 100;
        return c;
    }
    RenderResult frame(PF_PixelFormat format = PF_PixelFormat_ARGB32, simhost::ColorF fill = {})
    {
        RenderOptions o;
        o.format = format;
        o.solid = {200, 100, fill};
        o.output_fill = 0xEE;
        RenderResult r = session.render(o);
        EXPECT_EQ(r.err, PF_Err_NONE) << r.return_msg;
        return r;
    }
    A_u_char red(const RenderResult& r, int x, int y) { return r.output.at<PF_Pixel>(x, y).red; }
    void center_and_length(double direction, double length)
    {
        ASSERT_TRUE(session.set_popup(2, 2));
        ASSERT_TRUE(session.set_point(5, 50.0, 50.0));
        ASSERT_TRUE(session.set_angle(7, direction));
        ASSERT_TRUE(session.set_float(6, length));
    }
};

TEST_F(SmartRenderValues, TwoPointsLinearAndRadial)
{
    ready();
    ASSERT_TRUE(session.set_point(3, 0.0, 0.0));
    ASSERT_TRUE(session.set_point(4, 100.0, 0.0));
    RenderResult r = frame();
    EXPECT_EQ(red(r, 50, 7), red_at(0.5));
    EXPECT_EQ(red(r, 0, 40), red_at(0.0));
    EXPECT_EQ(red(r, 150, 0), red_at(1.0));
    EXPECT_EQ(red(r, 199, 99), 0);
    ASSERT_TRUE(session.set_popup(12, 3));
    r = frame();
    EXPECT_EQ(red(r, 30, 40), red_at(0.5));
    EXPECT_EQ(red(r, 0, 0), 255);
    EXPECT_EQ(red_at(0.5), 128);
}

TEST_F(SmartRenderValues, CenterAndLengthLinearAndLinear2)
{
    ready();
    center_and_length(90.0, 100.0);
    RenderResult r = frame();
    EXPECT_EQ(red(r, 100, 50), red_at(0.5));
    EXPECT_EQ(red(r, 0, 50), red_at(0.0));
    ASSERT_TRUE(session.set_popup(12, 2));
    r = frame();
    EXPECT_EQ(red(r, 0, 50), red_at(0.5));
    EXPECT_EQ(red(r, 100, 50), red_at(0.5));
}

TEST_F(SmartRenderValues, DirectionZeroGrowsTowardsTheTop)
{
    ready();
    center_and_length(0.0, 100.0);
    const RenderResult r = frame();
    EXPECT_EQ(red(r, 50, 0), red_at(0.5));
    for (int y = 50; y < 100; ++y) {
        EXPECT_EQ(red(r, 10, y), 255) << "row " << y << " lies at or below Center";
    }
}

TEST_F(SmartRenderValues, PowerTwoBendsHalfToAQuarter)
{
    ready();
    ASSERT_TRUE(session.set_point(3, 0.0, 0.0));
    ASSERT_TRUE(session.set_point(4, 100.0, 0.0));
    ASSERT_TRUE(session.set_float(13, 2.0));
    const RenderResult r = frame();
    EXPECT_EQ(red(r, 50, 3), red_at(0.25));
    EXPECT_EQ(red(r, 50, 3), 191);
}

TEST_F(SmartRenderValues, HorizontalDownsampleHalvesTheLength)
{
    ready();
    center_and_length(90.0, 100.0);
    RenderOptions o;
    o.solid = {100, 100, {}};
    o.downsample_x = PF_RationalScale{1, 2};
    // Center is checked out at (25, 50) of the half-width buffer, Length becomes 50.
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.output.at<PF_Pixel>(50, 50).red, red_at(0.5));
    EXPECT_EQ(r.output.at<PF_Pixel>(75, 50).red, red_at(1.0));
}

// The shortest ramp is 1e-6 pixels: a Length the control allows below any
// coarser floor (0.0005) keeps its own slope. Center sits 48/65536 pixels left
// of column 10, so that column lies past the end of the ramp (t = 1.46, clamped
// to 1); a floor of 1e-3 would put it at t = 0.73.
TEST_F(SmartRenderValues, LengthsDownToAMillionthOfAPixelKeepTheirSlope)
{
    ready();
    center_and_length(90.0, 0.0005);
    ASSERT_TRUE(session.set_point(5, 10.0 - 48.0 / 65536.0, 50.0));
    const RenderResult r = frame();
    EXPECT_EQ(red(r, 9, 50), red_at(0.0));
    EXPECT_EQ(red(r, 10, 50), red_at(1.0));
    EXPECT_EQ(red(r, 10, 50), 0);
}

TEST_F(SmartRenderValues, PixelAspectRatioChangesNothing)
{
    ready();
    center_and_length(30.0, 70.0);
    ASSERT_TRUE(session.set_popup(12, 3));
    const RenderResult square = frame();
    session.host().config().pixel_aspect_ratio = PF_RationalScale{2, 1};
    const RenderResult wide = frame();
    EXPECT_EQ(square.output.first_difference(wide.output), "");
}

TEST_F(SmartRenderValues, AlphaTypeScalesTheInputAlpha)
{
    ready();
    ASSERT_TRUE(session.set_popup(1, 2));
    ASSERT_TRUE(session.set_percent(10, 50.0));
    ASSERT_TRUE(session.set_point(3, 0.0, 0.0));
    ASSERT_TRUE(session.set_point(4, 100.0, 0.0));
    const RenderResult r = frame(PF_PixelFormat_ARGB32, simhost::ColorF{1.0, 0.2, 0.4, 0.6});
    const PF_Pixel& start = r.output.at<PF_Pixel>(0, 0);
    EXPECT_EQ(start.alpha, 128) << "Start Alpha 50 % of 255";
    EXPECT_EQ(start.red, 51);
    EXPECT_EQ(start.green, 102);
    EXPECT_EQ(start.blue, 153);
    EXPECT_EQ(r.output.at<PF_Pixel>(150, 0).alpha, 0) << "End Alpha 0 %";
}

TEST_F(SmartRenderValues, ColorTypeOnTransparentPixelsKeepsAlphaZero)
{
    ready();
    const RenderResult r = frame(PF_PixelFormat_ARGB32, simhost::ColorF{0.0, 0.3, 0.3, 0.3});
    const PF_Pixel& p = r.output.at<PF_Pixel>(0, 50);
    EXPECT_EQ(p.alpha, 0);
    EXPECT_EQ(p.red, 255) << "the Start Color at the Start of Ramp (0, 50)";
}

TEST_F(SmartRenderValues, SixteenBitColourByte128Is16448)
{
    ready();
    ASSERT_TRUE(session.set_color(8, PF_Pixel{255, 128, 0, 255}));
    const RenderResult r = frame(PF_PixelFormat_ARGB64);
    const PF_Pixel16& p = r.output.at<PF_Pixel16>(0, 50);
    EXPECT_EQ(p.red, 16448);
    EXPECT_EQ(p.green, 0);
    EXPECT_EQ(p.blue, 32768);
}

}  // namespace
}  // namespace velkor_test
