// The shading kernels at all three depths: whole frames against the per-pixel
// model, "Type", clipping, bands, world layouts, and the exact conversions.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>

#include "engine_test_support.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_renderer.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

using test::FakeHost;
using test::model_pixel;
using test::same_bits;
using test::same_frame;
using test::TestWorld;
using test::two_points;

constexpr unsigned char kFill = 0xA5;

// Random settings. `geometry` 1 to 5 forces a ramp along a row (1), along a
// column (2, and 4 from Center), from coinciding points (3), or an unknown
// shape (5); 0 leaves it random.
RampSettings random_settings(std::mt19937& rng, A_long width, A_long height, unsigned geometry = 0)
{
    const auto pick = [&rng](unsigned n) { return static_cast<int>(rng() % n); };
    // Quarter pixels, up to 10 pixels beyond the frame.
    const auto at = [&pick](A_long extent) {
        return (pick(static_cast<unsigned>(extent + 20) * 4) - 40) / 4.0;
    };
    const auto color = [&pick] {
        return Color4{pick(256) / 255.0, pick(256) / 255.0, pick(256) / 255.0, pick(256) / 255.0};
    };
    RampSettings s = test::basic_settings();
    s.type = 1 + pick(3);
    s.controlled_by = geometry == 4 ? 2 : (geometry != 0 ? 1 : 1 + pick(2));
    s.shape = geometry == 5 ? kUnknownShape * (1 - pick(2))
                            : 1 + pick(geometry != 0 && geometry != 3 ? 2 : 3);
    s.start_point = {at(width), at(height)};
    s.end_point = {geometry == 2 || geometry == 3 ? s.start_point.x : at(width),
                   geometry == 1 || geometry == 3 ? s.start_point.y : at(height)};
    s.center = {at(width), at(height)};
    s.length = pick(static_cast<unsigned>(width + height) * 4) / 4.0;
    s.direction = geometry == 4 ? 0.0 : ((pick(720 * 16) - 360 * 16) / 16.0) * 0.017453292519943295;
    s.start_color = color();
    s.end_color = color();
    // Fractions a little beyond 0..1, which the integer conversions clamp.
    s.start_alpha = (pick(161 * 4) / 4.0 - 30.0) * 0.01;
    s.end_alpha = (pick(161 * 4) / 4.0 - 30.0) * 0.01;
    s.power = std::array{0.01, 0.37, 1.0, 2.0, 5.5, 100.0}[static_cast<std::size_t>(pick(6))];
    return s;
}

template <class D>
void fill_randomly(TestWorld<typename D::Pixel>& world, std::mt19937& rng)
{
    world.for_each([&rng](A_long, A_long, typename D::Pixel& p) {
        p = {D::channel(rng()), D::channel(rng()), D::channel(rng()), D::channel(rng())};
    });
}

template <class D>
void fill_with_model(TestWorld<typename D::Pixel>& expected, TestWorld<typename D::Pixel>& input,
                     const RampSettings& s)
{
    expected.for_each([&](A_long x, A_long y, typename D::Pixel& p) {
        p = model_pixel<D>(s, x, y, input.at(x, y));
    });
}

template <class D>
class RampKernel : public ::testing::Test {
protected:
    static constexpr DepthClass kDepth = D::depth;

    void render(const RampSettings& s, TestWorld<typename D::Pixel>& in,
                TestWorld<typename D::Pixel>& out, DepthClass depth = kDepth)
    {
        RampRenderer(host.record(s)).render_frame(in.view(depth), out.view(depth));
    }

    FakeHost host;
};

using Depths = ::testing::Types<test::Depth8, test::Depth16, test::DepthFloat>;
TYPED_TEST_SUITE(RampKernel, Depths);

TYPED_TEST(RampKernel, MatchesThePerPixelModelOnRandomSettings)
{
    using World = TestWorld<typename TypeParam::Pixel>;
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{17, 9},
                               std::pair{64, 33}, std::pair{300, 4}}) {
        for (unsigned seed = 1; seed <= 12; ++seed) {
            std::mt19937 rng(seed * 7919u + static_cast<unsigned>(w));
            const RampSettings s = random_settings(rng, w, h, seed % 6);
            World in(w, h), out(w, h), expected(w, h);
            fill_randomly<TypeParam>(in, rng);
            fill_with_model<TypeParam>(expected, in, s);
            this->render(s, in, out);
            EXPECT_TRUE(same_frame(out, expected))
                << w << "x" << h << ", seed " << seed << ", type " << s.type << ", placement "
                << s.controlled_by << ", shape " << s.shape;
        }
    }
}

