// Sequences on the command line, in-process: frame rates, frame ranges, file
// names numbered as oiiotool numbers them, keys, the progress line and the
// memory a run is weighed at.
#include <OpenImageIO/filesystem.h>
#include <gtest/gtest.h>

#include <limits>

#include "cli/failure.h"
#include "cli/frame_sequence.h"
#include "cli/keyframes.h"
#include "cli/memory_budget.h"
#include "cli/progress.h"
#include "cli/values.h"

namespace velkorramp {
namespace {

// The usage failure `fn` raises, as its one line; "" when it raises none.
template <class Fn>
std::string usage_failure(Fn fn)
{
    try {
        fn();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), ExitCode::usage);
        const std::string line = failure.what();
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        return line;
    }
    return "";
}

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(FrameRates, WholeFractionalAndDecimalRatesAreExactFractions)
{
    const auto rate = [](const char* text) {
        const FrameRate r = parse_frame_rate("--fps", text);
        return std::to_string(r.num) + "/" + std::to_string(r.den);
    };
    EXPECT_EQ(rate("24"), "24/1");
    EXPECT_EQ(rate("30000/1001"), "30000/1001");
    EXPECT_EQ(rate("60/2"), "30/1");
    EXPECT_EQ(rate("29.97"), "2997/100");
    EXPECT_EQ(rate("23.976"), "2997/125");
    EXPECT_EQ(rate(".5"), "1/2");
    EXPECT_EQ(rate("1000"), "1000/1");
    EXPECT_EQ(frame_rate_text(parse_frame_rate("--fps", "30000/1001")), "30000/1001");

    for (const char* bad :
         {"0", "-24", "24fps", "1001/0", "0/5", "1000.5", "", "1e3", "2147483648/2147483647x"}) {
        const std::string line = usage_failure([&] { parse_frame_rate("--fps", bad); });
        EXPECT_TRUE(mentions(line, "--fps")) << bad << ": " << line;
        EXPECT_TRUE(mentions(line, "at most 1000 frames a second")) << bad << ": " << line;
    }
    EXPECT_TRUE(mentions(usage_failure([] { parse_frame_rate("--fps", "2147483651/2147484"); }),
                         "at most 2147483647"));
}

