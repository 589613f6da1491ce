// The renderer's file conventions in-process: what each output format holds
// and how the tool chooses depth, alpha and compression for it; the friendlier
// option values; where an input's pixels land on the layer.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "cli/colour_space.h"
#include "cli/failure.h"
#include "cli/file_metadata.h"
#include "cli/image_file.h"
#include "cli/options.h"
#include "cli/output_format.h"
#include "cli/values.h"
#include "host/effect_identity.h"

namespace velkorramp {
namespace {

ExitCode code_of(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.code();
    }
    return ExitCode::ok;
}

std::string message_of(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.what();
    }
    return "";
}

TEST(ColourConversion, ABandOnEveryThreadEqualsEachRowOnOne)
{
    const ColourSpaces spaces;
    const ColourSpaces::Conversion conversion = spaces.conversion("sRGB", "linear", "a test");
    std::vector<float> band(64 * 37 * 4);
    for (std::size_t i = 0; i < band.size(); ++i)
        band[i] = static_cast<float>((i * 7919) % 1201) / 1000.0f - 0.1f;
    std::vector<float> rows = band;
    const float alpha = band[3];
    conversion.apply(band.data(), 64, 37, 0);
    for (int y = 0; y < 37; ++y) conversion.apply(rows.data() + y * 64 * 4, 64, 1, 1);
    EXPECT_EQ(std::memcmp(band.data(), rows.data(), band.size() * sizeof(float)), 0);
    EXPECT_EQ(band[3], alpha);
}

TEST(OutputFormats, TheTableAgreesWithTheWritersOwnClaims)
{
    for (const char* ext : {".png", ".tif", ".exr", ".jpg", ".dpx", ".webp", ".tga", ".bmp", ".sgi",
                            ".iff", ".rla", ".ico", ".gif", ".ppm", ".hdr"}) {
        SCOPED_TRACE(ext);
        const OutputFormat format = output_format_for(std::string("a") + ext);
        auto out = OIIO::ImageOutput::create(format.oiio_format);
        ASSERT_TRUE(out);
        EXPECT_EQ(format.has_alpha(), out->supports("alpha") != 0);
        EXPECT_EQ(format.stores_negative_origin, out->supports("negativeorigin") != 0);
        EXPECT_EQ(format.stores_display_window, out->supports("displaywindow") != 0);
        // PNG's writer stores an oFFs chunk without claiming "origin".
        if (format.oiio_format != "png") {
            EXPECT_EQ(format.stores_origin, out->supports("origin") != 0);
        }
        if (format.streams) {
            EXPECT_TRUE(out->supports("ioproxy"));
        }
    }
    EXPECT_EQ(output_format_for("A.TIFF").name, "TIFF");
    EXPECT_EQ(output_format_for("x.jpeg").name, "JPEG");
    EXPECT_EQ(output_format_for("-").name, "PNG");
    EXPECT_EQ(output_format_for("-", "tif").name, "TIFF");
    EXPECT_EQ(output_format_for("-", "exr").name, "OpenEXR");
    EXPECT_NE(message_of([] {
                  output_format_for("a.psd");
              }).find(".psd is known but not supported for output"),
              std::string::npos);
    EXPECT_NE(message_of([] { output_format_for("noextension"); }).find("no extension"),
              std::string::npos);
}

