// The depth of the host's frames, the project depth: 8 or 16-bit integer
// channels (0..255, 0..32768) or 32-bit float, as --depth and the host's pixel
// formats name it. A file's own sample types are FileDepth (output_format.h).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "simhost/world.h"

namespace velkorramp {

class FrameDepth {
public:
    // 8, 16 or 32 bits a channel; any other number is float, as for the host's
    // formats (parse_depth in values.h refuses the others first).
    constexpr FrameDepth(int bits = 8) : bits_(bits == 8 || bits == 16 ? bits : 32) {}
    static FrameDepth of(const simhost::World& world)
    {
        return FrameDepth(simhost::bit_depth(world.format()));
    }

    constexpr int bits() const { return bits_; }
    // Bytes of one ARGB pixel: 4, 8 or 16.
    constexpr std::uint64_t pixel_bytes() const { return bits_ == 8 ? 4 : bits_ == 16 ? 8 : 16; }
    PF_PixelFormat format() const { return simhost::argb_format_for_depth(bits_); }
    // "8-bit", "16-bit", "32-bit"
    std::string text() const { return std::to_string(bits_) + "-bit"; }

    friend constexpr bool operator==(FrameDepth, FrameDepth) = default;

private:
    int bits_;
};

// Calls `f` with a value of the depth's pixel type (PF_Pixel, PF_Pixel16 or
// PF_PixelFloat): the one place a depth chooses a type.
template <class F>
decltype(auto) with_pixel_type(FrameDepth depth, F&& f)
{
    switch (depth.bits()) {
    case 8:
        return f(PF_Pixel{});
    case 16:
        return f(PF_Pixel16{});
    default:
        return f(PF_PixelFloat{});
    }
}

// The alpha of an opaque pixel of this type.
template <class Pixel>
constexpr auto opaque_alpha()
{
    if constexpr (std::is_same_v<Pixel, PF_Pixel>)
        return A_u_char{PF_MAX_CHAN8};
    else if constexpr (std::is_same_v<Pixel, PF_Pixel16>)
        return A_u_short{PF_MAX_CHAN16};
    else
        return 1.0f;
}

}  // namespace velkorramp
