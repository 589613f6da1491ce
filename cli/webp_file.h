// WebP files with transparency, encoded by libwebp from straight samples.
//
// OpenImageIO 2.4's WebP writer divides the colour it is handed by alpha in 8
// bits through a 2.2 power, whatever it is told about the colour, so a straight
// frame would come out too bright wherever it is semi-transparent
// (format_conventions.h). The file holds straight sRGB colour, as WebP defines,
// so these samples go to libwebp as they are; OpenImageIO still reads the
// file back to check it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velkorramp {

struct WebpEncoding {
    std::vector<std::uint8_t> bytes;  // the whole file
    std::string error;                // why libwebp refused, or ""
};

// Encodes `width` x `height` straight 8-bit RGBA samples. `quality` 1..100 is
// lossy colour (alpha is kept losslessly, and colour under alpha 0 kept as it
// is); `lossless` keeps every sample.
WebpEncoding encode_webp_rgba(const std::vector<std::uint8_t>& rgba, int width, int height,
                              float quality, bool lossless);

}  // namespace velkorramp