TEST(OutputFormats, DepthIsTheFramesOrTheNearestTheContainerHolds)
{
    using enum FileDepth;
    const OutputFormat png = output_format_for("a.png");
    const OutputFormat exr = output_format_for("a.exr");
    const OutputFormat jpg = output_format_for("a.jpg");
    const OutputFormat tif = output_format_for("a.tif");
    EXPECT_EQ(choose_depth(png, 8, {}), u8);
    EXPECT_EQ(choose_depth(png, 16, {}), u16);
    EXPECT_EQ(choose_depth(png, 32, {}), u16);
    EXPECT_EQ(choose_depth(exr, 8, {}), half);
    EXPECT_EQ(choose_depth(exr, 16, {}), half);
    EXPECT_EQ(choose_depth(exr, 32, {}), f32);
    EXPECT_EQ(choose_depth(jpg, 32, {}), u8);
    EXPECT_EQ(choose_depth(tif, 16, {}), u16);
    EXPECT_EQ(choose_depth(tif, 32, {}), f32);
    EXPECT_EQ(choose_depth(exr, 32, half), half);
    EXPECT_EQ(choose_depth(png, 32, u8), u8);
    EXPECT_EQ(code_of([&] { choose_depth(jpg, 8, u16); }), ExitCode::usage);
    EXPECT_EQ(choose_depth(tif, 8, half), half) << "half TIFF when asked for";
    EXPECT_EQ(choose_depth(tif, 32, {}), f32);
    EXPECT_EQ(choose_depth(output_format_for("a.dpx"), 16, {}), u16) << "10-bit only when asked";
    EXPECT_EQ(parse_output_depth("--output-depth", "uint10"), u10);
    EXPECT_EQ(parse_output_depth("--output-depth", "HALF"), half);
    EXPECT_EQ(parse_output_depth("--output-depth", "32"), f32);
    EXPECT_EQ(code_of([] { parse_output_depth("--output-depth", "12"); }), ExitCode::usage);
}

TEST(OutputFormats, AlphaConventionIsTheFormatsUnlessItHoldsEither)
{
    const OutputFormat png = output_format_for("a.png");
    const OutputFormat exr = output_format_for("a.exr");
    const OutputFormat tif = output_format_for("a.tif");
    const OutputFormat jpg = output_format_for("a.jpg");
    EXPECT_FALSE(choose_premultiplied(png, {}));
    EXPECT_TRUE(choose_premultiplied(exr, {}));
    EXPECT_FALSE(choose_premultiplied(tif, {}));
    EXPECT_TRUE(choose_premultiplied(tif, "premultiplied"));
    EXPECT_FALSE(choose_premultiplied(tif, "straight"));
    EXPECT_TRUE(choose_premultiplied(jpg, {}));  // the picture over black
    EXPECT_FALSE(choose_premultiplied(jpg, "straight"));
    EXPECT_FALSE(choose_premultiplied(png, "straight"));
    EXPECT_EQ(code_of([&] { choose_premultiplied(png, "premultiplied"); }), ExitCode::usage);
    EXPECT_EQ(code_of([&] { choose_premultiplied(exr, "straight"); }), ExitCode::usage);
    EXPECT_EQ(code_of([&] { choose_premultiplied(tif, "sideways"); }), ExitCode::usage);
}

TEST(OutputFormats, CompressionNamesAndLevelsAreTheWritersOwn)
{
    const OutputFormat exr = output_format_for("a.exr");
    EXPECT_EQ(parse_compression("--compression", "piz", exr).attribute(), "piz");
    EXPECT_EQ(parse_compression("--compression", "DWAA:45", exr).attribute(), "dwaa:45");
    EXPECT_EQ(parse_compression("--compression", "dwab:2.5", exr).attribute(), "dwab:2.5");
    EXPECT_EQ(parse_compression("--compression", "zip:9", output_format_for("a.png")).attribute(),
              "zip:9");
    EXPECT_EQ(parse_compression("--compression", "lzw", output_format_for("a.tif")).attribute(),
              "lzw");
    EXPECT_EQ(parse_compression("--compression", "jpeg:90", output_format_for("a.jpg")).attribute(),
              "jpeg:90");
    for (const auto& [text, ext] :
         std::vector<std::pair<const char*, const char*>>{{"lzw", ".png"},
                                                          {"zip:10", ".png"},
                                                          {"zip:1.5", ".png"},
                                                          {"piz:3", ".exr"},
                                                          {"zip:", ".exr"},
                                                          {"rle", ".bmp"},
                                                          {"jpeg:0", ".jpg"}}) {
        const std::string shown = std::string(text) + " for " + ext;
        EXPECT_EQ(code_of([&] {
                      parse_compression("--compression", text,
                                        output_format_for(std::string("a") + ext));
                  }),
                  ExitCode::usage)
            << shown;
    }
    EXPECT_NE(message_of([&] {
                  parse_compression("--compression", "zip:10", output_format_for("a.png"));
              }).find("0 to 9"),
              std::string::npos);
}

