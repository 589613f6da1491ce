// Animated sequences through the command-line renderer, side by side with what
// bounds them, in one run:
//   - the renderer writing 100 frames of an animated ramp in one process;
//   - the encoder floor: OpenImageIO writing the same 100 images (read back into
//     memory beforehand) with as many writer threads, nothing else;
//   - single-frame runs, one process a frame, sampled (10 of the 100 frames)
//     and counted for 100;
//   - the process's own start and stop (`velkorramp about`);
// writing one 3840x2160 float OpenEXR frame with its colour converted from the
// working space (sRGB to linear) and without (linear already), in process;
// and the peak memory of one 3840x2160 float frame, from a solid layer and from
// an input file, and of a 4K float sequence, against the process's own
// (measured by GNU time, /usr/bin/time).
//
// Each iteration runs all of one case's contenders in turn (the order rotating),
// so the load of a shared machine falls on each alike; each ratio is of times
// measured in the same iteration, and the counters give the median of the
// iterations with the lowest and highest (_min, _max). The iteration time is
// the sequence's. VELKOR_BENCH_ITERATIONS sets the iterations (default 5).
//
// VELKORRAMP names the tool (default: the one this build made);
// VELKOR_BENCH_DIR the folder written to (default: a new one in the build
// folder, removed afterwards); VELKOR_BENCH_BASE_TOOL another build of the tool
// whose sequences (one more contender in each iteration's rotation) and peak
// memory are measured beside (the figures before a change).
#include <OpenImageIO/imageio.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/colour_space.h"
#include "cli/frame_writer.h"

extern char** environ;

namespace velkor::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 100;
constexpr int kSampledSingles = 10;

