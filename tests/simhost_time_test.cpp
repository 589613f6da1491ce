// Time in the simulated host: keyframed controls checked out at a time, the
// host's clock at whole and fractional frame rates, the module seeing the
// frame's time, and frames rendered in the caller's worlds without copies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "module_test_support.h"
#include "simhost/keyframes.h"

namespace velkor_test {
namespace {

using simhost::Keyframe;
using simhost::KeyTime;
using simhost::KeyValue;

KeyValue one(double v) { return KeyValue{{v, 0, 0, 0}}; }

// ------------------------------------------------------------------ the interpolation itself

TEST(SimhostKeyframes, NumbersLieOnTheLineBetweenKeysAndHoldOutside)
{
    const std::vector<Keyframe> keys{{{10, 24}, one(1.0)},
                                     {{20, 24}, one(3.0)},
                                     {{40, 24}, one(-5.0)}};
    const auto at = [&](A_long t) {
        return simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{t, 24}).v[0];
    };
    EXPECT_EQ(at(-100), 1.0) << "before the first key";
    EXPECT_EQ(at(10), 1.0);
    EXPECT_EQ(at(15), 2.0);
    EXPECT_EQ(at(20), 3.0) << "a key's own time gives the key's value exactly";
    EXPECT_EQ(at(30), -1.0);
    EXPECT_EQ(at(40), -5.0);
    EXPECT_EQ(at(41), -5.0) << "after the last key";
    EXPECT_EQ(at(13), 1.0 + (3.0 - 1.0) * (3.0 / 10.0));
    // A single key holds everywhere.
    EXPECT_EQ(simhost::value_at(PF_Param_FLOAT_SLIDER, {{{5, 24}, one(7.5)}}, KeyTime{-9, 24}).v[0],
              7.5);
}

TEST(SimhostKeyframes, WholeNumberControlsRoundAndPopupsHold)
{
    const std::vector<Keyframe> colour{{{0, 30}, KeyValue{{255, 0, 10, 255}}},
                                       {{4, 30}, KeyValue{{255, 255, 11, 0}}}};
    const KeyValue quarter = simhost::value_at(PF_Param_COLOR, colour, KeyTime{1, 30});
    EXPECT_EQ(quarter, (KeyValue{{255, 64, 10, 191}})) << "63.75 -> 64, 10.25 -> 10, 191.25 -> 191";
    const KeyValue half = simhost::value_at(PF_Param_COLOR, colour, KeyTime{2, 30});
    EXPECT_EQ(half, (KeyValue{{255, 128, 11, 128}})) << "halves go away from zero";

    const std::vector<Keyframe> angle{{{0, 30}, one(0)}, {{3, 30}, one(-1)}};
    EXPECT_EQ(simhost::value_at(PF_Param_ANGLE, angle, KeyTime{1, 30}).v[0], 0.0)
        << "-1/3 rounds to 0";
    EXPECT_EQ(simhost::value_at(PF_Param_ANGLE, angle, KeyTime{2, 30}).v[0], -1.0);

    const std::vector<Keyframe> popup{{{0, 30}, one(1)}, {{10, 30}, one(3)}, {{20, 30}, one(2)}};
    EXPECT_EQ(simhost::value_at(PF_Param_POPUP, popup, KeyTime{9, 30}).v[0], 1.0);
    EXPECT_EQ(simhost::value_at(PF_Param_POPUP, popup, KeyTime{10, 30}).v[0], 3.0);
    EXPECT_EQ(simhost::value_at(PF_Param_POPUP, popup, KeyTime{19, 30}).v[0], 3.0);
    EXPECT_EQ(simhost::value_at(PF_Param_POPUP, popup, KeyTime{99, 30}).v[0], 2.0);

    const std::vector<Keyframe> point{{{0, 30}, KeyValue{{0, 100, 0, 0}}},
                                      {{8, 30}, KeyValue{{-40, 100.5, 0, 0}}}};
    EXPECT_EQ(simhost::value_at(PF_Param_POINT, point, KeyTime{3, 30}),
              (KeyValue{{-15, 100.1875, 0, 0}}))
        << "points are not rounded";
}

TEST(SimhostKeyframes, ValuesNeverLeaveTheSpanOfTheirKeys)
{
    // Power from 0.01 to 100: no time between the keys may give a value past
    // either key, whatever the rounding of the product.
    const std::vector<Keyframe> keys{{{0, 30000}, one(100.0)}, {{1001 * 997, 30000}, one(0.01)}};
    for (A_long t = 0; t <= 1001 * 997; t += 1001) {
        const double v = simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{t, 30000}).v[0];
        ASSERT_GE(v, 0.01) << t;
        ASSERT_LE(v, 100.0) << t;
    }
}