TEST(FriendlierValues, ColoursInShortHexAndFloats)
{
    const Rgba8 short_hex = parse_color("--c", "#F80", false);
    EXPECT_EQ(short_hex.red, 0xFF);
    EXPECT_EQ(short_hex.green, 0x88);
    EXPECT_EQ(short_hex.blue, 0x00);
    const Rgba8 floats = parse_color("--c", "1.0,0.5,0", false);
    EXPECT_EQ(floats.red, 255);
    EXPECT_EQ(floats.green, 128);  // 0.5 * 255 + 0.5 truncated
    EXPECT_EQ(floats.blue, 0);
    const Rgba8 suffixed = parse_color("--c", "1f,0f,0.25f", false);
    EXPECT_EQ(suffixed.red, 255);
    EXPECT_EQ(suffixed.blue, 64);
    const ColorValue fill = parse_color_value("--fill", "0.25,0.5,0.75,0.5", true);
    EXPECT_EQ(fill.red, 0.25);
    EXPECT_EQ(fill.alpha, 0.5);
    EXPECT_EQ(parse_color_value("--fill", "255,0,0", true).red, 1.0);  // whole numbers stay 0..255
    EXPECT_EQ(parse_color_value("--fill", "1,0,0", true).red, 1 / 255.0);
    for (const char* bad : {"#F8", "#F800", "1.5,0,0", "-0.1,0,0", "1.0,0,0,0.5", "#GGG"}) {
        EXPECT_EQ(code_of([&] { parse_color("--c", bad, false); }), ExitCode::usage) << bad;
    }
    EXPECT_NE(message_of([] { parse_color("--c", "1.5,0,0", false); }).find("0.0 to 1.0"),
              std::string::npos);
}

TEST(FriendlierValues, PointsInPercentOfTheLayer)
{
    const PointValue p = parse_layer_point("--start", "25%,50%", 1920, 1080);
    EXPECT_EQ(p.x, 480);
    EXPECT_EQ(p.y, 540);
    const PointValue mixed = parse_layer_point("--start", " 100% , 7.5", 640, 480);
    EXPECT_EQ(mixed.x, 640);
    EXPECT_EQ(mixed.y, 7.5);
    EXPECT_EQ(parse_layer_point("--start", "-10%,0", 200, 100).x, -20);
    for (const char* bad : {"%,5", "5%%,1", "1,2,3", "25%"}) {
        EXPECT_EQ(code_of([&] { parse_layer_point("--start", bad, 100, 100); }), ExitCode::usage)
            << bad;
    }
}

TEST(FriendlierValues, UnknownOptionsNameTheNearestKnownOne)
{
    const std::array<OptionSpec, 4> specs{{{"--length", nullptr, "N", ""},
                                           {"--start-color", nullptr, "C", ""},
                                           {"--start", nullptr, "P", ""},
                                           {"--output", "-o", "FILE", ""}}};
    const auto message = [&](std::vector<std::string> args) {
        return message_of([&] { parse_options(args, specs, "render"); });
    };
    EXPECT_NE(message({"--lenght", "3"}).find("did you mean --length?"), std::string::npos);
    EXPECT_NE(message({"--len", "3"}).find("did you mean --length?"), std::string::npos);
    EXPECT_NE(message({"--start-collor", "#FFF"}).find("did you mean --start-color?"),
              std::string::npos);
    EXPECT_EQ(message({"--start-colour", "#FFF"}), "") << "a British spelling is the option";
    EXPECT_NE(message({"--outptu", "a"}).find("did you mean --output?"), std::string::npos);
    const std::string far = message({"--zzzzzzzz", "1"});
    EXPECT_EQ(far.find("did you mean"), std::string::npos);
    EXPECT_NE(far.find("see velkorramp render --help"), std::string::npos);
}