TEST(FrameRanges, RangesStepsSingleFramesAndTheClocksLimits)
{
    const FrameRate fps24{24, 1};
    const FrameRange all = parse_frames("--frames", "1-100", fps24);
    EXPECT_EQ(all.count(), 100);
    EXPECT_EQ(all.frame(99), 100);
    const FrameRange odd = parse_frames("--frames", "1-100x2", fps24);
    EXPECT_EQ(odd.count(), 50);
    EXPECT_EQ(odd.frame(49), 99);
    EXPECT_EQ(frames_text(odd), "frames 1 to 99 every 2");
    EXPECT_EQ(parse_frames("--frames", "12", fps24).count(), 1);
    const FrameRange around = parse_frames("--frames", "-5-5", fps24);
    EXPECT_EQ(around.first, -5);
    EXPECT_EQ(around.count(), 11);
    EXPECT_EQ(parse_frames("--frames", "-10--2x4", fps24).count(), 3);

    // Frame f is at time f * 1001 on a 30000/1001 clock: 32 bits hold 2145338 frames.
    const FrameRate ntsc{30000, 1001};
    EXPECT_EQ(max_frame(ntsc), 2145338);
    EXPECT_EQ(max_frame(fps24), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(parse_frames("--frames", "2145338", ntsc).first, 2145338);
    EXPECT_TRUE(mentions(usage_failure([&] { parse_frames("--frames", "1-2145339", ntsc); }),
                         "frames from -2145338 to 2145338 at 30000/1001"));

    for (const char* bad :
         {"1-10x0", "1-10x-2", "1-", "-", "a", "1..5", "1-5y2", "1,2,3", "99999999999"}) {
        const std::string line = usage_failure([&] { parse_frames("--frames", bad, fps24); });
        EXPECT_TRUE(mentions(line, "FIRST-LAST")) << bad << ": " << line;
    }
}

TEST(FrameLists, CommasReverseRangesAndMixturesAsOiiotoolTakesThem)
{
    const FrameRate fps24{24, 1};
    const struct {
        const char* text;
        std::vector<int> frames;
    } cases[] = {
        {"1,3,7", {1, 3, 7}},
        {"1-10x2", {1, 3, 5, 7, 9}},
        {"5-1", {5, 4, 3, 2, 1}},
        {"10-1x4", {10, 6, 2}},
        {"1-3,10,20-16x2", {1, 2, 3, 10, 20, 18, 16}},
        {"-2--4", {-2, -3, -4}},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_frame_list("--frames", c.text, fps24), c.frames);
    for (const char* bad : {"1,,3", "1,", ",1", "1-3,2", "1-2000000"}) {
        const std::string line = usage_failure([&] { parse_frame_list("--frames", bad, fps24); });
        EXPECT_TRUE(mentions(line, "--frames: ")) << bad << ": " << line;
    }
    EXPECT_EQ(frames_text(std::vector<int>{1, 3, 7}), "3 frames from 1 to 7");
    EXPECT_EQ(FileSequence("-o", "logo@2x.png").name(7), "logo@2x.png");
    EXPECT_EQ(FileSequence("-o", "ramp.@@@.png", true).name(7), "ramp.007.png");
}

TEST(FileSequences, NamesAreNumberedAsOiiotoolNumbersThem)
{
    EXPECT_EQ(FileSequence("-o", "out/ramp.#.png").name(7), "out/ramp.0007.png");
    EXPECT_EQ(FileSequence("-o", "ramp.##.png").name(7), "ramp.00000007.png");
    EXPECT_EQ(FileSequence("-o", "ramp.####.exr").name(7), "ramp.0000000000000007.exr");
    EXPECT_EQ(FileSequence("-o", "ramp_%04d.tif").name(123456), "ramp_123456.tif")
        << "a long number is never cut";
    EXPECT_EQ(FileSequence("-o", "ramp_%d.tif").name(42), "ramp_42.tif");
    EXPECT_EQ(FileSequence("-o", "ramp.%04d.png").name(-3), "ramp.-003.png");

    // The same names as OpenImageIO's own sequence functions give (what oiiotool writes).
    const std::vector<int> frames{-12, -1, 0, 1, 9, 10, 999, 10000, 123456};
    for (const char* pattern : {"a.#.png", "a.##.png", "a.%04d.png", "a.%d.png", "dir/b_#_c.exr"}) {
        std::string normalized;
        std::string framespec;
        ASSERT_TRUE(OIIO::Filesystem::parse_pattern(pattern, 0, normalized, framespec)) << pattern;
        std::vector<std::string> names;
        ASSERT_TRUE(OIIO::Filesystem::enumerate_file_sequence(normalized, frames, names));
        const FileSequence ours("-o", pattern);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(ours.name(frames[i]).string(), names[i]) << pattern << " frame " << frames[i];
        }
    }

    // Names that hold no frame number keep meaning their one file.
    for (const char* plain : {"logo@2x.png", "50%.png", "a%x.png", "a%0d.png", "ramp.png"}) {
        const FileSequence name("-o", plain);
        EXPECT_FALSE(name.numbered()) << plain;
        EXPECT_EQ(name.name(5), plain);
    }
    EXPECT_FALSE(FileSequence("-o", "shot#1/ramp.png").numbered())
        << "only the file name is numbered";
    const std::string twice = usage_failure([] { FileSequence("-o", "a.#.%04d.png"); });
    EXPECT_TRUE(mentions(twice, "more than one frame number")) << twice;
}

TEST(Keys, ValuesWithCommasAndTheirFrames)
{
    const std::vector<KeyText> turn = parse_keys("--direction", "0@1,360@100", 1000);
    ASSERT_EQ(turn.size(), 2u);
    EXPECT_EQ(turn[0].value, "0");
    EXPECT_EQ(turn[1].frame, 100);
    const std::vector<KeyText> point = parse_keys("--start", "0,540@1,1920.5,-40@48,3,3@-2", 1000);
    ASSERT_EQ(point.size(), 3u);
    EXPECT_EQ(point[1].value, "1920.5,-40");
    EXPECT_EQ(point[2].frame, -2);
    EXPECT_EQ(parse_keys("--start-color", "#ff0000@1,255,0,255@+9", 1000)[1].value, "255,0,255");
    EXPECT_TRUE(is_keyed("1@1"));
    EXPECT_FALSE(is_keyed("#ff0000"));

    const std::vector<std::pair<const char*, const char*>> bad{
        {"0@1,360", "has no @FRAME"},
        {"0@1,", "has no @FRAME"},
        {"@1", "has no value"},
        {"0@1,5@1", "repeats a frame"},
        {"0@x", "no whole frame number"},
        {"0@1.5", "no whole frame number"},
        {"0@1001", "outside the valid range"},
    };
    for (const auto& [text, why] : bad) {
        const std::string line = usage_failure([&] { parse_keys("--power", text, 1000); });
        EXPECT_TRUE(mentions(line, why)) << text << ": " << line;
        EXPECT_TRUE(mentions(line, "VALUE@FRAME")) << text << ": " << line;
    }
}

