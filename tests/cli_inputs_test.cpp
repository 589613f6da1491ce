// Input files and memory, run as a process: a file's declared size is weighed
// before any pixel buffer exists; a damaged or cut-short file is exit code 3 and
// one line; a frame larger than the memory budget, or an allocation that fails,
// is exit code 7 with what it needed; every message gives the system's reason.
#include <random>

#include "cli_image_bytes.h"
#include "cli_test_support.h"

namespace cli_test {
namespace {

constexpr uid_t kNobody = 65534;

class Inputs : public ToolTest {
protected:
    // A refused input: exit 3, exactly `line` on stderr, no output left.
    void expect_input_refused(const fs::path& input, const std::string& reason)
    {
        const Ending e = launch({"render", "--input", input, "-o", path("out.tif")});
        EXPECT_EQ(e.exit_code, 3) << e.err;
        EXPECT_EQ(e.err,
                  "velkorramp: cannot read input \"" + input.string() + "\": " + reason + "\n");
        EXPECT_FALSE(fs::exists(path("out.tif")));
    }

    // Refused with one line starting as given, whatever the library's words after it.
    void expect_one_line_refusal(const fs::path& input, int exit_code, const std::string& start)
    {
        const Ending e = launch({"render", "--input", input, "-o", path("out.tif")});
        EXPECT_EQ(e.exit_code, exit_code) << e.err;
        EXPECT_EQ(e.err.rfind(start, 0), 0u) << e.err;
        EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1) << e.err;
        EXPECT_FALSE(fs::exists(path("out.tif")));
        for (const std::string& name : files())
            EXPECT_EQ(name.front() == '.', false) << name << " left behind";
    }
};

TEST_F(Inputs, HeadersPromisingMorePixelsThanTheFileHoldsAreDamaged)
{
    // The hand-made files are sound at the size the data has: the tool renders them.
    write_bytes(path("small.tif"), tiff_declaring(4, 4, std::string(16, '\x80')));
    ASSERT_EQ(
        launch({"render", "--input", path("small.tif"), "-o", path("small-out.tif")}).exit_code, 0);
    write_file(path("small.png"), 4, 4, 4, OIIO::TypeDesc::UINT8,
               std::vector<std::uint8_t>(64, 200));
    write_file(path("small.exr"), 4, 4, 4, OIIO::TypeDesc::FLOAT, std::vector<float>(64, 0.5f));

    write_bytes(path("huge.tif"), tiff_declaring(30000, 30000, std::string(16, '\x80')));
    expect_input_refused(path("huge.tif"),
                         "damaged: its header declares 30000x30000 pixels, which take at least "
                         "112500000 bytes, but the file has " +
                             std::to_string(fs::file_size(path("huge.tif"))));
    write_bytes(path("huge.png"), png_declaring(slurp(path("small.png")), 30000, 30000));
    expect_input_refused(path("huge.png"),
                         "damaged: its header declares 30000x30000 pixels, which take at least "
                         "109011 bytes, but the file has " +
                             std::to_string(fs::file_size(path("huge.png"))));
    write_bytes(path("huge.exr"), exr_declaring(slurp(path("small.exr")), 30000, 30000));
    expect_one_line_refusal(path("huge.exr"), 3,
                            "velkorramp: cannot read input \"" + path("huge.exr").string());
}

TEST_F(Inputs, FilesCutShortAreOneLineEachWithNothingLeft)
{
    std::mt19937 random(3);
    std::vector<std::uint8_t> bytes(97 * 61 * 4);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random());
    std::vector<std::uint16_t> words(97 * 61 * 4);
    for (std::uint16_t& w : words) w = static_cast<std::uint16_t>(random());
    std::vector<float> floats(97 * 61 * 4);
    for (float& f : floats) f = static_cast<float>(random() % 1000) / 1000.0f;
    write_file(path("whole.png"), 97, 61, 4, OIIO::TypeDesc::UINT8, bytes);
    write_file(path("whole.tif"), 97, 61, 4, OIIO::TypeDesc::UINT16, words);
    write_file(path("whole.exr"), 97, 61, 4, OIIO::TypeDesc::FLOAT, floats);
    for (const std::string name : {"whole.png", "whole.tif", "whole.exr"}) {
        const std::string whole = slurp(path(name));
        for (const double share : {0.1, 0.5, 0.9}) {
            SCOPED_TRACE(name + " cut to " + std::to_string(share));
            const fs::path cut = path("cut" + fs::path(name).extension().string());
            write_bytes(cut, whole.substr(0, static_cast<std::size_t>(whole.size() * share)));
            // libpng's own complaint stays off stderr: the one line is the tool's.
            expect_one_line_refusal(cut, 3,
                                    "velkorramp: cannot read input \"" + cut.string() + "\": ");
        }
    }
}

