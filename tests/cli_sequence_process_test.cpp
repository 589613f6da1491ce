// Sequences with the built velkorramp as a process: keyed frames equal
// single-frame renders of the interpolated values, input sequences, failures
// part way, interrupts, the progress display on a terminal and off it, and a
// sequence split into chunks (--chunk, --skip-existing) as a render farm runs it.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "cli/values.h"
#include "cli_test_support.h"

extern char** environ;

namespace cli_test {
namespace {

std::vector<std::string> visible_files(const std::vector<std::string>& names)
{
    std::vector<std::string> visible;
    for (const std::string& n : names) {
        if (!n.empty() && n[0] != '.') visible.push_back(n);
    }
    std::sort(visible.begin(), visible.end());
    return visible;
}

std::vector<std::string> hidden_files(const std::vector<std::string>& names)
{
    std::vector<std::string> hidden;
    for (const std::string& n : names) {
        if (!n.empty() && n[0] == '.') hidden.push_back(n);
    }
    return hidden;
}

class Sequences : public ToolTest {
protected:
    // The two folders hold the same names (nothing hidden besides), each file
    // the same bytes.
    static void expect_same_files(const fs::path& farm, const fs::path& whole)
    {
        ASSERT_EQ(files_in(farm), files_in(whole));
        for (const std::string& name : files_in(whole))
            EXPECT_TRUE(slurp(farm / name) == slurp(whole / name)) << name << " differs";
    }

    // Each frame's pixels as the file holds them.
    std::vector<std::uint8_t> pixels(const std::string& name) { return read_file(path(name)).u8; }

    // A 16x8 8-bit RGBA image of one colour with a gradient alpha.
    void write_layer(const std::string& name, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                     int width = 16)
    {
        std::vector<std::uint8_t> samples;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < width; ++x)
                samples.insert(samples.end(), {r, g, b, static_cast<std::uint8_t>(x * 15)});
        }
        write_file(path(name), width, 8, 4, OIIO::TypeDesc::UINT8, samples);
    }
};

