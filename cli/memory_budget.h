// How much memory a frame needs, and how much the tool may take.
//
// A frame is checked against the budget before any pixel buffer exists, so a
// frame that cannot fit is refused with one line saying what it needs, instead
// of failing halfway with whatever allocation happened to fail.
//
// What a render holds at its peak, for frames of n pixels of P bytes (4 at
// 8-bit, 8 at 16-bit, 16 at 32-bit), F = n x P:
//   - the input world and the output frames held at once (1 for a single frame,
//     writers + 1 for a sequence, render_pipeline.h), each F, and one band of
//     rows (about 1 MiB, write_band_rows) per writer as the file's samples;
//   - reading an input file: its pixels as RGBA in the file's sample type while
//     they become the input world (with one band of rows as the file stores
//     them), on top of the output frames still held when each frame of an input
//     sequence reads its own file.
// So a single frame from a solid layer or an 8-bit file at 8-bit takes 2 F and a
// band: 16 bytes a pixel at 32-bit, 2.0 frames' worth where it took 4.
#pragma once

#include <cstdint>
#include <string>

#include "cli/frame_depth.h"

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
    int width = 0;  // the frame, after downsampling
    int height = 0;
    FrameDepth depth;
    // With an input file: the memory reading it takes at its peak (its pixels as
    // RGBA in the file's sample type, and one band of rows as the file stores them).
    bool from_file = false;
    std::uint64_t file_rgba_bytes = 0;
    std::uint64_t file_band_bytes = 0;
    // Output frames held at once, the writers, and whether every frame reads an
    // input file of its own.
    int outputs_held = 1;
    int writers = 1;
    bool input_per_frame = false;
};

std::uint64_t frame_memory_need(const FramePlan& plan);

// The rows of one band a writer converts at a time: about 1 MiB of samples,
// a multiple of 16 rows (OpenEXR's blocks), 16 to 4096.
int write_band_rows(int width, FrameDepth depth);

// "43.2 GiB", "512 KiB", "900 bytes".
std::string byte_text(std::uint64_t bytes);

// "a 1920x1080 16-bit frame from a solid layer needs about 31.7 MiB"
std::string frame_need_text(const FramePlan& plan);

// A memory failure naming what the frame needs and what the budget allows.
void check_frame_fits(const FramePlan& plan, const MemoryBudget& budget);

}  // namespace velkorramp
