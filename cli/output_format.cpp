#include "cli/output_format.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/values.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

using enum FileDepth;
using enum AlphaConvention;

// OpenImageIO's writers that hold a colour image. PNG records a non-negative
// offset (its oFFs chunk) although its writer does not claim "origin"; the test
// of this table checks the rest against the writers' own claims.
const std::vector<OutputFormat> kFormats{
    {.name = "PNG",
     .oiio_format = "png",
     .extensions = {".png"},
     .depths = {u8, u16},
     .stores_origin = true,
     .streams = true,
     .compressions = {{"zip", 0, 9}},
     .metadata = MetadataKept::text},
    {.name = "TIFF",
     .oiio_format = "tiff",
     .extensions = {".tif", ".tiff"},
     .depths = {u8, u16, half, f32},
     .alpha = either,
     .stores_origin = true,
     .streams = true,
     .compressions = {{"none"}, {"lzw"}, {"zip", 1, 9}, {"packbits"}},
     .extra_channels = true,
     .metadata = MetadataKept::exif},
    {.name = "OpenEXR",
     .oiio_format = "openexr",
     .extensions = {".exr"},
     .depths = {half, f32},
     .alpha = premultiplied,
     .stores_origin = true,
     .stores_negative_origin = true,
     .stores_display_window = true,
     .compressions = {{"none"},
                      {"rle"},
                      {"zip", 1, 9},
                      {"zips", 1, 9},
                      {"piz"},
                      {"pxr24"},
                      {"b44"},
                      {"b44a"},
                      {"dwaa", 1, 10000, false},
                      {"dwab", 1, 10000, false}},
     .extra_channels = true,
     .metadata = MetadataKept::all},
    {.name = "JPEG",
     .oiio_format = "jpeg",
     .extensions = {".jpg", ".jpeg", ".jpe", ".jif", ".jfif", ".jfi"},
     .depths = {u8},
     .alpha = none,
     .compressions = {{"jpeg", 1, 100}},
     .metadata = MetadataKept::exif},
    {.name = "DPX",
     .oiio_format = "dpx",
     .extensions = {".dpx"},
     .depths = {u8, u10, u12, u16, f32},
     .stores_origin = true,
     .stores_display_window = true,
     .compressions = {{"none"}},
     .integer_space = "Rec709",
     .named_channels = false,
     .metadata = MetadataKept::dpx},
    {.name = "WebP",
     .oiio_format = "webp",
     .extensions = {".webp"},
     .depths = {u8},
     .streams = true,
     .compressions = {{"webp", 1, 100}, {"lossless"}},
     .writer_divides_alpha = true,
     .named_channels = false},
    {.name = "Targa",
     .oiio_format = "targa",
     .extensions = {".tga", ".tpic"},
     .depths = {u8},
     .compressions = {{"none"}, {"rle"}},
     .named_channels = false},
    {.name = "BMP",
     .oiio_format = "bmp",
     .extensions = {".bmp", ".dib"},
     .depths = {u8},
     .named_channels = false},
    {.name = "SGI",
     .oiio_format = "sgi",
     .extensions = {".sgi", ".rgb", ".rgba", ".bw", ".int", ".inta"},
     .depths = {u8, u16},
     .compressions = {{"none"}, {"rle"}}},
    {.name = "IFF",
     .oiio_format = "iff",
     .extensions = {".iff"},
     .depths = {u8, u16},
     .alpha = premultiplied,
     .stores_origin = true,
     .compressions = {{"none"}, {"rle"}}},
    {.name = "RLA",
     .oiio_format = "rla",
     .extensions = {".rla"},
     .depths = {u8, u16, f32},
     .alpha = premultiplied,
     .stores_origin = true,
     .stores_negative_origin = true,
     .stores_display_window = true},
    {.name = "ICO",
     .oiio_format = "ico",
     .extensions = {".ico"},
     .depths = {u8},
     .named_channels = false},
    {.name = "GIF",
     .oiio_format = "gif",
     .extensions = {".gif"},
     .depths = {u8},
     .named_channels = false},
    {.name = "PNM",
     .oiio_format = "pnm",
     .extensions = {".ppm", ".pnm"},
     .depths = {u8},
     .alpha = none},
    {.name = "HDR",
     .oiio_format = "hdr",
     .extensions = {".hdr", ".rgbe"},
     .depths = {f32},
     .alpha = none,
     .named_channels = false},
};

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