std::string env_or(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

fs::path tool() { return env_or("VELKORRAMP", VELKORRAMP_PATH); }
fs::path base_tool() { return env_or("VELKOR_BENCH_BASE_TOOL", ""); }

fs::path work_dir()
{
    static const fs::path dir = [] {
        fs::path d = env_or("VELKOR_BENCH_DIR",
                            (fs::path(VELKOR_BENCH_BUILD_DIR) / "sequence-bench").string());
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

struct Run {
    double seconds = 0;
    int status = -1;
};

// Where the last run's stderr is kept, so a failed case can say why.
fs::path stderr_file() { return work_dir() / "last-stderr.txt"; }

// The first line of the last run's stderr.
std::string last_error()
{
    std::ifstream in(stderr_file());
    std::string line;
    std::getline(in, line);
    return line;
}

// A program run as a process, its output discarded and its stderr kept in
// stderr_file(); its wall time.
Run run_tool(const fs::path& program, const std::vector<std::string>& args)
{
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string errors = stderr_file().string();
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run run;
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid) run.status = status;
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

bool ok(const Run& run) { return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0; }

// "exit 4", "signal 11".
std::string status_text(const Run& run)
{
    if (WIFEXITED(run.status)) return "exit " + std::to_string(WEXITSTATUS(run.status));
    if (WIFSIGNALED(run.status)) return "signal " + std::to_string(WTERMSIG(run.status));
    return "status " + std::to_string(run.status);
}

// The animated ramp: its centre moves, it turns and its start colour changes
// over the 100 frames. Shaped, its Power goes from 1 to 2.2 as well, which costs
// a host pow call per pixel on every frame but the first.
struct Size {
    int width;
    int height;
    std::string text() const { return std::to_string(width) + "x" + std::to_string(height); }
};

std::vector<std::string> animated_args(Size size, int depth, bool shaped)
{
    const std::string from =
        std::to_string(size.width / 4) + "," + std::to_string(size.height / 4) + "@1";
    const std::string to =
        std::to_string(size.width * 3 / 4) + "," + std::to_string(size.height * 3 / 4) + "@100";
    std::vector<std::string> args{"--size",          size.text(),
                                  "--depth",         std::to_string(depth),
                                  "--controlled-by", "center",
                                  "--center",        from + "," + to,
                                  "--length",        std::to_string(size.width * 5 / 16),
                                  "--direction",     "0@1,360@100",
                                  "--start-color",   "#F2A541@1,#41F2A5@100",
                                  "--end-color",     "#2B3A67"};
    if (shaped) args.insert(args.end(), {"--power", "1@1,2.2@100"});
    return args;
}

struct Format {
    const char* name;  // "png8", "exr32"
    const char* extension;
    int depth;
    OIIO::TypeDesc type;
    // Written scene-linear by default, converted from the working space (sRGB);
    // builds before that wrote the working space as it is, so the comparison with
    // another build runs this one with --output-colorspace sRGB as well.
    bool linear_by_default;
};

// The frames as the files hold them, for the floor to write from memory.
struct FramesInMemory {
    int width = 0;
    int height = 0;
    std::vector<std::vector<unsigned char>> frames;  // RGBA in the format's sample type
};

FramesInMemory read_back(const Format& format, const fs::path& dir, const std::string& stem)
{
    FramesInMemory memory;
    for (int f = 1; f <= kFrames; ++f) {
        char name[64];
        std::snprintf(name, sizeof name, "%s.%04d.%s", stem.c_str(), f, format.extension);
        auto in = OIIO::ImageInput::open((dir / name).string());
        if (!in) return {};
        const OIIO::ImageSpec& header = in->spec();
        memory.width = header.width;
        memory.height = header.height;
        std::vector<unsigned char> pixels(header.image_bytes(true) / header.format.size() *
                                          format.type.size());
        if (header.nchannels != 4 || !in->read_image(0, 0, 0, 4, format.type, pixels.data()))
            return {};
        memory.frames.push_back(std::move(pixels));
    }
    return memory;
}

// OpenImageIO writing the frames from memory with `writers` threads, each
// taking the next frame: the same writer, format and attributes as the tool's.
double encoder_floor(const Format& format, const FramesInMemory& memory, int writers,
                     const fs::path& dir)
{
    std::atomic<int> next{0};
    std::atomic<bool> failed{false};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&] {
            for (int f = next++; f < kFrames; f = next++) {
                char name[64];
                std::snprintf(name, sizeof name, "floor.%04d.%s", f + 1, format.extension);
                OIIO::ImageSpec header(memory.width, memory.height, 4, format.type);
                if (format.depth != 32) header.attribute("oiio:UnassociatedAlpha", 1);
                header.attribute("Software", "velkorramp");
                header.attribute("tiff:write_exif", 0);
                auto out = OIIO::ImageOutput::create((dir / name).string());
                if (!out || !out->open((dir / name).string(), header) ||
                    !out->write_image(format.type,
                                      memory.frames[static_cast<std::size_t>(f)].data()) ||
                    !out->close()) {
                    failed = true;
                }
            }
        });
    }
    for (std::thread& t : threads) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return failed ? -1.0 : seconds;
}

// The median of the iterations as `name`, with their lowest and highest.
void spread(benchmark::State& state, const std::string& name, std::vector<double> values)
{
    if (values.empty()) return;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    state.counters[name] = median;
    state.counters[name + "_min"] = values.front();
    state.counters[name + "_max"] = values.back();
}

int iterations() { return std::max(1, std::atoi(env_or("VELKOR_BENCH_ITERATIONS", "5").c_str())); }