TYPED_TEST(RampKernel, TypeDecidesWhichChannelsAreWrittenAndTransparentStaysTransparent)
{
    using World = TestWorld<typename TypeParam::Pixel>;
    std::mt19937 rng(77);
    World in(9, 4);
    fill_randomly<TypeParam>(in, rng);
    in.for_each([](A_long x, A_long y, auto& p) {
        if ((x + y) % 3 == 0) p.alpha = 0;
    });
    RampSettings s = two_points(1, 0, 8, 3, 1);
    s.start_color = {0.2, 0.9, 0.1, 0.5};
    s.end_color = {0.7, 0.0, 1.0, 0.25};
    s.start_alpha = 0.75;
    s.end_alpha = 0.125;
    RampSettings both = s;
    both.type = 3;
    for (A_long type : {1, 2, 3, 0, 4, -1}) {
        s.type = type;
        World out(9, 4);
        this->render(s, in, out);
        out.for_each([&](A_long x, A_long y, const auto& actual) {
            const auto p = in.at(x, y);
            const auto ramp = model_pixel<TypeParam>(both, x, y, p);
            auto expected = p;
            if (type == 1) expected = {p.alpha, ramp.red, ramp.green, ramp.blue};
            if (type == 2) expected = {ramp.alpha, p.red, p.green, p.blue};
            if (type == 3) expected = ramp;
            EXPECT_TRUE(same_bits(actual, expected)) << "type " << type << " at " << x << ", " << y;
            if (p.alpha == 0) {
                EXPECT_EQ(actual.alpha, 0) << "type " << type << " at " << x << ", " << y;
            }
        });
    }
}

TYPED_TEST(RampKernel, BandsGiveTheSameFrameAsOneCall)
{
    using World = TestWorld<typename TypeParam::Pixel>;
    constexpr A_long w = 23, h = 17;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        std::mt19937 rng(seed);
        World in(w, h), whole(w, h);
        fill_randomly<TypeParam>(in, rng);
        const RampRenderer renderer(this->host.record(random_settings(rng, w, h, seed % 6)));
        renderer.render_frame(in.view(this->kDepth), whole.view(this->kDepth));
        for (A_long n : {2, 3, 4, 7, 17}) {
            World banded(w, h);
            for (A_long i = 0; i < n; ++i) {
                renderer.render_area(in.view(this->kDepth), banded.view(this->kDepth),
                                     PF_Rect{0, i * h / n, w, (i + 1) * h / n});
            }
            EXPECT_TRUE(same_frame(banded, whole)) << n << " bands, seed " << seed;
        }
    }
}

TYPED_TEST(RampKernel, RaisesToThePowerThroughTheHost)
{
    using World = TestWorld<typename TypeParam::Pixel>;
    RampSettings s = two_points(0, 0, 9, 0, 3);
    s.power = 2.0;
    World in(6, 5), out(6, 5);
    const long calls_before = test::pow_calls.load();
    this->render(s, in, out);
    const long calls = test::pow_calls.load() - calls_before;
    EXPECT_GT(calls, 0);
    EXPECT_LE(calls, 6 * 5);
}

TYPED_TEST(RampKernel, PaddedAndBottomUpWorldsGiveTheSamePixels)
{
    using Pixel = typename TypeParam::Pixel;
    using World = TestWorld<Pixel>;
    constexpr A_long w = 13, h = 6;
    std::mt19937 rng(21);
    const RampSettings s = random_settings(rng, w, h);
    World tight_in(w, h), tight_out(w, h);
    fill_randomly<TypeParam>(tight_in, rng);
    this->render(s, tight_in, tight_out);

    // Row padding in pixels and bottom-up, of the input and of the output.
    for (const auto& [in_pad, in_up, out_pad, out_up] :
         {std::array{3, 0, 0, 1}, std::array{0, 1, 2, 0}, std::array{1, 1, 4, 1}}) {
        World in(w, h, sizeof(Pixel) * static_cast<std::size_t>(in_pad), in_up != 0);
        World out(w, h, sizeof(Pixel) * static_cast<std::size_t>(out_pad), out_up != 0);
        in.for_each([&](A_long x, A_long y, Pixel& p) { p = tight_in.at(x, y); });
        this->render(s, in, out);
        EXPECT_TRUE(same_frame(out, tight_out))
            << "pads " << in_pad << ", " << out_pad << ", bottom-up " << in_up << ", " << out_up;
        EXPECT_TRUE(out.padding_holds(kFill));
    }
}

