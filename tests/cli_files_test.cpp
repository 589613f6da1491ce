// The files velkorramp writes, as the tools that open them next read them:
// each container's alpha convention by value at every depth, a composite over
// black that must not depend on the container, colour spaces stated and
// converted, windows and offsets, any format, compression, provenance, the
// friendlier option values and pipes, and every bad input one line with no file.
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cli/image_file.h"
#include "cli_test_support.h"

namespace cli_test {
namespace {

using simhost::World;

std::size_t at(const FileImage& image, int x, int y, int c = 0)
{
    return (static_cast<std::size_t>(y) * image.width + x) * image.channels + c;
}

bool has_line(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool starts(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// ------------------------------------------------------------------ alpha

// Three pixels of colour (200, 100, 40) at alpha 0, 255 and 64, as a straight PNG.
void write_alpha_steps(const fs::path& file)
{
    write_file(file, 3, 1, 4, OIIO::TypeDesc::UINT8,
               std::vector<std::uint8_t>{200, 100, 40, 0, 200, 100, 40, 255, 200, 100, 40, 64});
}

// The host's frame for that input at a depth: "Alpha" at 100 % keeps it.
World alpha_steps_frame(int depth)
{
    velkorramp::LayerImage image;
    image.width = image.layer_width = 3;
    image.height = image.layer_height = 1;
    image.u8 = {200, 100, 40, 0, 200, 100, 40, 255, 200, 100, 40, 64};
    return velkorramp::layer_world(image, depth, velkorramp::Downsample{}, 0, 0);
}

// One pixel's channels as a file holds them, by the documented rules: the
// host's depth converted to the file's, then premultiplied in the file's units.
std::array<double, 4> expected_file_pixel(const World& frame, int x, OIIO::TypeDesc type,
                                          bool premultiplied)
{
    std::array<double, 4> v{};
    const int depth = simhost::bit_depth(frame.format());
    for (int c = 0; c < 4; ++c) {
        if (depth == 8) {
            const PF_Pixel& p = frame.at<PF_Pixel>(x, 0);
            const std::uint32_t h = std::array<std::uint8_t, 4>{p.red, p.green, p.blue, p.alpha}[c];
            v[c] = type == OIIO::TypeDesc::UINT8    ? h
                   : type == OIIO::TypeDesc::UINT16 ? h * 257.0
                                                    : static_cast<float>(h / 255.0);
        } else if (depth == 16) {
            const PF_Pixel16& p = frame.at<PF_Pixel16>(x, 0);
            const std::uint32_t h =
                std::array<std::uint16_t, 4>{p.red, p.green, p.blue, p.alpha}[c];
            v[c] = type == OIIO::TypeDesc::UINT16
                       ? velkorramp::host16_to_file16(static_cast<std::uint16_t>(h))
                       : static_cast<float>(h / 32768.0);
        } else {
            const PF_PixelFloat& p = frame.at<PF_PixelFloat>(x, 0);
            v[c] = std::array<float, 4>{p.red, p.green, p.blue, p.alpha}[c];
        }
    }
    if (premultiplied) {
        for (int c = 0; c < 3; ++c) {
            if (type == OIIO::TypeDesc::UINT8) {
                v[c] = (static_cast<std::uint32_t>(v[c]) * static_cast<std::uint32_t>(v[3]) + 127) /
                       255;
            } else if (type == OIIO::TypeDesc::UINT16) {
                v[c] =
                    (static_cast<std::uint32_t>(v[c]) * static_cast<std::uint32_t>(v[3]) + 32767) /
                    65535;
            } else {
                v[c] = static_cast<float>(v[c]) * static_cast<float>(v[3]);
            }
        }
    }
    if (type == OIIO::TypeDesc::HALF) {
        // The nearest half, as the writer stores it.
        for (double& c : v) {
            const float f = static_cast<float>(c);
            std::uint16_t h = 0;
            float back = 0;
            OIIO::convert_pixel_values(OIIO::TypeDesc::FLOAT, &f, OIIO::TypeDesc::HALF, &h, 1);
            OIIO::convert_pixel_values(OIIO::TypeDesc::HALF, &h, OIIO::TypeDesc::FLOAT, &back, 1);
            c = back;
        }
    }
    return v;
}

class Conventions : public ToolTest {};

TEST_F(Conventions, EachContainerHoldsAlphaItsOwnWayAtEveryDepth)
{
    write_alpha_steps(path("steps.png"));
    struct Case {
        std::string depth;
        std::string file;
        std::vector<std::string> extra;
        OIIO::TypeDesc stored;
        bool premultiplied;
    };
    const std::vector<Case> cases{
        {"8", "s8.png", {}, OIIO::TypeDesc::UINT8, false},
        {"8", "s8.tif", {}, OIIO::TypeDesc::UINT8, false},
        {"8", "p8.tif", {"--alpha", "premultiplied"}, OIIO::TypeDesc::UINT8, true},
        {"8", "h8.exr", {}, OIIO::TypeDesc::HALF, true},
        {"16", "s16.png", {"--output-depth", "16"}, OIIO::TypeDesc::UINT16, false},
        {"16", "s16.tif", {"--output-depth", "16"}, OIIO::TypeDesc::UINT16, false},
        {"16",
         "p16.tif",
         {"--alpha", "premultiplied", "--output-depth", "16"},
         OIIO::TypeDesc::UINT16,
         true},
        {"16", "h16.exr", {}, OIIO::TypeDesc::HALF, true},
        {"32", "s32.tif", {"--output-depth", "float"}, OIIO::TypeDesc::FLOAT, false},
        {"32",
         "p32.tif",
         {"--alpha", "premultiplied", "--output-depth", "float"},
         OIIO::TypeDesc::FLOAT,
         true},
        {"32", "f32.exr", {}, OIIO::TypeDesc::FLOAT, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> args{"render",      "--input",       path("steps.png"),
                                      "--depth",     c.depth,         "--type",
                                      "alpha",       "--start-alpha", "100",
                                      "--end-alpha", "100",           "-o",
                                      path(c.file)};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        // The values as rendered, to compare by the documented rules.
        args.insert(args.end(), {"--output-colorspace", "sRGB"});
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const FileImage image = read_file(path(c.file));
        ASSERT_EQ(image.format, c.stored);
        const World frame = alpha_steps_frame(std::stoi(c.depth));
        for (int x = 0; x < 3; ++x) {
            const std::array<double, 4> want =
                expected_file_pixel(frame, x, c.stored, c.premultiplied);
            for (int ch = 0; ch < 4; ++ch) {
                const double got = !image.u8.empty()    ? image.u8[at(image, x, 0, ch)]
                                   : !image.u16.empty() ? image.u16[at(image, x, 0, ch)]
                                                        : image.f32[at(image, x, 0, ch)];
                EXPECT_EQ(got, want[ch]) << "pixel " << x << " channel " << ch;
            }
        }
        if (c.file.ends_with(".tif")) {
            // The file says which it holds.
            EXPECT_EQ(read_spec(path(c.file)).get_int_attribute("tiff:UnassociatedAlpha"),
                      c.premultiplied ? 0 : 1);
        }
    }
    // The 8-bit premultiplied values, written out: round(c * a / 255).
    const FileImage p8 = read_file(path("p8.tif"));
    EXPECT_EQ(std::vector<int>(p8.u8.begin(), p8.u8.end()),
              (std::vector<int>{0, 0, 0, 0, 200, 100, 40, 255, 50, 25, 10, 64}));
}

TEST_F(Conventions, PremultipliedInputsAreDividedByAlphaOnReading)
{
    // OpenEXR is premultiplied: (0.2, 0.1, 0.05) at alpha 0.25 is straight
    // (0.8, 0.4, 0.2); alpha 0 keeps its (black) colour; alpha 1 is unchanged.
    const std::vector<float> premultiplied{0.2f, 0.1f, 0.05f, 0.25f, 0,    0,
                                           0,    0,    0.3f,  0.6f,  0.9f, 1};
    OIIO::ImageSpec exr(3, 1, 4, OIIO::TypeDesc::FLOAT);
    write_file(path("in.exr"), exr, premultiplied);
    // A TIFF written without the unassociated hint says its alpha is associated.
    {
        auto out = OIIO::ImageOutput::create("tiff");
        OIIO::ImageSpec tif(3, 1, 4, OIIO::TypeDesc::UINT8);
        ASSERT_TRUE(out->open(path("in.tif").string(), tif));
        const std::vector<std::uint8_t> samples{50, 25, 10, 64, 0, 0, 0, 0, 77, 153, 230, 255};
        ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT8, samples.data()));
        ASSERT_TRUE(out->close());
    }
    const std::vector<std::string> keep{"--type", "alpha",       "--start-alpha",
                                        "100",    "--end-alpha", "100"};
    for (const std::string in : {"in.exr", "in.tif"}) {
        std::vector<std::string> args{
            "render", "--input", path(in), "--output-depth", "float", "-o", path(in + ".out.tif")};
        args.insert(args.end(), keep.begin(), keep.end());
        if (in == "in.tif") args.insert(args.end(), {"--output-colorspace", "sRGB"});
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    EXPECT_EQ(read_file(path("in.exr.out.tif")).f32,
              (std::vector<float>{0.8f, 0.4f, 0.2f, 0.25f, 0, 0, 0, 0, 0.3f, 0.6f, 0.9f, 1}));
    // 8-bit: OpenImageIO divides in float and rounds back to 8 bits.
    const FileImage tif = read_file(path("in.tif.out.tif"));
    ASSERT_EQ(tif.f32.size(), 12u);
    EXPECT_NEAR(tif.f32[0], 199 / 255.0f, 1e-6f);  // 50 / 64 * 255 = 199.2
    EXPECT_NEAR(tif.f32[3], 64 / 255.0f, 1e-6f);
    EXPECT_EQ(tif.f32[7], 0.0f);
    EXPECT_NEAR(tif.f32[9], 153 / 255.0f, 1e-6f);
    // And back into OpenEXR the straight frame is premultiplied again, value for value.
    std::vector<std::string> again{"render", "--input", path("in.exr"), "-o", path("again.exr")};
    again.insert(again.end(), keep.begin(), keep.end());
    ASSERT_EQ(run(again).exit_code, 0);
    EXPECT_EQ(read_file(path("again.exr")).f32, premultiplied);
}

// Over black by OpenImageIO, reading each file by its convention as a
// compositing tool does: OpenEXR as premultiplied; PNG as straight, read in
// float and premultiplied there (so no 8-bit rounding is added on reading).
OIIO::ImageBuf over_black(const fs::path& file, bool straight)
{
    OIIO::ImageSpec config;
    if (straight) config.attribute("oiio:UnassociatedAlpha", 1);
    OIIO::ImageBuf image(file.string(), 0, 0, nullptr, &config);
    EXPECT_TRUE(image.read(0, 0, true, OIIO::TypeDesc::FLOAT)) << image.geterror();
    if (straight) image = OIIO::ImageBufAlgo::premult(image);
    OIIO::ImageBuf black(
        OIIO::ImageSpec(image.spec().width, image.spec().height, 4, OIIO::TypeDesc::FLOAT));
    const float opaque_black[4] = {0, 0, 0, 1};
    OIIO::ImageBufAlgo::fill(black, opaque_black);
    return OIIO::ImageBufAlgo::over(image, black);
}

TEST_F(Conventions, AlphaRenderComposesTheSameFromOpenExrAndPng)
{
    std::vector<std::uint8_t> photo;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 40; ++x) {
            photo.insert(photo.end(),
                         {static_cast<std::uint8_t>(255 - x * 3), static_cast<std::uint8_t>(y * 20),
                          static_cast<std::uint8_t>(100 + x), 255});
        }
    }
    write_file(path("photo.png"), 40, 12, 4, OIIO::TypeDesc::UINT8, photo);
    for (const std::string out : {"a.exr", "a.png"}) {
        std::vector<std::string> args{"render", "--input", path("photo.png"), "--type",
                                      "alpha",  "-o",      path(out)};
        if (out == "a.exr")
            args.insert(args.end(), {"--depth", "32", "--output-colorspace", "sRGB"});
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
    }
    const OIIO::ImageBuf exr = over_black(path("a.exr"), false);
    const OIIO::ImageBuf png = over_black(path("a.png"), true);
    const OIIO::ImageBufAlgo::CompareResults diff =
        OIIO::ImageBufAlgo::compare(exr, png, 1.0f / 255, 1.0f / 255);
    EXPECT_EQ(diff.nfail, 0u) << "largest difference " << diff.maxerror << " at " << diff.maxx
                              << "," << diff.maxy;
    // Where the ramp has nearly faded the photo must be nearly black, not the
    // photo at full brightness.
    float faded[4];
    exr.getpixel(39, 0, faded);
    EXPECT_LT(faded[0], 0.05f);
    float bright[4];
    exr.getpixel(0, 0, bright);
    EXPECT_NEAR(bright[0], 1.0f, 1e-6f);
}

// ------------------------------------------------------------------ colour

TEST_F(Conventions, ColourSpacesAreStatedAndConvertedByValue)
{
    // A float TIFF that says nothing is sRGB: 0.5 is linear 0.214041.
    write_file(path("half-grey.tif"), 2, 1, 4, OIIO::TypeDesc::FLOAT,
               std::vector<float>{0.5f, 0.5f, 0.5f, 1, 0.5f, 0.5f, 0.5f, 1});
    const std::vector<std::string> keep{"--type", "alpha",       "--start-alpha",
                                        "100",    "--end-alpha", "100"};
    std::vector<std::string> to_linear{
        "render", "--input", path("half-grey.tif"), "--output-colorspace",
        "linear", "-o",      path("lin.exr")};
    to_linear.insert(to_linear.end(), keep.begin(), keep.end());
    ProcessResult r = run(to_linear);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");  // linear is what OpenEXR states by itself
    FileImage lin = read_file(path("lin.exr"));
    EXPECT_NEAR(lin.f32[0], 0.214041f, 2e-6f);
    EXPECT_EQ(lin.f32[3], 1.0f);
    EXPECT_EQ(read_spec(path("lin.exr")).get_string_attribute("colorSpace"), "");

    // A linear OpenEXR stays linear through the render, value for value, and
    // converts back to 0.5 in sRGB.
    std::vector<std::string> through{"render", "--input", path("lin.exr"), "-o", path("same.exr")};
    through.insert(through.end(), keep.begin(), keep.end());
    r = run(through);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(path("same.exr")).f32, lin.f32);
    std::vector<std::string> back{"render", "--input", path("lin.exr"), "--output-colorspace",
                                  "sRGB",   "-o",      path("back.tif")};
    back.insert(back.end(), keep.begin(), keep.end());
    r = run(back);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NEAR(read_file(path("back.tif")).f32[0], 0.5f, 5e-6f);  // the library's own round trip
    EXPECT_EQ(read_spec(path("back.tif")).get_string_attribute("oiio:ColorSpace"), "sRGB");