int writers_used()
{
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

void sequence_case(benchmark::State& state, Format format, Size size, bool shaped, bool singles_too)
{
    const fs::path dir = work_dir() / format.name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int writers = writers_used();
    std::vector<std::string> sequence{"render",
                                      "--frames",
                                      "1-100",
                                      "--writers",
                                      std::to_string(writers),
                                      "-o",
                                      (dir / (std::string("seq.#.") + format.extension)).string()};
    const std::vector<std::string> animated = animated_args(size, format.depth, shaped);
    sequence.insert(sequence.end(), animated.begin(), animated.end());

    // The floor writes exactly the frames the tool wrote.
    if (const Run r = run_tool(tool(), sequence); !ok(r)) {
        state.SkipWithError(
            ("the sequence did not render, " + status_text(r) + ": " + last_error()).c_str());
        return;
    }
    const FramesInMemory memory = read_back(format, dir, "seq");
    if (memory.frames.size() != kFrames) {
        state.SkipWithError("the frames could not be read back");
        return;
    }

    std::vector<double> seq_s, floor_s, start_s, singles_100_s, x_floor, x_floor_after_start,
        singles_x, base_s, x_base, unconverted_s;
    const bool compare_unconverted = !base_tool().empty() && format.linear_by_default;
    int turn = 0;
    for (auto _ : state) {
        double seq = 0, floor = 0, singles = 0, start = 0, base = 0, unconverted = 0;
        bool good = true;
        std::string why;  // the first failed run's status and stderr
        const auto check = [&](const Run& r, const char* what) {
            if (ok(r) || !good) return;
            good = false;
            why = std::string(what) + " " + status_text(r) + ": " + last_error();
        };
        const auto run_sequence = [&] {
            const Run r = run_tool(tool(), sequence);
            check(r, "the sequence");
            seq = r.seconds;
        };
        // The same sequence by the other build, into a folder of its own.
        const auto run_base = [&] {
            std::vector<std::string> args = sequence;
            *(std::find(args.begin(), args.end(), "-o") + 1) =
                (dir / (std::string("base.#.") + format.extension)).string();
            const Run r = run_tool(base_tool(), args);
            check(r, "the other build's sequence");
            base = r.seconds;
        };
        // This build writing the pixels the other one wrote.
        const auto run_unconverted = [&] {
            std::vector<std::string> args = sequence;
            args.insert(args.end(), {"--output-colorspace", "sRGB", "-q"});
            const Run r = run_tool(tool(), args);
            check(r, "the sequence in the working space");
            unconverted = r.seconds;
        };
        const auto run_floor = [&] {
            floor = encoder_floor(format, memory, writers, dir);
            if (floor <= 0 && good) {
                good = false;
                why = "the encoder floor failed";
            }
        };
        const auto run_singles = [&] {
            // Frames 1, 11, 21, ... 91: each its own process, as a shell loop runs them.
            for (int i = 0; i < kSampledSingles && singles_too; ++i) {
                const int frame = 1 + i * (kFrames / kSampledSingles);
                std::vector<std::string> single{
                    "render", "--frames", std::to_string(frame), "-o",
                    (dir / (std::string("one.") + format.extension)).string()};
                single.insert(single.end(), animated.begin(), animated.end());
                const Run r = run_tool(tool(), single);
                check(r, "a single frame");
                singles += r.seconds;
            }
        };
        const auto run_start = [&] {
            const Run r = run_tool(tool(), {"about"});
            check(r, "about");
            start = r.seconds;
        };
        // The order rotates, so no contender always follows the same one.
        std::vector<std::function<void()>> contenders{run_sequence, run_floor, run_singles,
                                                      run_start};
        if (!base_tool().empty()) contenders.push_back(run_base);
        if (compare_unconverted) contenders.push_back(run_unconverted);
        for (std::size_t i = 0; i < contenders.size(); ++i)
            contenders[(i + turn) % contenders.size()]();
        ++turn;
        if (!good) {
            state.SkipWithError(("a run failed: " + why).c_str());
            break;
        }
        state.SetIterationTime(seq);
        const double singles_100 = singles * (kFrames / kSampledSingles);
        seq_s.push_back(seq);
        floor_s.push_back(floor);
        start_s.push_back(start);
        if (singles_too) singles_100_s.push_back(singles_100);
        x_floor.push_back(seq / floor);
        x_floor_after_start.push_back((seq - start) / floor);
        if (singles_too) singles_x.push_back(singles_100 / seq);
        if (base > 0) base_s.push_back(base);
        if (compare_unconverted) unconverted_s.push_back(unconverted);
        // This build over the other, on the same pixels.
        if (base > 0) x_base.push_back((compare_unconverted ? unconverted : seq) / base);
    }
    state.counters["writers"] = writers;
    spread(state, "sequence_s", seq_s);
    spread(state, "floor_s", floor_s);
    spread(state, "process_start_s", start_s);
    spread(state, "singles_100_s", singles_100_s);
    spread(state, "x_floor", x_floor);
    spread(state, "x_floor_after_start", x_floor_after_start);
    spread(state, "singles_x_sequence", singles_x);
    spread(state, "base_sequence_s", base_s);
    spread(state, "unconverted_sequence_s", unconverted_s);
    spread(state, "x_base", x_base);
    fs::remove_all(dir);
}

// The peak resident memory of the tool run as a process, in KiB, or -1. It is
// measured by GNU time (Debian package "time"), a small process of its own:
// what wait4 reports for a child spawned from here would count this process's
// own peak, which the kernel carries into the child when it was started by
// vfork (as posix_spawn does) and the child executes the tool.
long peak_kib(const fs::path& program, const std::vector<std::string>& args)
{
    const fs::path report = work_dir() / "peak.txt";
    std::vector<std::string> timed{"-f", "%M", "-o", report.string(), program.string()};
    timed.insert(timed.end(), args.begin(), args.end());
    if (!ok(run_tool("/usr/bin/time", timed))) return -1;
    std::ifstream in(report);
    long kib = -1;
    in >> kib;
    return kib;
}

// Peak memory of one run against the process's own (`about`), in frames of the
// run's size: the tool's resident peak, less what the process holds before any
// frame (libraries, module, host), over the bytes of one frame.
void memory_case(benchmark::State& state, const fs::path& program, std::vector<std::string> args,
                 double frame_bytes)
{
    if (!fs::exists("/usr/bin/time")) {
        state.SkipWithError("needs /usr/bin/time (Debian package time)");
        return;
    }
    std::vector<double> peak, process, worth, whole;
    for (auto _ : state) {
        const auto start = Clock::now();
        const long base = peak_kib(program, {"about"});
        const long run = peak_kib(program, args);
        if (base < 0 || run < 0) {
            state.SkipWithError("a run failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        peak.push_back(run / 1024.0);
        process.push_back(base / 1024.0);
        worth.push_back((run - base) * 1024.0 / frame_bytes);
        whole.push_back(run * 1024.0 / frame_bytes);
    }
    spread(state, "peak_MiB", peak);
    spread(state, "process_MiB", process);
    spread(state, "frames_worth", worth);
    spread(state, "frames_worth_whole_process", whole);
}

// One float frame written as OpenEXR with and without the colour conversion,
// each iteration both in turn (the order rotating): `ratio` is converting over
// not, from times of the same iteration.
void exr_write_case(benchmark::State& state)
{
    simhost::WorldSpec spec;
    spec.width = 3840;
    spec.height = 2160;
    spec.format = simhost::argb_format_for_depth(32);
    simhost::World frame(spec);
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const float v = static_cast<float>(x) / spec.width;
            frame.at<PF_PixelFloat>(x, y) = PF_PixelFloat{1.0f - v * 0.5f, v, 0.5f, 1.0f - v};
        }
    }
    const velkorramp::ColourSpaces spaces;
    velkorramp::WriteSettings settings;
    settings.format = velkorramp::output_format_for("frame.exr");
    settings.depth = velkorramp::FileDepth::f32;
    settings.premultiplied = true;
    settings.colour_space = "linear";
    settings.spaces = &spaces;
    settings.windows = velkorramp::FrameWindows{0, 0, spec.width, spec.height, 0, 0};
    settings.channels = {{"R", 0, ""}, {"G", 1, ""}, {"B", 2, ""}, {"A", 3, ""}};
    velkorramp::WriteSettings converting = settings;
    converting.conversion = spaces.conversion("sRGB", "linear", "the frame");
    const fs::path file = work_dir() / "write.exr";
    std::vector<double> on;
    std::vector<double> off;
    std::vector<double> ratios;
    int turn = 0;
    for (auto _ : state) {
        double seconds[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const int which = (k + turn) % 2;
            const auto start = Clock::now();
            velkorramp::write_frame(frame, file, which == 0 ? converting : settings);
            seconds[which] = std::chrono::duration<double>(Clock::now() - start).count();
        }
        ++turn;
        on.push_back(seconds[0]);
        off.push_back(seconds[1]);
        ratios.push_back(seconds[0] / seconds[1]);
        state.SetIterationTime(seconds[0] + seconds[1]);
    }
    spread(state, "converting_s", on);
    spread(state, "plain_s", off);
    spread(state, "ratio", ratios);
}

void register_all()
{
    const Format formats[] = {{"png8", "png", 8, OIIO::TypeDesc::UINT8, false},
                              {"exr32", "exr", 32, OIIO::TypeDesc::FLOAT, true}};
    // The shaped ramp shows the cost of the host's pow beside the encoder; its
    // single runs would add nothing new. 640x360 is a size where the encoder no
    // longer dwarfs the process's start.
    struct Case {
        Format format;
        Size size;
        bool shaped;
    };
    const Case cases[] = {{formats[0], {1920, 1080}, false},
                          {formats[0], {1920, 1080}, true},
                          {formats[1], {1920, 1080}, false},
                          {formats[1], {1920, 1080}, true},
                          {formats[0], {640, 360}, false}};
    for (const Case& c : cases) {
        const std::string name = std::string("Sequence/") + c.format.name +
                                 (c.shaped ? "/animated-shaped/" : "/animated/") + c.size.text() +
                                 "/frames:100";
        benchmark::RegisterBenchmark(name.c_str(),
                                     [=](benchmark::State& s) {
                                         sequence_case(s, c.format, c.size, c.shaped, !c.shaped);
                                     })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(iterations());
    }

    benchmark::RegisterBenchmark("ExrWrite/3840x2160/float/conversion-vs-none", exr_write_case)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(iterations());

    const double uhd_float = 3840.0 * 2160.0 * 16.0;
    const fs::path dir = work_dir();
    const std::string input = (dir / "uhd-input.exr").string();
    std::vector<std::pair<std::string, fs::path>> tools{{"", tool()}};
    if (!base_tool().empty()) tools.emplace_back("base/", base_tool());
    for (const auto& [label, program] : tools) {
        benchmark::RegisterBenchmark(("PeakMemory/" + label + "solid/3840x2160/float").c_str(),
                                     [=](benchmark::State& s) {
                                         memory_case(s, program,
                                                     {"render", "--size", "3840x2160", "--depth",
                                                      "32", "-o", (dir / "uhd.exr").string()},
                                                     uhd_float);
                                     })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark(
            ("PeakMemory/" + label + "input-file/3840x2160/float").c_str(),
            [=](benchmark::State& s) {
                if (!fs::exists(input) && !ok(run_tool(tool(), {"render", "--size", "3840x2160",
                                                                "--depth", "32", "-o", input}))) {
                    s.SkipWithError("no input file");
                    return;
                }
                memory_case(s, program,
                            {"render", "--input", input, "--type", "alpha", "-o",
                             (dir / "uhd-out.exr").string()},
                            uhd_float);
            })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(3);
    }
    benchmark::RegisterBenchmark("PeakMemory/sequence-6-frames-2-writers/3840x2160/float",
                                 [=](benchmark::State& s) {
                                     memory_case(s, tool(),
                                                 {"render", "--size", "3840x2160", "--depth", "32",
                                                  "--frames", "1-6", "--writers", "2",
                                                  "--direction", "0@1,90@6", "-o",
                                                  (dir / "uhd.#.exr").string()},
                                                 uhd_float);
                                 })
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(3);
}

}  // namespace
}  // namespace velkor::bench

int main(int argc, char** argv)
{
    velkor::bench::register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (std::getenv("VELKOR_BENCH_DIR") == nullptr)
        std::filesystem::remove_all(velkor::bench::work_dir());
    return 0;
}