TEST_F(Inputs, UnusableFilesGiveTheReason)
{
    fs::create_symlink("loop-b", path("loop-a"));
    fs::create_symlink("loop-a", path("loop-b"));
    expect_input_refused(path("loop-a"), "Too many levels of symbolic links");
    fs::create_directories(path("folder.png"));
    expect_input_refused(path("folder.png"), "it is a folder");
    write_deep_exr(path("deep.exr"));
    const Ending deep = launch({"render", "--input", path("deep.exr"), "-o", path("out.tif")});
    EXPECT_EQ(deep.exit_code, 3);
    EXPECT_EQ(
        deep.err,
        "velkorramp: cannot use input \"" + path("deep.exr").string() +
            "\": it holds deep pixels (several samples each); flatten it first, e.g. oiiotool "
            "--flatten\n");

    if (geteuid() != 0)
        GTEST_SKIP() << "an unreadable file needs a second user; only root can become one";
    if (!runs_as(kNobody)) GTEST_SKIP() << "user nobody cannot run the tool from its build folder";
    write_file(path("private.png"), 2, 2, 4, OIIO::TypeDesc::UINT8,
               std::vector<std::uint8_t>(16, 1));
    fs::permissions(path("private.png"), fs::perms::owner_read | fs::perms::owner_write);
    Launch nobody;
    nobody.user = kNobody;
    nobody.stdout_path = "/dev/null";
    const Ending e =
        launch({"render", "--input", path("private.png"), "-o", path("out.png")}, nobody);
    EXPECT_EQ(e.exit_code, 3);
    EXPECT_EQ(e.err, "velkorramp: cannot read input \"" + path("private.png").string() +
                         "\": Permission denied\n");
}

// ------------------------------------------------------------------ memory

class Memory : public ToolTest {};

TEST_F(Memory, FramesBeyondTheBudgetAreRefusedBeforeAnyPixelExists)
{
    Ending e = launch({"render", "--size", "30000x30000", "--depth", "32", "--memory-limit", "1G",
                       "-o", path("o.tif")});
    EXPECT_EQ(e.exit_code, 7);
    EXPECT_EQ(
        e.err,
        "velkorramp: a 30000x30000 32-bit frame from a solid layer needs about 26.8 GiB of memory; "
        "--memory-limit allows 1.0 GiB\n");

    write_file(path("in.png"), 512, 512, 4, OIIO::TypeDesc::UINT8,
               std::vector<std::uint8_t>(512 * 512 * 4, 9));
    e = launch({"render", "--input", path("in.png"), "--memory-limit", "1M", "-o", path("o.png")});
    EXPECT_EQ(e.exit_code, 7);
    EXPECT_EQ(e.err,
              "velkorramp: a 512x512 8-bit frame from an input file needs about 3.0 MiB of memory; "
              "--memory-limit allows 1.0 MiB\n");

    // The proxy is what gets rendered: 300x300 at 8 bits fits in 2 MiB.
    e = launch({"render", "--size", "30000x30000", "--downsample", "1/100", "--memory-limit", "2M",
                "-o", path("p.png")});
    EXPECT_EQ(e.exit_code, 0) << e.err;
    EXPECT_EQ(read_file(path("p.png")).width, 300);

    for (const std::string bad : {"0", "1023K", "1025T", "-1G", "lots", "1X"}) {
        e = launch({"render", "--memory-limit", bad, "-o", path("o.png")});
        EXPECT_EQ(e.exit_code, 2) << bad;
        EXPECT_NE(e.err.find("a size from 1M to 1024T"), std::string::npos) << e.err;
    }
    EXPECT_EQ(files(), (std::vector<std::string>{"in.png", "p.png"}));
}

TEST_F(Memory, TheMachinesLimitsSetTheBudgetAndAFailedAllocationSaysWhatWasAsked)
{
    if (kSanitized)
        GTEST_SKIP() << "an address-space limit stops a sanitized tool before it starts";
    Launch small;
    small.limits = {{RLIMIT_AS, rlim_t{2} << 30}};
    Ending e =
        launch({"render", "--size", "30000x30000", "--depth", "32", "-o", path("o.tif")}, small);
    EXPECT_EQ(e.exit_code, 7);
    EXPECT_EQ(
        e.err.rfind(
            "velkorramp: a 30000x30000 32-bit frame from a solid layer needs about 26.8 GiB of memory; "
            "the address-space limit (ulimit -v) allows ",
            0),
        0u)
        << e.err;
    EXPECT_NE(e.err.find(" (--memory-limit sets another budget)\n"), std::string::npos) << e.err;

    // Told to ignore the machine, the tool asks and is refused by the system.
    e = launch({"render", "--size", "20000x20000", "--depth", "32", "--memory-limit", "1024T", "-o",
                path("o.tif")},
               small);
    EXPECT_EQ(e.exit_code, 7);
    EXPECT_EQ(
        e.err,
        "velkorramp: out of memory: a 20000x20000 32-bit frame from a solid layer needs about 11.9 GiB "
        "of memory\n");
    EXPECT_TRUE(files().empty());

    // Within the limit, a frame renders.
    e = launch({"render", "--size", "64x64", "-o", path("o.png")}, small);
    EXPECT_EQ(e.exit_code, 0) << e.err;
}

}  // namespace
}  // namespace cli_test
