// The OpenFX plug-in draws the other host's frames: for random settings that
// both hosts hold exactly, every Type, placement and shape, with and without a
// source, in every context, in bytes and float, at render scale 1 and 1/2, over
// tiles and threads, the bundle's frame equals the module's frame through the
// simulated host bit for bit. Short frames are the float frames under the
// short conversion rule.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "ofx_test_support.h"

namespace velkor_test {
namespace {

constexpr int kWidth = 48;
constexpr int kHeight = 30;
constexpr int kCases = 48;

struct Context {
    const char* name;
    bool has_source;
};
constexpr Context kContexts[] = {{kOfxImageEffectContextGenerator, false},
                                 {kOfxImageEffectContextFilter, true},
                                 {kOfxImageEffectContextGeneral, true},
                                 {kOfxImageEffectContextGeneral, false}};

struct Depth {
    const char* ofx;
    PF_PixelFormat format;
};
constexpr Depth kDepths[] = {{kOfxBitDepthByte, PF_PixelFormat_ARGB32},
                             {kOfxBitDepthFloat, PF_PixelFormat_ARGB128}};

class OfxEquality : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.load(kBundle), "");
        ASSERT_EQ(host.load_status(), kOfxStatOK);
        ASSERT_EQ(host.describe(), kOfxStatOK);
        simhost::HostConfig config;
        config.layer_width = kWidth;
        config.layer_height = kHeight;
        session = std::make_unique<simhost::Session>(config);
        ASSERT_TRUE(session->load(VELKOR_MODULE_PATH));
        ASSERT_EQ(session->global_setup(), PF_Err_NONE);
        ASSERT_EQ(session->params_setup(), PF_Err_NONE);
    }
    void TearDown() override
    {
        EXPECT_EQ(session->global_setdown(), PF_Err_NONE);
        EXPECT_EQ(host.unload(), kOfxStatOK);
        EXPECT_TRUE(host.accounting().balanced());
        EXPECT_EQ(ofxhost::violations(), std::vector<std::string>{});
    }

    ofxhost::Effect* instance(const Context& c)
    {
        ofxhost::Effect* fx = nullptr;
        EXPECT_EQ(host.create_instance(c.name, {kWidth, kHeight, 1, c.has_source}, &fx),
                  kOfxStatOK);
        return fx;
    }

    ofxhost::Host host;
    std::unique_ptr<simhost::Session> session;
};

TEST_F(OfxEquality, RandomSettingsDrawTheOtherHostsFramesBitForBit)
{
    std::mt19937 rng(20261211);
    std::vector<ofxhost::Effect*> instances;
    for (const Context& c : kContexts) instances.push_back(instance(c));
    for (int n = 0; n < kCases; ++n) {
        const Settings s = random_settings(rng, kWidth, kHeight);
        apply(*session, s);
        for (std::size_t ci = 0; ci < std::size(kContexts); ++ci) {
            apply(host, instances[ci], s, kHeight);
            for (const Depth& d : kDepths) {
                for (const int divisor : {1, 2}) {
                    const int w = kWidth / divisor, h = kHeight / divisor;
                    SCOPED_TRACE(testing::Message()
                                 << "case " << n << " " << kContexts[ci].name
                                 << (kContexts[ci].has_source ? " with a source " : " ") << d.ofx
                                 << " 1/" << divisor << " type " << s.type << " placement "
                                 << s.controlled_by << " shape " << s.shape);
                    ofxhost::Frame source = ofxhost::Frame::blank(d.ofx, {0, 0, w, h});
                    simhost::World input({w, h, d.format});
                    if (d.format == PF_PixelFormat_ARGB32) {
                        fill_source<velkor::RgbaPixel8, PF_Pixel>(rng, 0, 255, source, input);
                    } else {
                        fill_source<velkor::RgbaPixelFloat, PF_PixelFloat>(rng, -0.25f, 1.25f,
                                                                           source, input);
                    }
                    simhost::RenderOptions o;
                    o.format = d.format;
                    o.threads = 1 + n % 4;
                    o.downsample_x = o.downsample_y = {1, static_cast<A_u_long>(divisor)};
                    if (kContexts[ci].has_source) {
                        o.input = &input;
                    } else {
                        o.solid = {w, h, simhost::ColorF{}};
                    }
                    const simhost::RenderResult theirs = session->render(o);
                    ASSERT_EQ(theirs.err, PF_Err_NONE);

                    ofxhost::RenderRequest r;
                    r.depth = d.ofx;
                    r.scale = {1.0 / divisor, 1.0 / divisor};
                    r.threads = 1 + (n + ci) % 4;
                    r.tile_width = n % 3 == 0 ? 0 : 7 + n % 11;
                    r.tile_height = n % 3 == 0 ? 0 : 5 + n % 7;
                    r.row_padding = static_cast<std::size_t>(n % 2) * 16;
                    r.source = kContexts[ci].has_source ? &source : nullptr;
                    ofxhost::Frame mine;
                    ASSERT_EQ(host.render(instances[ci], r, mine), kOfxStatOK);
                    const std::string diff =
                        d.format == PF_PixelFormat_ARGB32
                            ? difference<velkor::RgbaPixel8, PF_Pixel>(mine, theirs.output)
                            : difference<velkor::RgbaPixelFloat, PF_PixelFloat>(mine,
                                                                                theirs.output);
                    ASSERT_EQ(diff, "");
                }
            }
        }
    }
    for (ofxhost::Effect* fx : instances) EXPECT_EQ(host.destroy_instance(fx), kOfxStatOK);
}

