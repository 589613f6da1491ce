// Image files in and out, through OpenImageIO.
//
// Channels: the host keeps alpha, red, green, blue; files hold red, green,
// blue, alpha. Alpha is straight (not premultiplied) on both sides, so PNG and
// TIFF are read and written without any premultiplication; EXR floats pass
// through unchanged.
//
// 16-bit values: the host's channels run 0..32768, a file's 0..65535. Writing
// maps v -> round(v * 65535 / 32768) and reading maps f -> round(f * 32768 / 65535),
// both in integers with halves rounded up. Each host value lands on its own file
// value and reads back as itself, for all 32769 of them.
#pragma once

#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/values.h"
#include "simhost/world.h"

namespace velkorramp {

std::uint16_t host16_to_file16(std::uint16_t host_value);
std::uint16_t file16_to_host16(std::uint16_t file_value);

// A written frame's container, chosen by the file's extension.
struct OutputFormat {
    std::string name;  // "PNG", "TIFF", "OpenEXR"
    std::string oiio_format;  // the OpenImageIO plug-in: "png", "tiff", "openexr"
    bool depth8 = false;
    bool depth16 = false;
    bool depth32 = false;
    bool holds(int depth) const { return depth == 8 ? depth8 : depth == 16 ? depth16 : depth == 32 && depth32; }
};

// .png, .tif/.tiff or .exr (any case); any other extension is a usage failure
// that lists these.
OutputFormat output_format_for(const std::filesystem::path& path);
// A usage failure naming the formats that hold `depth` when `format` does not.
void check_format_holds(const OutputFormat& format, int depth);
// An image as read from a file, four channels red, green, blue, alpha per pixel,
// in the file's own sample type: exactly one of the three vectors is filled.
struct LayerImage {
    int width = 0;
    int height = 0;
    int depth = 8;  // 8 for 8-bit files, 16 for 16-bit ones, 32 for half and float
    std::vector<std::uint8_t> u8;
    std::vector<std::uint16_t> u16;  // file values 0..65535
    std::vector<float> f32;
};

// An input image file, opened and checked from its header before any pixel is
// read, so that its size can be weighed against the memory budget first.
//
// Opening refuses (as an input failure naming the file, with the system's reason
// where there is one) a file that cannot be read, a size outside the layer
// limits, deep or volume images, and a file too short for the pixels its header
// declares: however well it compressed, a PNG, TIFF or OpenEXR file of W x H
// pixels holds at least one bit a pixel before compression, and none of their
// lossless compressions shrinks data by more than a known ratio (deflate 1032:1).
// The image library's own messages go into that one line, never to stderr.
class InputFile {
public:
    explicit InputFile(const std::filesystem::path& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    int depth() const { return depth_; }  // 8, 16, or 32 for half and float files
    // Memory read() takes at its peak: the pixels as RGBA in the file's sample
    // type, and one band of rows as the file stores them.
    std::uint64_t rgba_bytes() const;
    std::uint64_t band_bytes() const;

    // Reads the first image band by band. Grey images give red = green = blue; an
    // image without alpha is opaque. A file that ends early or is damaged is an
    // input failure; memory is filled only as the file's data arrives.
    LayerImage read();

private:
    template <class Sample>
    std::vector<Sample> read_rgba(OIIO::TypeDesc type, Sample opaque);

    std::filesystem::path path_;
    std::unique_ptr<OIIO::ImageInput> in_;
    int width_ = 0;
    int height_ = 0;
    int depth_ = 8;
    int band_rows_ = 1;
};

// The input world for a frame: the image at `depth` (8, 16, 32), at the size the
// downsample factors give (each side ceil(side * num / den); each proxy pixel
// takes the layer pixel at floor(x * den / num), floor(y * den / num)), with the
// given origin. Depth changes follow the host's own rules: integer channels are
// rescaled with rounding, float to integer is value * maximum + 0.5 clamped and
// truncated, integer to float is value / maximum.
simhost::World layer_world(const LayerImage& image, int depth, const Downsample& downsample, int origin_x,
                           int origin_y);

// The proxy size of one side of the layer.
int downsampled_side(int side, const Factor& factor);

// Writes an 8, 16-bit or float ARGB world as RGBA to `path` in `format` through
// an OutputFile (output_file.h): complete, or not at all and an output failure
// with the reason. The samples are converted a band of rows at a time, so the
// write holds about 1 MiB besides the frame. `before_commit`, if given, runs
// once the file is whole on disk and before it takes its name; whatever it
// throws abandons the file.
void write_frame(const simhost::World& frame, const std::filesystem::path& path, const OutputFormat& format,
                 const std::function<void()>& before_commit = {});

}  // namespace velkorramp
