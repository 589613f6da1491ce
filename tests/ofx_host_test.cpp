// The plug-in as an OpenFX host sees it: what it describes, the enabling rules,
// every failure the host can cause, and frames in flight at once.
#include <gtest/gtest.h>

#include <thread>

#include "ofx_test_support.h"

namespace velkor_test {
namespace {

class OfxHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.load(kBundle), "");
        ASSERT_EQ(host.load_status(), kOfxStatOK);
        ASSERT_EQ(host.describe(), kOfxStatOK);
    }
    void TearDown() override
    {
        EXPECT_EQ(host.unload(), kOfxStatOK);
        const ofxhost::Accounting a = host.accounting();
        EXPECT_TRUE(a.balanced()) << a.live_blocks << " blocks, " << a.images_fetched
                                  << " images fetched, " << a.images_released << " released";
        EXPECT_EQ(ofxhost::violations(), std::vector<std::string>{});
    }
    ofxhost::Effect* instance(const char* context, bool source)
    {
        ofxhost::Effect* fx = nullptr;
        EXPECT_EQ(host.create_instance(context, {40, 20, 1, source}, &fx), kOfxStatOK);
        return fx;
    }
    ofxhost::Host host;
};

TEST_F(OfxHostTest, DescribesOnePluginInThreeContextsAndThreeDepths)
{
    const OfxPlugin& p = *host.plugin();
    EXPECT_STREQ(p.pluginIdentifier, "com.velkor.VelkorRamp");
    EXPECT_EQ(p.pluginVersionMajor, 1u);
    EXPECT_EQ(p.pluginVersionMinor, 0u);
    const ofxhost::PropertySet& d = host.descriptor().props;
    EXPECT_EQ(d.get_string(kOfxPropLabel), "VelkorRamp");
    EXPECT_EQ(d.get_string(kOfxImageEffectPluginPropGrouping), "Velkor");
    EXPECT_EQ(d.find(kOfxImageEffectPropSupportedContexts)->strings,
              (std::vector<std::string>{kOfxImageEffectContextGenerator,
                                        kOfxImageEffectContextFilter,
                                        kOfxImageEffectContextGeneral}));
    EXPECT_EQ(d.find(kOfxImageEffectPropSupportedPixelDepths)->strings,
              (std::vector<std::string>{kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat}));
    EXPECT_EQ(d.get_string(kOfxImageEffectPluginRenderThreadSafety),
              kOfxImageEffectRenderFullySafe);
    EXPECT_EQ(host.describe_in_context("OfxImageEffectContextTransition"), kOfxStatErrUnsupported);
}