TEST_F(Sequences, KeyedFramesEqualSingleFramesOfTheInterpolatedValues)
{
    const ProcessResult r = run({"render",
                                 "--size",
                                 "48x20",
                                 "--frames",
                                 "1-5",
                                 "--controlled-by",
                                 "center",
                                 "--length",
                                 "30",
                                 "--center",
                                 "0,0@1,40,16@5",
                                 "--direction",
                                 "0@1,360@5",
                                 "--start-color",
                                 "#000000@1,#FF0000@5",
                                 "--power",
                                 "1@1,3@5",
                                 "--shape",
                                 "linear@1,radial@4",
                                 "-o",
                                 path("seq.#.png")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";
    EXPECT_EQ(visible_files(files()),
              (std::vector<std::string>{"seq.0001.png", "seq.0002.png", "seq.0003.png",
                                        "seq.0004.png", "seq.0005.png"}));
    // Each frame's values as the keys give them: straight lines, colour
    // channels rounded (63.75 -> 64), the shape holding until its key at 4.
    const std::vector<std::vector<std::string>> singles{
        {"--center", "0,0", "--direction", "0", "--start-color", "0,0,0", "--power", "1", "--shape",
         "linear"},
        {"--center", "10,4", "--direction", "90", "--start-color", "64,0,0", "--power", "1.5",
         "--shape", "linear"},
        {"--center", "20,8", "--direction", "180", "--start-color", "128,0,0", "--power", "2",
         "--shape", "linear"},
        {"--center", "30,12", "--direction", "270", "--start-color", "191,0,0", "--power", "2.5",
         "--shape", "radial"},
        {"--center", "40,16", "--direction", "360", "--start-color", "255,0,0", "--power", "3",
         "--shape", "radial"},
    };
    for (std::size_t f = 0; f < singles.size(); ++f) {
        const std::string frame = std::to_string(f + 1);
        std::vector<std::string> args{
            "render",   "--size", "48x20", "--controlled-by",           "center",
            "--length", "30",     "-o",    path("one" + frame + ".png")};
        args.insert(args.end(), singles[f].begin(), singles[f].end());
        ASSERT_EQ(run(args).exit_code, 0);
        EXPECT_EQ(pixels("seq.000" + frame + ".png"), pixels("one" + frame + ".png"))
            << "frame " << frame;
    }
    EXPECT_NE(pixels("seq.0001.png"), pixels("seq.0002.png"));
}

TEST_F(Sequences, ParamsShowsTheValuesAtAFrameOnAFractionalClock)
{
    const ProcessResult r =
        run({"params", "--fps", "30000/1001", "--frame", "1", "--length", "100@0,400@3",
             "--controlled-by", "points@1,center@5", "--shape", "linear@1,radial@10"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string length = velkorramp::format_number(100.0 + 300.0 * (1001.0 / 3003.0));
    EXPECT_NE(r.out.find("value    " + length + " (keyed)"), std::string::npos) << length << "\n"
                                                                                << r.out;
    EXPECT_NE(r.out.find("at frame 1 (30000/1001 frames a second)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("value    1 \"Two Points\" (keyed)"), std::string::npos) << r.out;

    const ProcessResult later =
        run({"params", "--frame", "9", "--controlled-by", "points@1,center@5", "--shape",
             "linear@1,radial@10", "--direction", "45"});
    ASSERT_EQ(later.exit_code, 0) << later.err;
    EXPECT_NE(later.out.find("value    2 \"Center & Length\" (keyed)"), std::string::npos)
        << later.out;
    EXPECT_NE(later.out.find("value    1 \"Linear\" (keyed)"), std::string::npos)
        << "a popup holds to its next key";
    EXPECT_NE(later.out.find("value    45 degrees\n"), std::string::npos) << later.out;
    const std::size_t center = later.out.find("  Center  (");
    ASSERT_NE(center, std::string::npos);
    EXPECT_EQ(later.out.substr(later.out.find("state    ", center), 16), "state    enabled")
        << "the UI update sees the values at the frame";
}

TEST_F(Sequences, AnInputSequenceGivesEachFrameItsOwnFile)
{
    write_layer("in.0001.png", 200, 10, 10);
    write_layer("in.0002.png", 10, 200, 10);
    write_layer("in.0003.png", 10, 10, 200);
    const ProcessResult r = run({"render", "--input", path("in.#.png"), "--frames", "1-3", "--type",
                                 "alpha", "-v", "-o", path("out.%04d.png")});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("out.0003.png (frame 3): 16x8, 8-bit, from a 16x8 layer"),
              std::string::npos)
        << r.out;
    for (int f = 1; f <= 3; ++f) {
        // "Alpha" keeps each input's colour.
        const FileImage in = read_file(path("in.000" + std::to_string(f) + ".png"));
        const FileImage out = read_file(path("out.000" + std::to_string(f) + ".png"));
        ASSERT_EQ(out.u8.size(), in.u8.size());
        for (std::size_t i = 0; i < in.u8.size(); i += 4) {
            ASSERT_EQ(out.u8[i], in.u8[i]) << "frame " << f;
            ASSERT_EQ(out.u8[i + 2], in.u8[i + 2]) << "frame " << f;
        }
    }

    // A missing frame is named before anything is written.
    fs::remove(path("in.0002.png"));
    const ProcessResult missing =
        run({"render", "--input", path("in.#.png"), "--frames", "1-3", "-o", path("gap.#.png")});
    EXPECT_EQ(missing.exit_code, 3);
    EXPECT_NE(missing.err.find("in.0002.png\" for frame 2: No such file or directory"),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    for (const std::string& name : files()) EXPECT_EQ(name.find("gap"), std::string::npos) << name;

    // Every frame of an input sequence has the first one's size.
    write_layer("in.0002.png", 1, 2, 3, 20);
    const ProcessResult sized =
        run({"render", "--input", path("in.#.png"), "--frames", "1-3", "-o", path("size.#.png")});
    EXPECT_EQ(sized.exit_code, 3);
    EXPECT_NE(sized.err.find("frame 2: cannot use input"), std::string::npos) << sized.err;
    EXPECT_NE(sized.err.find("20x8"), std::string::npos) << sized.err;
    EXPECT_NE(sized.err.find("(1 of 3 frames written)"), std::string::npos) << sized.err;
}

// Frame lists as oiiotool users type them, and an input sequence without
// --frames: each writes exactly the files named, and says so in one line.
TEST_F(Sequences, FrameListsReverseRangesAtSignsAndExistingInputFrames)
{
    for (int f : {1, 2, 5}) write_layer("seq.000" + std::to_string(f) + ".png", 9, 9, 9);
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> written;
        const char* said;
    } cases[] = {
        {{"--size", "8x8", "--frames", "3,1", "-o", path("list.#.png")},
         {"list.0001.png", "list.0003.png"},
         ""},
        {{"--size", "8x8", "--frames", "3-1", "-o", path("down.#.png")},
         {"down.0001.png", "down.0002.png", "down.0003.png"},
         ""},
        {{"--size", "8x8", "--frames", "9-10", "-o", path("at.@@.png")},
         {"at.09.png", "at.10.png"},
         ""},
        {{"--input", path("seq.#.png"), "-o", path("found.#.png")},
         {"found.0001.png", "found.0002.png", "found.0005.png"},
         "rendering the 3 frames from 1 to 5 that exist"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"render", "--type", "alpha"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), *c.said ? 1 : 0) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        const std::string stem = c.written.front().substr(0, c.written.front().find('.') + 1);
        std::vector<std::string> made;
        for (const std::string& name : files()) {
            if (name.rfind(stem, 0) == 0) made.push_back(name);
        }
        std::sort(made.begin(), made.end());
        EXPECT_EQ(made, c.written) << c.args.back();
    }
}

// A failure in frame 3 of 5, on the input side and on the output side (with
// more writers than frames before it, so later frames may be whole first):
// frames 1 and 2 are written, nothing of 3 or later, nothing hidden is left.
TEST_F(Sequences, AFailureInFrameThreeKeepsTheFramesBeforeItAndNothingAfter)
{
    for (int f = 1; f <= 5; ++f) write_layer("in.000" + std::to_string(f) + ".png", 50, 60, 70);
    std::ofstream(path("in.0003.png"), std::ios::trunc)
        << "not a png at all, though long enough to be opened";
    const ProcessResult damaged = run({"render", "--input", path("in.#.png"), "--frames", "1-5",
                                       "--writers", "3", "-o", path("a.#.png")});
    EXPECT_EQ(damaged.exit_code, 3) << damaged.err;
    EXPECT_EQ(damaged.err.rfind("velkorramp: frame 3: cannot read input", 0), 0u) << damaged.err;
    EXPECT_NE(damaged.err.find("(2 of 5 frames written)"), std::string::npos) << damaged.err;
    EXPECT_EQ(std::count(damaged.err.begin(), damaged.err.end(), '\n'), 1) << damaged.err;

    fs::create_directories(path("b.0003.png"));
    const ProcessResult blocked = run({"render", "--size", "300x200", "--frames", "1-5",
                                       "--writers", "3", "-o", path("b.#.png")});
    EXPECT_EQ(blocked.exit_code, 4) << blocked.err;
    EXPECT_EQ(blocked.err.rfind("velkorramp: frame 3: cannot write", 0), 0u) << blocked.err;
    EXPECT_NE(blocked.err.find("b.0003.png"), std::string::npos) << blocked.err;
    EXPECT_NE(blocked.err.find("(2 of 5 frames written)"), std::string::npos) << blocked.err;

    std::vector<std::string> outputs;
    for (const std::string& name : visible_files(files())) {
        if (name[0] == 'a' || name[0] == 'b') outputs.push_back(name);
    }
    EXPECT_EQ(outputs, (std::vector<std::string>{"a.0001.png", "a.0002.png", "b.0001.png",
                                                 "b.0002.png", "b.0003.png"}));
    EXPECT_TRUE(fs::is_directory(path("b.0003.png"))) << "the folder in the way is left as it was";
    EXPECT_EQ(read_file(path("a.0002.png")).width, 16);
    EXPECT_EQ(read_file(path("b.0002.png")).width, 300);
    EXPECT_EQ(hidden_files(files()), std::vector<std::string>{});
}

// A process started with the default action for every signal, its output to
// files in the test's folder.
pid_t spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    std::vector<char*> argv;
    std::vector<std::string> words{VELKORRAMP_PATH};
    words.insert(words.end(), args.begin(), args.end());
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, VELKORRAMP_PATH, &actions, &attributes, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

TEST_F(Sequences, AnInterruptedRunLeavesWholeFramesAndNoPartialFile)
{
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal_number));
        const std::string prefix = signal_number == SIGINT ? "int" : "term";
        const pid_t pid = spawn({"render", "--size", "1920x1080", "--frames", "1-300", "--writers",
                                 "2", "--start", "0,0", "--end", "1920,1080", "--power",
                                 "1@1,3@300", "-o", path(prefix + ".#.png")},
                                path(".out-" + prefix), path(".err-" + prefix));
        ASSERT_GT(pid, 0);
        // Interrupt once frames are being written: the second one has its name.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(path(prefix + ".0002.png")) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_EQ(::kill(pid, signal_number), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run dies by the signal, status " << status;
        EXPECT_EQ(WTERMSIG(status), signal_number);

        std::vector<std::string> frames;
        for (const std::string& name : visible_files(files())) {
            if (name.rfind(prefix + ".", 0) == 0) frames.push_back(name);
        }
        ASSERT_GE(frames.size(), 2u);
        EXPECT_LT(frames.size(), 300u);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%s.%04zu.png", prefix.c_str(), i + 1);
            EXPECT_EQ(frames[i], expected) << "the frames written are the first ones, in order";
        }
        EXPECT_EQ(read_file(path(frames.back())).height, 1080) << "the last frame written is whole";
        for (const std::string& name : hidden_files(files())) {
            EXPECT_EQ(name.rfind(".out-", 0) == 0 || name.rfind(".err-", 0) == 0, true)
                << name << " left behind";
        }
    }
}

