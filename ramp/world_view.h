// How the kernels see a host world: a borrowed PF_EffectWorld and the depth
// class decided once per render from the input's pixel format.
#pragma once

#include "host/host_interface.h"

namespace velkor {

// The pixel type behind a world's data.
enum class DepthClass : int {
    none = -1,
    eight = 0,     // PF_Pixel, channels 0..255
    sixteen = 1,   // PF_Pixel16, channels 0..32768
    floating = 2,  // PF_PixelFloat, channels not limited
    // Red, green, blue, alpha in memory, as OpenFX images hold them; numbered
    // apart from the host's classes, whose next numbers stay unknown.
    rgba8 = 16,       // RgbaPixel8, channels 0..255
    rgba16 = 17,      // RgbaPixel16, channels 0..65535
    rgba_float = 18,  // RgbaPixelFloat, channels not limited
};

// Non-owning: destroying a view never touches the world, which the host owns.
struct WorldView {
    DepthClass depth = DepthClass::none;
    PF_EffectWorld* world = nullptr;
};

}  // namespace velkor