TEST(SimhostKeyframes, TimesOnOtherScalesCompareExactly)
{
    // 1/24 s and 1001/24024 s are the same time; a key at one is found at the other.
    EXPECT_TRUE(simhost::same_time(KeyTime{1, 24}, KeyTime{1001, 24024}));
    EXPECT_TRUE(
        simhost::earlier(KeyTime{-2147483647, 4294967294u}, KeyTime{-2147483647, 4294967295u}));
    EXPECT_TRUE(
        simhost::earlier(KeyTime{2147483646, 4294967295u}, KeyTime{2147483647, 4294967295u}));
    const std::vector<Keyframe> keys{{{0, 24}, one(0.0)}, {{24, 24}, one(48.0)}};
    EXPECT_EQ(simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{15, 30}).v[0], 24.0);
    EXPECT_EQ(simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{30, 30}).v[0], 48.0);
    EXPECT_EQ(simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{0, 0}).v[0], 0.0)
        << "a time scale of 0 counts as 1";
    EXPECT_EQ(simhost::value_at(PF_Param_FLOAT_SLIDER, keys, KeyTime{1, 0}).v[0], 48.0);
}

// The segment from (t0, v0) to (t1, v1) as the curve's definition draws it: its
// four control points in seconds and value, the parameter found by bisecting
// the time coordinate.
double curve_model(double t0, double v0, double t1, double v1, const simhost::KeySide& out,
                   const simhost::KeySide& in, std::size_t c, double t)
{
    using simhost::KeyInterpolation;
    if (out.kind == KeyInterpolation::hold || in.kind == KeyInterpolation::hold) return v0;
    const double dt = t1 - t0;
    if (out.kind == KeyInterpolation::linear && in.kind == KeyInterpolation::linear)
        return v0 + (v1 - v0) * ((t - t0) / dt);
    const auto speed = [&](const simhost::KeySide& s) {
        return s.kind == KeyInterpolation::bezier ? s.speed[c] : (v1 - v0) / dt;
    };
    const auto share = [&](const simhost::KeySide& s) {
        return s.kind == KeyInterpolation::bezier ? s.influence / 100 : 1.0 / 3;
    };
    const double x[4] = {t0, t0 + share(out) * dt, t1 - share(in) * dt, t1};
    const double y[4] = {v0, v0 + speed(out) * share(out) * dt, v1 - speed(in) * share(in) * dt,
                         v1};
    const auto bezier = [](const double* p, double u) {
        return std::pow(1 - u, 3) * p[0] + 3 * u * std::pow(1 - u, 2) * p[1] +
               3 * u * u * (1 - u) * p[2] + std::pow(u, 3) * p[3];
    };
    double low = 0;
    double high = 1;
    for (int i = 0; i < 200; ++i) (bezier(x, (low + high) / 2) < t ? low : high) = (low + high) / 2;
    return bezier(y, (low + high) / 2);
}

