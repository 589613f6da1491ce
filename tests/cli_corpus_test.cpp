// The command-line contract over many odd cases drawn from a seed: damaged
// image files, odd option values and forms, odd paths. Every run ends with a
// documented exit code (never a crash or a signal); a failure is exactly one
// line on stderr starting "velkorramp: " and leaves the folder as it was; a
// success adds exactly its output file.
//
// The normal suite runs a short fixed-seed run. A longer one, seeds 1 to 200
// with 300 cases each per test (one command):
//   VELKOR_CLI_CORPUS_SEEDS=1-200 VELKOR_CLI_CORPUS_CASES=300
//     build/release/tests/cli_process_tests --gtest_filter='Corpus.*'
#include <algorithm>
#include <random>
#include <set>

#include "cli_image_bytes.h"
#include "cli_test_support.h"

namespace cli_test {
namespace {

struct CorpusRun {
    unsigned first_seed = 1;
    unsigned last_seed = 1;
    int cases = 12;
};

CorpusRun corpus_run()
{
    CorpusRun run;
    if (const char* seeds = std::getenv("VELKOR_CLI_CORPUS_SEEDS")) {
        const std::string text = seeds;
        const std::size_t dash = text.find('-');
        run.first_seed = static_cast<unsigned>(std::stoul(text.substr(0, dash)));
        run.last_seed = dash == std::string::npos
                            ? run.first_seed
                            : static_cast<unsigned>(std::stoul(text.substr(dash + 1)));
    }
    if (const char* cases = std::getenv("VELKOR_CLI_CORPUS_CASES")) run.cases = std::stoi(cases);
    return run;
}

class Corpus : public ToolTest {
protected:
    static std::set<std::string> listing(const fs::path& folder)
    {
        const std::vector<std::string> names = files_in(folder);
        return std::set<std::string>(names.begin(), names.end());
    }

    // One run against the contract. `output` is the file a success writes.
    void check(const std::vector<std::string>& args, const std::set<int>& allowed,
               const std::string& output, const std::string& what)
    {
        const std::set<std::string> before = listing(dir_);
        const Ending e = launch(args);
        SCOPED_TRACE(what);
        ASSERT_EQ(e.signal, 0) << "died by signal " << e.signal << ": " << e.err;
        EXPECT_TRUE(allowed.count(e.exit_code)) << "exit " << e.exit_code << ": " << e.err;
        std::set<std::string> after = listing(dir_);
        if (e.exit_code == 0) {
            if (!output.empty()) {
                EXPECT_EQ(after.erase(output), 1u) << output << " not written";
                fs::remove(path(output));
            }
            EXPECT_EQ(after, before);
            return;
        }
        EXPECT_EQ(e.err.rfind("velkorramp: ", 0), 0u) << e.err;
        EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1) << e.err;
        EXPECT_EQ(after, before) << "files changed by a failed run";
        ++failures_seen_;
    }

    int failures_seen_ = 0;
};

// ------------------------------------------------------------------ damaged files

std::string damaged(std::string bytes, std::mt19937& random, std::string& what)
{
    const auto at = [&](std::size_t size) { return size == 0 ? 0 : random() % size; };
    switch (random() % 6) {
    case 0: {
        const std::size_t length = at(bytes.size());
        what += "cut to " + std::to_string(length);
        return bytes.substr(0, length);
    }
    case 1: {
        const int flips = 1 + static_cast<int>(random() % 8);
        what += std::to_string(flips) + " bytes flipped";
        for (int i = 0; i < flips; ++i)
            bytes[at(bytes.size())] ^= static_cast<char>(1 + random() % 255);
        return bytes;
    }
    case 2: {
        // Headers are near the start: a run of random bytes among the first 512.
        const std::size_t start = at(std::min<std::size_t>(bytes.size(), 512));
        const std::size_t length = std::min<std::size_t>(1 + random() % 64, bytes.size() - start);
        what += "header bytes " + std::to_string(start) + "+" + std::to_string(length) + " random";
        for (std::size_t i = 0; i < length; ++i) bytes[start + i] = static_cast<char>(random());
        return bytes;
    }
    case 3: {
        const std::size_t start = at(bytes.size());
        const std::size_t length = std::min<std::size_t>(random() % 4096, bytes.size() - start);
        what += "bytes " + std::to_string(start) + "+" + std::to_string(length) + " zeroed";
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), length, '\0');
        return bytes;
    }
    case 4: {
        what += "garbage appended";
        for (int i = 0; i < 300; ++i) bytes += static_cast<char>(random());
        return bytes;
    }
    default: {
        // Sizes from nothing to absurd, in each format's own header.
        static constexpr std::uint32_t kSides[] = {0,     1,      30000,      30001,
                                                   65535, 100000, 0x7FFFFFFF, 0xFFFFFFFF};
        const std::uint32_t w = kSides[random() % 8];
        const std::uint32_t h = kSides[random() % 8];
        what += "declares " + std::to_string(w) + "x" + std::to_string(h);
        if (bytes.rfind("\x89PNG", 0) == 0) return png_declaring(bytes, w, h);
        if (bytes.rfind("II", 0) == 0) return tiff_declaring(w, h, bytes.substr(0, 64));
        return exr_declaring(bytes, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h));
    }
    }
}