// What a process wrote to a terminal of its own (`columns` wide, if given), and
// how it ended. Once `interrupt_at` shows, Ctrl-C is typed on the terminal.
Ending run_on_terminal(const std::vector<std::string>& args, unsigned short columns = 0,
                       const std::string& interrupt_at = "")
{
    struct winsize size {
        24, columns, 0, 0
    };
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, columns > 0 ? &size : nullptr);
    if (pid == 0) {
        std::vector<std::string> words{VELKORRAMP_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        std::signal(SIGINT, SIG_DFL);
        ::execv(VELKORRAMP_PATH, argv.data());
        ::_exit(127);
    }
    Ending result;
    if (pid < 0) return result;
    char buffer[4096];
    bool interrupted = interrupt_at.empty();
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child's side is closed
        result.err.append(buffer, static_cast<std::size_t>(n));
        if (!interrupted && result.err.find(interrupt_at) != std::string::npos)
            interrupted = ::write(master, "\x03", 1) == 1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

TEST_F(Sequences, ProgressIsOneLineInPlaceOnATerminalAndOnlyOnRequestElsewhere)
{
    const std::vector<std::string> common{"render", "--size",  "640x360", "--frames",
                                          "1-12",   "--power", "1@1,4@12"};
    auto with = [&](std::vector<std::string> more, const std::string& name) {
        std::vector<std::string> args = common;
        args.insert(args.end(), more.begin(), more.end());
        args.push_back("-o");
        args.push_back(path(name + ".#.png"));
        return args;
    };
    const Ending terminal = run_on_terminal(with({}, "t"));
    ASSERT_EQ(terminal.exit_code, 0) << terminal.err;
    EXPECT_NE(terminal.err.find("\rvelkorramp: 12 of 12 frames"), std::string::npos)
        << terminal.err;
    EXPECT_NE(terminal.err.find(" frames/s, in 0:"), std::string::npos) << terminal.err;
    EXPECT_EQ(std::count(terminal.err.begin(), terminal.err.end(), '\n'), 1)
        << "one line, ended once";

    const Ending quiet = run_on_terminal(with({"--quiet"}, "q"));
    ASSERT_EQ(quiet.exit_code, 0);
    EXPECT_EQ(quiet.err, "");

    const ProcessResult verbose = run(with({"-v"}, "v"));
    ASSERT_EQ(verbose.exit_code, 0) << verbose.err;
    EXPECT_EQ(verbose.err.find('\r'), std::string::npos) << "plain lines off a terminal";
    EXPECT_NE(verbose.err.find("velkorramp: 12 of 12 frames, "), std::string::npos) << verbose.err;
    const auto lines_starting = [&](const std::string& start) {
        int n = 0;
        for (std::size_t at = 0; at != std::string::npos; at = verbose.out.find('\n', at + 1)) {
            if (verbose.out.compare(at == 0 ? 0 : at + 1, start.size(), start) == 0) ++n;
        }
        return n;
    };
    EXPECT_EQ(lines_starting("rendered "), 12) << "one report a frame";
    EXPECT_EQ(lines_starting("written as "), 1) << "the file's settings once";
    EXPECT_EQ(lines_starting("times: "), 1) << verbose.out;
    EXPECT_NE(verbose.out.find("rendered " + path("v.0012.png").string() +
                               " (frame 12): 640x360, 8-bit"),
              std::string::npos)
        << verbose.out;
}

// On a terminal 40 columns wide no redraw reaches the last column (which would
// wrap and scroll); Ctrl-C ends the line before the run dies by it.
TEST_F(Sequences, TheProgressLineFitsANarrowTerminalAndCtrlCEndsIt)
{
    const struct {
        unsigned short columns;
        std::string interrupt_at;
        int exit_code;
        int signal;
    } cases[] = {
        {40, "", 0, 0},
        {0, " left", -1, SIGINT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        const std::string frames = c.interrupt_at.empty() ? "1-12" : "1-300";
        const Ending e =
            run_on_terminal({"render", "--size", "640x360", "--frames", frames, "--power",
                             "1@1,4@12", "-o", path("p" + std::to_string(c.columns) + ".#.png")},
                            c.columns, c.interrupt_at);
        EXPECT_EQ(e.exit_code, c.exit_code) << e.err;
        EXPECT_EQ(e.signal, c.signal) << e.err;
        ASSERT_FALSE(e.err.empty());
        EXPECT_EQ(e.err.back(), '\n') << "the line is ended: " << e.err;
        std::string shown = e.err;
        for (std::size_t at; (at = shown.find("\033[K")) != std::string::npos;) shown.erase(at, 3);
        std::istringstream pieces(shown);
        for (std::string line; c.columns > 0 && std::getline(pieces, line);) {
            std::istringstream redraws(line);
            for (std::string redraw; std::getline(redraws, redraw, '\r');)
                EXPECT_LT(redraw.size(), c.columns) << redraw;
        }
    }
}

// The words of `line`, split at spaces, then `more`.
std::vector<std::string> words(const std::string& line, std::vector<std::string> more = {})
{
    std::istringstream in(line);
    std::vector<std::string> all{std::istream_iterator<std::string>(in), {}};
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

TEST_F(Sequences, ChunksOnMachinesOfAnyCoresAndWritersWriteTheBytesOfOneProcess)
{
    const std::string animated =
        "render --size 96x54 --controlled-by center --direction 0@1,300@40 -q --length "
        "10@-3,80@40 --start-color #FF0000@1,#00FF80@40 --power 0.5@1,4@40 --frames ";
    const std::tuple<const char*, int, const char*> cases[] = {
        {"1-13", 4, "r.#.png"},       {"1-10", 4, "r.#.exr"}, {"-3-17x3", 3, "r.%d.tif"},
        {"1-7", 7, "r.#.png"},        {"5", 1, "r.#.png"},    {"1-40x2", 6, "r.#.exr"},
        {"1,3,7,9,20", 2, "r.#.png"}, {"12-1", 5, "r.#.exr"}, {"30-26x2,1-5,9", 4, "r.#.png"}};
    for (const auto& [frames, chunks, name] : cases) {
        SCOPED_TRACE(std::string(frames) + " in " + std::to_string(chunks) + " chunks");
        const fs::path whole = path("whole" + std::string(frames));
        const fs::path farm = path("farm" + std::string(frames));
        fs::create_directories(whole);
        fs::create_directories(farm);
        ASSERT_EQ(run(words(animated + frames, {"-o", whole / name})).exit_code, 0);
        for (int k = 1; k <= chunks; ++k) {
            const std::string chunk = std::to_string(k) + "/" + std::to_string(chunks);
            const ProcessResult r =
                run(words(animated + frames + " --chunk " + chunk + " --threads " +
                              std::to_string(1 + k % 3) + " --writers " + std::to_string(1 + k % 2),
                          {"-o", farm / name}));
            ASSERT_EQ(r.exit_code, 0) << r.err;
        }
        expect_same_files(farm, whole);
        EXPECT_EQ(read_spec(whole / files_in(whole).front()).find_attribute("DateTime"), nullptr);
    }
}

TEST_F(Sequences, AChunkKilledMidFrameAndRunAgainCompletesTheSequence)
{
    const std::string frames =
        "render --size 1920x1080 --frames 1-12 --power 1@1,3@12 -q --writers 2";
    fs::create_directories(path("whole"));
    fs::create_directories(path("farm"));
    ASSERT_EQ(run(words(frames, {"-o", path("whole/f.#.png")})).exit_code, 0);
    const auto chunk = [&](const char* k) {
        return words(frames + " --skip-existing --chunk " + k, {"-o", path("farm/f.#.png")});
    };
    // Killed where no handler runs, while frames are being written.
    const pid_t pid = start(chunk("2/2"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(path("farm/f.0008.png")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    EXPECT_EQ(finish(pid).signal, SIGKILL);
    // A frame cut short by another writer is not whole.
    const std::string seventh = slurp(path("farm/f.0007.png"));
    std::ofstream(path("farm/f.0007.png")) << seventh.substr(0, seventh.size() / 2);
    // 8: some frames were whole already and left, 9: all were.
    const std::pair<const char*, int> reruns[] = {{"2/2", 8}, {"1/2", 0}, {"2/2", 9}};
    for (const auto& [k, code] : reruns) EXPECT_EQ(launch(chunk(k)).exit_code, code) << k;
    expect_same_files(path("farm"), path("whole"));
}

TEST_F(Sequences, SequenceMistakesAreOneLineNamingTheValidForms)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> mentions;
    };
    const std::vector<Case> cases{
        {{"--frames", "1-5", "-o", path("plain.png")},
         {"names one file", "5 frames", "# (4 digits) or %04d"}},
        {{"--frames", "1-5x0", "-o", path("x.#.png")}, {"--frames", "STEP at least 1"}},
        {{"--fps", "0", "-o", path("x.png")}, {"--fps", "30000/1001"}},
        {{"--writers", "0", "-o", path("x.png")}, {"--writers", "1 to 16"}},
        {{"--direction", "0@1,360", "-o", path("x.png")},
         {"--direction", "has no @FRAME", "VALUE@FRAME"}},
        {{"--power", "1@1,200@5", "-o", path("x.png")},
         {"--power", "\"Power\"", "0.01 to 100", "200"}},
        {{"--shape", "linear@1,round@5", "-o", path("x.png")},
         {"--shape", "\"round\" is not a choice"}},
        {{"-o", path("x.#.%d.png")}, {"more than one frame number"}},
        {{"--chunk", "5/4", "--frames", "1-40", "-o", path("x.#.png")}, {"1 <= K <= N"}},
        {{"--chunk", "0/4", "-o", path("x.png")}, {"--chunk", "1 <= K <= N <= 100000"}},
        {{"--chunk", "-1/4", "-o", path("x.png")}, {"--chunk", "is not K/N"}},
        {{"--chunk", "3/50", "--frames", "1-40", "-o", path("x.#.png")},
         {"frames 1 to 40 (40 frames)", "N is 1 to 40"}},
        {{"--skip-existing", "-o", "-"}, {"--skip-existing", "standard output"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"render", "--size", "8x8"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run(args);
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (const std::string& m : c.mentions)
            EXPECT_NE(r.err.find(m), std::string::npos) << m << " in " << r.err;
    }
    EXPECT_EQ(visible_files(files()), std::vector<std::string>{});
}

// The guards: an output that is an input file (by a link, another name or
// another member of the sequence) and binary bytes for a terminal are refused
// before anything renders and leave the inputs as they were; typos get the
// nearest word.
TEST_F(Sequences, GuardsRefuseOverwritingInputsAndSuggestTheNearestWord)
{
    for (int f = 1; f <= 3; ++f) write_layer("in.000" + std::to_string(f) + ".png", 9, 9, 9);
    fs::create_symlink(path("in.0002.png"), path("link.png"));
    fs::create_directories(path("sub"));
    const auto bytes = [&](const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string before = bytes("in.0001.png") + bytes("in.0002.png") + bytes("in.0003.png");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> mentions;
    } cases[] = {
        {{"--input", path("in.#.png"), "--frames", "1-3", "-o", path("in.#.png")},
         {"is the input file", "--overwrite-input"}},
        {{"--input", path("in.0002.png"), "-o", path("link.png")}, {"in.0002.png"}},
        {{"--input", path("in.0001.png"), "-o", path("sub/../in.0001.png")}, {"is the input"}},
        {{"--input", path("in.#.png"), "--frames", "1", "-o", path("in.0003.png")},
         {"in.0003.png"}},
        {{"--size", "8x8", "--shape", "radail", "-o", path("x.png")}, {"did you mean radial?"}},
        {{"--size", "8x8", path("x.png")}, {"did you mean -o"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"render", "--type", "alpha"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run(args);
        EXPECT_EQ(r.exit_code, 2) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (const std::string& m : c.mentions)
            EXPECT_NE(r.err.find(m), std::string::npos) << r.err;
    }
    EXPECT_EQ(bytes("in.0001.png") + bytes("in.0002.png") + bytes("in.0003.png"), before);
    EXPECT_NE(run({"rendr"}).err.find("did you mean render?"), std::string::npos);
    const Ending terminal = run_on_terminal({"render", "--size", "8x8", "-o", "-"});
    EXPECT_EQ(terminal.exit_code, 2) << terminal.err;
    EXPECT_NE(terminal.err.find("standard output is a terminal"), std::string::npos);
    EXPECT_EQ(run({"render", "--input", path("in.0001.png"), "--overwrite-input", "-o",
                   path("in.0001.png")})
                  .exit_code,
              0);
}

// Habits of oiiotool and wrapper-script users: accepted, with a one-line note
// where the meaning may not be the one meant, and no notes under -q.
TEST_F(Sequences, HabitsAreAcceptedAndAmbiguousValuesNoted)
{
    const struct {
        std::vector<std::string> args;
        const char* note;     // "" for no note at all
        const char* verbose;  // in the -v report, when given
    } cases[] = {
        {{"--start-color", "1,1,1"}, "is 0-255 values (#010101)", ""},
        {{"--start-alpha", "0.5"}, "is 0.5 %", ""},
        {{"--start-alpha", "50%", "-v"}, "", "Start Alpha (--start-alpha): 50 %"},
        {{"-q", "--start-color", "1,1,1", "--start-alpha", "0.5"}, "", ""},
        {{"--power", "1", "--power", "2", "-v"}, "", "Power (--power): 2"},
        {{"--threads", "0", "-v"}, "", "host threads "},
        {{"--output-depth", "uint16", "-v"}, "", "PNG, 16-bit"},
        {{"--length", "50%", "-v"}, "", "Length (--length): 4"},
        {{"--type", "colour", "--start-colour", "#FF0000", "--centre", "1,1", "-v"},
         "",
         "Type (--type): Color"},
        {{"--mkdir", "-o", path("made/here/x.png")}, "", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"render",        "--size",      "8x8",
                                      "--type",        "color-alpha", "--controlled-by",
                                      "center-length", "-o",          path("h.png")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = run(args);
        ASSERT_EQ(r.exit_code, 0) << c.args.front() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), *c.note ? 1 : 0) << r.err;
        EXPECT_NE(r.err.find(c.note), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.verbose), std::string::npos) << r.out;
    }
    EXPECT_TRUE(fs::exists(path("made/here/x.png")));
}

}  // namespace
}  // namespace cli_test