TEST(SimhostKeyframes, EasedHeldAndBezierSegmentsFollowTheCurve)
{
    using simhost::KeyInterpolation;
    const simhost::KeySide linear{};
    const simhost::KeySide ease = simhost::kEasyEase;
    const simhost::KeySide hold = simhost::kHold;
    const simhost::KeySide fast{KeyInterpolation::bezier, {120, -60, 300, 80}, 60};
    const simhost::KeySide slow{KeyInterpolation::bezier, {-40, 25, -90, 10}, 12.5};
    const KeyValue number0{{0.25}}, number1{{7.5}};
    const KeyValue angle0{{0}}, angle1{{90 * 65536.0}};
    const KeyValue point0{{0, 100}}, point1{{40, -20.5}};
    const KeyValue colour0{{255, 0, 10, 255}}, colour1{{255, 255, 201, 0}};
    struct Row {
        const char* what;
        PF_ParamType type;
        KeyValue v0, v1;
        simhost::KeySide out, in;  // the first key's outgoing, the second's incoming side
    };
    const Row rows[] = {
        {"number eased", PF_Param_FLOAT_SLIDER, number0, number1, ease, ease},
        {"number eased in", PF_Param_FLOAT_SLIDER, number0, number1, linear, ease},
        {"number eased out", PF_Param_FLOAT_SLIDER, number0, number1, ease, linear},
        {"number held", PF_Param_FLOAT_SLIDER, number0, number1, hold, linear},
        {"number held in", PF_Param_FLOAT_SLIDER, number0, number1, ease, hold},
        {"number Bezier", PF_Param_FLOAT_SLIDER, number0, number1, fast, slow},
        {"angle eased", PF_Param_ANGLE, angle0, angle1, ease, ease},
        {"angle eased in", PF_Param_ANGLE, angle0, angle1, linear, ease},
        {"angle Bezier", PF_Param_ANGLE, angle0, angle1, slow, fast},
        {"point eased out", PF_Param_POINT, point0, point1, ease, linear},
        {"point Bezier", PF_Param_POINT, point0, point1, fast, slow},
        {"colour eased", PF_Param_COLOR, colour0, colour1, ease, ease},
        {"colour held", PF_Param_COLOR, colour0, colour1, hold, hold},
        {"colour Bezier", PF_Param_COLOR, colour0, colour1, slow, ease},
    };
    for (const Row& row : rows) {
        const std::vector<Keyframe> keys{{{24, 24}, row.v0, linear, row.out},
                                         {{72, 24}, row.v1, row.in, linear}};
        const bool whole = row.type != PF_Param_FLOAT_SLIDER && row.type != PF_Param_POINT;
        for (const A_long t : {25, 30, 36, 41, 48, 57, 60, 66, 71}) {
            SCOPED_TRACE(std::string(row.what) + " at " + std::to_string(t) + "/24");
            const KeyValue got = simhost::value_at(row.type, keys, KeyTime{t, 24});
            for (std::size_t c = 0; c < 4; ++c) {
                const double want =
                    curve_model(1, row.v0.v[c], 3, row.v1.v[c], row.out, row.in, c, t / 24.0);
                if (whole) {
                    EXPECT_EQ(got.v[c], std::round(want)) << c;
                } else {
                    EXPECT_NEAR(got.v[c], want, 1e-13 * (1 + std::fabs(want))) << c;
                }
                if (row.out == ease && row.in == ease && !whole) {
                    const double s = (t - 24) / 48.0;
                    const double v0 = row.v0.v[c];
                    EXPECT_NEAR(got.v[c], v0 + (row.v1.v[c] - v0) * (3 * s * s - 2 * s * s * s),
                                1e-13 * (1 + std::fabs(want)));
                }
            }
        }
    }
}

// ------------------------------------------------------------------ through the host and the module

class SimhostTime : public ModuleTest {
protected:
    SimhostTime() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 48;
        c.layer_height = 20;
        return c;
    }
    PF_ParamDef checkout_at(int index, A_long frame)
    {
        const KeyTime t = session.frame_time(frame);
        PF_InData in = session.host().make_in_data();
        PF_ParamDef def{};
        EXPECT_EQ(in.inter.checkout_param(in.effect_ref, index, t.value,
                                          session.host().config().time_step, t.scale, &def),
                  PF_Err_NONE);
        EXPECT_EQ(in.inter.checkin_param(in.effect_ref, &def), PF_Err_NONE);
        return def;
    }
    int index(const char* name) { return session.find_param(name); }
};