TEST_F(Corpus, DamagedFilesAreRefusedWithOneLineAndLeaveNothing)
{
    std::mt19937 noise(11);
    const auto samples = [&](std::size_t n, auto sample) {
        std::vector<decltype(sample)> v(n);
        for (auto& s : v)
            s = static_cast<decltype(sample)>(sizeof sample == 4 ? (noise() % 4096) / 4096.0
                                                                 : noise());
        return v;
    };
    write_file(path("a.png"), 23, 17, 4, OIIO::TypeDesc::UINT8,
               samples(23 * 17 * 4, std::uint8_t{}));
    write_file(path("b.png"), 31, 9, 2, OIIO::TypeDesc::UINT16,
               samples(31 * 9 * 2, std::uint16_t{}));
    write_file(path("c.tif"), 19, 21, 3, OIIO::TypeDesc::UINT8,
               samples(19 * 21 * 3, std::uint8_t{}));
    write_file(path("d.tif"), 17, 13, 4, OIIO::TypeDesc::FLOAT, samples(17 * 13 * 4, float{}));
    write_file(path("e.exr"), 29, 11, 4, OIIO::TypeDesc::HALF, samples(29 * 11 * 4, float{}));
    write_bytes(path("f.tif"), tiff_declaring(16, 8, std::string(128, '\x40')));
    std::vector<std::string> originals;
    for (const std::string name : {"a.png", "b.png", "c.tif", "d.tif", "e.exr", "f.tif"}) {
        originals.push_back(slurp(path(name)));
        fs::remove(path(name));
    }

    const CorpusRun run = corpus_run();
    for (unsigned seed = run.first_seed; seed <= run.last_seed; ++seed) {
        std::mt19937 random(seed);
        for (int c = 0; c < run.cases; ++c) {
            const std::size_t pick = random() % originals.size();
            std::string what = "seed " + std::to_string(seed) + " case " + std::to_string(c) +
                               ": file " + std::to_string(pick) + ", ";
            const std::string bytes = damaged(originals[pick], random, what);
            const std::string input = pick == 4 ? "in.exr" : pick <= 1 ? "in.png" : "in.tif";
            write_bytes(path(input), bytes);
            // TIFF holds every depth, so only the input decides the outcome; a
            // small budget keeps an absurd declared size from taking the machine.
            check({"render", "--input", path(input), "--memory-limit", "256M", "-o",
                   path("out.tif")},
                  {0, 3, 7}, "out.tif", what);
            fs::remove(path(input));
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(failures_seen_, 0) << "no case was refused: the damage did not reach the reader";
}

// ------------------------------------------------------------------ odd options and paths

TEST_F(Corpus, OddOptionsAndPathsKeepTheContract)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> odd_values{
        {"--power",
         {"1e309", "nan", "-0", "0x10", "", " ", "1,2", "0.0099999", "100.00001", "1e-320"}},
        {"--type",
         {"-1", "+1", "1.5", "0", "4", "99999999999", "colour", "color&", "COLOR ALPHA",
          "\xd9\xa3"}},
        {"--shape", {"-3", "3.0", "radial2", "lin", "linear 2", ""}},
        {"--center",
         {"32767.999999,4", "-32767.999999,0", "32767.99999,1", "1e5,1", "1,", ",", "nan,1",
          "1,2,3"}},
        {"--direction", {"32767.999995", "-32767.99999", "32767.9999", "-0", "1e-300", "inf"}},
        {"--start", {"-32768,0", "0,32768", "1e-9,1e9", " 1 , 2 "}},
        {"--length", {"-0", "50000", "50000.001", "1e-7"}},
        {"--start-alpha", {"-0.0000001", "100.0000001", "1e2"}},
        {"--start-color",
         {"#", "#1234567", "256,0,0", "1,2,3,4",
          "\xef\xbc\x83"
          "FFFFFF"}},
        {"--size", {"0x0", "1x1", "30001x1", "99999999999999999999x1", "1x-1", "x", "2X3"}},
        {"--threads", {"-1", "0", "257", "1e2", "2 "}},
        {"--downsample", {"1/0", "-1/2", "1/2/3", "1/1001", "3/4,1/1000", ","}},
        {"--origin", {"30001,0", "-30000,-30000", "1.5,0", "0"}},
        {"--fill", {"#", "#00000000", "0,0,0,-1", "0,0,0"}},
        {"--memory-limit", {"0", "1E", "-1G", "1.5T", "1048575", "1M", "2MiB", "1G "}},
        {"--depth", {"08", "32.0", "-8", "24"}},
    };
    const std::vector<std::string> odd_forms{"--power=", "--=x",     "-",         "--",
                                             "-oX",      "---power", "--POWER",   "--power=1=2",
                                             "--help=1", "-v=1",     "--verbose", "-h"};
    const std::vector<std::string> odd_outputs{"",
                                               ".",
                                               "..",
                                               "missing/x.png",
                                               "x.PNG",
                                               "x.png.",
                                               "x",
                                               "x.jpg",
                                               ".png",
                                               std::string(251, 'n') + ".png",
                                               std::string(252, 'n') + ".png",
                                               "a b'\"$.tif",
                                               "line\nbreak.exr",
                                               "\xc3\xa9t\xc3\xa9.png",
                                               "-",
                                               "/proc/velkorramp-corpus.png"};
    fs::create_directories(path("folder"));
    std::ofstream(path("empty.png"));
    const std::vector<std::string> odd_inputs{"missing.png", "folder",  "/dev/null", "/dev/zero",
                                              "empty.png",   "out.png", ""};

    const CorpusRun run = corpus_run();
    for (unsigned seed = run.first_seed; seed <= run.last_seed; ++seed) {
        std::mt19937 random(seed);
        for (int c = 0; c < run.cases; ++c) {
            std::string output = "out.png";
            std::string size =
                std::to_string(1 + random() % 40) + "x" + std::to_string(1 + random() % 40);
            std::vector<std::string> args{"render"};
            const int changes = 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < changes; ++k) {
                switch (random() % 4) {
                case 0:
                case 1: {
                    const auto& [option, values] = odd_values[random() % odd_values.size()];
                    if (option == "--size") size.clear();
                    args.push_back(option);
                    args.push_back(values[random() % values.size()]);
                    break;
                }
                case 2:
                    args.push_back(odd_forms[random() % odd_forms.size()]);
                    break;
                default:
                    if (random() % 2 == 0) {
                        output = odd_outputs[random() % odd_outputs.size()];
                    } else {
                        size.clear();
                        const std::string input = odd_inputs[random() % odd_inputs.size()];
                        args.push_back("--input");
                        args.push_back(
                            input.empty() || input.front() == '/' ? input : path(input).string());
                    }
                }
            }
            if (!size.empty()) args.insert(args.begin() + 1, {"--size", size});
            const bool relative = !output.empty() && output.front() != '/';
            args.push_back("-o");
            args.push_back(relative ? path(output).string() : output);
            std::string what = "seed " + std::to_string(seed) + " case " + std::to_string(c) + ":";
            for (const std::string& a : args) what += " [" + a + "]";
            // A help flag prints help and writes nothing.
            const bool help = std::count(args.begin(), args.end(), "-h") +
                              std::count(args.begin(), args.end(), "--help");
            check(args, {0, 2, 3, 4, 7},
                  help || !relative ? "" : fs::path(output).filename().string(), what);
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_GT(failures_seen_, 0);
}

}  // namespace
}  // namespace cli_test
