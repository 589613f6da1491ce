// How a rendered frame is to be written, from what the command line asked and
// what the output's container can hold. Each choice the tool makes that the
// user did not ask for (a depth the container lacks, alpha it cannot keep, a
// colour space it cannot state, a position it cannot record) is one note on
// stderr, never a refusal.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "cli/colour_space.h"
#include "cli/file_metadata.h"
#include "cli/options.h"
#include "cli/output_format.h"
#include "simhost/world.h"

namespace velkorramp {

// Where a frame lies, at the frame's (proxy) scale.
struct FrameWindows {
    int display_x = 0;  // the display window's own origin, as the input file had it
    int display_y = 0;
    int display_width = 0;  // the layer
    int display_height = 0;
    int origin_x = 0;  // the frame's top-left pixel on the layer (its world origin)
    int origin_y = 0;
};

// How a frame becomes a file (built below from the command line).
struct WriteSettings {
    OutputFormat format;
    FileDepth depth = FileDepth::u8;
    bool premultiplied = false;  // the file's colour (or, without alpha, its picture over black)
    std::string colour_space;    // what the file's colour is in, as recorded in it
    ColourSpaces::Conversion conversion;  // from the working space; empty when none
    const ColourSpaces* spaces = nullptr;
    std::optional<Compression> compression;
    FrameWindows windows;
    Provenance provenance;
    // Whether the frame is written at its own position (else as the whole layer).
    bool keeps_origin() const;
};

// The options that say how frames are written (--output, --format,
// --output-depth, --alpha, --compression, --output-colorspace): a new one is a
// row here, a field of WriteRequest and WriteSettings, and its use in
// frame_writer.cpp.
std::span<const OptionSpec> output_options();

// The output options as given, checked against the format before any work.
struct WriteRequest {
    std::filesystem::path output;
    OutputFormat format;
    std::optional<FileDepth> depth;           // --output-depth
    std::optional<std::string> alpha;         // --alpha
    std::optional<Compression> compression;   // --compression
    std::optional<std::string> colour_space;  // --output-colorspace, as given
    bool make_folder = false;                 // --mkdir
};

// Reads the output options as the format allows them (usage failures
// otherwise).
WriteRequest parse_write_request(const ParsedOptions& options);

// The settings for writing `frame` (rendered in `working_space`, lying at
// `windows`); notes go to `notes`.
WriteSettings write_settings_for(const WriteRequest& request, const simhost::World& frame,
                                 const FrameWindows& windows, const std::string& working_space,
                                 const ColourSpaces& spaces, Provenance provenance,
                                 std::ostream& notes);

}  // namespace velkorramp
