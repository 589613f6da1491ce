// PF_Cmd_SMART_RENDER through the built module: every depth and pixel format,
// band tiling over the host's threads, origins, layouts and every failure path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using simhost::CallKind;
using simhost::RenderOptions;
using simhost::RenderResult;
using simhost::World;
using simhost::WorldSpec;

constexpr PF_OutFlags kDisplayErrorMessage = 0x100;

class SmartRender : public ModuleTest {
protected:
    SmartRender() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 64;
        c.layer_height = 40;
        return c;
    }

    // "Color", Two Points from (0, 0) to (width, 0), white to black, Linear, Power 1.
    void horizontal_ramp(int width)
    {
        ready();
        ASSERT_TRUE(session.set_point(3, 0.0, 0.0));
        ASSERT_TRUE(session.set_point(4, static_cast<double>(width), 0.0));
    }

    static RenderOptions solid(int width, int height, PF_PixelFormat format)
    {
        RenderOptions o;
        o.format = format;
        o.solid = {width, height, simhost::ColorF{1.0, 0.25, 0.5, 0.75}};
        o.output_fill = 0xEE;
        return o;
    }

    // The colour channel that the per-pixel kernel writes at column x of the
    // horizontal ramp: start + (end - start) * t, t = x / width.
    static double ramp_channel(int x, int width)
    {
        const double t =
            std::min(std::max(static_cast<double>(x) / static_cast<double>(width), 0.0), 1.0);
        return 1.0 + (0.0 - 1.0) * t;
    }
};

World patterned_input(int width, int height, PF_PixelFormat format)
{
    World w(WorldSpec{width, height, format});
    std::uint8_t value = 1;
    for (int y = 0; y < height; ++y) {
        for (int i = 0; i < width * w.pixel_bytes(); ++i) {
            w.row(y)[i] = value;
            value = static_cast<std::uint8_t>(value * 7 + 3);
        }
    }
    if (simhost::bit_depth(format) == 32) {
        // Keep every float finite: small values only.
        w.fill_with([&](int x, int y) {
            return simhost::ColorF{(x + y) % 5 / 4.0, x / double(width), y / double(height), 0.5};
        });
    } else if (simhost::bit_depth(format) == 16) {
        w.fill_with([&](int x, int y) {
            return simhost::ColorF{(x * 3 + y) % 7 / 6.0, x / double(width), y / double(height),
                                   0.25};
        });
    }
    return w;
}

TEST_F(SmartRender, EightBitArgbMatchesTheDesignsArithmetic)
{
    horizontal_ramp(64);
    const RenderResult r = session.render(solid(64, 6, PF_PixelFormat_ARGB32));
    ASSERT_EQ(r.err, PF_Err_NONE) << r.return_msg;
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 64; ++x) {
            const PF_Pixel& p = r.output.at<PF_Pixel>(x, y);
            const auto want = static_cast<A_u_char>(ramp_channel(x, 64) * 255.0 + 0.5);
            ASSERT_EQ(p.alpha, 255) << x << "," << y;
            ASSERT_EQ(p.red, want) << x << "," << y;
            ASSERT_EQ(p.green, want) << x << "," << y;
            ASSERT_EQ(p.blue, want) << x << "," << y;
        }
    }
    EXPECT_TRUE(r.output.guards_intact());
}

TEST_F(SmartRender, SixteenBitMatchesTheDesignsArithmetic)
{
    horizontal_ramp(64);
    const RenderResult r = session.render(solid(64, 5, PF_PixelFormat_ARGB64));
    ASSERT_EQ(r.err, PF_Err_NONE) << r.return_msg;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 64; ++x) {
            const PF_Pixel16& p = r.output.at<PF_Pixel16>(x, y);
            const auto want = static_cast<A_u_short>(ramp_channel(x, 64) * 32768.0 + 0.5);
            ASSERT_EQ(p.alpha, 32768) << x << "," << y;
            ASSERT_EQ(p.red, want) << x << "," << y;
            ASSERT_EQ(p.blue, want) << x << "," << y;
        }
    }
    EXPECT_EQ(r.output.at<PF_Pixel16>(0, 0).red, 32768) << "a colour byte of 255 becomes 32768";
}