TEST(FriendlierValues, ArticlesFollowHowNumbersAreSaid)
{
    for (const long long n : {8LL, 11LL, 18LL, 80LL, 800LL, 8000LL, 11000LL, 18500LL, 8192LL}) {
        EXPECT_STREQ(article_for(n), "an") << n;
    }
    for (const long long n : {1LL, 16LL, 32LL, 110LL, 180LL, 1920LL, 1100LL, 30000LL}) {
        EXPECT_STREQ(article_for(n), "a") << n;
    }
}

TEST(Versions, TheModulesWordUnpacksAsTheHostReadsIt)
{
    EXPECT_EQ(module_version_text(velkor::kVersionWord), "1.0.0 (build 1, release)");
    EXPECT_EQ(module_version_text(velkor::pack_version(12, 3, 4, PF_Stage_BETA, 300)),
              "12.3.4 (build 300, beta)");
}

// An image whose pixels' red channel is their index.
LayerImage numbered(int width, int height)
{
    LayerImage image;
    image.width = width;
    image.height = height;
    image.depth = 8;
    for (int i = 0; i < width * height; ++i)
        image.u8.insert(image.u8.end(), {static_cast<std::uint8_t>(i), 0, 0, 255});
    return image;
}

TEST(LayerPlacement, TheWorldStartsWhereTheDataWindowLies)
{
    const LayerImage image = numbered(4, 2);
    const simhost::World placed = layer_world(image, 8, Downsample{}, 50, 30);
    EXPECT_EQ(placed.effect_world()->origin_x, 50);
    EXPECT_EQ(placed.effect_world()->origin_y, 30);
    EXPECT_EQ(placed.width(), 4);
    EXPECT_EQ(placed.at<PF_Pixel>(3, 1).red, 7);

    // At 1/2 a window at an odd position starts on the proxy pixel that holds
    // it; proxy pixels whose layer pixel is not the image's are transparent.
    const simhost::World half = layer_world(image, 8, Downsample{{1, 2}, {1, 2}}, 51, 31);
    EXPECT_EQ(half.effect_world()->origin_x, 25);  // floor(51 / 2)
    EXPECT_EQ(half.effect_world()->origin_y, 15);
    ASSERT_EQ(half.width(), 3);  // proxy 25..27 covers layer 51..54
    ASSERT_EQ(half.height(), 2);
    EXPECT_EQ(half.at<PF_Pixel>(0, 0).alpha, 0);  // layer 50: not the image's
    EXPECT_EQ(half.at<PF_Pixel>(1, 1).red, 5);    // layer (52, 32): image (1, 1)
    EXPECT_EQ(half.at<PF_Pixel>(2, 1).red, 7);    // layer (54, 32): image (3, 1)
    const simhost::World negative = layer_world(image, 8, Downsample{{1, 2}, {1, 1}}, -3, 0);
    EXPECT_EQ(negative.effect_world()->origin_x, -2);  // floor(-1.5)
    ASSERT_EQ(negative.width(), 3);                    // proxy -2..0 covers layer -3..0
    EXPECT_EQ(negative.at<PF_Pixel>(0, 0).alpha, 0);   // layer -4
    EXPECT_EQ(negative.at<PF_Pixel>(1, 0).red, 1);     // layer -2: image 1
    EXPECT_EQ(negative.at<PF_Pixel>(2, 0).red, 3);     // layer 0: image 3
    EXPECT_EQ(downsampled_position(-3, Factor{1, 2}), -2);
    EXPECT_EQ(downsampled_position(7, Factor{2, 3}), 4);
}

}  // namespace
}  // namespace velkorramp
