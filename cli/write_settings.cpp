#include "cli/write_settings.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "cli/failure.h"
#include "cli/format_conventions.h"
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

constexpr std::array<OptionSpec, 9> kOutputOptions{{
    {"--output", "-o", "FILE",
     "the frame to write, in the format its extension names (- for stdout)"},
    {"--output-depth", nullptr, "8|16|half|float|uint10|uint12",
     "the file's samples (default: the input file's, else the frame's, or the nearest held)"},
    {"--alpha", nullptr, "straight|premultiplied",
     "the file's alpha convention, for TIFF (default: the format's own)"},
    {"--compression", nullptr, "NAME[:LEVEL]",
     "the writer's compression: zip:9 (PNG), lzw (TIFF), piz, dwaa:45 (EXR)"},
    {"--output-colorspace", nullptr, "auto|NAME",
     "the file's colour space (default auto: linear for EXR and float, sRGB, DPX Rec709)"},
    {"--output-channels", nullptr, "R,G,B,A",
     "write only these of the frame's channels: A is a one-channel matte"},
    {"--output-layer", nullptr, "NAME",
     "write the frame's channels as NAME.R ... beside all of the input's (EXR, TIFF)"},
    {"--format", nullptr, "EXT", "the format for -o -, any extension (default png)"},
    {"--mkdir", nullptr, nullptr, "create the output's folder (and those above it) if missing"},
}};

constexpr const char* kChannelNames[] = {"R", "G", "B", "A"};

// "Z, N.x and N.y"
std::string listed(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

// The file's channels: the frame's chosen ones, then the input's carried ones
// where the format holds them; with a layer, all of the input's first.
std::vector<FileChannel> file_channels(const WriteRequest& request,
                                       const std::optional<InputTraits>& input,
                                       std::vector<std::string>& dropped)
{
    const OutputFormat& format = request.format;
    std::vector<int> chosen = request.channels.value_or(std::vector<int>{0, 1, 2, 3});
    if (!request.channels && !format.has_alpha()) chosen.pop_back();
    std::vector<FileChannel> channels;
    const std::vector<std::string> carried =
        input ? input->carried_channels : std::vector<std::string>{};
    const bool carries = holds_extra_channels(format) && !(request.channels && !request.layer);
    if (request.layer) {
        for (const std::string& name : carried) channels.push_back({name, -1, name});
    }
    for (const int c : chosen) {
        const std::string name = kChannelNames[c];
        channels.push_back({request.layer ? *request.layer + "." + name : name, c, ""});
    }
    if (!request.layer) {
        for (const std::string& name : carried) {
            if (carries) {
                channels.push_back({name, -1, name});
            } else {
                dropped.push_back(name);
            }
        }
    }
    return channels;
}

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
    if (const std::string* text = options.find("--output-colorspace")) {
        if (*text != "auto") request.colour_space = *text;
    }
    if (const std::string* text = options.find("--output-channels"))
        request.channels = parse_output_channels("--output-channels", *text);
    if (const std::string* text = options.find("--output-layer")) {
        if (text->empty() || text->find_first_of(". ") != std::string::npos) {
            usage_error("--output-layer: " + in_quotes(*text) +
                        " is not a layer name: use letters and digits, e.g. matte");
        }
        request.layer = *text;
    }
    request.make_folder = options.has("--mkdir");
    return request;
}

std::vector<int> parse_output_channels(std::string_view option, std::string_view text)
{
    std::vector<int> channels;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        std::string word(text.substr(start, end - start));
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto* at = std::find(std::begin(kChannelNames), std::end(kChannelNames), word);
        if (at == std::end(kChannelNames) ||
            std::find(channels.begin(), channels.end(), at - std::begin(kChannelNames)) !=
                channels.end()) {
            usage_error(std::string(option) + ": " + in_quotes(text) +
                        " is not a list of the frame's channels: name each of R, G, B and A "
                        "at most once, e.g. A or R,G,B");
        }
        channels.push_back(static_cast<int>(at - std::begin(kChannelNames)));
        start = end + 1;
    }
    return channels;
}

