// Which kernel a host pixel format takes.
#pragma once

#include "host/pixel_formats.h"
#include "ramp/world_view.h"

namespace velkor {

inline DepthClass depth_class_of(PF_PixelFormat format)
{
    const PixelFormatInfo* info = pixel_format_info(format);
    switch (info != nullptr ? info->bits : 0) {
    case 8:
        return DepthClass::eight;
    case 16:
        return DepthClass::sixteen;
    case 32:
        return DepthClass::floating;
    default:
        return DepthClass::none;
    }
}

}  // namespace velkor
