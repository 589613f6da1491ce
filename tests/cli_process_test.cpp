// The built velkorramp run as a process: every option reaches the module, the
// written files hold exactly what the simulated host rendered, and every
// failure is one line, its exit code, and no file left behind.
#include <algorithm>
#include <cstring>

#include "cli/image_file.h"
#include "cli_test_support.h"

namespace cli_test {
namespace {

using simhost::RenderOptions;
using simhost::Session;
using simhost::World;

// The written file holds the host's frame: 8-bit as is, 16-bit through the
// file mapping (and back), float bit for bit (premultiplied: colour times
// alpha, as OpenEXR holds it), channels ARGB -> RGBA.
void expect_file_holds(const fs::path& file, const World& frame, bool premultiplied = false)
{
    const FileImage image = read_file(file);
    ASSERT_EQ(image.width, frame.width());
    ASSERT_EQ(image.height, frame.height());
    ASSERT_EQ(image.channels, 4);
    const int depth = simhost::bit_depth(frame.format());
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * frame.width() + x) * 4;
            if (depth == 8) {
                ASSERT_EQ(image.format, OIIO::TypeDesc::UINT8);
                const PF_Pixel& p = frame.at<PF_Pixel>(x, y);
                const std::array<int, 4> want{p.red, p.green, p.blue, p.alpha};
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(image.u8[i + c], want[c]) << x << "," << y << " channel " << c;
            } else if (depth == 16) {
                ASSERT_EQ(image.format, OIIO::TypeDesc::UINT16);
                const PF_Pixel16& p = frame.at<PF_Pixel16>(x, y);
                const std::array<std::uint16_t, 4> want{p.red, p.green, p.blue, p.alpha};
                for (int c = 0; c < 4; ++c) {
                    ASSERT_EQ(image.u16[i + c], velkorramp::host16_to_file16(want[c]))
                        << x << "," << y;
                    ASSERT_EQ(velkorramp::file16_to_host16(image.u16[i + c]), want[c])
                        << x << "," << y;
                }
            } else {
                ASSERT_EQ(image.format, OIIO::TypeDesc::FLOAT);
                const PF_PixelFloat& p = frame.at<PF_PixelFloat>(x, y);
                const float a = premultiplied ? p.alpha : 1.0f;
                const std::array<float, 4> want{p.red * a, p.green * a, p.blue * a, p.alpha};
                for (int c = 0; c < 4; ++c) {
                    ASSERT_EQ(std::memcmp(&image.f32[i + c], &want[c], sizeof(float)), 0)
                        << x << "," << y;
                }
            }
        }
    }
}

std::array<int, 4> rgba8(const FileImage& image, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {image.u8[i], image.u8[i + 1], image.u8[i + 2], image.u8[i + 3]};
}

void set(Session& s, const char* control, int choice)
{
    ASSERT_TRUE(s.set_popup(s.find_param(control), choice));
}

class Render : public ToolTest {};

TEST_F(Render, FilesAtEachDepthHoldExactlyWhatTheHostRendered)
{
    const auto controls = [](Session& s) {
        set(s, "Type", 3);
        ASSERT_TRUE(s.set_color(s.find_param("Start Color"), PF_Pixel{255, 255, 128, 0}));
        ASSERT_TRUE(s.set_float(s.find_param("Power"), 2.5));
        ASSERT_TRUE(s.set_percent(s.find_param("End Alpha"), 30));
    };
    const std::vector<std::string> options{"--size",        "37x5",        "--type",
                                           "color-alpha",   "--fill",      "10,20,30,200",
                                           "--start-color", "#FF8000",     "--power",
                                           "2.5",           "--end-alpha", "30"};
    const simhost::ColorF fill{200 / 255.0, 10 / 255.0, 20 / 255.0, 30 / 255.0};
    const std::vector<std::pair<PF_PixelFormat, std::vector<std::string>>> cases{
        {PF_PixelFormat_ARGB32, {"8", "f.png", "f.tif"}},
        {PF_PixelFormat_ARGB64, {"16", "f.png", "f.tiff"}},
        {PF_PixelFormat_ARGB128, {"32", "f.tif", "f.exr"}},
    };
    for (const auto& [format, depth_and_files] : cases) {
        const World frame = reference_render(37, 5, controls, solid(37, 5, format, fill)).output;
        for (std::size_t f = 1; f < depth_and_files.size(); ++f) {
            SCOPED_TRACE(depth_and_files[f] + " at depth " + depth_and_files[0]);
            std::vector<std::string> args{"render", "--depth", depth_and_files[0], "-o",
                                          path(depth_and_files[f])};
            args.insert(args.end(), options.begin(), options.end());
            // The values as rendered: float files are linear unless told otherwise.
            args.insert(args.end(), {"--output-colorspace", "sRGB"});
            const ProcessResult r = run(args);
            ASSERT_EQ(r.exit_code, 0) << r.err;
            const bool exr = depth_and_files[f] == "f.exr";
            // OpenEXR is linear to its readers; an sRGB one is noted.
            if (!exr) {
                EXPECT_EQ(r.err, "");
            }
            expect_file_holds(path(depth_and_files[f]), frame, exr);
        }
    }
}