TEST_F(SimhostTime, FractionalFrameRatesGiveExactTimes)
{
    ready();
    session.set_frame_rate(30000, 1001);
    EXPECT_EQ(session.host().config().time_scale, 30000u);
    EXPECT_EQ(session.host().config().time_step, 1001);
    EXPECT_EQ(session.frame_time(7).value, 7007);
    session.set_frame_rate(60, 2);
    EXPECT_EQ(session.host().config().time_scale, 30u) << "reduced";
    EXPECT_EQ(session.host().config().time_step, 1);
    session.set_frame_rate(30000, 1001);
    // Keys at frames 0 and 3: frame 1 is a third of the way, computed as 1001 / 3003.
    ASSERT_TRUE(session.set_float(index("Length"), 100.0, session.frame_time(0)));
    ASSERT_TRUE(session.set_float(index("Length"), 400.0, session.frame_time(3)));
    EXPECT_EQ(checkout_at(index("Length"), 1).u.fs_d.value, 100.0 + 300.0 * (1001.0 / 3003.0));
    EXPECT_EQ(checkout_at(index("Length"), 3).u.fs_d.value, 400.0);
}

TEST_F(SimhostTime, EveryControlKindIsCheckedOutAtItsTime)
{
    ready();
    session.set_frame_rate(24, 1);
    const KeyTime f1 = session.frame_time(1);
    const KeyTime f5 = session.frame_time(5);
    ASSERT_TRUE(session.set_popup(index("Shape"), 1, f1));
    ASSERT_TRUE(session.set_popup(index("Shape"), 3, f5));
    ASSERT_TRUE(session.set_point(index("Center"), 0, 8, f1));
    ASSERT_TRUE(session.set_point(index("Center"), 40, -8, f5));
    ASSERT_TRUE(session.set_float(index("Power"), 1, f1));
    ASSERT_TRUE(session.set_float(index("Power"), 3, f5));
    ASSERT_TRUE(session.set_angle(index("Direction"), 0, f1));
    ASSERT_TRUE(session.set_angle(index("Direction"), 360, f5));
    ASSERT_TRUE(session.set_color(index("Start Color"), PF_Pixel{255, 0, 0, 0}, f1));
    ASSERT_TRUE(session.set_color(index("Start Color"), PF_Pixel{255, 255, 100, 1}, f5));
    ASSERT_TRUE(session.set_percent(index("End Alpha"), 0, f1));
    ASSERT_TRUE(session.set_percent(index("End Alpha"), 50, f5));

    EXPECT_EQ(checkout_at(index("Shape"), 4).u.pd.value, 1) << "a popup holds until its next key";
    EXPECT_EQ(checkout_at(index("Shape"), 5).u.pd.value, 3);
    const PF_ParamDef center = checkout_at(index("Center"), 2);
    EXPECT_EQ(center.u.td.x_value, 10 * 65536);
    EXPECT_EQ(center.u.td.y_value, 4 * 65536);
    EXPECT_EQ(checkout_at(index("Power"), 3).u.fs_d.value, 2.0);
    EXPECT_EQ(checkout_at(index("Direction"), 4).u.ad.value, 270 * 65536);
    const PF_Pixel c = checkout_at(index("Start Color"), 2).u.cd.value;
    EXPECT_EQ(c.red, 64);  // 63.75
    EXPECT_EQ(c.green, 25);
    EXPECT_EQ(c.blue, 0);  // 0.25
    EXPECT_EQ(checkout_at(index("End Alpha"), 2).u.fd.value, 12 * 65536 + 32768);
    EXPECT_EQ(checkout_at(index("End Alpha"), 0).u.fd.value, 0) << "before the first key";

    // Points are keyed in layer pixels and scaled by the downsample at checkout.
    session.host().config().downsample_x = PF_RationalScale{1, 2};
    EXPECT_EQ(checkout_at(index("Center"), 2).u.td.x_value, 5 * 65536);
    session.host().config().downsample_x = PF_RationalScale{1, 1};

    // A value set without a time makes the control constant again.
    ASSERT_TRUE(session.set_float(index("Power"), 1.5));
    EXPECT_EQ(checkout_at(index("Power"), 3).u.fs_d.value, 1.5);
    EXPECT_TRUE(session.host().keys(index("Power")).empty());
}

