// The pixel types as one kernel sees them: channel type, maximum, the place of
// each channel in the pixel, and the conversions from float64 (a 0..1 colour
// channel, and an alpha already on the channel's own scale).
//
// Channel order lives here and nowhere else: scalar code names the channels,
// and every vector packer and store places them at the positions below, which
// are read from the pixel struct itself. A world stored in another order is
// one more traits type over a pixel struct declared in that order.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/host_interface.h"
#include "ramp/ramp_types.h"
#include "ramp/world_view.h"

namespace velkor {

// v clamped to 0..max and truncated (callers add the 0.5). A NaN becomes 0
// instead of an undefined conversion. Written as the two selects that map onto
// the processor's max and min (NaN falls to the second operand), so that the
// loops around it vectorise.
template <class Channel>
inline Channel to_integer_channel(double v, double max)
{
    double c = v > 0.0 ? v : 0.0;
    c = c < max ? c : max;
    return static_cast<Channel>(static_cast<A_long>(c));
}

// Where each channel sits in a pixel, counted in channels from its first byte.
template <class Pixel, class Channel>
struct ChannelPlaces {
    static constexpr int alpha_at = static_cast<int>(offsetof(Pixel, alpha) / sizeof(Channel));
    static constexpr int red_at = static_cast<int>(offsetof(Pixel, red) / sizeof(Channel));
    static constexpr int green_at = static_cast<int>(offsetof(Pixel, green) / sizeof(Channel));
    static constexpr int blue_at = static_cast<int>(offsetof(Pixel, blue) / sizeof(Channel));
    static_assert(sizeof(Pixel) == 4 * sizeof(Channel), "four channels and nothing else");
    static_assert((1 << alpha_at | 1 << red_at | 1 << green_at | 1 << blue_at) == 0xF,
                  "each channel in a place of its own");
};

// The two integer depths differ only in pixel type, channel type and maximum.
template <class PixelType, class ChannelType, int kMax, DepthClass kDepth>
struct IntegerPixelTraits : ChannelPlaces<PixelType, ChannelType> {
    using Pixel = PixelType;
    using Channel = ChannelType;
    static constexpr DepthClass depth = kDepth;
    static constexpr bool is_integer = true;
    static constexpr double max = kMax;

    static Channel from_unit(double k) { return to_integer_channel<Channel>(k * max + 0.5, max); }
    static Channel from_scaled(double a) { return to_integer_channel<Channel>(a + 0.5, max); }
    static double widen(Channel c) { return c; }
    // The input alpha scaled by the ramp's alpha factor (a NaN clamps to 0).
    static Channel scaled_alpha(double factor, Channel alpha)
    {
        return from_scaled(factor * widen(alpha));
    }
};

using Pixel8Traits = IntegerPixelTraits<PF_Pixel, A_u_char, PF_MAX_CHAN8, DepthClass::eight>;
using Pixel16Traits = IntegerPixelTraits<PF_Pixel16, A_u_short, PF_MAX_CHAN16, DepthClass::sixteen>;

// Pixels stored red first, alpha last.
struct RgbaPixel8 {
    A_u_char red, green, blue, alpha;
};
struct RgbaPixel16 {
    A_u_short red, green, blue, alpha;
};
struct RgbaPixelFloat {
    PF_FpShort red, green, blue, alpha;
};

using Rgba8Traits = IntegerPixelTraits<RgbaPixel8, A_u_char, PF_MAX_CHAN8, DepthClass::rgba8>;
// The whole 16-bit range: a unit channel is k x 65535 + 0.5, clamped, truncated.
using Rgba16Traits = IntegerPixelTraits<RgbaPixel16, A_u_short, 65535, DepthClass::rgba16>;

template <class PixelType, DepthClass kDepth>
struct FloatPixelTraits : ChannelPlaces<PixelType, PF_FpShort> {
    using Pixel = PixelType;
    using Channel = PF_FpShort;
    static constexpr DepthClass depth = kDepth;
    static constexpr bool is_integer = false;