TEST_F(Render, SixteenBitInputPassesThroughUnchanged)
{
    // Alpha type with both alphas at 100 % gives back the input pixel; a file
    // made of host values must come out identical.
    std::vector<std::uint16_t> samples;
    for (int i = 0; i < 64 * 8 * 4; ++i)
        samples.push_back(velkorramp::host16_to_file16((i * 4099) % 32769));
    write_file(path("in.png"), 64, 8, 4, OIIO::TypeDesc::UINT16, samples);
    const ProcessResult r =
        run({"render", "--input", path("in.png"), "--type", "alpha", "--start-alpha", "100",
             "--end-alpha", "100", "-o", path("out.png")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const FileImage out = read_file(path("out.png"));
    EXPECT_EQ(out.format, OIIO::TypeDesc::UINT16);
    EXPECT_EQ(out.u16, samples);
}

TEST_F(Render, InputFileGivesTheLayerItsSizeDepthAndPixels)
{
    std::vector<std::uint8_t> photo;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 24; ++x) {
            photo.insert(photo.end(),
                         {static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 30),
                          static_cast<std::uint8_t>(x * y), static_cast<std::uint8_t>(x * 11)});
        }
    }
    write_file(path("photo.png"), 24, 8, 4, OIIO::TypeDesc::UINT8, photo);
    ASSERT_EQ(run({"render", "--input", path("photo.png"), "-o", path("color.png")}).exit_code, 0);
    const FileImage color = read_file(path("color.png"));
    ASSERT_EQ(color.width, 24);
    ASSERT_EQ(color.height, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 24; ++x)
            EXPECT_EQ(rgba8(color, x, y)[3], x * 11);  // "Color" keeps the input's alpha
    }

    std::vector<float> floats(6 * 2 * 4, 0.5f);
    write_file(path("float.exr"), 6, 2, 4, OIIO::TypeDesc::FLOAT, floats);
    ASSERT_EQ(run({"render", "--input", path("float.exr"), "-o", path("float.tif")}).exit_code, 0);
    EXPECT_EQ(read_file(path("float.tif")).format, OIIO::TypeDesc::FLOAT);
    ASSERT_EQ(run({"render", "--input", path("float.exr"), "--depth", "16", "-o", path("deep.png")})
                  .exit_code,
              0);
    EXPECT_EQ(read_file(path("deep.png")).format, OIIO::TypeDesc::UINT16);
}

TEST_F(Render, TypeAlphaKeepsTheFillColourAndRampsItsAlpha)
{
    ASSERT_EQ(run({"render", "--size", "64x4", "--type", "alpha", "--fill", "#336699", "-o",
                   path("a.png")})
                  .exit_code,
              0);
    const FileImage image = read_file(path("a.png"));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 64; ++x) {
            const auto p = rgba8(image, x, y);
            EXPECT_EQ(p[0], 0x33);
            EXPECT_EQ(p[1], 0x66);
            EXPECT_EQ(p[2], 0x99);
            if (x > 0) {
                EXPECT_LT(p[3], rgba8(image, x - 1, y)[3]);
            }
        }
    }
    EXPECT_EQ(rgba8(image, 0, 0)[3], 255);
}

TEST_F(Render, RadialShapeIsSymmetricAboutItsCenter)
{
    ASSERT_EQ(run({"render", "--size", "41x21", "--controlled-by", "center", "--shape", "radial",
                   "--center", "20,10", "--length", "15", "-o", path("r.png")})
                  .exit_code,
              0);
    const FileImage image = read_file(path("r.png"));
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 41; ++x) {
            EXPECT_EQ(rgba8(image, x, y), rgba8(image, 40 - x, y)) << x << "," << y;
            EXPECT_EQ(rgba8(image, x, y), rgba8(image, x, 20 - y)) << x << "," << y;
        }
    }
    EXPECT_EQ(rgba8(image, 20, 10)[0], 255);  // start colour at the centre
    EXPECT_EQ(rgba8(image, 0, 0)[0], 0);      // end colour beyond the length
}

