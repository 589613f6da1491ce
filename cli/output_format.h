// The containers a frame can be written to, chosen by the output's extension,
// and what each can hold: its sample depths, whether it has an alpha channel
// and which convention its colour follows under that alpha, whether it records
// where the pixels lie (a data window or an offset) and the layer around them
// (a display window), and the compressions its writer takes.
//
// The formats are OpenImageIO's writers. Alpha conventions are the ones
// OpenImageIO's own readers assume, so what this tool writes is read back by
// every OpenImageIO tool as it was meant:
//   - straight (unassociated): PNG, Targa, WebP, BMP, ICO, GIF, SGI, DPX (SGI
//     and DPX have no flag for it; ImageMagick and other readers take their
//     colour as straight);
//   - premultiplied (associated): OpenEXR, IFF, RLA (renderers' formats);
//   - either, with the file saying which: TIFF (its ExtraSamples tag);
//   - no alpha channel: JPEG, PNM, HDR.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/frame_depth.h"

namespace velkorramp {

// A sample type a file can store.
enum class FileDepth {
    u8,
    u10,  // 10 and 12-bit integers, as DPX packs them; only when asked for
    u12,
    u16,
    half,
    f32
};

// "8-bit", "10-bit", "12-bit", "16-bit", "half-float", "float".
std::string depth_text(FileDepth depth);
// 8, 16, half, float, or a usage failure naming those.
FileDepth parse_output_depth(std::string_view option, std::string_view text);

enum class AlphaConvention {
    straight,
    premultiplied,
    either,
    none
};

// Which of an input's metadata a format keeps: every attribute (OpenEXR), text
// ones (PNG), Exif, IPTC and GPS (TIFF, JPEG), its own header fields and the
// timecode (DPX), or none.
enum class MetadataKept {
    all,
    text,
    exif,
    dpx,
    none
};

// One compression a writer takes, with the range of its level if it has one.
struct CompressionKind {
    const char* name;  // as --compression and the writer spell it: "zip", "dwaa"
    double min_level = 0;
    double max_level = 0;  // 0: no level
    bool whole_level = true;
};

struct OutputFormat {
    std::string name{};                     // "PNG", "TIFF", "OpenEXR"
    std::string oiio_format{};              // the OpenImageIO writer: "png", "tiff", "openexr"
    std::vector<std::string> extensions{};  // ".tif", ".tiff": the first is the one messages show
    std::vector<FileDepth> depths{};
    AlphaConvention alpha = AlphaConvention::straight;
    bool stores_origin = false;           // a non-negative data window origin or offset
    bool stores_negative_origin = false;  // also a negative one
    bool stores_display_window = false;
    bool streams = false;  // its writer takes a stream; others write by name (in memory for `-`)
    std::vector<CompressionKind> compressions{};
    // What its readers expect (format_conventions.h): the colour space of
    // integer samples (float ones are linear), whether OpenImageIO's writer
    // divides colour by alpha whatever it is told, and what of an input it keeps.
    const char* integer_space = "sRGB";
    bool writer_divides_alpha = false;
    bool extra_channels = false;  // channels beyond RGBA, named
    bool named_channels = true;   // a one-channel file; else 3 or 4 only
    MetadataKept metadata = MetadataKept::none;

    bool holds(FileDepth depth) const;
    bool has_alpha() const { return alpha != AlphaConvention::none; }
    // "8-bit and 16-bit", "half-float and float"
    std::string depths_text() const;
};

// The format for an output path by its extension (any case), or for `-`
// (standard output) by `format_word` ("png", "tif", ...; PNG when empty). An
// extension OpenImageIO does not write, or one it knows but this tool does not
// write, is a usage failure that says which and lists the extensions it takes.
OutputFormat output_format_for(const std::filesystem::path& path,
                               std::string_view format_word = "");

// The extensions this tool writes, for messages: ".png, .tif/.tiff, .exr, ...".
std::string written_extensions_text();

// The depth a frame of `frame_bits` (8, 16, 32) is written at: `asked` if given
// (a usage failure when the format cannot hold it), else the frame's own when
// the format holds it, else the nearest the format holds (16 for an 8-bit frame
// in a format without 8, half for 8 and 16-bit frames in OpenEXR, float then
// half for a float frame).
FileDepth choose_depth(const OutputFormat& format, FrameDepth frame,
                       std::optional<FileDepth> asked);

// The depth that holds a frame of `frame_bits` exactly.
FileDepth frame_depth(FrameDepth frame);

// Whether the file's colour is premultiplied: `asked` ("straight" or
// "premultiplied") where the format can hold either, else the format's own
// convention (TIFF: straight). Asking for the other convention of a format that
// has only one, or any for a format without alpha, is a usage failure.
bool choose_premultiplied(const OutputFormat& format, std::optional<std::string_view> asked);

// The writer's "compression" attribute for `--compression NAME[:LEVEL]`, or a
// usage failure naming the compressions (and level ranges) `format` takes.
struct Compression {
    std::string name;
    std::optional<double> level;
    // "zip:9", "dwaa:45", "lzw", as OpenImageIO's writers read it.
    std::string attribute() const;
};
Compression parse_compression(std::string_view option, std::string_view text,
                              const OutputFormat& format);

}  // namespace velkorramp