const OutputFormat* find_by_extension(const std::string& ext)
{
    for (const OutputFormat& format : kFormats) {
        for (const std::string& e : format.extensions) {
            if (ext == e) return &format;
        }
    }
    return nullptr;
}

// OpenImageIO's own name for the format behind an extension it knows, or "".
std::string library_format_for(const std::string& ext)
{
    if (ext.size() < 2) return {};
    const std::string list = OIIO::get_string_attribute("extension_list");
    // "tiff:tif,tiff;jpeg:jpg,jpeg;..."
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        const std::string entry = list.substr(start, end - start);
        const std::size_t colon = entry.find(':');
        if (colon != std::string::npos) {
            std::size_t at = colon + 1;
            while (at <= entry.size()) {
                std::size_t comma = entry.find(',', at);
                if (comma == std::string::npos) comma = entry.size();
                if (entry.compare(at, comma - at, ext.substr(1)) == 0)
                    return entry.substr(0, colon);
                at = comma + 1;
            }
        }
        start = end + 1;
    }
    return {};
}

std::string level_range_text(const CompressionKind& kind)
{
    const auto number = [](double v) {
        std::array<char, 32> text{};
        const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), v);
        return std::string(text.data(), end);
    };
    return number(kind.min_level) + " to " + number(kind.max_level);
}

std::string compressions_text(const OutputFormat& format)
{
    std::string text;
    for (std::size_t i = 0; i < format.compressions.size(); ++i) {
        const CompressionKind& kind = format.compressions[i];
        if (i > 0) text += i + 1 == format.compressions.size() ? " or " : ", ";
        text += kind.name;
        if (kind.max_level > 0) text += "[:" + level_range_text(kind) + "]";
    }
    return text;
}

}  // namespace

std::string depth_text(FileDepth depth)
{
    switch (depth) {
    case u8:
        return "8-bit";
    case u10:
        return "10-bit";
    case u12:
        return "12-bit";
    case u16:
        return "16-bit";
    case half:
        return "half-float";
    case f32:
        return "float";
    }
    return "?";
}

FileDepth parse_output_depth(std::string_view option, std::string_view text)
{
    const std::string word = lower(text);
    // oiiotool's -d names beside the short ones.
    if (word == "8" || word == "uint8") return u8;
    if (word == "uint10") return u10;
    if (word == "uint12") return u12;
    if (word == "16" || word == "uint16") return u16;
    if (word == "half") return half;
    if (word == "float" || word == "32") return f32;
    usage_error(
        std::string(option) + ": " + in_quotes(text) +
        " is not a file depth: use 8, 16, half or float (or oiiotool's uint8, uint10, uint12, "
        "uint16)");
}

bool OutputFormat::holds(FileDepth depth) const
{
    return std::find(depths.begin(), depths.end(), depth) != depths.end();
}

std::string OutputFormat::depths_text() const
{
    std::string text;
    for (std::size_t i = 0; i < depths.size(); ++i) {
        if (i > 0) text += i + 1 == depths.size() ? " and " : ", ";
        text += depth_text(depths[i]);
    }
    return text;
}

std::string written_extensions_text()
{
    std::string text;
    for (const OutputFormat& format : kFormats) {
        if (!text.empty()) text += ", ";
        text += format.extensions[0];
        if (format.extensions[0] == ".tif") text += "/.tiff";
        if (format.extensions[0] == ".jpg") text += "/.jpeg";
    }
    return text;
}

OutputFormat output_format_for(const fs::path& path, std::string_view format_word)
{
    const bool to_stdout = path == "-";
    std::string ext;
    if (to_stdout) {
        ext = format_word.empty() ? std::string(".png") : "." + lower(format_word);
        if (!format_word.empty() && format_word.front() == '.') ext = lower(format_word);
    } else {
        ext = lower(path.extension().string());
    }
    const std::string where = to_stdout ? "--format" : "--output";
    if (const OutputFormat* known = find_by_extension(ext)) return *known;
    const std::string shown = ext.empty() ? std::string("a name without an extension") : ext;
    const std::string library_format = library_format_for(ext);
    if (!library_format.empty()) {
        std::string why = "OpenImageIO only reads " + library_format;
        if (library_format == "jpeg2000")
            why = "OpenImageIO's jpeg2000 files do not read back in this build";
        if (library_format == "heif")
            why = "OpenImageIO 2.4's heif writer reads past the rows it is given";
        if (library_format == "fits") why = "FITS holds measurements, not a colour picture";
        if (library_format == "zfile") why = "a zfile holds depth, not colour";
        if (library_format == "null" || library_format == "term") why = "it makes no image file";
        usage_error(where + ": " + shown + " is known but not supported for output (" + why +
                    "); use " + written_extensions_text());
    }
    usage_error(where + ": " + in_quotes(to_stdout ? std::string(format_word) : path.string()) +
                " has " +
                (ext.empty() ? std::string("no extension") : "the unknown extension " + ext) +
                "; the extension chooses the format: " + written_extensions_text());
}

