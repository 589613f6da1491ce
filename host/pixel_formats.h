// The host's pixel formats this effect and its hosts know: each format's depth,
// pixel size, channel order and name, written once. The module picks its
// kernel from it; the simulated host, the command-line renderer and the host
// check make and name their worlds from it.
#pragma once

#include "host/host_interface.h"

namespace velkor {

// 128-bit float pixels stored blue, green, red, alpha ("BGra", 'B' in the lowest
// byte); the host's headers name no constant for it.
inline constexpr PF_PixelFormat kPixelFormatBGRA128 = 0x61724742;

struct PixelFormatInfo {
    PF_PixelFormat format;
    int bits;         // 8, 16 or 32 (float)
    int pixel_bytes;  // 4, 8 or 16
    bool bgra;        // memory order blue, green, red, alpha; else alpha, red, green, blue
    const char* name;
};

inline constexpr PixelFormatInfo kPixelFormats[] = {
    {PF_PixelFormat_ARGB32, 8, 4, false, "ARGB32"},
    {PF_PixelFormat_BGRA32, 8, 4, true, "BGRA32"},
    {PF_PixelFormat_ARGB64, 16, 8, false, "ARGB64"},
    {PF_PixelFormat_ARGB128, 32, 16, false, "ARGB128"},
    {kPixelFormatBGRA128, 32, 16, true, "BGRA128"},
};

// Four channels of bits/8 bytes each.
constexpr bool pixel_sizes_match_depths()
{
    for (const PixelFormatInfo& info : kPixelFormats) {
        if (info.pixel_bytes * 2 != info.bits) return false;
    }
    return true;
}
static_assert(pixel_sizes_match_depths());

// The entry for `format`, or null for a format not in the table.
constexpr const PixelFormatInfo* pixel_format_info(PF_PixelFormat format)
{
    for (const PixelFormatInfo& info : kPixelFormats) {
        if (info.format == format) {
            return &info;
        }
    }
    return nullptr;
}

// The alpha-first format of a depth (8, 16 or 32), or PF_PixelFormat_INVALID.
constexpr PF_PixelFormat argb_format_for_depth(int bits)
{
    for (const PixelFormatInfo& info : kPixelFormats) {
        if (info.bits == bits && !info.bgra) {
            return info.format;
        }
    }
    return PF_PixelFormat_INVALID;
}

}  // namespace velkor
