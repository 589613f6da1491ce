// Image files in and out, through OpenImageIO.
//
// Channels: the host keeps alpha, red, green, blue; files hold red, green,
// blue, alpha. The host's colour is straight (not premultiplied). A file whose
// colour is premultiplied by its alpha (OpenEXR always, TIFF when its tag says
// so, and whatever else OpenImageIO's reader hands back premultiplied) is
// divided by alpha as it is read; a straight file is taken as it is. Where alpha
// is 0 a premultiplied file has no colour left to recover, so those pixels read
// as transparent black. Writing follows the container's convention
// (frame_writer.h).
//
// 16-bit values: the host's channels run 0..32768, a file's 0..65535. Writing
// maps v -> round(v * 65535 / 32768) and reading maps f -> round(f * 32768 / 65535),
// both in integers with halves rounded up. Each host value lands on its own file
// value and reads back as itself, for all 32769 of them.
//
// Windows: the layer is the file's display (full) window. Its pixels are the
// file's data window, placed where that window lies on the layer; the rest of
// the layer is transparent black. The frame keeps that placement, and a written
// file records it where the container can (frame_writer.h).
#pragma once

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/colour_space.h"
#include "cli/frame_depth.h"
#include "cli/output_format.h"
#include "cli/sample_conversions.h"
#include "cli/values.h"
#include "simhost/world.h"

namespace velkorramp {

// What an input file holds beyond the colour and alpha the effect replaces: its
// other channels as stored (never divided by alpha; integer samples as
// value / maximum, so they convert back exactly) and its metadata.
struct CarriedData {
    int width = 0;  // the input's data window
    int height = 0;
    std::vector<std::string> names;  // as the file names them: "Z", "N.x"
    std::vector<float> samples;      // names.size() a pixel, row by row
    std::vector<OIIO::ParamValue> metadata;
};

// An image as read from a file, four channels red, green, blue, alpha per pixel
// (straight), in the file's own sample type, or in float when its colour was
// converted: exactly one of the three vectors is filled.
struct LayerImage {
    int width = 0;  // the data window: the pixels the file holds
    int height = 0;
    int layer_width = 0;  // the display window: the layer
    int layer_height = 0;
    int origin_x = 0;  // where the data window's top-left pixel lies on the layer
    int origin_y = 0;
    FrameDepth depth;  // 8 for 8-bit files, 16 for 16-bit ones, 32 for half and float
    std::vector<std::uint8_t> u8;
    std::vector<std::uint16_t> u16;  // file values 0..65535
    std::vector<float> f32;
    std::shared_ptr<const CarriedData> carried;
    // A 16-bit file some of whose samples do not survive the host's 0..32768
    // scale (file -> host -> file changes them).
    bool loses_16bit_codes = false;
};

// An input image file, opened and checked from its header before any pixel is
// read, so that its size can be weighed against the memory budget first. "-"
// reads standard input (any format OpenImageIO recognises from its content).
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

    int width() const { return width_; }  // the data window
    int height() const { return height_; }
    int layer_width() const { return layer_width_; }  // the display window
    int layer_height() const { return layer_height_; }
    int origin_x() const { return origin_x_; }  // the data window on the layer
    int origin_y() const { return origin_y_; }
    int display_x() const { return display_x_; }  // the display window's own origin
    int display_y() const { return display_y_; }
    FrameDepth depth() const { return depth_; }  // 8, 16, or 32 for half and float files
    FileDepth sample_depth() const { return sample_depth_; }  // as stored
    // The colour space the file states, or "" when it says nothing.
    const std::string& colour_space() const { return colour_space_; }
    // "photo.exr", or "standard input".
    std::string name() const;
    // Memory read() takes at its peak: the pixels as RGBA in the file's sample
    // type (float when converting colour), and one band of rows as the file
    // stores them.
    std::uint64_t rgba_bytes(bool converting) const;
    std::uint64_t band_bytes() const;

    // The channels read() carries: those beyond red, green, blue and alpha, or
    // with `all_channels` every one the file has.
    std::vector<std::string> carried_channels(bool all_channels) const;

    // Reads the first image band by band: grey images give red = green = blue, an
    // image without alpha is opaque, premultiplied colour is divided by alpha and
    // then, with a `conversion`, converted (into float samples); the carried
    // channels (carried_channels) and the metadata are kept as stored. A file
    // that ends early or is damaged is an input failure; memory is filled only as
    // the file's data arrives.
    LayerImage read(const ColourSpaces::Conversion& conversion, bool all_channels = false);

private:
    // Checks the file, or takes standard input whole; returns its size in bytes.
    std::uint64_t open_source(const std::string& cannot);
    // The header's data and display windows, refused outside the layer limits.
    void take_windows(const OIIO::ImageSpec& image_spec);
    template <class Sample>
    std::vector<Sample> read_rgba(OIIO::TypeDesc type, Sample opaque,
                                  const ColourSpaces::Conversion& conversion, CarriedData& carried,
                                  const std::vector<int>& carried_indices);
    std::vector<int> carried_indices(bool all_channels) const;

    std::filesystem::path path_;
    std::vector<unsigned char> standard_input_;
    std::unique_ptr<OIIO::Filesystem::IOMemReader> memory_;
    std::unique_ptr<OIIO::ImageInput> in_;
    int width_ = 0;
    int height_ = 0;
    int layer_width_ = 0;
    int layer_height_ = 0;
    int origin_x_ = 0;
    int origin_y_ = 0;
    int display_x_ = 0;
    int display_y_ = 0;
    FrameDepth depth_;
    FileDepth sample_depth_ = FileDepth::u8;
    int band_rows_ = 1;
    std::string colour_space_;
    bool premultiplied_ = false;
};

// The input world for a frame: the image at `depth` (8, 16, 32) with its
// top-left pixel at `origin_x`, `origin_y` of the layer, at the scale the
// downsample factors give. At N/D a pixel at layer position p lands on proxy
// position floor(p * N / D), and each proxy pixel at q takes the layer pixel at
// floor(q * D / N) (transparent black where that is not one of the image's);
// the world's origin is the proxy position of `origin`. Depth changes follow
// the host's own rules: integer channels are rescaled with rounding, float to
// integer is value * maximum + 0.5 clamped and truncated, integer to float is
// value / maximum.
simhost::World layer_world(const LayerImage& image, FrameDepth depth, const Downsample& downsample,
                           int origin_x, int origin_y);

// The proxy size of one side of the layer.
int downsampled_side(int side, const Factor& factor);
// The proxy position of a layer position: floor(position * num / den).
int downsampled_position(int position, const Factor& factor);

}  // namespace velkorramp
