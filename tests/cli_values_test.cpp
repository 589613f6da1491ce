// The renderer's own conversions, in-process: the 16-bit file mapping, choice
// words, option values and the layer's depth and proxy conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "cli/controls.h"
#include "cli/failure.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/values.h"

namespace velkorramp {
namespace {

TEST(SixteenBitMapping, EveryHostValueSurvivesTheFileAndBack)
{
    std::set<std::uint16_t> file_values;
    for (std::uint32_t v = 0; v <= PF_MAX_CHAN16; ++v) {
        const std::uint16_t f = host16_to_file16(static_cast<std::uint16_t>(v));
        ASSERT_EQ(file16_to_host16(f), v) << "host value " << v;
        // Nearest file value: within half a file step of v * 65535 / 32768.
        ASSERT_LE(std::fabs(f - v * 65535.0 / 32768.0), 0.5) << "host value " << v;
        file_values.insert(f);
    }
    EXPECT_EQ(file_values.size(), 32769u);
    EXPECT_EQ(host16_to_file16(0), 0);
    EXPECT_EQ(host16_to_file16(16384), 32768);  // 32767.5 rounds up
    EXPECT_EQ(host16_to_file16(32768), 65535);
}

TEST(SixteenBitMapping, EveryFileValueReadsAsTheNearestHostValue)
{
    for (std::uint32_t f = 0; f <= 65535; ++f) {
        const std::uint16_t v = file16_to_host16(static_cast<std::uint16_t>(f));
        ASSERT_LE(std::fabs(v - f * 32768.0 / 65535.0), 0.5) << "file value " << f;
    }
    EXPECT_EQ(file16_to_host16(65535), 32768);
}

TEST(ChoiceWords, NumbersNamesAndDistinctiveWordsSelectChoices)
{
    const std::vector<std::string> type{"Color", "Alpha", "Color & Alpha"};
    const std::vector<std::string> placement{"Two Points", "Center & Length"};
    const std::vector<std::string> shape{"Linear", "Linear 2", "Radial"};
    EXPECT_EQ(match_choice(type, "color"), 1);
    EXPECT_EQ(match_choice(type, "alpha"), 2);
    EXPECT_EQ(match_choice(type, "color-alpha"), 3);
    EXPECT_EQ(match_choice(type, "Color & Alpha"), 3);
    EXPECT_EQ(match_choice(type, "3"), 3);
    EXPECT_EQ(match_choice(placement, "points"), 1);
    EXPECT_EQ(match_choice(placement, "center"), 2);
    EXPECT_EQ(match_choice(placement, "center-length"), 2);
    EXPECT_EQ(match_choice(shape, "linear"), 1);
    EXPECT_EQ(match_choice(shape, "linear2"), 2);
    EXPECT_EQ(match_choice(shape, "RADIAL"), 3);

    EXPECT_EQ(match_choice(shape, "4"), 0);
    EXPECT_EQ(match_choice(shape, "0"), 0);
    EXPECT_EQ(match_choice(shape, "diamond"), 0);
    EXPECT_EQ(match_choice(shape, ""), 0);
    EXPECT_EQ(match_choice(placement, "two-length"), 0);  // words of no single choice

    // A number names a choice only as a plain whole number: a sign or a fraction
    // is not stripped into another choice.
    EXPECT_EQ(match_choice(shape, " 3 "), 3);
    EXPECT_EQ(match_choice(shape, "03"), 3);
    for (const char* bad : {"-1", "-3", "+2", "2.0", "1e0", "3-", "1 2", "0x2"}) {
        EXPECT_EQ(match_choice(shape, bad), 0) << bad;
    }

    EXPECT_EQ(choice_word("Color & Alpha"), "color-alpha");
    EXPECT_EQ(choice_word("Linear 2"), "linear2");
    EXPECT_EQ(choice_word("Two Points"), "two-points");
}

ExitCode code_of(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.code();
    }
    return ExitCode::ok;
}

TEST(OptionValues, ColoursInHexOrDecimalWithOptionalAlpha)
{
    const Rgba8 hex = parse_color("--fill", "#1A2b3C", true);
    EXPECT_EQ(hex.red, 0x1A);
    EXPECT_EQ(hex.green, 0x2B);
    EXPECT_EQ(hex.blue, 0x3C);
    EXPECT_EQ(hex.alpha, 255);
    EXPECT_EQ(parse_color("--fill", "#01020380", true).alpha, 0x80);
    const Rgba8 dec = parse_color("--fill", "255, 0,7,9", true);
    EXPECT_EQ(dec.red, 255);
    EXPECT_EQ(dec.blue, 7);
    EXPECT_EQ(dec.alpha, 9);

    for (const char* bad :
         {"#12345", "#GG0000", "1,2", "256,0,0", "-1,0,0", "a,b,c", "", "#01020380"}) {
        EXPECT_EQ(code_of([&] { parse_color("--start-color", bad, false); }), ExitCode::usage)
            << bad;
    }
}

TEST(OptionValues, NumbersPairsSizesFactorsAndCounts)
{
    EXPECT_EQ(parse_number("--power", "2.5"), 2.5);
    EXPECT_EQ(parse_number("--direction", "-90"), -90.0);
    EXPECT_EQ(parse_number("--length", "1e3"), 1000.0);
    const PointValue p = parse_point("--start", "12.5,-3");
    EXPECT_EQ(p.x, 12.5);
    EXPECT_EQ(p.y, -3.0);
    const SizeValue s = parse_size("--size", "160x90");
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 90);
    const Downsample both = parse_downsample("--downsample", "1/2");
    EXPECT_EQ(both.y.num, 1);
    EXPECT_EQ(both.y.den, 2);
    const Downsample apart = parse_downsample("--downsample", "1/1,1/3");
    EXPECT_EQ(apart.x.den, 1);
    EXPECT_EQ(apart.y.den, 3);