TEST_F(SmartRender, FloatMatchesTheDesignsArithmetic)
{
    horizontal_ramp(64);
    const RenderResult r = session.render(solid(64, 5, PF_PixelFormat_ARGB128));
    ASSERT_EQ(r.err, PF_Err_NONE) << r.return_msg;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 64; ++x) {
            const PF_PixelFloat& p = r.output.at<PF_PixelFloat>(x, y);
            const auto want = static_cast<float>(ramp_channel(x, 64));
            ASSERT_EQ(p.alpha, 1.0f);
            ASSERT_EQ(p.red, want) << x << "," << y;
            ASSERT_EQ(p.green, want) << x << "," << y;
        }
    }
}

TEST_F(SmartRender, BgraFormatsTakeTheKernelOfTheirDepth)
{
    ready();
    ASSERT_TRUE(session.set_popup(1, 3));  // Color & Alpha: the input's alpha byte matters
    ASSERT_TRUE(session.set_point(3, 5.0, 3.0));
    ASSERT_TRUE(session.set_point(4, 40.0, 20.0));
    const std::pair<PF_PixelFormat, PF_PixelFormat> pairs[] = {
        {PF_PixelFormat_ARGB32, PF_PixelFormat_BGRA32},
        {PF_PixelFormat_ARGB128, simhost::kPixelFormatBGRA128},
    };
    for (const auto& [argb, bgra] : pairs) {
        SCOPED_TRACE(simhost::pixel_format_name(bgra));
        const World argb_input = patterned_input(33, 17, argb);
        World bgra_input(WorldSpec{33, 17, bgra});
        for (int y = 0; y < 17; ++y) {
            std::memcpy(bgra_input.row(y), argb_input.row(y),
                        static_cast<std::size_t>(33 * argb_input.pixel_bytes()));
        }
        RenderOptions a;
        a.input = &argb_input;
        a.output_fill = 0xEE;
        RenderOptions b = a;
        b.input = &bgra_input;
        const RenderResult ra = session.render(a);
        const RenderResult rb = session.render(b);
        ASSERT_EQ(ra.err, PF_Err_NONE);
        ASSERT_EQ(rb.err, PF_Err_NONE);
        EXPECT_FALSE(all_bytes(rb.output, 0xEE)) << "the BGRA frame was drawn";
        for (int y = 0; y < 17; ++y) {
            ASSERT_EQ(std::memcmp(ra.output.row(y), rb.output.row(y),
                                  static_cast<std::size_t>(33 * ra.output.pixel_bytes())),
                      0)
                << "row " << y;
        }
    }
}

TEST_F(SmartRender, EveryFormatDrawsEveryPixelAndNothingElse)
{
    ready();
    for (const PF_PixelFormat format : kAllFormats) {
        SCOPED_TRACE(simhost::pixel_format_name(format));
        RenderOptions o = solid(19, 7, format);
        o.row_padding = 32;  // a whole number of pixels at every depth
        const RenderResult r = session.render(o);
        ASSERT_EQ(r.err, PF_Err_NONE);
        EXPECT_TRUE(r.output.guards_intact()) << "written outside the pixels";
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 19; ++x) {
                const std::uint8_t* p = r.output.pixel_address(x, y);
                ASSERT_FALSE(std::all_of(p, p + r.output.pixel_bytes(),
                                         [](std::uint8_t b) { return b == 0xEE; }))
                    << "pixel " << x << "," << y << " not drawn";
            }
        }
    }
}

