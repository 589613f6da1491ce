// A rendered frame into a file of any format this tool writes.
//
// The frame is written in the container's alpha convention (output_format.h),
// at the depth chosen for it, in the working colour space or converted to
// another, with the record of what made it (file_metadata.h).
//
// Position: a container that records where pixels lie (OpenEXR and DPX data
// and display windows, TIFF and PNG offsets, as far as each allows negative
// ones) gets the frame as it lies on the layer. Any other gets the whole layer:
// the frame placed on it, transparent black where the frame has no pixels, and
// whatever lies outside the layer cut off.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/write_settings.h"
#include "simhost/world.h"

namespace velkorramp {

// True when `path` already holds a whole frame as write_frame would write a
// frame of this size under `settings`: the format's own reader opens it, finds
// the size and channels it would have, and decodes every row. (Its pixels are
// not compared: a whole file is the frame it is named for.) A leftover of a
// killed run's temporary file for `path` is removed first.
bool holds_whole_frame(const std::filesystem::path& path, const WriteSettings& settings,
                       int frame_width, int frame_height);

// Writes an 8, 16-bit or float ARGB world to `path` ("-": standard output)
// through an OutputFile (output_file.h): complete, or not at all and an output
// failure with the reason. Samples are converted from the host's depth to the
// file's with the host's rules (8 to 16-bit v * 257, 16 to 8-bit
// round(v * 255 / 32768), float to integer v * maximum + 0.5 clamped and
// truncated, integer to float v / maximum; 16 to 16-bit the exact mapping of
// image_file.h),
// then converted in colour (in float) and finally premultiplied in the file's
// own units: round(c * a / maximum) for integers, c * a for floats.
// `before_commit`, if given, runs once a named file is whole on disk and before
// it takes its name; whatever it throws abandons the file.
void write_frame(const simhost::World& frame, const std::filesystem::path& path,
                 const WriteSettings& settings, const std::function<void()>& before_commit = {});

}  // namespace velkorramp
