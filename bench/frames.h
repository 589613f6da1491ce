// Frames and settings shared by the benchmarks: the cases are named the same
// way for the fast kernels, the reference path and the floor, so that
// bench/table.py can put them side by side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "ramp/ramp_settings.h"
#include "ramp/world_view.h"

namespace velkor::bench {

struct FrameSize {
    A_long width;
    A_long height;
};

// A tightly packed world of one depth, owning its pixels.
class BenchWorld {
public:
    BenchWorld(DepthClass depth, FrameSize size);
    PF_EffectWorld* world() { return &world_; }
    WorldView view() { return {depth_, &world_}; }
    std::size_t bytes() const { return memory_.size(); }
    std::uint8_t* data() { return memory_.data(); }

private:
    DepthClass depth_;
    std::vector<std::uint8_t> memory_;
    PF_EffectWorld world_{};
};

// How the ramp is placed over the frame.
enum class Placement {
    horizontal,  // "Two Points" across the middle row, the default ramp
    diagonal,    // "Two Points" from the top-left to the bottom-right corner
    center,      // "Center & Length" from the centre at 45 degrees
};

RampSettings bench_settings(FrameSize size, Placement placement, A_long shape, A_long type,
                            double power);

std::string depth_name(DepthClass depth);
std::string size_name(FrameSize size);
std::string placement_name(Placement placement);
std::string shape_name(A_long shape);
std::string type_name(A_long type);

}  // namespace velkor::bench
