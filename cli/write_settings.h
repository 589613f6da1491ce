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
#include <vector>

#include "cli/colour_space.h"
#include "cli/file_metadata.h"
#include "cli/image_file.h"
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

// One channel of a file: one of the frame's, or one the input carried.
struct FileChannel {
    std::string name;        // as written: "R", "A", "matte.A", "Z"
    int frame_channel = -1;  // 0 red, 1 green, 2 blue, 3 alpha; -1: carried
    std::string carried;     // the input's channel name, for a carried one
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
    // The file's channels in order (red, green, blue and, where the format has
    // it, alpha unless chosen otherwise); the carried ones come from `carried`,
    // this frame's input, when it has the frame's size (else they are 0).
    std::vector<FileChannel> channels;
    std::shared_ptr<const CarriedData> carried;
    bool carry_metadata = true;
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
    std::optional<FileDepth> depth;            // --output-depth
    std::optional<std::string> alpha;          // --alpha
    std::optional<Compression> compression;    // --compression
    std::optional<std::string> colour_space;   // --output-colorspace, as given; none: auto
    std::optional<std::vector<int>> channels;  // --output-channels: 0 red .. 3 alpha
    std::optional<std::string> layer;          // --output-layer
    bool make_folder = false;                  // --mkdir
};

// Reads the output options as the format allows them (usage failures
// otherwise).
WriteRequest parse_write_request(const ParsedOptions& options);

// What an input file brings to the writing; absent for a solid layer.
struct InputTraits {
    FileDepth sample_depth = FileDepth::u8;
    std::vector<std::string> carried_channels;  // the first frame's (image_file.h)
    std::vector<OIIO::ParamValue> metadata;
    bool loses_16bit_codes = false;  // through the host's 16-bit scale
    bool one_for_one = true;         // the frame's pixels are the input's (no downsample)
};

// "R,G,B", "A": the frame's channels to write, as oiiotool names them; a usage
// failure naming them otherwise.
std::vector<int> parse_output_channels(std::string_view option, std::string_view text);

// The settings for writing `frame` (rendered in `working_space`, lying at
// `windows`, from `input` if there is one); notes go to `notes`.
//   - Depth: --output-depth, else the input's sample type, else the frame's,
//     else the nearest the format holds.
//   - Colour space: --output-colorspace, else the format's own
//     (format_conventions.h), converted from the working space.
//   - Channels: the frame's red, green, blue and alpha (or --output-channels),
//     with the input's other channels where the format holds them; with
//     --output-layer NAME the frame's channels are NAME.R ... beside all of the
//     input's.
WriteSettings write_settings_for(const WriteRequest& request, const simhost::World& frame,
                                 const FrameWindows& windows, const std::string& working_space,
                                 const ColourSpaces& spaces, Provenance provenance,
                                 const std::optional<InputTraits>& input, std::ostream& notes);

}  // namespace velkorramp