    for (const char* bad : {"inf", "nan", "1x", "", "1,2"}) {
        EXPECT_EQ(code_of([&] { parse_number("--power", bad); }), ExitCode::usage) << bad;
    }
    for (const char* bad : {"0x10", "10x", "30001x2", "axb"}) {
        EXPECT_EQ(code_of([&] { parse_size("--size", bad); }), ExitCode::usage) << bad;
    }
    for (const char* bad : {"2/1", "0/1", "1/0", "1/2,1/2,1/2", "half"}) {
        EXPECT_EQ(code_of([&] { parse_downsample("--downsample", bad); }), ExitCode::usage) << bad;
    }
    EXPECT_EQ(code_of([] { parse_depth("--depth", "24"); }), ExitCode::usage);
    EXPECT_GE(parse_threads("--threads", "0"), 1) << "0 is every core";
    EXPECT_EQ(code_of([] { parse_threads("--threads", "-1"); }), ExitCode::usage);
    EXPECT_EQ(format_float(0.01f), "0.01");
    EXPECT_EQ(format_number(50000.0), "50000");
}

TEST(OptionValues, MemorySizesInBytesOrPowersOf1024)
{
    EXPECT_EQ(parse_memory_size("--memory-limit", "8G"), std::uint64_t{8} << 30);
    EXPECT_EQ(parse_memory_size("--memory-limit", "1.5g"), std::uint64_t{3} << 29);
    EXPECT_EQ(parse_memory_size("--memory-limit", "512MiB"), std::uint64_t{512} << 20);
    EXPECT_EQ(parse_memory_size("--memory-limit", "2048KB"), std::uint64_t{2} << 20);
    EXPECT_EQ(parse_memory_size("--memory-limit", "1048576"), kMinMemoryLimit);
    EXPECT_EQ(parse_memory_size("--memory-limit", "1024T"), kMaxMemoryLimit);
    for (const char* bad :
         {"0", "1048575", "1023K", "1025T", "1P", "-1G", "G", "8 G B", "nan", "inf", "1E"}) {
        EXPECT_EQ(code_of([&] { parse_memory_size("--memory-limit", bad); }), ExitCode::usage)
            << bad;
    }
}