FileDepth frame_depth(FrameDepth frame)
{
    return frame.bits() == 8 ? u8 : frame.bits() == 16 ? u16 : f32;
}

FileDepth choose_depth(const OutputFormat& format, FrameDepth frame, std::optional<FileDepth> asked)
{
    if (asked) {
        if (!format.holds(*asked)) {
            usage_error("--output-depth: " + format.name + " holds " + format.depths_text() +
                        ", not " + depth_text(*asked));
        }
        return *asked;
    }
    static const std::array<FileDepth, 4> from8{u8, u16, half, f32};
    static const std::array<FileDepth, 4> from16{u16, half, f32, u8};
    static const std::array<FileDepth, 4> from32{f32, half, u16, u8};
    const auto& order = frame.bits() == 8 ? from8 : frame.bits() == 16 ? from16 : from32;
    for (const FileDepth depth : order) {
        if (format.holds(depth)) return depth;
    }
    return format.depths.front();
}

bool choose_premultiplied(const OutputFormat& format, std::optional<std::string_view> asked)
{
    // Without alpha the colour is the picture over black, as any compositing
    // tool would show the frame.
    if (!asked) return format.alpha == premultiplied || format.alpha == none;
    const std::string word = lower(*asked);
    const bool want_premultiplied =
        word == "premultiplied" || word == "premult" || word == "associated";
    const bool want_straight =
        word == "straight" || word == "unpremultiplied" || word == "unassociated";
    if (!want_premultiplied && !want_straight) {
        usage_error("--alpha: " + in_quotes(*asked) +
                    " is not an alpha convention: use straight or premultiplied");
    }
    if (format.alpha == none) {
        // The colour of a file without alpha is the picture over black (premultiplied),
        // or the straight colour as rendered: both are meaningful.
        return want_premultiplied;
    }
    if (format.alpha == either) return want_premultiplied;
    if (want_premultiplied != (format.alpha == premultiplied)) {
        usage_error("--alpha: " + format.name + " colour is always " +
                    (format.alpha == premultiplied ? "premultiplied" : "straight") +
                    " by alpha; only TIFF holds either (or use a format without alpha)");
    }
    return want_premultiplied;
}

std::string Compression::attribute() const
{
    if (!level) return name;
    std::array<char, 32> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), *level);
    return name + ":" + std::string(text.data(), end);
}

Compression parse_compression(std::string_view option, std::string_view text,
                              const OutputFormat& format)
{
    const std::string prefix = std::string(option) + ": ";
    if (format.compressions.empty()) {
        usage_error(prefix + format.name + " takes no compression choice; leave out " +
                    std::string(option));
    }
    const std::size_t colon = text.find(':');
    const std::string name = lower(text.substr(0, colon));
    const auto kind = std::find_if(format.compressions.begin(), format.compressions.end(),
                                   [&](const CompressionKind& k) { return name == k.name; });
    if (kind == format.compressions.end()) {
        usage_error(prefix + in_quotes(text) + " is not a compression " + format.name +
                    " takes: use " + compressions_text(format));
    }
    Compression compression{kind->name, std::nullopt};
    if (colon == std::string_view::npos) return compression;
    if (kind->max_level <= 0) {
        usage_error(prefix + std::string(kind->name) + " takes no level; use " +
                    compressions_text(format));
    }
    const std::string_view level_text = text.substr(colon + 1);
    double level = 0;
    const bool number = read_number(level_text, level);
    if (!number || (kind->whole_level && level != std::floor(level)) || level < kind->min_level ||
        level > kind->max_level) {
        usage_error(prefix + in_quotes(text) + ": the level of " + std::string(kind->name) +
                    " is " + (kind->whole_level ? "a whole number " : "a number ") +
                    level_range_text(*kind));
    }
    compression.level = level;
    return compression;
}

}  // namespace velkorramp