TEST_F(SmartRender, PaddedAndBottomUpWorldsGiveTheSamePixels)
{
    ready();
    ASSERT_TRUE(session.set_popup(12, 3));
    for (const PF_PixelFormat format :
         {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
        SCOPED_TRACE(simhost::pixel_format_name(format));
        const RenderResult plain = session.render(solid(23, 11, format));
        RenderOptions padded = solid(23, 11, format);
        padded.row_padding = 48;
        RenderOptions bottom_up = padded;
        bottom_up.bottom_up = true;
        const RenderResult rp = session.render(padded);
        const RenderResult rb = session.render(bottom_up);
        ASSERT_EQ(plain.err, PF_Err_NONE);
        ASSERT_EQ(rp.err, PF_Err_NONE);
        ASSERT_EQ(rb.err, PF_Err_NONE);
        EXPECT_LT(rb.output.rowbytes(), 0);
        EXPECT_EQ(plain.output.first_difference(rp.output), "");
        EXPECT_EQ(plain.output.first_difference(rb.output), "");
        EXPECT_TRUE(rp.output.guards_intact());
        EXPECT_TRUE(rb.output.guards_intact());
    }
}

// Rows are found by their byte stride: padding by part of a pixel that keeps
// every channel aligned (8 bytes of a float row, 2 of a 16-bit row, 1 of an
// 8-bit row) draws the pixels of a tight world, top-down or bottom-up.
TEST_F(SmartRender, RowsPaddedByPartOfAPixelDrawTheSamePixels)
{
    ready();
    ASSERT_TRUE(session.set_popup(12, 3));
    ASSERT_TRUE(session.set_popup(1, 3));
    for (const PF_PixelFormat format : kAllFormats) {
        const World input = patterned_input(9, 5, format);
        RenderOptions tight = solid(9, 5, format);
        tight.input = &input;
        const RenderResult plain = session.render(tight);
        ASSERT_EQ(plain.err, PF_Err_NONE);
        const int channel = simhost::bytes_per_pixel(format) / 4;
        for (const int channels : {1, 2, 3, 5}) {
            for (const bool bottom_up : {false, true}) {
                SCOPED_TRACE(simhost::pixel_format_name(format) + ", rows padded by " +
                             std::to_string(channels * channel) + " bytes" +
                             (bottom_up ? ", bottom-up" : ""));
                RenderOptions padded = tight;
                padded.row_padding = channels * channel;
                padded.bottom_up = bottom_up;
                const RenderResult r = session.render(padded);
                ASSERT_EQ(r.err, PF_Err_NONE);
                EXPECT_EQ(r.output.first_difference(plain.output), "");
                EXPECT_TRUE(r.output.guards_intact());
            }
        }
    }
}

// A stride that puts channels off their alignment cannot be drawn: the render
// reports the world as damaged instead of returning success over an untouched
// output, and writes nothing.
TEST_F(SmartRender, RowsPaddedOffTheChannelsAreADamagedWorld)
{
    ready();
    const std::pair<PF_PixelFormat, int> cases[] = {{PF_PixelFormat_ARGB64, 1},
                                                    {PF_PixelFormat_ARGB64, 3},
                                                    {PF_PixelFormat_ARGB128, 2},
                                                    {simhost::kPixelFormatBGRA128, 6}};
    for (const auto& [format, padding] : cases) {
        for (const bool bottom_up : {false, true}) {
            SCOPED_TRACE(simhost::pixel_format_name(format) + ", rows padded by " +
                         std::to_string(padding) + " bytes" + (bottom_up ? ", bottom-up" : ""));
            RenderOptions o = solid(9, 5, format);
            o.row_padding = padding;
            o.bottom_up = bottom_up;
            const RenderResult r = session.render(o);
            EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
            EXPECT_TRUE(r.output.guards_intact());
            EXPECT_TRUE(all_bytes(r.output, 0xEE));
            EXPECT_TRUE(r.iterations.empty()) << "no band may run over a damaged world";
        }
    }
    const simhost::Accounting a = session.accounting();
    EXPECT_TRUE(a.balanced()) << a.unbalanced();
}

TEST_F(SmartRender, HeightTenOnFourThreadsGivesTheDesignsBands)
{
    horizontal_ramp(16);
    RenderOptions o = solid(16, 10, PF_PixelFormat_ARGB32);
    o.threads = 4;
    o.trace_bands = true;
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    const simhost::IterateCall& call = r.iterations[0];
    ASSERT_EQ(call.iterations, 4);
    ASSERT_EQ(call.records.size(), 4u);
    EXPECT_EQ(call.records[0].rows, (std::vector<int>{0, 1}));
    EXPECT_EQ(call.records[1].rows, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(call.records[2].rows, (std::vector<int>{5, 6}));
    EXPECT_EQ(call.records[3].rows, (std::vector<int>{7, 8, 9}));
}

TEST_F(SmartRender, MoreThreadsThanRowsDrawsEveryRowOnce)
{
    horizontal_ramp(16);
    RenderOptions o = solid(16, 3, PF_PixelFormat_ARGB64);
    o.threads = 8;
    o.trace_bands = true;
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    ASSERT_EQ(r.iterations[0].iterations, 8);
    std::vector<int> all;
    int empty = 0;
    for (const auto& record : r.iterations[0].records) {
        all.insert(all.end(), record.rows.begin(), record.rows.end());
        empty += record.rows.empty() ? 1 : 0;
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(empty, 5);

    RenderOptions one = solid(16, 3, PF_PixelFormat_ARGB64);
    one.threads = 1;
    EXPECT_EQ(session.render(one).output.first_difference(r.output), "");
}

TEST_F(SmartRender, OneThreadDrawsOneBandOverTheWholeOutput)
{
    horizontal_ramp(16);
    RenderOptions o = solid(16, 9, PF_PixelFormat_ARGB128);
    o.threads = 1;
    o.trace_bands = true;
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    ASSERT_EQ(r.iterations[0].records.size(), 1u);
    EXPECT_EQ(r.iterations[0].records[0].rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

// Left to the implementer: a host reporting no render threads. The module still
// draws the frame, in one band.
TEST_F(SmartRender, HostReportingZeroThreadsStillGetsTheFrame)
{
    horizontal_ramp(16);
    session.host().config().threads = 0;
    RenderOptions o = solid(16, 5, PF_PixelFormat_ARGB32);
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    EXPECT_EQ(r.iterations[0].iterations, 1);
    o.threads = 1;
    EXPECT_EQ(session.render(o).output.first_difference(r.output), "");
}

TEST_F(SmartRender, BandsRunOnTheHostsPoolThreads)
{
    horizontal_ramp(64);
    RenderOptions o = solid(64, 64, PF_PixelFormat_ARGB32);
    o.threads = 4;
    const RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    for (const auto& record : r.iterations[0].records) {
        EXPECT_NE(record.thread, std::this_thread::get_id());
        EXPECT_EQ(record.result, PF_Err_NONE);
    }
    RenderOptions serial = o;
    serial.threads = 1;
    EXPECT_EQ(session.render(serial).output.first_difference(r.output), "");
}

TEST_F(SmartRender, OriginShiftsTheRampPoints)
{
    ready();
    // A point at layer position (100, 50) is output pixel (0, 0) of a world at origin (100, 50).
    ASSERT_TRUE(session.set_point(3, 100.0, 50.0));
    ASSERT_TRUE(session.set_point(4, 132.0, 66.0));
    RenderOptions shifted = solid(32, 16, PF_PixelFormat_ARGB32);
    shifted.origin_x = 100;
    shifted.origin_y = 50;
    const RenderResult a = session.render(shifted);
    ASSERT_EQ(a.err, PF_Err_NONE);

    ASSERT_TRUE(session.set_point(3, 0.0, 0.0));
    ASSERT_TRUE(session.set_point(4, 32.0, 16.0));
    const RenderResult b = session.render(solid(32, 16, PF_PixelFormat_ARGB32));
    ASSERT_EQ(b.err, PF_Err_NONE);
    EXPECT_EQ(a.output.first_difference(b.output), "");
    const PF_Pixel& corner = a.output.at<PF_Pixel>(0, 0);
    EXPECT_EQ(corner.red, 255) << "the start colour at the start point";
}

// The host gives the output its own buffer, with an origin and a stride of its
// own: the ramp takes its frame from the input world alone, so however far the
// output's origin is reported from the input's, the pixels are the same.
TEST_F(SmartRender, OutputOriginAndStrideAreNotTheInputs)
{
    ready();
    ASSERT_TRUE(session.set_point(3, 104.0, 53.0));
    ASSERT_TRUE(session.set_point(4, 125.0, 61.0));
    RenderOptions o = solid(30, 14, PF_PixelFormat_ARGB64);
    o.origin_x = 100;
    o.origin_y = 50;
    session.host().config().worlds.output_origin_shift = PF_Point{0, 0};
    const RenderResult same_origin = session.render(o);
    ASSERT_EQ(same_origin.err, PF_Err_NONE);
    for (const PF_Point shift : {PF_Point{-100, -50}, PF_Point{37, -11}}) {
        session.host().config().worlds.output_origin_shift = shift;
        const RenderResult r = session.render(o);
        ASSERT_EQ(r.err, PF_Err_NONE);
        const PF_EffectWorld& in = *r.input.effect_world();
        const PF_EffectWorld& out = *r.output.effect_world();
        EXPECT_EQ(out.origin_x, in.origin_x + shift.h);
        EXPECT_EQ(out.origin_y, in.origin_y + shift.v);
        EXPECT_NE(out.rowbytes, in.rowbytes);
        EXPECT_EQ(r.output.first_difference(same_origin.output), "")
            << "shift " << shift.h << "," << shift.v;
        EXPECT_TRUE(r.output.guards_intact());
    }
}

// Smart render copies the settings while it holds the handle's lock and lets
// go of it before it checks anything out: nothing it reads later lives in the
// handle, which a host may move or reuse once unlocked.
TEST_F(SmartRender, SettingsAreCopiedUnderTheirLockBeforeTheCheckouts)
{
    ready();
    ASSERT_EQ(session.render(solid(8, 8, PF_PixelFormat_ARGB32)).err, PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_SMART_RENDER");
    ASSERT_NE(log, nullptr);
    const int lock = event_at(*log, "host_lock_handle");
    const int unlock = event_at(*log, "host_unlock_handle");
    const int pixels = event_at(*log, "checkout_layer_pixels");
    const int output = event_at(*log, "checkout_output");
    ASSERT_GE(lock, 0);
    EXPECT_LT(lock, unlock);
    EXPECT_LT(unlock, pixels);
    EXPECT_LT(pixels, output);
    EXPECT_EQ(std::count(log->events.begin(), log->events.end(), "host_lock_handle"), 1);
    EXPECT_EQ(std::count(log->events.begin(), log->events.end(), "host_unlock_handle"), 1);
}

// Band limits take 64-bit products: at height 50000 on 100000 threads,
// i * h reaches 5e9, past what 32 bits hold. Every row is still drawn once,
// as on one thread.
TEST_F(SmartRender, FiftyThousandRowsOnAHundredThousandThreads)
{
    horizontal_ramp(3);
    RenderOptions one = solid(3, 50000, PF_PixelFormat_ARGB32);
    one.threads = 1;
    const RenderResult expected = session.render(one);
    ASSERT_EQ(expected.err, PF_Err_NONE);
    ASSERT_FALSE(all_bytes(expected.output, 0xEE));

    session.host().config().pool_threads = 2;
    RenderOptions many = one;
    many.threads = 100000;
    const RenderResult r = session.render(many);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.iterations.size(), 1u);
    EXPECT_EQ(r.iterations[0].iterations, 100000);
    EXPECT_EQ(r.output.first_difference(expected.output), "");
}

TEST_F(SmartRender, RenderingThePreRenderDataTwiceGivesIdenticalPixels)
{
    ready();
    ASSERT_TRUE(session.set_point(3, 110.0, 55.0));
    ASSERT_TRUE(session.set_point(4, 140.0, 60.0));
    for (const int origin : {0, 1}) {
        RenderOptions o = solid(40, 12, PF_PixelFormat_ARGB64);
        o.origin_x = origin * 100;
        o.origin_y = origin * 50;
        o.smart_renders = 2;
        const RenderResult r = session.render(o);
        ASSERT_EQ(r.err, PF_Err_NONE);
        ASSERT_EQ(r.outputs.size(), 2u);
        EXPECT_EQ(r.outputs[0].first_difference(r.outputs[1]), "")
            << "origin " << o.origin_x << "," << o.origin_y;
    }
}

TEST_F(SmartRender, InputAndOutputOfDifferentSizesDrawNothingAndSucceed)
{
    ready();
    RenderOptions o = solid(20, 10, PF_PixelFormat_ARGB32);
    o.output_width = 23;
    const RenderResult r = session.render(o);
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_TRUE(all_bytes(r.output, 0xEE)) << "the output keeps what the host put in it";
    o.output_width = -1;
    o.output_height = 9;
    const RenderResult r2 = session.render(o);
    EXPECT_EQ(r2.err, PF_Err_NONE);
    EXPECT_TRUE(all_bytes(r2.output, 0xEE));
}

TEST_F(SmartRender, UnknownPixelFormatDrawsNothingAndSucceeds)
{
    ready();
    for (const PF_PixelFormat reported : {static_cast<PF_PixelFormat>(PF_PixelFormat_INVALID),
                                          static_cast<PF_PixelFormat>(0x12345678)}) {
        RenderOptions o = solid(20, 10, PF_PixelFormat_ARGB32);
        o.reported_input_format = reported;
        const RenderResult r = session.render(o);
        EXPECT_EQ(r.err, PF_Err_NONE);
        EXPECT_TRUE(all_bytes(r.output, 0xEE));
    }
}

TEST_F(SmartRender, MissingIterate8SuiteGives516AndReleasesTheOthers)
{
    ready();
    session.host().refuse_suite(kIterate8Suite, 1);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
    EXPECT_EQ(r.out_flags, 0) << "the suite handler's failure sets no flag";
    EXPECT_EQ(r.return_msg, "") << "and no message";
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_SMART_RENDER");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->refused(kIterate8Suite, 1), 1);
    EXPECT_EQ(log->acquired(kHandleSuite, 2), 1);
    EXPECT_EQ(log->released(kHandleSuite, 2), 1);
    EXPECT_EQ(log->acquired(kAegpIterateSuite, 1), 1);
    EXPECT_EQ(log->released(kAegpIterateSuite, 1), 1);
    EXPECT_TRUE(log->balanced());
}

TEST_F(SmartRender, MissingWorldSuiteGives516WithAMessage)
{
    ready();
    session.host().refuse_suite(kWorldSuite, 2);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_NE(r.out_flags & kDisplayErrorMessage, 0);
    EXPECT_EQ(r.return_msg, "Couldn't load suite.");
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
}

TEST_F(SmartRender, MissingAegpIterateSuiteGives516)
{
    ready();
    session.host().refuse_suite(kAegpIterateSuite, 1);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(r.out_flags, 0);
    EXPECT_EQ(r.return_msg, "");
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
}

TEST_F(SmartRender, MissingHandleSuiteInSmartRenderGives516)
{
    ready();
    // Pre-render gets its handle suite and smart render does not: the host's own
    // frame steps, with the refusal between the two commands.
    World input(WorldSpec{8, 8});
    World output(WorldSpec{8, 8});
    simhost::Host& host = session.host();
    host.begin_frame(&input, simhost::FrameOutput{&output, false, 0xEE}, input.format());
    PF_PreRenderInput pin{};
    pin.output_request.rect = PF_LRect{0, 0, 8, 8};
    pin.output_request.channel_mask = simhost::kChannelMaskARGB;
    pin.bitdepth = 8;
    PF_PreRenderOutput pout{};
    PF_OutData out{};
    ASSERT_EQ(host.smart_pre_render(pin, pout, out), PF_Err_NONE);
    host.refuse_suite(kHandleSuite, 2);
    PF_SmartRenderInput rin{};
    rin.output_request = pin.output_request;
    rin.bitdepth = 8;
    EXPECT_EQ(host.smart_render(rin, out), PF_Err_BAD_CALLBACK_PARAM);
    host.clear_faults();
    ASSERT_NE(host.frame_output(), nullptr);
    EXPECT_TRUE(all_bytes(*host.frame_output(), 0xEE));
    host.end_frame();
}

TEST_F(SmartRender, NullInputWorldIsAnErrorAndNothingIsWritten)
{
    ready();
    session.host().set_null_input_world(true);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_NE(r.err, PF_Err_NONE);
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
    session.host().clear_faults();
}

TEST_F(SmartRender, NullOutputWorldIsAnErrorAndNothingIsWritten)
{
    ready();
    session.host().set_null_output_world(true);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_NE(r.err, PF_Err_NONE);
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
    session.host().clear_faults();
}

TEST_F(SmartRender, HostCallFailuresAreReturnedUnchanged)
{
    ready();
    const std::pair<CallKind, PF_Err> failures[] = {
        {CallKind::checkout_layer_pixels, 0x51}, {CallKind::checkout_output, 0x52},
        {CallKind::get_pixel_format, 0x53},      {CallKind::get_num_threads, 0x54},
        {CallKind::iterate_generic, 0x55},
    };
    for (const auto& [kind, code] : failures) {
        SCOPED_TRACE(simhost::call_kind_name(kind));
        session.host().fail_call(kind, 1, code);
        const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
        EXPECT_EQ(r.err, code);
        EXPECT_TRUE(all_bytes(r.output, 0xEE)) << "nothing drawn";
        const simhost::Accounting a = session.accounting();
        EXPECT_EQ(a.layer_pixels_still_out_at_frame_end, 0) << a.unbalanced();
    }
}

TEST_F(SmartRender, NullLockOfThePreRenderHandleGives516)
{
    ready();
    // The first lock is pre-render's; the second, smart render's.
    session.host().fail_call(CallKind::lock_handle, 2);
    const RenderResult r = session.render(solid(8, 8, PF_PixelFormat_ARGB32));
    EXPECT_EQ(r.pre_render_err, PF_Err_NONE);
    EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(all_bytes(r.output, 0xEE));
}

TEST_F(SmartRender, EmptyOutputSucceedsWithoutTheIterateSuites)
{
    ready();
    for (const auto& [w, h] : {std::pair{0, 8}, std::pair{8, 0}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const RenderResult r = session.render(solid(w, h, PF_PixelFormat_ARGB32));
        EXPECT_EQ(r.err, PF_Err_NONE);
        const simhost::Accounting a = session.accounting();
        const simhost::CommandLog* log = last_log(a, "PF_Cmd_SMART_RENDER");
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(log->acquired(kAegpIterateSuite, 1), 0);
        EXPECT_EQ(log->acquired(kIterate8Suite, 1), 0);
        EXPECT_TRUE(r.iterations.empty());
    }
}

TEST_F(SmartRender, ChecksTheInputPixelsBackIn)
{
    ready();
    ASSERT_EQ(session.render(solid(8, 8, PF_PixelFormat_ARGB32)).err, PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.layer_pixels_checked_out, 1);
    EXPECT_EQ(a.layer_pixels_checked_in, 1);
    EXPECT_EQ(a.layer_pixels_still_out_at_frame_end, 0);
}

}  // namespace
}  // namespace velkor_test
