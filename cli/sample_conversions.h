// One channel from one depth to another, by the host's own rules: integer
// channels are rescaled with rounding (halves up), float to integer is
// value * maximum + 0.5 clamped and truncated, integer to float is
// value / maximum. 16-bit host channels run 0..32768, 16-bit file samples
// 0..65535, with the exact mapping of image_file.h between them.
#pragma once

#include <cstdint>

#include "host/host_interface.h"

namespace velkorramp {

std::uint16_t host16_to_file16(std::uint16_t host_value);
std::uint16_t file16_to_host16(std::uint16_t file_value);

// A float channel into an integer one: value * maximum + 0.5, clamped, truncated.
template <class Int>
Int quantize(float value, double maximum)
{
    const double v = static_cast<double>(value) * maximum + 0.5;
    if (!(v >= 0.0)) return 0;
    if (v > maximum) return static_cast<Int>(maximum);
    return static_cast<Int>(v);
}

// A file's samples (8-bit, 16-bit 0..65535, float) into the host's channel at
// each depth.
struct FileToHost8 {
    std::uint8_t operator()(std::uint8_t v) const { return v; }
    std::uint8_t operator()(std::uint16_t f) const
    {
        return static_cast<std::uint8_t>((static_cast<std::uint32_t>(f) * 255u + 32767u) / 65535u);
    }
    std::uint8_t operator()(float x) const { return quantize<std::uint8_t>(x, PF_MAX_CHAN8); }
};

struct FileToHost16 {
    std::uint16_t operator()(std::uint8_t v) const
    {
        return static_cast<std::uint16_t>((static_cast<std::uint32_t>(v) * PF_MAX_CHAN16 + 127u) /
                                          255u);
    }
    std::uint16_t operator()(std::uint16_t f) const { return file16_to_host16(f); }
    std::uint16_t operator()(float x) const { return quantize<std::uint16_t>(x, PF_MAX_CHAN16); }
};

struct FileToHostFloat {
    float operator()(std::uint8_t v) const { return static_cast<float>(v / 255.0); }
    float operator()(std::uint16_t f) const { return static_cast<float>(f / 65535.0); }
    float operator()(float x) const { return x; }
};

// The host's channels (8-bit, 16-bit 0..32768, float) into a file's samples of
// each type. `maximum` is the sample's full scale, for premultiplying.
// The conversion from a file's samples into a host pixel's channels.
template <class Pixel>
struct FileToHostFor;
template <>
struct FileToHostFor<PF_Pixel> {
    using type = FileToHost8;
};
template <>
struct FileToHostFor<PF_Pixel16> {
    using type = FileToHost16;
};
template <>
struct FileToHostFor<PF_PixelFloat> {
    using type = FileToHostFloat;
};
template <class Pixel>
using FileToHost = typename FileToHostFor<Pixel>::type;

struct HostToFile8 {
    using Sample = std::uint8_t;
    static constexpr std::uint32_t maximum = 255;
    Sample operator()(std::uint8_t v) const { return v; }
    Sample operator()(std::uint16_t v) const
    {
        return static_cast<Sample>((static_cast<std::uint32_t>(v) * 255u + PF_MAX_CHAN16 / 2) /
                                   PF_MAX_CHAN16);
    }
    Sample operator()(float x) const { return quantize<Sample>(x, 255.0); }
};

struct HostToFile16 {
    using Sample = std::uint16_t;
    static constexpr std::uint32_t maximum = 65535;
    Sample operator()(std::uint8_t v) const { return static_cast<Sample>(v * 257u); }
    Sample operator()(std::uint16_t v) const { return host16_to_file16(v); }
    Sample operator()(float x) const { return quantize<Sample>(x, 65535.0); }
};

struct HostToFileFloat {
    using Sample = float;
    Sample operator()(std::uint8_t v) const { return static_cast<float>(v / 255.0); }
    Sample operator()(std::uint16_t v) const
    {
        return static_cast<float>(v / static_cast<double>(PF_MAX_CHAN16));
    }
    Sample operator()(float x) const { return x; }
};

}  // namespace velkorramp
