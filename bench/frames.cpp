#include "bench/frames.h"

#include <random>

#include "params/param_table.h"
#include "ramp/pixel_traits.h"

namespace velkor::bench {

BenchWorld::BenchWorld(DepthClass depth, FrameSize size)
    : depth_(depth),
      memory_(pixel_size(depth) * static_cast<std::size_t>(size.width) *
              static_cast<std::size_t>(size.height))
{
    // Opaque mid-grey in every depth, so alpha scaling has real work to do.
    std::mt19937 rng(1);
    for (std::size_t i = 0; i < memory_.size(); ++i)
        memory_[i] = static_cast<std::uint8_t>(rng() & 0x3F);
    world_.data = reinterpret_cast<PF_Pixel*>(memory_.data());
    world_.width = size.width;
    world_.height = size.height;
    world_.rowbytes = static_cast<A_long>(pixel_size(depth)) * size.width;
}

RampSettings bench_settings(FrameSize size, Placement placement, A_long shape, A_long type,
                            double power)
{
    const double w = size.width;
    const double h = size.height;
    RampSettings s{};
    s.type = type;
    s.shape = shape;
    s.power = power;
    s.start_color = {1.0, 1.0, 1.0, 1.0};
    s.end_color = {1.0, 0.0, 0.0, 0.0};
    s.start_alpha = 1.0;
    s.end_alpha = 0.0;
    s.center = {w / 2, h / 2};
    s.length = w / 2;
    s.direction = 45.0 * 0.017453292519943295;
    switch (placement) {
    case Placement::horizontal:
        s.controlled_by = kControlledByTwoPoints;
        s.start_point = {0.0, h / 2};
        s.end_point = {w, h / 2};
        break;
    case Placement::diagonal:
        s.controlled_by = kControlledByTwoPoints;
        s.start_point = {0.0, 0.0};
        s.end_point = {w, h};
        break;
    case Placement::center:
        s.controlled_by = kControlledByCenterAndLength;
        break;
    }
    return s;
}

std::string depth_name(DepthClass depth)
{
    switch (depth) {
    case DepthClass::eight:
        return "8bit";
    case DepthClass::sixteen:
        return "16bit";
    case DepthClass::floating:
        return "float";
    default:
        return "none";
    }
}

std::string size_name(FrameSize size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::string placement_name(Placement placement)
{
    switch (placement) {
    case Placement::horizontal:
        return "horizontal";
    case Placement::diagonal:
        return "diagonal";
    case Placement::center:
        return "center";
    }
    return "?";
}

std::string shape_name(A_long shape)
{
    return shape == kShapeLinear ? "linear" : shape == kShapeLinear2 ? "linear2" : "radial";
}

std::string type_name(A_long type)
{
    return type == kTypeColor ? "color" : type == kTypeAlpha ? "alpha" : "color-alpha";
}

}  // namespace velkor::bench