// Rows are found by their byte stride: padding by any number of bytes that
// keeps the channels aligned (a float world padded by 8 bytes, a 16-bit one by
// 2, an 8-bit one by 1) draws the same pixels as a tight world, up or down.
TYPED_TEST(RampKernel, RowsPaddedByPartsOfAPixelGiveTheSamePixels)
{
    using Pixel = typename TypeParam::Pixel;
    using World = TestWorld<Pixel>;
    constexpr A_long w = 11, h = 7;
    constexpr std::size_t channel = sizeof(Pixel) / 4;
    std::mt19937 rng(5);
    for (unsigned round = 0; round < 6; ++round) {
        const RampSettings s = random_settings(rng, w, h, round % 6);
        World tight_in(w, h), tight_out(w, h);
        fill_randomly<TypeParam>(tight_in, rng);
        this->render(s, tight_in, tight_out);
        for (const auto& [in_pad, out_pad, bottom_up] :
             {std::tuple{channel, 3 * channel, false}, std::tuple{2 * channel, channel, true},
              std::tuple{5 * channel, 0 * channel, true}}) {
            World in(w, h, in_pad, bottom_up), out(w, h, out_pad, !bottom_up);
            ASSERT_TRUE(is_drawable(in.world, this->kDepth));
            ASSERT_TRUE(is_drawable(out.world, this->kDepth));
            in.for_each([&](A_long x, A_long y, Pixel& p) { p = tight_in.at(x, y); });
            this->render(s, in, out);
            EXPECT_TRUE(same_frame(out, tight_out))
                << "round " << round << ", pads " << in_pad << " and " << out_pad << " bytes";
            EXPECT_TRUE(out.padding_holds(kFill));
        }
    }
}

TYPED_TEST(RampKernel, ClipsTheRectangleAndLeavesTheRestUntouched)
{
    using World = TestWorld<typename TypeParam::Pixel>;
    constexpr A_long w = 6, h = 4;
    std::mt19937 rng(8);
    World in(w, h), expected(w, h), untouched(w, h);
    fill_randomly<TypeParam>(in, rng);
    const RampSettings s = random_settings(rng, w, h);
    fill_with_model<TypeParam>(expected, in, s);
    const RampRenderer renderer(this->host.record(s));
    for (const PF_Rect r : {PF_Rect{-3, -2, 3, 2}, PF_Rect{4, 2, 100, 100}, PF_Rect{1, 1, 5, 3},
                            PF_Rect{6, 0, 9, 4}, PF_Rect{0, -3, 6, 0}, PF_Rect{-5, -5, -1, -1},
                            PF_Rect{0, 4, 6, 9}, PF_Rect{4, 1, 2, 3}}) {
        World out(w, h);
        renderer.render_area(in.view(this->kDepth), out.view(this->kDepth), r);
        out.for_each([&](A_long x, A_long y, const auto& actual) {
            const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            EXPECT_TRUE(same_bits(actual, inside ? expected.at(x, y) : untouched.at(x, y)))
                << "rect " << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom
                << " at " << x << ", " << y;
        });
    }
}

TYPED_TEST(RampKernel, WritesNothingForMismatchedOrUnusableWorlds)
{
    using Pixel = typename TypeParam::Pixel;
    using World = TestWorld<Pixel>;
    using Change = std::function<void(World&, World&, DepthClass&)>;
    constexpr A_long row = 4 * sizeof(Pixel);
    // Bytes that put a channel off its alignment; 8-bit channels have none.
    constexpr A_long misaligned = sizeof(Pixel) == 4 ? 0 : 1;
    const std::pair<const char*, Change> cases[] = {
        {"narrower output", [](World&, World& out, DepthClass&) { out.world.width = 3; }},
        {"shorter input", [](World& in, World&, DepthClass&) { in.world.height = 2; }},
        {"no depth", [](World&, World&, DepthClass& d) { d = DepthClass::none; }},
        {"unknown depth", [](World&, World&, DepthClass& d) { d = static_cast<DepthClass>(3); }},
        {"output stride off the channels",
         [](World&, World& out, DepthClass&) { out.world.rowbytes = row + misaligned; }},
        {"input stride off the channels",
         [](World& in, World&, DepthClass&) { in.world.rowbytes = row + misaligned; }},
        {"input data off the channels",
         [](World& in, World&, DepthClass&) {
             in.world.data =
                 reinterpret_cast<PF_PixelPtr>(reinterpret_cast<char*>(in.world.data) + misaligned);
         }},
        {"negative output width", [](World&, World& out, DepthClass&) { out.world.width = -4; }},
        {"input rows overlap",
         [](World& in, World&, DepthClass&) { in.world.rowbytes = row - sizeof(Pixel); }},
        {"output rows overlap",
         [](World&, World& out, DepthClass&) { out.world.rowbytes = row - sizeof(Pixel); }},
        {"output stride zero", [](World&, World& out, DepthClass&) { out.world.rowbytes = 0; }},
        {"input without data", [](World& in, World&, DepthClass&) { in.world.data = nullptr; }},
        {"output without data", [](World&, World& out, DepthClass&) { out.world.data = nullptr; }},
    };
    for (const auto& [what, change] : cases) {
        World in(4, 3, 8 * sizeof(Pixel)), out(4, 3, 8 * sizeof(Pixel)),
            fresh(4, 3, 8 * sizeof(Pixel));
        DepthClass depth = this->kDepth;
        change(in, out, depth);
        if (misaligned == 0 && std::string(what).find("off the channels") != std::string::npos)
            continue;
        this->render(test::basic_settings(), in, out, depth);
        EXPECT_EQ(out.bytes(), fresh.bytes()) << what;
    }
}