TEST_F(OfxHostTest, EachContextHasItsClipsAndTheThirteenControls)
{
    struct Row {
        const char* context;
        int clips;
        int source_optional;
    };
    const Row rows[] = {{kOfxImageEffectContextGenerator, 1, -1},
                        {kOfxImageEffectContextFilter, 2, 0},
                        {kOfxImageEffectContextGeneral, 2, 1}};
    const std::vector<std::string> names = {"type",     "controlledBy", "startOfRamp", "endOfRamp",
                                            "center",   "length",       "direction",   "startColor",
                                            "endColor", "startAlpha",   "endAlpha",    "shape",
                                            "power"};
    for (const Row& row : rows) {
        ofxhost::Effect* d = nullptr;
        ASSERT_EQ(host.describe_in_context(row.context, &d), kOfxStatOK);
        ASSERT_EQ(static_cast<int>(d->clips.size()), row.clips) << row.context;
        if (row.source_optional >= 0) {
            EXPECT_EQ(d->find_clip("Source")->props.get_int(kOfxImageClipPropOptional),
                      row.source_optional);
        }
        ASSERT_EQ(d->params.params.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(d->params.params[i]->props.get_string(kOfxParamPropScriptName), names[i]);
        }
    }
    // Units and defaults where the two hosts' conventions differ.
    ofxhost::Effect* d = nullptr;
    ASSERT_EQ(host.describe_in_context(kOfxImageEffectContextFilter, &d), kOfxStatOK);
    const auto defaults = [&](const char* name) {
        return d->params.find(name)->props.find(kOfxParamPropDefault)->doubles;
    };
    EXPECT_EQ(defaults("startOfRamp"), (std::vector<double>{0.0, 0.5}));
    EXPECT_EQ(defaults("endOfRamp"), (std::vector<double>{1.0, 0.5}));
    EXPECT_EQ(defaults("direction"), (std::vector<double>{90.0}));
    EXPECT_EQ(defaults("startColor"), (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_EQ(defaults("endAlpha"), (std::vector<double>{0.0}));
    EXPECT_EQ(d->params.find("direction")->props.get_string(kOfxParamPropDoubleType),
              kOfxParamDoubleTypeAngle);
    EXPECT_EQ(d->params.find("startAlpha")->props.get_double(kOfxParamPropMax), 100.0);
    EXPECT_EQ(d->params.find("shape")->props.find(kOfxParamPropChoiceOption)->strings,
              (std::vector<std::string>{"Linear", "Linear 2", "Radial"}));
}

TEST_F(OfxHostTest, ControlsAreEnabledAsTheChoicesDecide)
{
    struct Row {
        double type, controlled_by, shape;
        const char*
            enabled;  // startColor endColor startAlpha endAlpha start end center length direction
    };
    const Row rows[] = {{0, 0, 0, "110011000"}, {2, 1, 2, "111100110"}, {1, 1, 0, "001100111"}};
    const char* names[] = {"startColor", "endColor", "startAlpha", "endAlpha", "startOfRamp",
                           "endOfRamp",  "center",   "length",     "direction"};
    ofxhost::Effect* fx = instance(kOfxImageEffectContextGeneral, false);
    for (const Row& row : rows) {
        ASSERT_EQ(host.set_param(fx, "type", {row.type}), kOfxStatOK);
        ASSERT_EQ(host.set_param(fx, "controlledBy", {row.controlled_by}), kOfxStatOK);
        ASSERT_EQ(host.set_param(fx, "shape", {row.shape}), kOfxStatOK);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(fx->params.find(names[i])->props.get_int(kOfxParamPropEnabled, 0, -1),
                      row.enabled[i] - '0')
                << names[i] << " for " << row.type << "/" << row.controlled_by << "/" << row.shape;
        }
    }
}

TEST_F(OfxHostTest, HostFailuresEndInAStatusAndLeaveNothing)
{
    struct Row {
        const char* what;
        void (*inject)(ofxhost::Faults&);
        OfxStatus create, render;
    };
    const Row rows[] = {
        {"allocation refused", [](ofxhost::Faults& f) { f.fail_allocation = 0; }, kOfxStatErrMemory,
         kOfxStatOK},
        {"render aborted", [](ofxhost::Faults& f) { f.abort_render = true; }, kOfxStatOK,
         kOfxStatFailed},
        {"threads refused", [](ofxhost::Faults& f) { f.fail_multithread = true; }, kOfxStatOK,
         kOfxStatFailed},
        {"source missing", [](ofxhost::Faults& f) { f.fail_source_fetch = true; }, kOfxStatOK,
         kOfxStatOK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        host.faults() = ofxhost::Faults{};
        row.inject(host.faults());
        ofxhost::Effect* fx = nullptr;
        ASSERT_EQ(host.create_instance(kOfxImageEffectContextFilter, {40, 20, 1, true}, &fx),
                  row.create);
        if (fx == nullptr) continue;
        ofxhost::Frame source = ofxhost::Frame::blank(kOfxBitDepthByte, {0, 0, 40, 20});
        ofxhost::RenderRequest r;
        r.depth = kOfxBitDepthByte;
        r.source = &source;
        ofxhost::Frame out;
        EXPECT_EQ(host.render(fx, r, out), row.render);
        EXPECT_EQ(host.destroy_instance(fx), kOfxStatOK);
    }
}

TEST(OfxHostLoad, AMissingRequiredSuiteFailsTheLoadAndEveryActionAfterIt)
{
    for (const char* suite :
         {kOfxPropertySuite, kOfxImageEffectSuite, kOfxParameterSuite, kOfxMemorySuite}) {
        ofxhost::Host other;
        other.faults().missing_suites = {suite};
        ASSERT_EQ(other.load(kBundle), "");
        EXPECT_EQ(other.load_status(), kOfxStatErrMissingHostFeature) << suite;
        EXPECT_EQ(other.call(kOfxActionDescribe, &other, nullptr, nullptr),
                  kOfxStatErrMissingHostFeature);
    }
    ofxhost::Host plain;
    plain.faults().missing_suites = {kOfxMultiThreadSuite, kOfxMessageSuite};
    ASSERT_EQ(plain.load(kBundle), "");
    ASSERT_EQ(plain.load_status(), kOfxStatOK);
    ASSERT_EQ(plain.describe(), kOfxStatOK);
    ofxhost::Effect* fx = nullptr;
    ASSERT_EQ(plain.create_instance(kOfxImageEffectContextGenerator, {8, 8}, &fx), kOfxStatOK);
    ofxhost::Frame out;
    EXPECT_EQ(plain.render(fx, {}, out), kOfxStatOK);
    EXPECT_EQ(plain.unload(), kOfxStatOK);
    EXPECT_TRUE(plain.accounting().balanced());
    EXPECT_EQ(ofxhost::violations(), std::vector<std::string>{});
}

TEST_F(OfxHostTest, OutputIsStraightAndAPremultipliedSourceIsStraightenedFirst)
{
    ofxhost::Effect* fx = instance(kOfxImageEffectContextFilter, true);
    ofxhost::PropertySet prefs;
    ASSERT_EQ(host.clip_preferences(fx, prefs), kOfxStatOK);
    EXPECT_EQ(prefs.get_string(kOfxImageEffectPropPreMultiplication), kOfxImageUnPreMultiplied);
    ASSERT_EQ(host.set_param(fx, "type", {1}), kOfxStatOK);  // Alpha: the source's colour stays
    ofxhost::Frame source = ofxhost::Frame::blank(kOfxBitDepthFloat, {0, 0, 40, 20});
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            const velkor::RgbaPixelFloat p{0.25f, 0.125f, 0.5f, 0.5f};
            std::memcpy(source.pixel(x, y), &p, sizeof p);
        }
    }
    ofxhost::RenderRequest r;
    r.source = &source;
    r.source_premultiplication = kOfxImagePreMultiplied;
    r.tile_width = 13;
    ofxhost::Frame out;
    ASSERT_EQ(host.render(fx, r, out), kOfxStatOK);
    velkor::RgbaPixelFloat p;
    std::memcpy(&p, out.pixel(0, 10), sizeof p);
    EXPECT_EQ(p.red, 0.5f);
    EXPECT_EQ(p.green, 0.25f);
    EXPECT_EQ(p.blue, 1.0f);
    EXPECT_EQ(p.alpha, 0.5f);  // Start Alpha 100 % at the start of the ramp
}