TEST(FrameMemory, AFrameTakesItsTwoWorldsAndABandOrAnInputFilesSamples)
{
    // The input and output worlds, and the writer's band: 64 rows of 1920
    // 16-bit pixels, about 1 MiB.
    FramePlan solid{1920, 1080, 16};
    EXPECT_EQ(frame_memory_need(solid), 2ull * 1920 * 1080 * 8 + 64ull * 1920 * 8);
    EXPECT_EQ(frame_need_text(solid),
              "a 1920x1080 16-bit frame from a solid layer needs about 32.6 MiB of memory");
    // A float file rendered at 8 bits: its float RGBA (16 bytes a pixel) and the
    // 8-bit world beside it outweigh the two 8-bit worlds.
    FramePlan from_float{1000, 1000, 8, true, 16ull * 1000 * 1000, 4096};
    EXPECT_EQ(frame_memory_need(from_float), 16ull * 1000 * 1000 + 4ull * 1000 * 1000);
    FramePlan same_depth{1000, 1000, 32, true, 16ull * 1000 * 1000, 4096};
    EXPECT_EQ(frame_memory_need(same_depth), 2ull * 16 * 1000 * 1000 + 64ull * 1000 * 16);
    // The frame the largest layer gives at 32 bits: two worlds of 30000 x 30000 x 16 bytes.
    EXPECT_EQ(byte_text(frame_memory_need(FramePlan{30000, 30000, 32})), "26.8 GiB");
    EXPECT_EQ(byte_text(1023), "1023 bytes");
    EXPECT_EQ(byte_text(std::uint64_t{1} << 20), "1.0 MiB");

    // A band of a small frame is the whole frame, not 1 MiB.
    EXPECT_EQ(code_of([] {
                  check_frame_fits(FramePlan{64, 64, 8}, MemoryBudget{3 * 64 * 64 * 4, "test"});
              }),
              ExitCode::ok);
    EXPECT_EQ(code_of([] {
                  check_frame_fits(FramePlan{64, 64, 8}, MemoryBudget{3 * 64 * 64 * 4 - 1, "test"});
              }),
              ExitCode::memory);
    const MemoryBudget machine = machine_memory_budget();
    EXPECT_GT(machine.bytes, 0u) << machine.source;
}

TEST(LayerConversion, FileSamplesBecomeHostChannelsAtEachDepth)
{
    LayerImage image;
    image.width = 2;
    image.height = 1;
    image.depth = 8;
    image.u8 = {255, 128, 0, 255, 1, 2, 3, 0};  // RGBA, RGBA
    const simhost::World w8 = layer_world(image, 8, Downsample{}, 0, 0);
    EXPECT_EQ(w8.at<PF_Pixel>(0, 0).alpha, 255);
    EXPECT_EQ(w8.at<PF_Pixel>(0, 0).green, 128);
    EXPECT_EQ(w8.at<PF_Pixel>(1, 0).blue, 3);
    const simhost::World w16 = layer_world(image, 16, Downsample{}, 0, 0);
    EXPECT_EQ(w16.at<PF_Pixel16>(0, 0).red, 32768);
    EXPECT_EQ(w16.at<PF_Pixel16>(0, 0).green, 16448);  // round(128 * 32768 / 255)
    EXPECT_EQ(w16.at<PF_Pixel16>(1, 0).alpha, 0);
    const simhost::World wf = layer_world(image, 32, Downsample{}, 7, -3);
    EXPECT_EQ(wf.at<PF_PixelFloat>(0, 0).green, static_cast<float>(128 / 255.0));
    EXPECT_EQ(wf.effect_world()->origin_x, 7);
    EXPECT_EQ(wf.effect_world()->origin_y, -3);

    LayerImage floats;
    floats.width = 1;
    floats.height = 1;
    floats.depth = 32;
    floats.f32 = {1.5f, -0.25f, 0.5f, 0.25f};
    const simhost::World clamped = layer_world(floats, 8, Downsample{}, 0, 0);
    EXPECT_EQ(clamped.at<PF_Pixel>(0, 0).red, 255);
    EXPECT_EQ(clamped.at<PF_Pixel>(0, 0).green, 0);
    EXPECT_EQ(clamped.at<PF_Pixel>(0, 0).blue, 128);  // 127.5 + 0.5 truncated
    EXPECT_EQ(layer_world(floats, 32, Downsample{}, 0, 0).at<PF_PixelFloat>(0, 0).red, 1.5f);
}

TEST(LayerConversion, ProxyTakesEveryNthPixelAndRoundsTheSizeUp)
{
    LayerImage image;
    image.width = 5;
    image.height = 3;
    image.depth = 8;
    for (int i = 0; i < 15; ++i)
        image.u8.insert(image.u8.end(), {static_cast<std::uint8_t>(i), 0, 0, 255});
    const simhost::World half = layer_world(image, 8, Downsample{{1, 2}, {1, 2}}, 0, 0);
    ASSERT_EQ(half.width(), 3);
    ASSERT_EQ(half.height(), 2);
    EXPECT_EQ(half.at<PF_Pixel>(1, 0).red, 2);
    EXPECT_EQ(half.at<PF_Pixel>(2, 1).red, 14);  // layer pixel (4, 2)
    const simhost::World tall = layer_world(image, 8, Downsample{{1, 1}, {1, 3}}, 0, 0);
    EXPECT_EQ(tall.width(), 5);
    EXPECT_EQ(tall.height(), 1);
    EXPECT_EQ(downsampled_side(1, Factor{1, 4}), 1);
    EXPECT_EQ(downsampled_side(1920, Factor{2, 3}), 1280);
}

}  // namespace
}  // namespace velkorramp
