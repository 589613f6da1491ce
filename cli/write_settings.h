// How a rendered frame is to be written, from what the command line asked and
// what the output's container can hold. Each choice the tool makes that the
// user did not ask for (a depth the container lacks, alpha it cannot keep, a
// colour space it cannot state, a position it cannot record) is one note on
// stderr, never a refusal.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/frame_writer.h"

namespace velkorramp {

// The output options as given, checked against the format before any work.
struct WriteRequest {
    std::filesystem::path output;
    OutputFormat format;
    std::optional<FileDepth> depth;           // --output-depth
    std::optional<std::string> alpha;         // --alpha
    std::optional<Compression> compression;   // --compression
    std::optional<std::string> colour_space;  // --output-colorspace, as given
};

// Reads --output, --format, --output-depth, --alpha and --compression as the
// format allows them (usage failures otherwise); `find` returns an option's
// text or null.
template <class Find>
WriteRequest parse_write_request(const std::filesystem::path& output, Find find);

// The settings for writing `frame` (rendered in `working_space`, lying at
// `windows`); notes go to `notes`.
WriteSettings write_settings_for(const WriteRequest& request, const simhost::World& frame,
                                 const FrameWindows& windows, const std::string& working_space,
                                 const ColourSpaces& spaces, Provenance provenance,
                                 std::ostream& notes);

template <class Find>
WriteRequest parse_write_request(const std::filesystem::path& output, Find find)
{
    WriteRequest request;
    request.output = output;
    const std::string* format_word = find("--format");
    request.format =
        output_format_for(output, format_word != nullptr ? *format_word : std::string());
    if (const std::string* text = find("--output-depth")) {
        request.depth =
            choose_depth(request.format, 8, parse_output_depth("--output-depth", *text));
    }
    if (const std::string* text = find("--alpha")) {
        choose_premultiplied(request.format, *text);
        request.alpha = *text;
    }
    if (const std::string* text = find("--compression")) {
        request.compression = parse_compression("--compression", *text, request.format);
    }
    if (const std::string* text = find("--output-colorspace")) request.colour_space = *text;
    return request;
}

}  // namespace velkorramp
