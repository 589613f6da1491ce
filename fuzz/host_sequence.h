// One random host sequence, named by its seed: the commands a host sends an
// effect (global setup, parameter setup, values set, UI updates, frames, About,
// commands the effect does not answer, global set-down), mostly in a host's
// order and now and then not; parameter values in range, out of it and NaN;
// worlds of any size from 0x0 and 1x1 up, origin, row padding in bytes and
// direction, in every pixel format; any number of render threads; and failures
// injected into the host's calls. After every step it checks what must hold:
// nothing left behind (the simulated host's accounting), no byte written
// outside the output's pixels, the input untouched, every injected failure
// reported, the frame equal bit for bit to the engine's per-pixel reference,
// and a second smart render of the same frame identical to the first.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace velkor_fuzz {

struct Figures {
    long sequences = 0;
    long commands = 0;           // commands sent to the module
    long renders = 0;            // smart renders sent
    long frames_compared = 0;    // successful smart renders compared with the reference
    long damaged_worlds = 0;     // smart renders over worlds the module must refuse
    long failures_injected = 0;  // host-call failures, refused suites, missing worlds
    long failures_met = 0;       // of those, the ones the module ran into

    Figures& operator+=(const Figures& other);
};

struct SequenceOptions {
    std::string module_path;
    bool threaded = false;  // at least two render threads in every frame
};

// Runs the sequence of `seed` against a freshly loaded module. Returns one line
// per expectation that did not hold (none when all held). With `log`, every
// step is written there as it is taken.
std::vector<std::string> run_sequence(const SequenceOptions& options, std::uint64_t seed,
                                      Figures& figures, std::ostream* log);

}  // namespace velkor_fuzz
