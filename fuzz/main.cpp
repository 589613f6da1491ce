// velkor_host_fuzz: random host sequences against the built module.
//
//   velkor_host_fuzz [--seeds A-B] [--threaded] [--module PATH] [--log]
//
// Runs the sequence of every seed from A to B (both included; default 1-200)
// and prints one line per expectation that did not hold, then a summary of
// what was sent and checked. The same seed gives the same sequence on every
// build, so a line's seed is all that is needed to see it again:
//
//   velkor_host_fuzz --seeds 4711 --log
//
// Exit status: 0 when every expectation held, 1 when one did not, 2 for a bad
// command line or a module that cannot be loaded.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "fuzz/host_sequence.h"
#include "simhost/module_loader.h"

#ifndef VELKOR_MODULE_PATH
#error "VELKOR_MODULE_PATH must name the built effect module"
#endif

namespace {

constexpr const char* kUsage =
    "usage: velkor_host_fuzz [--seeds A-B | --seeds N] [--threaded] [--module PATH] [--log]\n"
    "  --seeds A-B   run the sequences of seeds A to B, both included (default 1-200)\n"
    "  --threaded    give every frame at least two render threads\n"
    "  --module PATH the effect module to drive (default: the one this build made)\n"
    "  --log         print every step of every sequence\n";

bool parse_seed(const std::string& text, std::uint64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 19) {
        return false;
    }
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool parse_seeds(const std::string& text, std::uint64_t& first, std::uint64_t& last)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parse_seed(text, first)) return false;
        last = first;
        return true;
    }
    return parse_seed(text.substr(0, dash), first) && parse_seed(text.substr(dash + 1), last) &&
           first <= last;
}

}  // namespace

int main(int argc, char** argv)
{
    velkor_fuzz::SequenceOptions options;
    options.module_path = VELKOR_MODULE_PATH;
    std::uint64_t first = 1;
    std::uint64_t last = 200;
    bool log = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--seeds" && i + 1 < argc) {
            if (!parse_seeds(argv[++i], first, last)) {
                std::cerr << "velkor_host_fuzz: --seeds takes N or A-B with 0 <= A <= B, not \""
                          << argv[i] << "\"\n";
                return 2;
            }
        } else if (arg == "--module" && i + 1 < argc) {
            options.module_path = argv[++i];
        } else if (arg == "--threaded") {
            options.threaded = true;
        } else if (arg == "--log") {
            log = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "velkor_host_fuzz: unknown option \"" << arg << "\"\n" << kUsage;
            return 2;
        }
    }

    // Held open for the whole run, so that each sequence's host finds the
    // module already loaded instead of loading it again.
    std::string error;
    const auto module = simhost::ModuleLibrary::open(options.module_path, error);
    if (!module) {
        std::cerr << "velkor_host_fuzz: " << error << "\n";
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    velkor_fuzz::Figures figures;
    long findings = 0;
    for (std::uint64_t seed = first;; ++seed) {
        std::ostream* const steps = log ? &std::cout : nullptr;
        for (const std::string& line : velkor_fuzz::run_sequence(options, seed, figures, steps)) {
            std::cout << line << "\n";
            ++findings;
        }
        if (seed == last) break;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "velkor_host_fuzz: seeds %llu-%llu%s: %ld sequences, %ld commands, %ld smart renders "
        "(%ld compared with the per-pixel path, %ld over damaged worlds), %ld host failures "
        "injected (%ld met by the module), %ld findings, %.1f s\n",
        static_cast<unsigned long long>(first), static_cast<unsigned long long>(last),
        options.threaded ? " threaded" : "", figures.sequences, figures.commands, figures.renders,
        figures.frames_compared, figures.damaged_worlds, figures.failures_injected,
        figures.failures_met, findings, seconds);
    return findings == 0 ? 0 : 1;
}
