#include "cli/write_settings.h"

#include <array>

#include "cli/failure.h"
#include "cli/message_text.h"

namespace velkorramp {

namespace {

bool opaque(const simhost::World& frame)
{
    return with_pixel_type(FrameDepth::of(frame), [&]<class Pixel>(Pixel) {
        constexpr auto full = opaque_alpha<Pixel>();
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                if (frame.at<Pixel>(x, y).alpha != full) return false;
            }
        }
        return true;
    });
}

constexpr std::array<OptionSpec, 7> kOutputOptions{{
    {"--output", "-o", "FILE",
     "the frame to write, in the format its extension names (- for stdout)"},
    {"--output-depth", nullptr, "8|16|half|float|uint10|uint12",
     "the file's samples (default: the frame's, or the nearest held)"},
    {"--alpha", nullptr, "straight|premultiplied",
     "the file's alpha convention, for TIFF (default: the format's own)"},
    {"--compression", nullptr, "NAME[:LEVEL]",
     "the writer's compression: zip:9 (PNG), lzw (TIFF), piz, dwaa:45 (EXR)"},
    {"--output-colorspace", nullptr, "NAME",
     "convert the frame to this colour space on writing (default: none)"},
    {"--format", nullptr, "EXT", "the format for -o - (png or tif; default png)"},
    {"--mkdir", nullptr, nullptr, "create the output's folder (and those above it) if missing"},
}};

}  // namespace

std::span<const OptionSpec> output_options() { return kOutputOptions; }

WriteRequest parse_write_request(const ParsedOptions& options)
{
    const std::string* output = options.find("--output");
    if (output == nullptr)
        usage_error("render needs an output file: -o FILE; see velkorramp render --help");
    WriteRequest request;
    request.output = *output;
    const std::string* format_word = options.find("--format");
    request.format =
        output_format_for(request.output, format_word != nullptr ? *format_word : std::string());
    if (options.has("--format") && *output != "-")
        usage_error("--format is for -o - (standard output); a file's extension names its format");
    if (const std::string* text = options.find("--output-depth")) {
        request.depth =
            choose_depth(request.format, 8, parse_output_depth("--output-depth", *text));
    }
    if (const std::string* text = options.find("--alpha")) {
        choose_premultiplied(request.format, *text);
        request.alpha = *text;
    }
    if (const std::string* text = options.find("--compression"))
        request.compression = parse_compression("--compression", *text, request.format);
    if (const std::string* text = options.find("--output-colorspace")) request.colour_space = *text;
    request.make_folder = options.has("--mkdir");
    return request;
}

WriteSettings write_settings_for(const WriteRequest& request, const simhost::World& frame,
                                 const FrameWindows& windows, const std::string& working_space,
                                 const ColourSpaces& spaces, Provenance provenance,
                                 std::ostream& notes)
{
    WriteSettings settings;
    const OutputFormat& format = request.format;
    settings.format = format;
    settings.windows = windows;
    settings.spaces = &spaces;
    settings.compression = request.compression;
    const std::string note = "velkorramp: note: ";

    const FrameDepth frame_bits = FrameDepth::of(frame);
    settings.depth = choose_depth(format, frame_bits, request.depth);
    if (!request.depth && settings.depth != frame_depth(frame_bits)) {
        notes << note << format.name << " holds " << format.depths_text() << " samples, not "
              << depth_text(frame_depth(frame_bits)) << "; writing the " << frame_bits.bits()
              << "-bit frame as " << depth_text(settings.depth) << " (--output-depth chooses)\n";
    }

    const std::optional<std::string_view> alpha =
        request.alpha ? std::optional<std::string_view>(*request.alpha) : std::nullopt;
    settings.premultiplied = choose_premultiplied(format, alpha);
    if (!format.has_alpha() && !request.alpha && !opaque(frame)) {
        notes
            << note << format.name
            << " has no alpha channel; writing the frame as it looks over black (--alpha straight writes its "
               "colour as rendered)\n";
    }

    settings.colour_space = working_space;
    if (request.colour_space) {
        settings.colour_space = spaces.resolve("--output-colorspace", *request.colour_space);
        settings.conversion = spaces.conversion(working_space, settings.colour_space, "the frame");
    }
    OIIO::ImageSpec probe;
    if (!tag_colour_space(probe, format.oiio_format, settings.colour_space, spaces)) {
        const bool exr = format.oiio_format == "openexr";
        notes
            << note << format.name << " cannot state the colour space "
            << in_quotes(settings.colour_space)
            << (exr ? " where readers look (only in its colorSpace attribute); they will take it as linear"
                    : "; readers will take it as " +
                          std::string(format.oiio_format == "hdr" ? "linear" : "sRGB"))
            << " (--output-colorspace converts)\n";
    }

    if (!settings.keeps_origin()) {
        const bool whole = windows.origin_x == 0 && windows.origin_y == 0 &&
                           frame.width() == windows.display_width &&
                           frame.height() == windows.display_height;
        if (!whole) {
            notes << note << format.name << " cannot record where the frame lies on the layer"
                  << (format.stores_origin ? " at a negative position" : "")
                  << "; writing the whole " << windows.display_width << "x"
                  << windows.display_height << " layer, transparent where the frame has no pixels";
            const bool cut = windows.origin_x < 0 || windows.origin_y < 0 ||
                             windows.origin_x + frame.width() > windows.display_width ||
                             windows.origin_y + frame.height() > windows.display_height;
            notes << (cut ? ", and the frame's pixels outside the layer cut off\n" : "\n");
        }
    }
    provenance.working_space = working_space;
    settings.provenance = std::move(provenance);
    return settings;
}

}  // namespace velkorramp
