// How much memory a frame needs, and how much the tool may take.
//
// A frame is checked against the budget before any pixel buffer exists, so a
// frame that cannot fit is refused with one line saying what it needs, instead
// of failing halfway with whatever allocation happened to fail.
//
// What a render holds at its peak, for a frame of n pixels of P bytes (4 at
// 8-bit, 8 at 16-bit, 16 at 32-bit):
//   - a solid layer: the host's input world, the output world and the host's
//     copy of the output, 3 x n x P; writing then holds the output and the
//     file's samples, 2 x n x P;
//   - an input file: the file's pixels as RGBA in its own sample type while they
//     become the input world, then the tool's input world and the three above,
//     4 x n x P, whichever is larger.
#pragma once

#include <cstdint>
#include <string>

namespace velkorramp {

struct MemoryBudget {
    std::uint64_t bytes = 0;
    std::string source;  // what set it: "available memory", "--memory-limit", ...
};

// What this process can take now: the machine's available memory, lowered by
// the memory cgroup's remaining room and by the address-space and data limits
// (ulimit -v, ulimit -d) less what the process already uses.
MemoryBudget machine_memory_budget();

struct FramePlan {
    int width = 0;   // the frame, after downsampling
    int height = 0;
    int depth = 8;
    // With an input file: the memory reading it takes at its peak (its pixels as
    // RGBA in the file's sample type, and one band of rows as the file stores them).
    bool from_file = false;
    std::uint64_t file_rgba_bytes = 0;
    std::uint64_t file_band_bytes = 0;
};

std::uint64_t frame_memory_need(const FramePlan& plan);

// "43.2 GiB", "512 KiB", "900 bytes".
std::string byte_text(std::uint64_t bytes);

// "a 1920x1080 16-bit frame from a solid layer needs about 47.5 MiB"
std::string frame_need_text(const FramePlan& plan);

// A memory failure naming what the frame needs and what the budget allows.
void check_frame_fits(const FramePlan& plan, const MemoryBudget& budget);

}  // namespace velkorramp