    // The input converted into a chosen working space as it is read.
    std::vector<std::string> working{"render", "--input", path("half-grey.tif"), "--working-space",
                                     "linear", "-o",      path("working.tif")};
    working.insert(working.end(), keep.begin(), keep.end());
    r = run(working);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NEAR(read_file(path("working.tif")).f32[0], 0.214041f, 2e-6f);

    // Each format's own way of saying what it holds.
    struct Tag {
        std::string file;
        std::vector<std::string> extra;
        std::string attribute;
        std::string value;
    };
    const std::vector<Tag> tags{
        {"t.png", {}, "oiio:ColorSpace", "sRGB"},
        {"tl.png",
         {"--working-space", "linear", "--output-colorspace", "linear"},
         "oiio:ColorSpace",
         "linear"},
        {"t.tif", {}, "oiio:ColorSpace", "sRGB"},
        {"t.exr", {"--output-colorspace", "sRGB"}, "colorSpace", "sRGB"},
        {"t.dpx",
         {"--working-space", "linear", "--output-colorspace", "linear"},
         "dpx:Transfer",
         "Linear"},
        {"r.dpx", {}, "dpx:Transfer", "ITU-R 709-4"},
        {"t.jpg", {}, "oiio:ColorSpace", "sRGB"},
    };
    for (const Tag& t : tags) {
        SCOPED_TRACE(t.file);
        std::vector<std::string> args{"render", "--size", "4x2", "-o", path(t.file)};
        args.insert(args.end(), t.extra.begin(), t.extra.end());
        r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(read_spec(path(t.file)).get_string_attribute(t.attribute), t.value);
        // OpenEXR readers take the values for linear: that is said.
        EXPECT_EQ(has_line(r.err, "cannot state the colour space"), t.file == "t.exr") << r.err;
    }
}

TEST_F(Conventions, AnOcioConfigTheUserNamesIsUsed)
{
    std::ofstream(path("tiny.ocio"))
        << "ocio_profile_version: 2\n"
           "roles:\n  default: lin\n  scene_linear: lin\n"
           "displays:\n  screen:\n    - !<View> {name: raw, colorspace: lin}\n"
           "colorspaces:\n"
           "  - !<ColorSpace>\n    name: lin\n"
           "  - !<ColorSpace>\n    name: g2\n"
           "    to_scene_reference: !<ExponentTransform> {value: [2, 2, 2, 1]}\n";
    write_file(path("quarter.exr"), 2, 1, 4, OIIO::TypeDesc::FLOAT,
               std::vector<float>{0.25f, 0.25f, 0.25f, 1, 0.25f, 0.25f, 0.25f, 1});
    const std::string env = "OCIO='" + path("tiny.ocio").string() + "' ";
    const ProcessResult r =
        run({"render", "--input", path("quarter.exr"), "--type", "alpha", "--start-alpha", "100",
             "--end-alpha", "100", "--output-colorspace", "g2", "-o", path("g.exr")},
            env);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NEAR(read_file(path("g.exr")).f32[0], 0.5f, 1e-6f);
    EXPECT_EQ(read_spec(path("g.exr")).get_string_attribute("colorSpace"), "g2");
    const ProcessResult unknown =
        run({"render", "--size", "2x2", "--working-space", "sRGB", "-o", path("x.png")}, env);
    EXPECT_EQ(unknown.exit_code, 2);
    EXPECT_TRUE(has_line(unknown.err, "use lin, g2")) << unknown.err;
}

// ------------------------------------------------------------------ windows

TEST_F(Conventions, DataAndDisplayWindowsSurviveTheRender)
{
    // 20x10 pixels at 5,3 of a 40x30 layer; red counts columns.
    OIIO::ImageSpec spec(20, 10, 4, OIIO::TypeDesc::FLOAT);
    spec.x = 5;
    spec.y = 3;
    spec.full_width = 40;
    spec.full_height = 30;
    std::vector<float> pixels;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x)
            pixels.insert(pixels.end(), {x / 20.0f, 0.5f, y / 10.0f, 1.0f});
    }
    write_file(path("window.exr"), spec, pixels);
    const std::vector<std::string> keep{"--type", "alpha",       "--start-alpha",
                                        "100",    "--end-alpha", "100"};
    for (const std::string out : {"w.exr", "w.tif", "w.png", "w.jpg", "moved.exr", "ramp.exr"}) {
        std::vector<std::string> args{"render", "--input", path("window.exr"), "-o", path(out)};
        if (out == "moved.exr") args.insert(args.end(), {"--origin", "0,0"});
        if (out != "ramp.exr") args.insert(args.end(), keep.begin(), keep.end());
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << out << ": " << r.err;
        if (out == "w.jpg") {
            EXPECT_TRUE(has_line(r.err, "JPEG cannot record where the frame lies")) << r.err;
        }
    }
    const OIIO::ImageSpec exr = read_spec(path("w.exr"));
    const std::array<int, 6> windows{5, 3, 20, 10, 40, 30};
    EXPECT_EQ((std::array<int, 6>{exr.x, exr.y, exr.width, exr.height, exr.full_width,
                                  exr.full_height}),
              windows);
    EXPECT_EQ(read_file(path("w.exr")).f32, pixels);
    const OIIO::ImageSpec tif = read_spec(path("w.tif"));
    EXPECT_EQ((std::array<int, 6>{tif.x, tif.y, tif.width, tif.height, tif.full_width,
                                  tif.full_height}),
              windows);
    const OIIO::ImageSpec png = read_spec(path("w.png"));
    EXPECT_EQ((std::array<int, 4>{png.x, png.y, png.width, png.height}),
              (std::array<int, 4>{5, 3, 20, 10}));
    // JPEG records no position: the whole layer, black where there were no pixels.
    const FileImage jpg = read_file(path("w.jpg"));
    ASSERT_EQ(jpg.width, 40);
    ASSERT_EQ(jpg.height, 30);
    EXPECT_LT(jpg.u8[at(jpg, 1, 1, 1)], 3);
    EXPECT_NEAR(jpg.u8[at(jpg, 15, 8, 1)], 188, 3);  // linear 0.5 in sRGB
    const OIIO::ImageSpec moved = read_spec(path("moved.exr"));
    EXPECT_EQ(moved.x, 0);
    EXPECT_EQ(moved.y, 0);
    // The ramp runs across the layer, not the pixels: the default points are at
    // 0 % and 100 % of its width, so layer x 20 (pixel 15) is half way.
    const FileImage ramp = read_file(path("ramp.exr"));
    EXPECT_NEAR(ramp.f32[at(ramp, 15, 0)], 0.5f, 0.02f);
}

