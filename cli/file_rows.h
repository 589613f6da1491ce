// A frame's samples as a file's rows: the region of the layer a file holds,
// its header, and its pixels converted a band at a time (straight or
// premultiplied, carried channels beside the frame's), for OpenImageIO's
// writers and for the WebP encoder.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <vector>

#include "cli/write_settings.h"
#include "simhost/world.h"

namespace velkorramp {

// The part of the layer the file holds, in the frame's (proxy) layer coordinates.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The frame's region of the layer, as the settings place it.
Region written_region(int frame_width, int frame_height, const WriteSettings& settings);
// The file's header for that region.
OIIO::ImageSpec file_spec(const Region& region, const WriteSettings& settings);
// Writes every row of the region through an opened writer.
bool write_all(OIIO::ImageOutput& out, const simhost::World& frame, const WriteSettings& settings,
               const Region& region, const OIIO::ImageSpec& spec);
// The samples of an 8-bit file with alpha, straight, whole, for a writer that
// is not OpenImageIO's.
std::vector<std::uint8_t> straight_u8_image(const simhost::World& frame,
                                            const WriteSettings& settings, const Region& region);

}  // namespace velkorramp
