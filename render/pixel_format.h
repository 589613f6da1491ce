// Which kernel a host pixel format takes.
#pragma once

#include "host/host_interface.h"
#include "ramp/world_view.h"

namespace velkor {

// 128-bit float pixels stored blue, green, red, alpha; the host names no constant for it.
inline constexpr PF_PixelFormat kPixelFormatBGRA128 = 0x61724742;

inline DepthClass depth_class_of(PF_PixelFormat format)
{
    switch (format) {
    case PF_PixelFormat_ARGB32:
    case PF_PixelFormat_BGRA32:
        return DepthClass::eight;
    case PF_PixelFormat_ARGB64:
        return DepthClass::sixteen;
    case PF_PixelFormat_ARGB128:
    case kPixelFormatBGRA128:
        return DepthClass::floating;
    default:
        return DepthClass::none;
    }
}

}  // namespace velkor