// What smart render refuses as a damaged world, and what it draws.
TEST(WorldLayout, DrawableWhenEveryChannelIsAlignedAndRowsDoNotOverlap)
{
    alignas(16) static unsigned char memory[4096];
    const auto world = [](std::ptrdiff_t offset, A_long width, A_long height, A_long rowbytes) {
        PF_EffectWorld w{};
        w.data = reinterpret_cast<PF_PixelPtr>(memory + 2048 + offset);
        w.width = width;
        w.height = height;
        w.rowbytes = rowbytes;
        return w;
    };
    constexpr DepthClass eight = DepthClass::eight, sixteen = DepthClass::sixteen,
                         floating = DepthClass::floating;
    // Padding by parts of a pixel, either direction.
    EXPECT_TRUE(is_drawable(world(0, 5, 3, 5 * 16 + 8), floating));
    EXPECT_TRUE(is_drawable(world(0, 5, 3, -(5 * 16 + 4)), floating));
    EXPECT_TRUE(is_drawable(world(0, 5, 3, 5 * 8 + 2), sixteen));
    EXPECT_TRUE(is_drawable(world(1, 5, 3, 5 * 4 + 1), eight));
    EXPECT_TRUE(is_drawable(world(4, 5, 3, 5 * 16), floating));
    // Off the channels' alignment: stride or data pointer.
    EXPECT_FALSE(is_drawable(world(0, 5, 3, 5 * 16 + 2), floating));
    EXPECT_FALSE(is_drawable(world(0, 5, 3, -(5 * 16 + 6)), floating));
    EXPECT_FALSE(is_drawable(world(0, 5, 3, 5 * 8 + 1), sixteen));
    EXPECT_FALSE(is_drawable(world(2, 5, 3, 5 * 16), floating));
    EXPECT_FALSE(is_drawable(world(1, 5, 3, 5 * 8), sixteen));
    // Overlapping rows, but one row may have any stride.
    EXPECT_FALSE(is_drawable(world(0, 5, 2, 4 * 16), floating));
    EXPECT_FALSE(is_drawable(world(0, 5, 2, 0), eight));
    EXPECT_TRUE(is_drawable(world(0, 5, 1, 0), eight));
    // Sizes: negative never, empty always (even without memory).
    EXPECT_FALSE(is_drawable(world(0, -1, 3, 64), eight));
    EXPECT_FALSE(is_drawable(world(0, 3, -1, 64), eight));
    PF_EffectWorld empty = world(0, 0, 3, 0);
    empty.data = nullptr;
    EXPECT_TRUE(is_drawable(empty, floating));
    PF_EffectWorld no_memory = world(0, 2, 2, 64);
    no_memory.data = nullptr;
    EXPECT_FALSE(is_drawable(no_memory, eight));
    // No depth class: never drawn, so never refused.
    EXPECT_TRUE(is_drawable(world(1, 5, 3, 3), DepthClass::none));
}

// A frame of one row, rendered; Start of Ramp at column 0, End of Ramp at the last column.
template <class Pixel>
std::vector<Pixel> render_row(RampSettings s, const std::vector<Pixel>& input, DepthClass depth)
{
    const A_long w = static_cast<A_long>(input.size());
    s.start_point = {0.0, 0.0};
    s.end_point = {w - 1.0, 0.0};
    FakeHost host;
    TestWorld<Pixel> in(w, 1), out(w, 1);
    for (A_long x = 0; x < w; ++x) in.at(x, 0) = input[static_cast<std::size_t>(x)];
    RampRenderer(host.record(s)).render_frame(in.view(depth), out.view(depth));
    return {&out.at(0, 0), &out.at(0, 0) + w};
}