WriteSettings write_settings_for(const WriteRequest& request, const simhost::World& frame,
                                 const FrameWindows& windows, const std::string& working_space,
                                 const ColourSpaces& spaces, Provenance provenance,
                                 const std::optional<InputTraits>& input, std::ostream& notes)
{
    WriteSettings settings;
    const OutputFormat& format = request.format;
    settings.format = format;
    settings.windows = windows;
    settings.spaces = &spaces;
    settings.compression = request.compression;
    const std::string note = "velkorramp: note: ";

    const FrameDepth frame_bits = FrameDepth::of(frame);
    const std::optional<FileDepth> kept = input && format.holds(input->sample_depth)
                                              ? std::optional(input->sample_depth)
                                              : std::nullopt;
    settings.depth = choose_depth(format, frame_bits, request.depth ? request.depth : kept);
    const FileDepth natural = input ? input->sample_depth : frame_depth(frame_bits);
    if (!request.depth && settings.depth != natural) {
        notes << note << format.name << " holds " << format.depths_text() << " samples, not "
              << depth_text(natural) << "; writing the " << (input ? "input's " : "")
              << frame_bits.bits() << "-bit frame as " << depth_text(settings.depth)
              << " (--output-depth chooses)\n";
    }
    if (input && input->loses_16bit_codes && frame_bits.bits() == 16 &&
        settings.depth == FileDepth::u16) {
        notes << note
              << "the host's 16-bit channels hold 0..32768, half the codes of the 16-bit input, so "
                 "some samples come back one code off; --depth 32 passes them losslessly\n";
    }

    std::vector<std::string> dropped;
    std::optional<InputTraits> carrying = input;
    if (input && !input->one_for_one && !input->carried_channels.empty()) {
        // A proxy's pixels are not the input's, one for one.
        notes << note << "a proxy frame (--downsample) does not carry the input's channels "
              << listed(input->carried_channels) << "\n";
        carrying->carried_channels.clear();
    }
    settings.channels = file_channels(request, carrying, dropped);
    const int count = static_cast<int>(settings.channels.size());
    if (request.layer && !holds_extra_channels(format)) {
        usage_error("--output-layer: " + format.name +
                    " holds no named layers; write an OpenEXR or TIFF file");
    }
    if (!holds_channel_count(format, count)) {
        usage_error("--output-channels: " + format.name + " cannot hold " + std::to_string(count) +
                    (count == 1 ? " channel" : " channels") +
                    "; choose others or a format such as "
                    "OpenEXR");
    }
    const bool writes_alpha =
        std::any_of(settings.channels.begin(), settings.channels.end(),
                    [](const FileChannel& c) { return c.frame_channel == 3; });
    if (request.channels && writes_alpha && !format.has_alpha() && count > 1) {
        usage_error("--output-channels: " + format.name + " has no alpha channel");
    }

    const std::optional<std::string_view> alpha =
        request.alpha ? std::optional<std::string_view>(*request.alpha) : std::nullopt;
    settings.premultiplied = choose_premultiplied(format, alpha);
    if (!format.has_alpha() && !request.alpha && !request.channels && !opaque(frame)) {
        notes
            << note << format.name
            << " has no alpha channel; writing the frame as it looks over black (--alpha straight writes its "
               "colour as rendered)\n";
    }

    // The format's own colour space unless one is named; one the config lacks
    // leaves the frame in the working space.
    if (request.colour_space) {
        settings.colour_space = spaces.resolve("--output-colorspace", *request.colour_space);
    } else {
        const std::string wanted = default_output_space(format, settings.depth);
        settings.colour_space = spaces.known(wanted);
        if (settings.colour_space.empty()) {
            settings.colour_space = working_space;
            notes << note << spaces.config_name() << " has no " << in_quotes(wanted)
                  << " space for " << format.name << "; writing the frame in its working space "
                  << in_quotes(working_space) << " (--output-colorspace chooses)\n";
        }
    }
    settings.conversion = spaces.conversion(working_space, settings.colour_space, "the frame");
    OIIO::ImageSpec probe(1, 1, 1,
                          OIIO::TypeDesc(settings.depth == FileDepth::u8 ? OIIO::TypeDesc::UINT8
                                         : settings.depth == FileDepth::u16
                                             ? OIIO::TypeDesc::UINT16
                                             : OIIO::TypeDesc::FLOAT));
    if (!tag_colour_space(probe, format.oiio_format, settings.colour_space, spaces)) {
        notes << note << format.name << " cannot state the colour space "
              << in_quotes(settings.colour_space);
        notes << colour_space_reading(format.oiio_format);
        notes << " (--output-colorspace auto writes "
              << default_output_space(format, settings.depth) << ")\n";
    }

    if (input) {
        std::vector<std::string> unkept;
        for (const OIIO::ParamValue& attribute : input->metadata) {
            if (!keeps_attribute(format, attribute)) unkept.push_back(attribute.name().string());
        }
        if (!dropped.empty() || !unkept.empty()) {
            notes << note << format.name << " cannot keep the input's "
                  << (dropped.empty()
                          ? ""
                          : (dropped.size() == 1 ? "channel " : "channels ") + listed(dropped))
                  << (!dropped.empty() && !unkept.empty() ? " or its " : "")
                  << (unkept.empty() ? "" : "metadata " + listed(unkept))
                  << (format.oiio_format == "openexr" ? "" : " (OpenEXR keeps all)") << "\n";
        }
    }
    if (!settings.keeps_origin()) {
        const bool whole = windows.origin_x == 0 && windows.origin_y == 0 &&
                           frame.width() == windows.display_width &&
                           frame.height() == windows.display_height;
        if (!whole) {
            notes << note << format.name << " cannot record where the frame lies on the layer"
                  << (format.stores_origin ? " at a negative position" : "")
                  << "; writing the whole " << windows.display_width << "x"
                  << windows.display_height << " layer, "
                  << (format.has_alpha() ? "transparent" : "black")
                  << " where the frame has no pixels";
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
