#include "cli/format_conventions.h"

#include <algorithm>
#include <array>

namespace velkorramp {

namespace {

bool starts_with(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// What a reader says about the file it read, and what this tool writes anew.
bool describes_the_input_file(std::string_view name)
{
    static constexpr std::array<std::string_view, 11> kExact{
        "compression",      "Software",          "ImageDescription",  "colorSpace",
        "Exif:ColorSpace",  "planarconfig",      "Orientation",       "DateTime",
        "PixelAspectRatio", "screenWindowWidth", "screenWindowCenter"};
    static constexpr std::array<std::string_view, 8> kPrefixes{
        "oiio:", "velkorramp:", "openexr:", "tiff:", "png:", "jpeg:", "webp:", "ICCProfile"};
    if (std::find(kExact.begin(), kExact.end(), name) != kExact.end()) return true;
    return std::any_of(kPrefixes.begin(), kPrefixes.end(),
                       [&](std::string_view prefix) { return starts_with(name, prefix); });
}

}  // namespace

std::string default_output_space(const OutputFormat& format, FileDepth depth)
{
    if (depth == FileDepth::half || depth == FileDepth::f32) return "linear";
    return format.integer_space;
}

bool writer_unpremultiplies_regardless(const OutputFormat& format)
{
    return format.writer_divides_alpha;
}

bool holds_extra_channels(const OutputFormat& format) { return format.extra_channels; }

bool holds_channel_count(const OutputFormat& format, int channels)
{
    if (format.extra_channels) return channels >= 1;
    if (!format.named_channels) return channels == 3 || (channels == 4 && format.has_alpha());
    if (!format.has_alpha()) return channels == 1 || channels == 3;
    return channels >= 1 && channels <= 4;
}

bool keeps_attribute(const OutputFormat& format, const OIIO::ParamValue& attribute)
{
    const std::string_view name = attribute.name().string();
    switch (format.metadata) {
    case MetadataKept::all:
        return true;
    case MetadataKept::text:
        return attribute.type() == OIIO::TypeString;
    case MetadataKept::exif:
        return starts_with(name, "Exif:") || starts_with(name, "IPTC:") ||
               starts_with(name, "GPS:") || name == "Artist" || name == "Copyright" ||
               name == "DocumentName";
    case MetadataKept::dpx:
        return starts_with(name, "dpx:") || name == "smpte:TimeCode";
    case MetadataKept::none:
        return false;
    }
    return false;
}

std::vector<OIIO::ParamValue> carried_metadata(const OIIO::ImageSpec& input)
{
    std::vector<OIIO::ParamValue> carried;
    for (const OIIO::ParamValue& attribute : input.extra_attribs) {
        if (!describes_the_input_file(attribute.name().string())) carried.push_back(attribute);
    }
    return carried;
}

}  // namespace velkorramp