// ------------------------------------------------------------------ formats

TEST_F(Conventions, EveryFormatTheToolWritesOpensWithItsDepthAndAlpha)
{
    struct Out {
        std::string file;
        std::vector<std::string> extra;
        OIIO::TypeDesc stored;
        int channels;
    };
    const std::vector<Out> outs{
        {"f.jpg", {}, OIIO::TypeDesc::UINT8, 3},
        {"f.jpeg", {"--depth", "16"}, OIIO::TypeDesc::UINT8, 3},
        {"f.dpx", {"--depth", "16"}, OIIO::TypeDesc::UINT16, 4},
        {"f.webp", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.tga", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.bmp", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.sgi", {"--depth", "16"}, OIIO::TypeDesc::UINT16, 4},
        {"f.iff", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.rla", {"--depth", "32"}, OIIO::TypeDesc::FLOAT, 4},
        {"f.ico", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.gif", {}, OIIO::TypeDesc::UINT8, 4},
        {"f.ppm", {"--depth", "16"}, OIIO::TypeDesc::UINT8, 3},
        {"f.hdr", {}, OIIO::TypeDesc::FLOAT, 3},
        {"h.exr", {"--output-depth", "half"}, OIIO::TypeDesc::HALF, 4},
        {"f8.exr", {"--depth", "32", "--output-depth", "float"}, OIIO::TypeDesc::FLOAT, 4},
        {"h.tif", {"--depth", "32", "--output-depth", "half"}, OIIO::TypeDesc::HALF, 4},
        {"t10.dpx", {"--output-depth", "uint10"}, OIIO::TypeDesc::UINT16, 4},
        {"t12.dpx", {"--output-depth", "uint12"}, OIIO::TypeDesc::UINT16, 4},
    };
    for (const Out& o : outs) {
        SCOPED_TRACE(o.file);
        std::vector<std::string> args{"render",      "--size", "24x10",     "--type",
                                      "color-alpha", "-o",     path(o.file)};
        args.insert(args.end(), o.extra.begin(), o.extra.end());
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const OIIO::ImageSpec spec = read_spec(path(o.file));
        EXPECT_EQ(spec.width, 24);
        EXPECT_EQ(spec.height, 10);
        EXPECT_EQ(spec.nchannels, o.channels);
        EXPECT_EQ(spec.format, o.stored);
        if (o.file.find(".dpx") != std::string::npos && o.file != "f.dpx") {
            EXPECT_EQ(spec.get_int_attribute("oiio:BitsPerSample"), o.file == "t10.dpx" ? 10 : 12);
        }
    }
    // WebP keeps no alpha that is opaque everywhere: an opaque frame reads back RGB.
    const ProcessResult opaque = run({"render", "--size", "4x4", "-o", path("opaque.webp")});
    ASSERT_EQ(opaque.exit_code, 0) << opaque.err;
    EXPECT_EQ(read_spec(path("opaque.webp")).nchannels, 3);
    // A depth the container lacks is converted with a note, never refused.
    const ProcessResult jpeg16 =
        run({"render", "--size", "4x4", "--depth", "16", "-o", path("n.jpg")});
    EXPECT_EQ(jpeg16.exit_code, 0);
    EXPECT_TRUE(has_line(jpeg16.err, "JPEG holds 8-bit samples, not 16-bit")) << jpeg16.err;
}

TEST_F(Conventions, CompressionReachesTheWriter)
{
    const std::vector<std::pair<std::string, std::string>> runs{{"piz.exr", "piz"},
                                                                {"dwaa.exr", "dwaa:100"},
                                                                {"lzw.tif", "lzw"},
                                                                {"zip0.png", "zip:0"},
                                                                {"zip9.png", "zip:9"}};
    for (const auto& [file, compression] : runs) {
        const ProcessResult r = run({"render", "--size", "96x64", "--depth", "32", "--compression",
                                     compression, "-o", path(file)});
        ASSERT_EQ(r.exit_code, 0) << file << ": " << r.err;
    }
    EXPECT_EQ(read_spec(path("piz.exr")).get_string_attribute("compression"), "piz");
    EXPECT_EQ(read_spec(path("dwaa.exr")).get_string_attribute("compression"), "dwaa");
    EXPECT_EQ(read_spec(path("dwaa.exr")).get_float_attribute("openexr:dwaCompressionLevel"),
              100.0f);
    EXPECT_EQ(read_spec(path("lzw.tif")).get_string_attribute("compression"), "lzw");
    EXPECT_GT(fs::file_size(path("zip0.png")), 4 * fs::file_size(path("zip9.png")));
}

// ------------------------------------------------------------------ provenance

TEST_F(Conventions, FilesRecordWhatMadeThemAndVerboseSaysIt)
{
    const ProcessResult r = run({"render", "--size", "8x4", "--type", "color-alpha", "--power",
                                 "2.5", "--start-color", "#F80", "-v", "-o", path("m.exr")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const OIIO::ImageSpec exr = read_spec(path("m.exr"));
    EXPECT_TRUE(starts(exr.get_string_attribute("Software"), "velkorramp "));
    EXPECT_EQ(exr.get_string_attribute("velkorramp:power"), "2.5");
    EXPECT_EQ(exr.get_string_attribute("velkorramp:start-color"), "#FF8800");
    EXPECT_EQ(exr.get_string_attribute("velkorramp:type"), "Color & Alpha");
    EXPECT_EQ(exr.get_string_attribute("velkorramp:start"),
              "0,2");  // the default, resolved on this layer
    EXPECT_TRUE(starts(exr.get_string_attribute("velkorramp:module"), "VelkorRamp"));
    const std::string description = exr.get_string_attribute("ImageDescription");
    EXPECT_TRUE(has_line(description, "Power 2.5")) << description;
    EXPECT_TRUE(has_line(description, "1.0.0 (build 1, release)")) << description;
    EXPECT_TRUE(has_line(description, "working colour space sRGB:")) << description;
    EXPECT_TRUE(has_line(r.out, "Power (--power): 2.5")) << r.out;
    EXPECT_TRUE(has_line(r.out, "times: read ")) << r.out;

    ASSERT_EQ(run({"render", "--size", "8x4", "--power", "2.5", "-o", path("m.png")}).exit_code, 0);
    const OIIO::ImageSpec png = read_spec(path("m.png"));
    EXPECT_EQ(png.get_string_attribute("velkorramp:power"), "2.5");
    EXPECT_TRUE(has_line(png.get_string_attribute("ImageDescription"), "Power 2.5"));

    const ProcessResult version = run({"--version"});
    ASSERT_EQ(version.exit_code, 0) << version.err;
    EXPECT_EQ(version.out.rfind("velkorramp 1.0.0 (build 1)\nmodule ", 0), 0u) << version.out;
    EXPECT_EQ(exr.get_string_attribute("Software"), "velkorramp 1.0.0 (build 1)");
    EXPECT_NE(version.out.find(": 1.0.0 (build 1, release)\n"), std::string::npos) << version.out;
}

// ------------------------------------------------------------------ friendlier input

TEST_F(Conventions, PercentPointsAndShortColoursEqualTheirLongForms)
{
    const std::vector<std::string> layer{"render", "--size", "64x32", "--type", "color-alpha"};
    std::vector<std::string> friendly = layer;
    friendly.insert(friendly.end(), {"--start", "25%,50%", "--end", "75%,50%", "--start-color",
                                     "#F80", "--end-color", "0.0,0.5f,1.0", "--fill",
                                     "0.0,0.0,0.0,1.0", "-o", path("f.png")});
    std::vector<std::string> plain = layer;
    plain.insert(plain.end(),
                 {"--start", "16,16", "--end", "48,16", "--start-color", "#FF8800", "--end-color",
                  "0,128,255", "--fill", "0,0,0,255", "-o", path("p.png")});
    ASSERT_EQ(run(friendly).exit_code, 0);
    ASSERT_EQ(run(plain).exit_code, 0);
    EXPECT_EQ(read_file(path("f.png")).u8, read_file(path("p.png")).u8);

    write_file(path("layer.png"), 300, 200, 3, OIIO::TypeDesc::UINT8,
               std::vector<std::uint8_t>(300 * 200 * 3, 9));
    const ProcessResult params = run({"params", "--input", path("layer.png")});
    ASSERT_EQ(params.exit_code, 0) << params.err;
    EXPECT_TRUE(has_line(params.out, "(150,100 on 300x200)")) << params.out;
}

TEST_F(Conventions, FramesPipeThroughStandardInputAndOutput)
{
    const std::string tool = "'" + std::string(VELKORRAMP_PATH) + "'";
    const std::string producer =
        tool + " render --size 12x6 --controlled-by center --length 5 -o - 2>/dev/null | ";
    const ProcessResult piped =
        run({"render", "--input", "-", "--type", "alpha", "--format", "tif", "-o", "-"}, producer);
    ASSERT_EQ(piped.exit_code, 0) << piped.err;
    std::ofstream(path("piped.tif"), std::ios::binary) << piped.out;
    const std::vector<std::string> direct{"render",   "--size", "12x6", "--controlled-by", "center",
                                          "--length", "5",      "-o",   path("a.png")};
    ASSERT_EQ(run(direct).exit_code, 0);
    ASSERT_EQ(run({"render", "--input", path("a.png"), "--type", "alpha", "-o", path("direct.tif")})
                  .exit_code,
              0);
    EXPECT_EQ(read_file(path("piped.tif")).u8, read_file(path("direct.tif")).u8);
    // With the frame on standard output, -v reports on stderr.
    const ProcessResult verbose = run({"render", "--size", "4x4", "-v", "-o", "-"});
    ASSERT_EQ(verbose.exit_code, 0);
    EXPECT_EQ(verbose.out.rfind("\x89PNG", 0), 0u);
    EXPECT_TRUE(has_line(verbose.err, "rendered -: 4x4")) << verbose.err;
}

// ------------------------------------------------------------------ failures

TEST_F(Conventions, BadFileOptionsAreOneLineWithNoFile)
{
    std::string pe(256, '\0');
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[60] = static_cast<char>(128);
    pe.replace(128, 4, std::string("PE\0\0", 4));
    std::ofstream(path("VelkorRamp.aex"), std::ios::binary) << pe;
    struct Bad {
        std::vector<std::string> args;
        int exit_code;
        std::string mention;
        std::string env = "";
    };
    const std::string out = path("out.png").string();
    const std::vector<Bad> cases{
        {{"render", "--output-depth", "12", "-o", out}, 2, "8, 16, half or float"},
        {{"render", "--output-depth", "16", "-o", path("out.jpg")},
         2,
         "JPEG holds 8-bit, not 16-bit"},
        {{"render", "--alpha", "premultiplied", "-o", out}, 2, "PNG colour is always straight"},
        {{"render", "--alpha", "straight", "-o", path("out.exr")},
         2,
         "OpenEXR colour is always premultiplied"},
        {{"render", "--compression", "piz", "-o", out}, 2, "use zip[:0 to 9]"},
        {{"render", "--compression", "zip:10", "-o", path("out.exr")}, 2, "whole number 1 to 9"},
        {{"render", "--compression", "rle", "-o", path("out.bmp")}, 2, "BMP takes no compression"},
        {{"render", "--working-space", "ACEScg", "-o", out}, 2, "\"ACEScg\" is not a colour space"},
        {{"render", "--output-colorspace", "p3", "-o", out}, 2, "\"p3\" is not a colour space"},
        {{"render", "--input-colorspace", "linear", "-o", out}, 2, "for an --input file"},
        {{"render", "--format", "tif", "-o", out}, 2, "--format is for -o -"},
        {{"render", "--format", "psd", "-o", "-"}, 2, "known but not supported for output"},
        {{"render", "-o", path("out.jp2")}, 2, ".jp2 is known but not supported for output"},
        {{"render", "-o", path("out.heic")}, 2, "heif writer reads past the rows"},
        {{"render", "--lenght", "5", "-o", out}, 2, "did you mean --length?"},
        {{"render", "--start", "25%;50%", "-o", out}, 2, "percent of the layer"},
        {{"render", "--start-color", "1.5,0,0", "-o", out}, 2, "0.0 to 1.0"},
        {{"render", "--input", "-", "-o", out}, 3, "standard input: it is empty", "true | "},
        {{"render", "--module", path("VelkorRamp.aex"), "-o", out}, 5, "it is a Windows module"},
        {{"render", "-o", out}, 2, "does not load", "OCIO=/nonexistent.ocio "},
    };
    for (const Bad& c : cases) {
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        const ProcessResult r = run(c.args, c.env);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_EQ(r.err.rfind("velkorramp: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(has_line(r.err, c.mention)) << r.err;
        for (const std::string& name : files()) {
            EXPECT_EQ(name.find("out"), std::string::npos) << name << " left behind";
        }
    }
}

}  // namespace
}  // namespace cli_test
