// The files velkorramp writes as the next tool reads them: composites over
// black by independent decoders (ImageMagick, libwebp's dwebp), colour by
// format, an input's channels and metadata carried through, mattes, and the
// 16-bit note.
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>

#include <cstdlib>

#include "cli_test_support.h"

namespace cli_test {
namespace {

// The first of `names` on PATH.
std::string program(std::initializer_list<const char*> names)
{
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    for (const char* name : names) {
        for (std::size_t at = 0; at <= path.size();) {
            const std::size_t end = std::min(path.find(':', at), path.size());
            const fs::path candidate = fs::path(path.substr(at, end - at)) / name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
            at = end + 1;
        }
    }
    ADD_FAILURE() << "none of the decoders is installed (scripts/setup.sh installs them)";
    return names.begin()[0];
}

// The file over black as 8-bit RGB, by ImageMagick (WebP decoded by dwebp first).
std::vector<std::uint8_t> composite_over_black(const fs::path& file)
{
    fs::path source = file;
    if (file.extension() == ".webp") {
        source = file.string() + ".pam";
        const std::string dwebp = "'" + program({"dwebp"}) + "' -quiet '" + file.string() +
                                  "' -pam -o '" + source.string() + "'";
        EXPECT_EQ(std::system(dwebp.c_str()), 0) << dwebp;
    }
    const fs::path raw = file.string() + ".rgb";
    const std::string convert =
        "'" + program({"magick", "convert-im6.q16", "convert"}) + "' '" + source.string() +
        "' -set colorspace sRGB -background black -alpha remove -depth 8 'rgb:" + raw.string() +
        "'";
    EXPECT_EQ(std::system(convert.c_str()), 0) << convert;
    const std::string bytes = slurp(raw);
    return {bytes.begin(), bytes.end()};
}

class NextTool : public ToolTest {
protected:
    ProcessResult render(std::vector<std::string> args, const std::string& out)
    {
        args.insert(args.begin(), "render");
        args.insert(args.end(), {"-o", path(out).string()});
        ProcessResult r = run(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return r;
    }
};

const std::vector<std::string> kRamp{"--size",        "128x32", "--type",      "color-alpha",
                                     "--start-color", "#F80",   "--end-color", "#08F"};
const std::vector<std::string> kKeep{"--type", "alpha",       "--start-alpha",
                                     "100",    "--end-alpha", "100"};

TEST_F(NextTool, EveryFormatWithAlphaCompositesOverBlackAsThePngDoes)
{
    render(kRamp, "c.png");
    const std::vector<std::uint8_t> png = composite_over_black(path("c.png"));
    ASSERT_EQ(png.size(), 128u * 32 * 3);
    // WebP's lossy default moves colour by up to a few codes wherever it is.
    for (const std::string file :
         {"c.tif", "c.tga", "c.webp", "c.bmp", "c.ico", "c.sgi", "c.dpx"}) {
        SCOPED_TRACE(file);
        std::vector<std::string> args = kRamp;
        if (file == "c.webp") args.insert(args.end(), {"--compression", "lossless"});
        if (file == "c.dpx") args.insert(args.end(), {"--output-colorspace", "sRGB"});
        render(args, file);
        const std::vector<std::uint8_t> got = composite_over_black(path(file));
        ASSERT_EQ(got.size(), png.size());
        int worst = 0;
        for (std::size_t i = 0; i < png.size(); ++i)
            worst = std::max(worst, std::abs(got[i] - png[i]));
        EXPECT_LE(worst, 1);
    }
}

TEST_F(NextTool, EachFormatHoldsItsOwnColourSpaceAndNamesOne)
{
    render({"--size", "64x4"}, "s.png");
    OIIO::ImageBuf png(path("s.png").string());
    png.read(0, 0, true, OIIO::TypeDesc::FLOAT);
    OIIO::ImageBuf linear = OIIO::ImageBufAlgo::colorconvert(png, "sRGB", "linear");
    struct Case {
        std::string file;
        std::vector<std::string> extra;
        bool linear;
        std::string exr_name;
    };
    for (const Case& c :
         std::vector<Case>{{"s.exr", {}, true, ""},
                           {"f.exr", {"--output-depth", "float"}, true, ""},
                           {"e.exr", {"--output-colorspace", "sRGB"}, false, "sRGB"},
                           {"f.tif", {"--output-depth", "float"}, true, ""}}) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> args{"--size", "64x4"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ProcessResult r = render(args, c.file);
        EXPECT_EQ(r.err.find("cannot state the colour space") != std::string::npos, !c.linear);
        OIIO::ImageBuf file(path(c.file).string());
        const auto diff = OIIO::ImageBufAlgo::compare(file, c.linear ? linear : png, 1e-3f, 1e-3f);
        EXPECT_EQ(diff.nfail, 0u) << diff.maxerror;
        if (c.file.ends_with(".exr")) {
            EXPECT_EQ(file.spec().get_string_attribute("colorSpace"), c.exr_name);
        }
    }
    // A linear plate becomes sRGB in the display formats: linear 0.214041 is 128.
    write_file(path("plate.exr"), 2, 1, 4, OIIO::TypeDesc::FLOAT,
               std::vector<float>{0.214041f, 0.214041f, 0.214041f, 1, 1, 1, 1, 1});
    for (const std::string file : {"p.png", "p.jpg"}) {
        const ProcessResult r = render({"--input", path("plate.exr"), "--type", "alpha",
                                        "--end-alpha", "100", "--output-depth", "8"},
                                       file);
        EXPECT_EQ(r.err, "") << r.err;
        EXPECT_EQ(read_file(path(file)).u8[0], 128) << file;
        EXPECT_EQ(read_spec(path(file)).get_string_attribute("oiio:ColorSpace"), "sRGB");
    }
}

TEST_F(NextTool, ChannelsAndMetadataOfAnExrSurvive)
{
    OIIO::ImageSpec spec(2, 1, 5, OIIO::TypeDesc::HALF);
    spec.channelnames = {"R", "G", "B", "A", "Z"};
    spec.alpha_channel = 3;
    spec.z_channel = 4;
    const unsigned int timecode[2] = {0x01000001u, 0};
    spec.attribute("smpte:TimeCode", OIIO::TypeTimeCode, timecode);
    spec.attribute("studio:shot", "sh010");
    spec.attribute("Exif:FNumber", 2.8f);
    const std::vector<float> samples{0.25f, 0.5f, 0.75f, 1, 12.5f, 0, 0, 0, 1, 80};
    auto exr = OIIO::ImageOutput::create("openexr");
    ASSERT_TRUE(exr->open(path("z.exr").string(), spec));
    ASSERT_TRUE(exr->write_image(OIIO::TypeDesc::FLOAT, samples.data()));
    exr->close();
    render({"--input", path("z.exr"), "--type", "color-alpha", "--start-alpha", "100",
            "--end-alpha", "50"},
           "out.exr");
    const OIIO::ImageSpec out = read_spec(path("out.exr"));
    EXPECT_EQ(out.channelnames, (std::vector<std::string>{"R", "G", "B", "A", "Z"}));
    EXPECT_EQ(out.format, OIIO::TypeDesc::HALF);
    EXPECT_EQ(out.get_string_attribute("studio:shot"), "sh010");
    EXPECT_EQ(out.get_float_attribute("Exif:FNumber"), 2.8f);
    const OIIO::ParamValue* kept = out.find_attribute("smpte:TimeCode");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(static_cast<const unsigned int*>(kept->data())[0], timecode[0]);
    const FileImage z = read_file(path("out.exr"));
    EXPECT_EQ(z.f32[4], 12.5f);
    EXPECT_EQ(z.f32[9], 80.0f);
    // A matte: the alpha alone, and as a layer beside every channel of the input.
    render({"--input", path("z.exr"), "--type", "alpha", "--end-alpha", "50", "--output-channels",
            "A", "--output-layer", "matte"},
           "layer.exr");
    const FileImage layer = read_file(path("layer.exr"));
    EXPECT_EQ(read_spec(path("layer.exr")).channelnames,
              (std::vector<std::string>{"R", "G", "B", "A", "Z", "matte.A"}));
    EXPECT_EQ(layer.f32[4], 12.5f);
    render({"--input", path("z.exr"), "--type", "alpha", "--end-alpha", "50"}, "faded.exr");
    const FileImage faded = read_file(path("faded.exr"));
    EXPECT_EQ(layer.f32[5], faded.f32[3]);
    EXPECT_EQ(layer.f32[11], faded.f32[8]);
    EXPECT_LT(faded.f32[8], 1.0f);
    for (const std::string file : {"m.exr", "m.png"}) {
        render({"--size", "64x4", "--type", "alpha", "--output-channels", "A"}, file);
        render({"--size", "64x4", "--type", "alpha"}, file + ".full.exr");
        const FileImage matte = read_file(path(file));
        const FileImage full = read_file(path(file + ".full.exr"));
        ASSERT_EQ(matte.channels, 1) << file;
        EXPECT_NEAR(matte.u8.empty() ? matte.f32[63] : matte.u8[63] / 255.0, full.f32[63 * 4 + 3],
                    1e-3)
            << file;
    }
    const ProcessResult png = render({"--input", path("z.exr")}, "z.png");
    EXPECT_NE(png.err.find("cannot keep the input's channel Z or its metadata"), std::string::npos)
        << png.err;
}

TEST_F(NextTool, SixteenBitPassNamesTheLosslessWay)
{
    std::vector<std::uint16_t> ramp;
    for (int v = 0; v < 64; ++v) {
        const auto f = static_cast<std::uint16_t>(v * 1001);
        ramp.insert(ramp.end(), {f, f, f, 65535});
    }
    write_file(path("p16.png"), 64, 1, 4, OIIO::TypeDesc::UINT16, ramp);
    std::vector<std::string> pass{"--input", path("p16.png")};
    pass.insert(pass.end(), kKeep.begin(), kKeep.end());
    const ProcessResult lossy = render(pass, "o16.png");
    EXPECT_NE(lossy.err.find("--depth 32 passes them losslessly"), std::string::npos) << lossy.err;
    pass.insert(pass.end(), {"--depth", "32"});
    const ProcessResult exact = render(pass, "o32.png");
    EXPECT_EQ(exact.err, "");
    EXPECT_EQ(read_file(path("o32.png")).u16, ramp);
}

}  // namespace
}  // namespace cli_test