// Short channels are the float frame's values under v x 65535 + 0.5, clamped
// and truncated. The short kernel converts the float64 ramp value, the float
// frame holds it rounded to float32 first, so a value within a float32 step of
// a half code comes out one code apart; everything else is equal.
TEST_F(OfxEquality, ShortFramesAreTheFloatFramesUnderTheShortRule)
{
    std::mt19937 rng(7);
    ofxhost::Effect* fx = instance(kContexts[1]);
    long channels = 0, exact = 0;
    for (int n = 0; n < kCases; ++n) {
        apply(host, fx, random_settings(rng, kWidth, kHeight), kHeight);
        ofxhost::Frame shorts = ofxhost::Frame::blank(kOfxBitDepthShort, {0, 0, kWidth, kHeight});
        ofxhost::Frame floats = ofxhost::Frame::blank(kOfxBitDepthFloat, {0, 0, kWidth, kHeight});
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                auto* s = reinterpret_cast<velkor::RgbaPixel16*>(shorts.pixel(x, y));
                auto* f = reinterpret_cast<velkor::RgbaPixelFloat*>(floats.pixel(x, y));
                A_u_short* sc[] = {&s->red, &s->green, &s->blue, &s->alpha};
                float* fc[] = {&f->red, &f->green, &f->blue, &f->alpha};
                for (int k = 0; k < 4; ++k) {
                    *sc[k] = static_cast<A_u_short>(rng() % 65536);
                    *fc[k] = static_cast<float>(*sc[k] / 65535.0);
                }
            }
        }
        ofxhost::Frame short_out, float_out;
        ofxhost::RenderRequest r;
        r.source = &shorts;
        r.depth = kOfxBitDepthShort;
        ASSERT_EQ(host.render(fx, r, short_out), kOfxStatOK);
        r.source = &floats;
        r.depth = kOfxBitDepthFloat;
        ASSERT_EQ(host.render(fx, r, float_out), kOfxStatOK);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                velkor::RgbaPixel16 s;
                velkor::RgbaPixelFloat f;
                std::memcpy(&s, short_out.pixel(x, y), sizeof s);
                std::memcpy(&f, float_out.pixel(x, y), sizeof f);
                const A_u_short sv[] = {s.red, s.green, s.blue, s.alpha};
                const float fv[] = {f.red, f.green, f.blue, f.alpha};
                for (int k = 0; k < 4; ++k) {
                    const int rule = velkor::Rgba16Traits::from_unit(fv[k]);
                    ASSERT_LE(std::abs(rule - sv[k]), 1)
                        << "case " << n << " (" << x << ", " << y << ") channel " << k;
                    exact += rule == sv[k];
                    ++channels;
                }
            }
        }
    }
    RecordProperty("exactly_equal", std::to_string(exact) + " of " + std::to_string(channels));
    EXPECT_GE(exact, channels * 99 / 100) << exact << " of " << channels << " exactly equal";
    EXPECT_EQ(host.destroy_instance(fx), kOfxStatOK);
}

}  // namespace
}  // namespace velkor_test