TEST_F(SimhostTime, TheModuleChecksOutAtTheFramesTimeAndTheUiUpdateSeesItsValues)
{
    ready();
    session.set_frame_rate(30000, 1001);
    ASSERT_TRUE(session.set_popup(index("Controlled By"), 1, session.frame_time(0)));
    ASSERT_TRUE(session.set_popup(index("Controlled By"), 2, session.frame_time(10)));
    session.set_current_frame(12);
    EXPECT_EQ(session.host().config().current_time, 12012);
    ASSERT_EQ(session.update_params_ui(), PF_Err_NONE);
    EXPECT_EQ(
        session.host().param_records()[static_cast<std::size_t>(index("Controlled By"))].u.pd.value,
        2)
        << "the parameter array holds the value at the current time";

    session.host().clear_call_logs();
    simhost::RenderOptions o;
    o.solid = {48, 20, {1, 0, 0, 0}};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    const auto& calls = session.host().checkout_param_calls();
    ASSERT_EQ(calls.size(), 13u);
    for (const simhost::CheckoutParamCall& call : calls) {
        EXPECT_EQ(call.what_time, 12012);
        EXPECT_EQ(call.time_step, 1001);
        EXPECT_EQ(call.time_scale, 30000u);
    }
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_EQ(r.layer_checkouts[0].what_time, 12012);
    EXPECT_EQ(r.layer_checkouts[0].time_scale, 30000u);
}

// Frames of a keyed session equal frames of a session holding the values the
// test itself computes for each frame, bit for bit, at every depth.
TEST_F(SimhostTime, KeyedFramesEqualFramesOfTheInterpolatedValues)
{
    ready();
    session.set_frame_rate(24, 1);
    const auto key = [&](int frame) { return session.frame_time(frame); };
    ASSERT_TRUE(session.set_popup(index("Type"), 3, key(1)));
    ASSERT_TRUE(session.set_point(index("Start of Ramp"), 0, 0, key(1)));
    ASSERT_TRUE(session.set_point(index("Start of Ramp"), 20, 10, key(5)));
    ASSERT_TRUE(session.set_color(index("End Color"), PF_Pixel{255, 0, 0, 255}, key(1)));
    ASSERT_TRUE(session.set_color(index("End Color"), PF_Pixel{255, 255, 0, 0}, key(5)));
    ASSERT_TRUE(session.set_float(index("Power"), 0.5, key(1)));
    ASSERT_TRUE(session.set_float(index("Power"), 2.5, key(5)));
    ASSERT_TRUE(session.set_percent(index("Start Alpha"), 100, key(1)));
    ASSERT_TRUE(session.set_percent(index("Start Alpha"), 20, key(5)));

    // The keyed frames first: one host is active at a time.
    const PF_PixelFormat formats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64,
                                      PF_PixelFormat_ARGB128};
    const auto options = [](PF_PixelFormat format) {
        simhost::RenderOptions o;
        o.format = format;
        o.solid = {48, 20, {0.75, 0.25, 0.5, 1}};
        return o;
    };
    std::vector<simhost::World> keyed;
    for (const PF_PixelFormat format : formats) {
        for (int frame = 1; frame <= 5; ++frame) {
            session.set_current_frame(frame);
            simhost::RenderResult r = session.render(options(format));
            ASSERT_EQ(r.err, PF_Err_NONE);
            keyed.push_back(std::move(r.output));
        }
    }

    simhost::Session plain(config());
    ASSERT_TRUE(plain.load(kModulePath));
    ASSERT_EQ(plain.global_setup(), PF_Err_NONE);
    ASSERT_EQ(plain.params_setup(), PF_Err_NONE);
    ASSERT_TRUE(plain.set_popup(index("Type"), 3));
    std::size_t next = 0;
    for (const PF_PixelFormat format : formats) {
        for (int frame = 1; frame <= 5; ++frame) {
            SCOPED_TRACE("frame " + std::to_string(frame) + ", " +
                         simhost::pixel_format_name(format));
            const double u = (frame - 1) / 4.0;
            ASSERT_TRUE(plain.set_point(index("Start of Ramp"), 20 * u, 10 * u));
            // Each channel on its own line, rounded: at u = 0.5 both are 127.5 -> 128.
            const auto red = static_cast<A_u_char>(std::round(255 * u));
            const auto blue = static_cast<A_u_char>(std::round(255 - 255 * u));
            ASSERT_TRUE(plain.set_color(index("End Color"), PF_Pixel{255, red, 0, blue}));
            ASSERT_TRUE(plain.set_float(index("Power"), 0.5 + 2.0 * u));
            ASSERT_TRUE(plain.set_percent(index("Start Alpha"), 100 - 80 * u));
            const simhost::RenderResult reference = plain.render(options(format));
            ASSERT_EQ(reference.err, PF_Err_NONE);
            EXPECT_EQ(keyed[next++].first_difference(reference.output), "");
        }
    }
    EXPECT_EQ(plain.global_setdown(), PF_Err_NONE);
    EXPECT_TRUE(plain.accounting().balanced()) << plain.accounting().unbalanced();
}