    // Float channels are not limited: nearest float32, no clamp, no offset.
    static Channel from_unit(double k) { return static_cast<Channel>(k); }
    static Channel from_scaled(double a) { return static_cast<Channel>(a); }
    static double widen(Channel c) { return c; }
    // The input alpha scaled by the ramp's alpha factor. When both are NaN the
    // factor's NaN is the one kept, by an explicit select: the processor keeps
    // its first operand's, and the compiler may order a product's operands
    // either way, so the product alone would not say which NaN a pixel holds.
    // (Asked with isnan, which compiles to a compare that cannot trap and so
    // lets the loops around it vectorise; `factor != factor` does not.)
    static Channel scaled_alpha(double factor, Channel alpha)
    {
        const double a = factor * widen(alpha);
        return from_scaled(std::isnan(factor) ? factor : a);
    }
};

using PixelFloatTraits = FloatPixelTraits<PF_PixelFloat, DepthClass::floating>;
using RgbaFloatTraits = FloatPixelTraits<RgbaPixelFloat, DepthClass::rgba_float>;

// Every traits type the kernels are built for; the vector loops are
// instantiated for each.
template <class... Traits>
struct TraitsList {
};
using KernelTraits = TraitsList<Pixel8Traits, Pixel16Traits, PixelFloatTraits, Rgba8Traits,
                                Rgba16Traits, RgbaFloatTraits>;

template <class Traits>
inline typename Traits::Pixel to_pixel(const Color4& c)
{
    typename Traits::Pixel p;
    p.alpha = Traits::from_unit(c.alpha);
    p.red = Traits::from_unit(c.red);
    p.green = Traits::from_unit(c.green);
    p.blue = Traits::from_unit(c.blue);
    return p;
}

// Calls fn(Traits{}) with the pixel traits of `depth`; false (and no call) for
// a depth class of none.
template <class Fn>
bool with_pixel_traits(DepthClass depth, Fn&& fn)
{
    switch (depth) {
    case DepthClass::eight:
        fn(Pixel8Traits{});
        return true;
    case DepthClass::sixteen:
        fn(Pixel16Traits{});
        return true;
    case DepthClass::floating:
        fn(PixelFloatTraits{});
        return true;
    case DepthClass::rgba8:
        fn(Rgba8Traits{});
        return true;
    case DepthClass::rgba16:
        fn(Rgba16Traits{});
        return true;
    case DepthClass::rgba_float:
        fn(RgbaFloatTraits{});
        return true;
    default:
        return false;
    }
}

// Bytes per pixel of a depth class; 0 for none.
inline std::size_t pixel_size(DepthClass depth)
{
    std::size_t size = 0;
    with_pixel_traits(depth, [&](auto traits) { size = sizeof(typename decltype(traits)::Pixel); });
    return size;
}

// The alignment every channel of a depth class needs: 1, 2 or 4 bytes; 0 for none.
inline std::size_t channel_alignment(DepthClass depth)
{
    std::size_t alignment = 0;
    with_pixel_traits(depth,
                      [&](auto traits) { alignment = alignof(typename decltype(traits)::Pixel); });
    return alignment;
}

// Whether the kernels can address every pixel of `world` as pixels of `depth`.
// Rows are found by their byte stride, of either sign, so a host may pad rows
// by any number of bytes that keeps each channel on its alignment (a float
// world padded by 8 bytes is fine; one padded by 2 is not). Also needed: no
// negative size, pixel memory unless the world is empty, a data pointer on
// the channels' alignment, and rows that do not overlap. A depth class of none
// is never drawn, so any world passes with it.
inline bool is_drawable(const PF_EffectWorld& world, DepthClass depth)
{
    const std::size_t alignment = channel_alignment(depth);
    if (alignment == 0) return true;
    if (world.width < 0 || world.height < 0) return false;
    if (world.width == 0 || world.height == 0) return true;
    if (world.data == nullptr) return false;
    const auto address = reinterpret_cast<std::uintptr_t>(world.data);
    const std::int64_t rowbytes = world.rowbytes;
    if (address % alignment != 0 || rowbytes % static_cast<std::int64_t>(alignment) != 0) {
        return false;
    }
    const std::int64_t row_span =
        static_cast<std::int64_t>(world.width) * static_cast<std::int64_t>(pixel_size(depth));
    return world.height == 1 || std::llabs(rowbytes) >= row_span;
}

}  // namespace velkor