TEST_F(OfxHostTest, ACircleStaysACircleOnPixelsTwiceAsWideAsHigh)
{
    ofxhost::Effect* fx = nullptr;
    ASSERT_EQ(host.create_instance(kOfxImageEffectContextGenerator, {40, 20, 2.0}, &fx),
              kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "controlledBy", {1}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "shape", {2}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "center", {20, 10}), kOfxStatOK);
    ASSERT_EQ(host.set_param(fx, "length", {8}), kOfxStatOK);
    ofxhost::Frame out;
    ASSERT_EQ(host.render(fx, {}, out), kOfxStatOK);
    ASSERT_EQ(out.width(), 20);
    // Four units right of the centre (two pixels) and four below (four rows).
    const auto red = [&](int x, int y) {
        return reinterpret_cast<const velkor::RgbaPixelFloat*>(out.pixel(x, y))->red;
    };
    EXPECT_EQ(red(12, 9), red(10, 5));
    EXPECT_EQ(red(12, 9), 0.5f);
    EXPECT_NE(red(14, 9), red(12, 9));
}

TEST_F(OfxHostTest, FramesInFlightAtOnceEqualTheFramesRenderedAlone)
{
    constexpr int kFrames = 6;
    std::mt19937 rng(99);
    std::vector<ofxhost::Effect*> fxs;
    std::vector<ofxhost::Frame> alone(kFrames), together(kFrames);
    std::vector<ofxhost::RenderRequest> requests(kFrames);
    const char* depths[] = {kOfxBitDepthByte, kOfxBitDepthShort, kOfxBitDepthFloat};
    for (int i = 0; i < kFrames; ++i) {
        fxs.push_back(instance(kOfxImageEffectContextGenerator, false));
        apply(host, fxs.back(), random_settings(rng, 40, 20), 20);
        requests[static_cast<std::size_t>(i)].depth = depths[i % 3];
        requests[static_cast<std::size_t>(i)].threads = 1 + i % 4;
        requests[static_cast<std::size_t>(i)].scale = {1.0 / (1 + i % 2), 1.0 / (1 + i % 2)};
        ASSERT_EQ(host.render(fxs.back(), requests[static_cast<std::size_t>(i)],
                              alone[static_cast<std::size_t>(i)]),
                  kOfxStatOK);
    }
    std::vector<std::thread> threads;
    std::vector<OfxStatus> status(kFrames, kOfxStatFailed);
    for (std::size_t i = 0; i < kFrames; ++i) {
        threads.emplace_back([&, i] { status[i] = host.render(fxs[i], requests[i], together[i]); });
    }
    for (std::thread& t : threads) t.join();
    for (std::size_t i = 0; i < kFrames; ++i) {
        EXPECT_EQ(status[i], kOfxStatOK);
        EXPECT_EQ(together[i].data, alone[i].data) << "frame " << i;
    }
}

}  // namespace
}  // namespace velkor_test