// Frames in flight at once, each at its own time, check out their own time's
// values: the keys travel with each frame's copy of the parameters.
TEST_F(SimhostTime, KeyedFramesInFlightTogetherEqualTheFramesRenderedAlone)
{
    ready();
    session.set_frame_rate(30000, 1001);
    const auto key = [&](int frame) { return session.frame_time(frame); };
    ASSERT_TRUE(session.set_point(index("End of Ramp"), 47, 0, key(1)));
    ASSERT_TRUE(session.set_point(index("End of Ramp"), 0, 19, key(4)));
    ASSERT_TRUE(session.set_color(index("Start Color"), PF_Pixel{255, 10, 200, 30}, key(2)));
    ASSERT_TRUE(session.set_color(index("Start Color"), PF_Pixel{255, 250, 0, 90}, key(3)));
    ASSERT_TRUE(session.set_float(index("Power"), 3.0, key(1)));
    ASSERT_TRUE(session.set_float(index("Power"), 0.25, key(4)));

    std::vector<simhost::FrameJob> jobs;
    std::vector<simhost::World> alone;
    for (int frame = 4; frame >= 1; --frame) {
        simhost::RenderOptions o;
        o.format = PF_PixelFormat_ARGB128;
        o.solid = {48, 20, {1, 0.5, 0.25, 0.75}};
        o.current_time = session.frame_time(frame).value;
        simhost::RenderResult r = session.render(o);
        ASSERT_EQ(r.err, PF_Err_NONE);
        alone.push_back(std::move(r.output));
        jobs.push_back(simhost::FrameJob{o, session.param_values()});
    }
    const std::vector<simhost::RenderResult> together = session.render_together(jobs);
    ASSERT_EQ(together.size(), alone.size());
    for (std::size_t i = 0; i < alone.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(4 - i));
        ASSERT_EQ(together[i].err, PF_Err_NONE);
        ASSERT_EQ(together[i].layer_checkouts.size(), 1u);
        EXPECT_EQ(together[i].layer_checkouts[0].what_time,
                  session.frame_time(static_cast<int>(4 - i)).value);
        EXPECT_EQ(together[i].output.first_difference(alone[i]), "");
        if (i > 0) {
            EXPECT_NE(alone[i].first_difference(alone[i - 1]), "") << "the keys change every frame";
        }
    }
}

TEST_F(SimhostTime, FramesRenderInTheCallersWorldsWithoutCopies)
{
    ready();
    simhost::WorldSpec spec{31, 9, PF_PixelFormat_ARGB128};
    spec.row_padding = 16;
    spec.origin_x = 3;
    simhost::World input(spec);
    input.fill_with([](int x, int y) { return simhost::ColorF{0.5, x / 31.0, y / 9.0, 0.25}; });
    simhost::World output(spec);

    simhost::RenderOptions copied;
    copied.input = &input;
    copied.row_padding = 16;
    copied.origin_x = 3;
    const simhost::RenderResult reference = session.render(copied);
    ASSERT_EQ(reference.err, PF_Err_NONE);

    simhost::RenderOptions in_place;
    in_place.input_world = &input;
    in_place.output_world = &output;
    const void* pixels = output.effect_world()->data;
    const simhost::RenderResult r = session.render(in_place);
    ASSERT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(output.effect_world()->data, pixels);
    EXPECT_EQ(r.output.width(), 0) << "no copy of the output";
    EXPECT_EQ(r.input.width(), 0) << "no copy of the input";
    EXPECT_TRUE(r.outputs.empty());
    EXPECT_EQ(output.first_difference(reference.output), "");
    EXPECT_TRUE(output.guards_intact());
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_EQ(r.layer_checkouts[0].result.result_rect.left, 3) << "the input world's own origin";
}

}  // namespace
}  // namespace velkor_test