TEST_F(Render, StartEndAndOriginPlaceTheRamp)
{
    ASSERT_EQ(run({"render", "--size", "32x1", "--start", "10,0", "--end", "20,0", "-o",
                   path("p.png")})
                  .exit_code,
              0);
    const FileImage placed = read_file(path("p.png"));
    for (int x = 0; x <= 10; ++x) EXPECT_EQ(rgba8(placed, x, 0)[0], 255) << x;
    EXPECT_EQ(rgba8(placed, 15, 0)[0], 128);
    for (int x = 20; x < 32; ++x) EXPECT_EQ(rgba8(placed, x, 0)[0], 0) << x;

    // The input world's origin moves the points: layer x 10 is pixel 0.
    ASSERT_EQ(run({"render", "--size", "32x1", "--start", "10,0", "--end", "20,0", "--origin",
                   "10,0", "-o", path("o.png")})
                  .exit_code,
              0);
    const FileImage shifted = read_file(path("o.png"));
    EXPECT_EQ(rgba8(shifted, 0, 0)[0], 255);
    EXPECT_EQ(rgba8(shifted, 5, 0)[0], 128);
    EXPECT_EQ(rgba8(shifted, 10, 0)[0], 0);
}

TEST_F(Render, CenterModeOptionsMatchTheHostsFrame)
{
    const ProcessResult r = run({"render",     "--size",        "12x16",      "--controlled-by",
                                 "center",     "--center",      "3,2",        "--direction",
                                 "150",        "--length",      "9",          "--shape",
                                 "linear2",    "--start-color", "200,100,50", "--end-color",
                                 "#0A141E",    "--power",       "0.5",        "-o",
                                 path("c.tif")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto controls = [](Session& s) {
        set(s, "Controlled By", 2);
        set(s, "Shape", 2);
        ASSERT_TRUE(s.set_point(s.find_param("Center"), 3, 2));
        ASSERT_TRUE(s.set_angle(s.find_param("Direction"), 150));
        ASSERT_TRUE(s.set_float(s.find_param("Length"), 9));
        ASSERT_TRUE(s.set_color(s.find_param("Start Color"), PF_Pixel{255, 200, 100, 50}));
        ASSERT_TRUE(s.set_color(s.find_param("End Color"), PF_Pixel{255, 10, 20, 30}));
        ASSERT_TRUE(s.set_float(s.find_param("Power"), 0.5));
    };
    expect_file_holds(
        path("c.tif"),
        reference_render(12, 16, controls, solid(12, 16, PF_PixelFormat_ARGB32)).output);
}

TEST_F(Render, DownsampleRendersTheProxyAsTheHostDoes)
{
    ASSERT_EQ(run({"render", "--size", "100x40", "--downsample", "1/2", "--controlled-by", "center",
                   "--shape", "radial", "--length", "40", "-o", path("d.png")})
                  .exit_code,
              0);
    RenderOptions options = solid(50, 20, PF_PixelFormat_ARGB32);
    options.downsample_x = options.downsample_y = PF_RationalScale{1, 2};
    const auto controls = [](Session& s) {
        set(s, "Controlled By", 2);
        set(s, "Shape", 3);
        ASSERT_TRUE(s.set_float(s.find_param("Length"), 40));
    };
    expect_file_holds(path("d.png"), reference_render(100, 40, controls, options).output);
}

TEST_F(Render, ThreadCountDoesNotChangeTheFrame)
{
    for (const std::string threads : {"1", "7"}) {
        const ProcessResult r =
            run({"render", "--size", "33x17", "--controlled-by", "center", "--direction", "33",
                 "--threads", threads, "--verbose", "-o", path("t" + threads + ".png")});
        ASSERT_EQ(r.exit_code, 0);
        EXPECT_NE(r.out.find("host threads " + threads + ", bands " + threads + ";"),
                  std::string::npos)
            << r.out;
    }
    EXPECT_EQ(read_file(path("t1.png")).u8, read_file(path("t7.png")).u8);
}

TEST_F(Render, OptionsTakeTheirValueAfterAnEqualsSign)
{
    ASSERT_EQ(run({"render", "--size=33x17", "--power=2", "--controlled-by=center",
                   "--direction=33", "--output=" + path("equals.png").string()})
                  .exit_code,
              0);
    ASSERT_EQ(run({"render", "--size", "33x17", "--power", "2", "--controlled-by", "center",
                   "--direction", "33", "-o", path("spaced.png")})
                  .exit_code,
              0);
    const FileImage equals = read_file(path("equals.png"));
    EXPECT_EQ(equals.u8, read_file(path("spaced.png")).u8);
    // Power 2 did reach the module: the frame differs from the default power.
    ASSERT_EQ(run({"render", "--size=33x17", "--controlled-by=center", "--direction=33", "-o",
                   path("one.png")})
                  .exit_code,
              0);
    EXPECT_NE(equals.u8, read_file(path("one.png")).u8);
}

TEST_F(Render, PointsAndAnglesAtTheEdgeOfFixedPointRoundToTheLargestValue)
{
    // 32767.99999 and 32767.999991 round to the largest 16.16 value, 2^31 - 1;
    // before the check after rounding, values rounding to 2^31 wrapped to -32768.
    const auto frame = [&](const std::string& name, const std::vector<std::string>& controls) {
        std::vector<std::string> args{"render",   "--size", "40x24", "--controlled-by", "center",
                                      "--length", "30",     "-o",    path(name)};
        args.insert(args.end(), controls.begin(), controls.end());
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        return read_file(path(name)).u8;
    };
    const auto largest_angle = frame("a1.png", {"--direction", "32767.99998474121"});
    EXPECT_EQ(frame("a2.png", {"--direction", "32767.999991"}), largest_angle);
    EXPECT_NE(frame("a3.png", {"--direction", "-8"}), largest_angle);  // -32768 degrees
    const auto largest_point = frame("p1.png", {"--center", "32767.99998474121,12"});
    EXPECT_EQ(frame("p2.png", {"--center", "32767.99999,12"}), largest_point);
    EXPECT_NE(frame("p3.png", {"--center", "-32767.99998474121,12"}), largest_point);
}

// ------------------------------------------------------------------ failures

struct FailureCase {
    std::vector<std::string> args;
    int exit_code;
    std::vector<std::string> mentions;
    std::string env = "";
};

class Failures : public ToolTest {
protected:
    void expect_failure(const FailureCase& c)
    {
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("OUT"), path("out.png").string());
        const ProcessResult r = run(args, c.env);
        std::string shown;
        for (const auto& a : c.args) shown += a + " ";
        SCOPED_TRACE(shown);
        EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
        EXPECT_EQ(r.err.rfind("velkorramp: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (const std::string& m : c.mentions)
            EXPECT_NE(r.err.find(m), std::string::npos) << m << " in " << r.err;
        for (const std::string& name : files()) {
            EXPECT_EQ(name.find("out"), std::string::npos) << name << " left behind";
            EXPECT_EQ(name.find("partial"), std::string::npos) << name << " left behind";
        }
    }
};

TEST_F(Failures, CommandLineMistakes)
{
    const std::vector<FailureCase> cases{
        {{"render", "--colour", "red", "-o", "OUT"}, 2, {"unknown option \"--colour\""}},
        {{"render", "--size", "4x4"}, 2, {"-o FILE"}},
        {{"render", "-o", "OUT", "stray"}, 2, {"unexpected argument \"stray\""}},
        {{"render", "-o", "OUT", "--start"}, 2, {"--start needs a value"}},
        {{"render", "-o", "OUT", "--start", "abc"}, 2, {"--start", "not X,Y"}},
        {{"render", "-o", "OUT", "--start-color", "#GG0000"}, 2, {"not a colour", "0 to 255"}},
        {{"render", "-o", "OUT", "--fill", "1,2,3,256"}, 2, {"--fill", "0 to 255"}},
        {{"render", "-o", "OUT", "--depth", "24"}, 2, {"8, 16 or 32"}},
        {{"render", "-o", "OUT", "--size", "0x5"}, 2, {"1 to 30000"}},
        {{"render", "-o", "OUT", "--downsample", "3/2"}, 2, {"1 <= N <= D"}},
        {{"render", "-o", "OUT", "--input", "x.png", "--size", "4x4"}, 2, {"--input"}},
        {{"frobnicate"}, 2, {"unknown command"}},
    };
    for (const FailureCase& c : cases) expect_failure(c);
}

TEST_F(Failures, ValuesOutsideTheDeclaredRangesNameTheControl)
{
    const std::vector<FailureCase> cases{
        {{"render", "-o", "OUT", "--power", "200"},
         2,
         {"--power", "\"Power\"", "0.01 to 100", "200"}},
        {{"render", "-o", "OUT", "--power", "0"}, 2, {"\"Power\"", "0.01 to 100"}},
        {{"render", "-o", "OUT", "--length", "-1"}, 2, {"\"Length\"", "0 to 50000"}},
        {{"render", "-o", "OUT", "--start-alpha", "150"}, 2, {"\"Start Alpha\"", "0 to 100 %"}},
        {{"render", "-o", "OUT", "--end-alpha", "-0.5"}, 2, {"\"End Alpha\"", "0 to 100 %"}},
        {{"render", "-o", "OUT", "--direction", "40000"}, 2, {"\"Direction\"", "32768"}},
        {{"render", "-o", "OUT", "--start", "40000,0"}, 2, {"\"Start of Ramp\"", "32768"}},
        {{"render", "-o", "OUT", "--shape", "diamond"}, 2, {"\"Shape\"", "\"Linear 2\" (linear2)"}},
        {{"render", "-o", "OUT", "--type", "4"},
         2,
         {"\"Type\"", "\"Color & Alpha\" (color-alpha)"}},
        // Choice numbers are whole positive numbers: no sign is dropped, no fraction cut.
        {{"render", "-o", "OUT", "--type", "-1"},
         2,
         {"\"-1\" is not a choice of \"Type\"", "1 \"Color\""}},
        {{"render", "-o", "OUT", "--shape", "-3"},
         2,
         {"\"-3\" is not a choice of \"Shape\"", "3 \"Radial\""}},
        {{"render", "-o", "OUT", "--type", "+2"}, 2, {"\"+2\" is not a choice"}},
        {{"render", "-o", "OUT", "--shape", "2.0"}, 2, {"\"2.0\" is not a choice"}},
        // Points and angles are 16.16 fixed point: what rounds to 2^31 does not fit.
        {{"render", "-o", "OUT", "--center", "32767.999999,4"},
         2,
         {"\"Center\" accepts X,Y in layer pixels",
          "each greater than -32768 and less than 32768 once rounded to "
          "1/65536; 32767.999999,4 is outside that range"}},
        {{"render", "-o", "OUT", "--end", "0,-32767.9999925"},
         2,
         {"\"End of Ramp\"", "once rounded"}},
        {{"render", "-o", "OUT", "--direction", "32767.999995"},
         2,
         {"\"Direction\" accepts degrees greater than -32768 and less than 32768 once rounded to 1/65536"}},
        {{"params", "--controlled-by", "sideways"}, 2, {"\"Controlled By\"", "(center-length)"}},
    };
    for (const FailureCase& c : cases) expect_failure(c);
}

TEST_F(Failures, FilesThatCannotBeReadOrWritten)
{
    std::ofstream(path("garbage.png")) << "not an image";
    fs::create_directories(path("folder.png"));
    const std::vector<FailureCase> cases{
        {{"render", "--input", path("missing.png"), "-o", "OUT"},
         3,
         {"missing.png", "No such file or directory"}},
        {{"render", "--input", path("garbage.png"), "-o", "OUT"}, 3, {"garbage.png"}},
        {{"render", "-o", path("nowhere/out.png")}, 4, {"does not exist"}},
        {{"render", "-o", path("folder.png")}, 4, {"folder"}},
        {{"render", "-o", path("out.psd")},
         2,
         {".psd is known but not supported for output", ".png", ".exr"}},
        {{"render", "-o", path("out.xyz")}, 2, {"unknown extension .xyz", ".jpg/.jpeg", ".dpx"}},
        {{"render", "--output-depth", "half", "-o", "OUT"},
         2,
         {"PNG holds 8-bit and 16-bit, not half-float"}},
    };
    for (const FailureCase& c : cases) expect_failure(c);
    EXPECT_TRUE(fs::is_directory(path("folder.png")));
}

TEST_F(Failures, ModulesThatDoNotLoadOrReportErrors)
{
    std::ofstream(path("text.so")) << "not a library";
    const std::string fixture = CLI_FIXTURE_MODULE;
    const std::vector<FailureCase> cases{
        {{"render", "--module", path("absent.so"), "-o", "OUT"},
         5,
         {"cannot load module", "absent.so"}},
        {{"render", "--module", path("text.so"), "-o", "OUT"},
         5,
         {"cannot load module", "text.so"}},
        {{"about", "--module", CLI_NO_ENTRY_MODULE}, 5, {"does not export EntryPointFunc"}},
        {{"render", "--module", fixture, "-o", "OUT"},
         6,
         {"PF_Cmd_SMART_RENDER", "PF_Err_OUT_OF_MEMORY (4)", "fixture refused command 24"},
         "VELKOR_FIXTURE_FAIL=24 "},
        {{"render", "--module", fixture, "-o", "OUT"},
         6,
         {"PF_Cmd_SMART_PRE_RENDER", "fixture refused command 23"},
         "VELKOR_FIXTURE_FAIL=23 "},
        {{"about", "--module", fixture},
         6,
         {"PF_Cmd_GLOBAL_SETUP", "PF_Err_OUT_OF_MEMORY"},
         "VELKOR_FIXTURE_FAIL=1 "},
        {{"render", "--module", fixture, "--power", "2", "-o", "OUT"},
         6,
         {"no control named \"Power\""}},
    };
    for (const FailureCase& c : cases) expect_failure(c);
}

// ------------------------------------------------------------------ other commands

class Commands : public ToolTest {};

// The "state" line of one control's block in `velkorramp params` output.
std::string state_of(const std::string& listing, const std::string& control)
{
    const std::size_t block = listing.find("  " + control + "  (");
    if (block == std::string::npos) return "missing";
    const std::size_t state = listing.find("state    ", block);
    return listing.substr(state + 9, listing.find('\n', state) - state - 9);
}

TEST_F(Commands, ParamsListsDeclaredControlsWithTheModulesEnabling)
{
    const ProcessResult defaults = run({"params"});
    ASSERT_EQ(defaults.exit_code, 0) << defaults.err;
    EXPECT_NE(defaults.out.find("13 controls"), std::string::npos);
    EXPECT_NE(defaults.out.find("13  Power  (float slider, --power NUMBER)"), std::string::npos);
    EXPECT_NE(defaults.out.find("0.01 to 100"), std::string::npos);
    EXPECT_NE(defaults.out.find("slider   0.1 to 10"), std::string::npos);
    EXPECT_EQ(state_of(defaults.out, "Start Color"), "enabled");
    EXPECT_EQ(state_of(defaults.out, "Start Alpha"), "disabled");
    EXPECT_EQ(state_of(defaults.out, "Center"), "disabled");
    EXPECT_EQ(state_of(defaults.out, "Shape"), "enabled (the effect never changes it)");

    const ProcessResult radial =
        run({"params", "--type", "alpha", "--controlled-by", "center", "--shape", "radial"});
    ASSERT_EQ(radial.exit_code, 0) << radial.err;
    EXPECT_EQ(state_of(radial.out, "Start Color"), "disabled");
    EXPECT_EQ(state_of(radial.out, "Start Alpha"), "enabled");
    EXPECT_EQ(state_of(radial.out, "Start of Ramp"), "disabled");
    EXPECT_EQ(state_of(radial.out, "Length"), "enabled");
    EXPECT_EQ(state_of(radial.out, "Direction"), "disabled");
}

TEST_F(Commands, AboutHelpAndNotes)
{
    const ProcessResult about = run({"about"});
    ASSERT_EQ(about.exit_code, 0);
    EXPECT_EQ(about.out.rfind("VelkorRamp, v1.00\n", 0), 0u) << about.out;

    const ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.out.find("render"), std::string::npos);
    const ProcessResult render_help = run({"render", "--help"});
    EXPECT_EQ(render_help.exit_code, 0);
    EXPECT_NE(render_help.out.find("round(v*65535/32768)"), std::string::npos);
    EXPECT_NE(render_help.out.find("--power NUMBER"), std::string::npos);
    EXPECT_NE(render_help.out.find("0.01 to 100"), std::string::npos);
    EXPECT_EQ(run({}).exit_code, 2);

    // A control the module disables under the chosen settings is still set, with a note.
    const ProcessResult noted =
        run({"render", "--size", "4x4", "--center", "1,1", "-o", path("n.png")});
    EXPECT_EQ(noted.exit_code, 0);
    EXPECT_NE(noted.err.find("note: \"Center\" is disabled"), std::string::npos) << noted.err;
    EXPECT_TRUE(fs::exists(path("n.png")));
}

}  // namespace
}  // namespace cli_test