TEST(EightBitConversion, BlackToWhiteAtAQuarterWrites64)
{
    RampSettings s = test::basic_settings();
    s.start_color = {1.0, 0.0, 0.0, 0.0};
    s.end_color = {1.0, 1.0, 1.0, 1.0};
    const auto row =
        render_row(s, std::vector<PF_Pixel>(5, PF_Pixel{200, 9, 9, 9}), DepthClass::eight);
    EXPECT_TRUE(same_bits(row[1], PF_Pixel{200, 64, 64, 64}));
}

TEST(EightBitConversion, RampEndsWriteTheColorBytesExactly)
{
    const auto b = [](int v) { return static_cast<A_u_char>(v); };
    const auto unit = [](const PF_Pixel& c) {
        return Color4{c.alpha / 255.0, c.red / 255.0, c.green / 255.0, c.blue / 255.0};
    };
    for (int k = 0; k < 256; ++k) {
        const PF_Pixel start{b(255 - k), b(k), b(255 - k), b(k / 3)};
        const PF_Pixel end{b(k), b((k * 7) % 256), b(k / 2), b(255 - k)};
        for (A_long type : {1, 3}) {
            RampSettings s = test::basic_settings();
            s.type = type;
            s.start_color = unit(start);
            s.end_color = unit(end);
            const auto row =
                render_row(s, std::vector<PF_Pixel>(2, PF_Pixel{255, 1, 2, 3}), DepthClass::eight);
            EXPECT_TRUE(same_bits(row[0], PF_Pixel{255, start.red, start.green, start.blue}))
                << k << ", type " << type;
            EXPECT_TRUE(
                same_bits(row[1], PF_Pixel{b(type == 1 ? 255 : 0), end.red, end.green, end.blue}))
                << k << ", type " << type;
        }
    }
}

TEST(EightBitConversion, HalfStartAlphaOnOpaqueWrites128)
{
    RampSettings s = test::basic_settings();
    s.type = 2;
    s.start_alpha = 0.5;
    const auto row =
        render_row(s, std::vector<PF_Pixel>(3, PF_Pixel{255, 10, 20, 30}), DepthClass::eight);
    EXPECT_TRUE(same_bits(row[0], PF_Pixel{128, 10, 20, 30}));
}

TEST(SixteenBitConversion, MapsColorBytesOntoZeroTo32768)
{
    RampSettings s = test::basic_settings();
    s.type = 3;
    s.start_color = {1.0, 255 / 255.0, 128 / 255.0, 0 / 255.0};
    s.start_alpha = 0.5;
    const auto row =
        render_row(s, std::vector<PF_Pixel16>(3, PF_Pixel16{32768, 1, 1, 1}), DepthClass::sixteen);
    EXPECT_TRUE(same_bits(row[0], PF_Pixel16{16384, 32768, 16448, 0}));
}

TEST(FloatConversion, ScalesAlphaOutsideZeroToOneUnclampedAndRoundsToNearest)
{
    RampSettings s = test::basic_settings();
    s.type = 3;
    s.start_color = {1.0, 0.1, 0.2, 0.3};
    s.end_color = {1.0, 0.9, 0.0, 1.0 / 3.0};
    s.start_alpha = 0.8;
    s.end_alpha = 0.3;
    for (const float alpha : {2.0f, -0.5f, 1.0f}) {
        const auto row = render_row(s, std::vector<PF_PixelFloat>(5, PF_PixelFloat{alpha, 5, 5, 5}),
                                    DepthClass::floating);
        for (std::size_t x = 0; x < 5; ++x) {
            const double t = static_cast<double>(x) / 4.0;
            const PF_PixelFloat expected{static_cast<float>((t * (0.3 - 0.8) + 0.8) *
                                                            static_cast<double>(alpha)),
                                         static_cast<float>(0.1 + (0.9 - 0.1) * t),
                                         static_cast<float>(0.2 + (0.0 - 0.2) * t),
                                         static_cast<float>(0.3 + (1.0 / 3.0 - 0.3) * t)};
            EXPECT_TRUE(same_bits(row[x], expected)) << "alpha " << alpha << ", x " << x;
        }
    }
}

}  // namespace
}  // namespace velkor