TEST(Keys, EachSuffixNamesItsSides)
{
    using simhost::KeyInterpolation;
    const auto sides = [](const char* text) {
        const KeySides k = parse_keys("--length", text, 1000)[0].sides;
        const auto side = [](const simhost::KeySide& s) {
            return std::string(interpolation_name(s.kind)) +
                   (s.kind == KeyInterpolation::bezier
                        ? " " + velkorramp::format_number(s.speed[0]) + "/" +
                              velkorramp::format_number(s.influence)
                        : "");
        };
        return side(k.in) + ", " + side(k.out);
    };
    EXPECT_EQ(sides("5@3"), "linear, linear");
    EXPECT_EQ(sides("5@3:linear"), "linear, linear");
    EXPECT_EQ(sides("5@3:ease"), "bezier 0/33.333333333333336, bezier 0/33.333333333333336");
    EXPECT_EQ(sides("5@3:ease-in"), "bezier 0/33.333333333333336, linear");
    EXPECT_EQ(sides("5@3:ease-out"), "linear, bezier 0/33.333333333333336");
    EXPECT_EQ(sides("5@3:hold"), "linear, hold");
    EXPECT_EQ(sides("5@-3:bezier=-20/10/7.5/100,6@4"), "bezier -20/10, bezier 7.5/100");
    EXPECT_EQ(parse_keys("--start", "1,2@3:hold,4,5@6", 1000)[1].value, "4,5");
    for (const char* bad :
         {"5@3:eese", "5@3:", "5@3:bezier=0/0/0/50", "5@3:bezier=0/50/0/101", "5@3:bezier=0/50/0",
          "5@3:bezier=0/50/0/50/1", "5@3:bezier=a/50/0/50"}) {
        const std::string line = usage_failure([&] { parse_keys("--length", bad, 1000); });
        EXPECT_TRUE(mentions(line, ":ease, :ease-in, :ease-out, :hold, :linear")) << line;
        EXPECT_TRUE(mentions(line, "more than 0 and at most 100")) << line;
    }
}

TEST(ProgressLine, FramesRateAndTimeLeft)
{
    EXPECT_EQ(Progress::line(0, 100, 0.0), "velkorramp: 0 of 100 frames");
    EXPECT_EQ(Progress::line(25, 100, 5.0),
              "velkorramp: 25 of 100 frames, 5.00 frames/s, 0:15 left");
    EXPECT_EQ(Progress::line(50, 100, 2.0),
              "velkorramp: 50 of 100 frames, 25.0 frames/s, 0:02 left");
    EXPECT_EQ(Progress::line(100, 100, 3725.0),
              "velkorramp: 100 of 100 frames, 0.03 frames/s, in 1:02:05");

    EXPECT_EQ(progress_mode(false, false, true, 10), ProgressMode::in_place);
    EXPECT_EQ(progress_mode(false, false, false, 10), ProgressMode::none) << "not a terminal";
    EXPECT_EQ(progress_mode(false, true, false, 10), ProgressMode::lines) << "-v";
    EXPECT_EQ(progress_mode(true, true, true, 10), ProgressMode::none) << "--quiet";
    EXPECT_EQ(progress_mode(false, true, true, 1), ProgressMode::none) << "one frame";
}

TEST(SequenceMemory, AFrameIsItsTwoWorldsAndABandPerWriter)
{
    FramePlan plan;
    plan.width = 3840;
    plan.height = 2160;
    plan.depth = 32;
    const std::uint64_t frame = 3840ull * 2160 * 16;
    const std::uint64_t band = static_cast<std::uint64_t>(write_band_rows(3840, 32)) * 3840 * 16;
    EXPECT_EQ(write_band_rows(3840, 32), 16);
    EXPECT_EQ(write_band_rows(1920, 8), 128);
    EXPECT_LE(band, std::uint64_t{1} << 20);
    EXPECT_EQ(frame_memory_need(plan), 2 * frame + band);

    plan.outputs_held = 3;
    plan.writers = 2;
    EXPECT_EQ(frame_memory_need(plan), 4 * frame + 2 * band);

    // An input sequence reads each file while the writers still hold their frames.
    plan.from_file = true;
    plan.file_rgba_bytes = frame;
    plan.file_band_bytes = 4 << 20;
    EXPECT_EQ(frame_memory_need(plan), 4 * frame + 2 * band)
        << "an input read once, before any output";
    plan.input_per_frame = true;
    EXPECT_EQ(frame_memory_need(plan), frame + frame + 3 * frame + 2 * band);
}

}  // namespace
}  // namespace velkorramp
