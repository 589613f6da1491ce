#include "cli/image_file.h"

#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/format_conventions.h"
#include "cli/library_messages.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

// How messages name an input: its path, or standard input.
std::string where(const fs::path& path)
{
    return path == "-" ? std::string("from standard input") : in_quotes(path);
}

// Bytes a file must have at the least to hold `width` x `height` pixels: one bit
// a pixel (the fewest any of these formats stores, as 1-bit grey or palette)
// divided by the most its compression can shrink data. Deflate (PNG, and TIFF
// and OpenEXR "zip") turns at most 258 bytes into 2 bits, 1032:1; TIFF LZW's
// 12-bit codes stand for at most a few thousand bytes; PackBits and OpenEXR's
// RLE two bytes for at most 128. Other formats and compressions are not bounded.
std::uint64_t least_file_bytes(const std::string& format, const std::string& compression, int width,
                               int height)
{
    std::uint64_t ratio = 0;
    if (format == "png") {
        ratio = 1032;
    } else if (format == "tiff" || format == "openexr") {
        if (compression == "none") ratio = 1;
        if (compression == "packbits" || compression == "rle") ratio = 64;
        if (compression == "zip" || compression == "zips" || compression == "deflate" ||
            compression == "adobe_deflate" || compression == "pxr24") {
            ratio = 1032;
        }
        if (compression == "lzw") ratio = 4096;
    }
    if (ratio == 0) return 0;
    const std::uint64_t bits =
        static_cast<std::uint64_t>(height) * ((static_cast<std::uint64_t>(width) + 7) / 8);
    return bits / ratio;
}

template <class Pixel, class Sample, class Convert>
void copy_layer(simhost::World& world, const LayerImage& image, const std::vector<Sample>& rgba,
                const Downsample& ds, int origin_x, int origin_y, Convert convert)
{
    // The world's first proxy column and row on the layer, and each proxy
    // position's layer pixel relative to the image.
    const long long proxy_x = downsampled_position(origin_x, ds.x);
    const long long proxy_y = downsampled_position(origin_y, ds.y);
    const auto layer_of = [](long long proxy, const Factor& f) {
        const long long scaled = proxy * f.den;
        return scaled >= 0 ? scaled / f.num : -((-scaled + f.num - 1) / f.num);
    };
    for (int y = 0; y < world.height(); ++y) {
        const long long sy = layer_of(proxy_y + y, ds.y) - origin_y;
        for (int x = 0; x < world.width(); ++x) {
            const long long sx = layer_of(proxy_x + x, ds.x) - origin_x;
            Pixel& p = world.at<Pixel>(x, y);
            if (sx < 0 || sy < 0 || sx >= image.width || sy >= image.height) {
                p = Pixel{};
                continue;
            }
            const Sample* s = &rgba[static_cast<std::size_t>((sy * image.width + sx) * 4)];
            p.alpha = convert(s[3]);
            p.red = convert(s[0]);
            p.green = convert(s[1]);
            p.blue = convert(s[2]);
        }
    }
}

template <class Pixel, class Convert>
void fill_world(simhost::World& world, const LayerImage& image, const Downsample& ds, int origin_x,
                int origin_y, Convert convert)
{
    if (!image.u8.empty()) {
        copy_layer<Pixel>(world, image, image.u8, ds, origin_x, origin_y, convert);
    } else if (!image.u16.empty()) {
        copy_layer<Pixel>(world, image, image.u16, ds, origin_x, origin_y, convert);
    } else {
        copy_layer<Pixel>(world, image, image.f32, ds, origin_x, origin_y, convert);
    }
}

// Which of the file's channels give red, green, blue and alpha: colour from the
// first channels that are not alpha (one grey channel serves all three), alpha
// from the file's alpha channel, or none (opaque).
struct ChannelMap {
    int red = 0;
    int green = 0;
    int blue = 0;
    int alpha = -1;
};

ChannelMap channel_map(const OIIO::ImageSpec& image_spec)
{
    const int channels = image_spec.nchannels;
    ChannelMap map;
    map.alpha = image_spec.alpha_channel;
    if (map.alpha < 0 && channels == 2) map.alpha = 1;
    if (map.alpha >= channels) map.alpha = -1;
    std::vector<int> colour;
    for (int c = 0; c < channels && colour.size() < 3; ++c) {
        if (c != map.alpha) colour.push_back(c);
    }
    map.red = colour.at(0);
    map.green = colour.size() >= 3 ? colour[1] : map.red;
    map.blue = colour.size() >= 3 ? colour[2] : map.red;
    return map;
}

template <class Sample>
void append_rgba(std::vector<Sample>& rgba, const std::vector<Sample>& samples, std::size_t count,
                 int channels, const ChannelMap& map, Sample opaque)
{
    const std::size_t start = rgba.size();
    rgba.resize(start + count * 4);
    Sample* out = rgba.data() + start;
    for (std::size_t i = 0; i < count; ++i) {
        const Sample* s = &samples[i * static_cast<std::size_t>(channels)];
        out[i * 4 + 0] = s[map.red];
        out[i * 4 + 1] = s[map.green];
        out[i * 4 + 2] = s[map.blue];
        out[i * 4 + 3] = map.alpha >= 0 ? s[map.alpha] : opaque;
    }
}

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Readers that hand back the stored colour of a straight-alpha format without
// saying so (OpenImageIO takes an unmarked file as premultiplied).
bool straight_by_format(const std::string& format)
{
    return format == "bmp" || format == "ico" || format == "gif" || format == "sgi" ||
           format == "dpx";
}

}  // namespace

std::uint16_t host16_to_file16(std::uint16_t host_value)
{
    const std::uint32_t v = std::min<std::uint32_t>(host_value, PF_MAX_CHAN16);
    return static_cast<std::uint16_t>((v * 65535u + PF_MAX_CHAN16 / 2) / PF_MAX_CHAN16);
}

std::uint16_t file16_to_host16(std::uint16_t file_value)
{
    return static_cast<std::uint16_t>(
        (static_cast<std::uint32_t>(file_value) * PF_MAX_CHAN16 + 32767u) / 65535u);
}

// 8 for 8-bit files, 16 for 16-bit ones, 32 for half and float.
static FrameDepth frame_depth_of(OIIO::TypeDesc type)
{
    switch (type.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8:
        return 8;
    case OIIO::TypeDesc::UINT16:
    case OIIO::TypeDesc::INT16:
        return 16;
    default:
        return 32;
    }
}

std::uint64_t InputFile::open_source(const std::string& cannot)
{
    const bool from_stdin = path_ == "-";
    std::uint64_t file_bytes = 0;
    if (from_stdin) {
        // Any format can come this way, so the whole stream is read first: the
        // readers that need to seek get it from memory.
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) fail(ExitCode::input, cannot + system_reason(errno));
            if (n == 0) break;
            standard_input_.insert(standard_input_.end(), buffer, buffer + n);
        }
        if (standard_input_.empty()) fail(ExitCode::input, cannot + "it is empty");
        file_bytes = standard_input_.size();
        memory_ = std::make_unique<OIIO::Filesystem::IOMemReader>(standard_input_.data(),
                                                                  standard_input_.size());
    } else {
        struct stat info {};
        if (::stat(path_.c_str(), &info) != 0) fail(ExitCode::input, cannot + system_reason(errno));
        if (S_ISDIR(info.st_mode)) fail(ExitCode::input, cannot + "it is a folder");
        if (!S_ISREG(info.st_mode)) fail(ExitCode::input, cannot + "not a regular file");
        // The image library says only that it could not open the file; the system
        // says why.
        const int probe = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (probe < 0) fail(ExitCode::input, cannot + system_reason(errno));
        ::close(probe);
        file_bytes = static_cast<std::uint64_t>(info.st_size);
    }

    return file_bytes;
}

void InputFile::take_windows(const OIIO::ImageSpec& image_spec)
{
    const std::string cannot_use = "cannot use input " + where(path_) + ": ";
    const int full_width = image_spec.full_width > 0 ? image_spec.full_width : image_spec.width;
    const int full_height = image_spec.full_height > 0 ? image_spec.full_height : image_spec.height;
    for (const auto& [what, w, h] :
         {std::tuple{"pixels", image_spec.width, image_spec.height},
          std::tuple{"layer (display window)", full_width, full_height}}) {
        if (w < 1 || h < 1 || w > kMaxLayerSide || h > kMaxLayerSide) {
            fail(ExitCode::input, cannot_use + "its " + what + " " + std::to_string(w) + "x" +
                                      std::to_string(h) +
                                      " is outside the valid layer sizes 1 to " +
                                      std::to_string(kMaxLayerSide) + " on each side");
        }
    }
    const long long origin_x = static_cast<long long>(image_spec.x) - image_spec.full_x;
    const long long origin_y = static_cast<long long>(image_spec.y) - image_spec.full_y;
    if (origin_x < -kMaxOrigin || origin_x > kMaxOrigin || origin_y < -kMaxOrigin ||
        origin_y > kMaxOrigin) {
        fail(ExitCode::input,
             cannot_use + "its pixels lie at " + std::to_string(origin_x) + "," +
                 std::to_string(origin_y) + " of its display window, outside the valid positions " +
                 std::to_string(-kMaxOrigin) + " to " + std::to_string(kMaxOrigin));
    }
    if (image_spec.deep) {
        fail(ExitCode::input, cannot_use +
                                  "it holds deep pixels (several samples each); flatten it first, "
                                  "e.g. oiiotool --flatten");
    }
    if (image_spec.nchannels < 1 || image_spec.depth > 1) {
        fail(ExitCode::input, cannot_use + "it is not a flat image with colour channels");
    }
    width_ = image_spec.width;
    height_ = image_spec.height;
    layer_width_ = full_width;
    layer_height_ = full_height;
    origin_x_ = static_cast<int>(origin_x);
    origin_y_ = static_cast<int>(origin_y);
    display_x_ = std::clamp(image_spec.full_x, -kMaxOrigin, kMaxOrigin);
    display_y_ = std::clamp(image_spec.full_y, -kMaxOrigin, kMaxOrigin);
}

InputFile::InputFile(const fs::path& path) : path_(path)
{
    const bool from_stdin = path == "-";
    const std::string cannot = "cannot read input " + where(path) + ": ";
    const std::uint64_t file_bytes = open_source(cannot);

    // Straight alpha stays straight: the readers that would premultiply a
    // straight file hand it back as it is and say so.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    {
        LibraryMessages quiet;
        in_ = from_stdin ? OIIO::ImageInput::create("-", true, &config, memory_.get())
                         : OIIO::ImageInput::open(path.string(), &config);
        if (!in_) {
            const std::string library_error = OIIO::geterror();
            fail(ExitCode::input,
                 cannot + reason_of(library_error, quiet.text(), "not an image file it can read"));
        }
    }
    const OIIO::ImageSpec& image_spec = in_->spec();
    take_windows(image_spec);
    const std::uint64_t least =
        least_file_bytes(in_->format_name(), lower(image_spec.get_string_attribute("compression")),
                         width_, height_);
    if (file_bytes < least) {
        fail(ExitCode::input, cannot + "damaged: its header declares " + std::to_string(width_) +
                                  "x" + std::to_string(height_) + " pixels, which take at least " +
                                  std::to_string(least) + " bytes, but the file has " +
                                  std::to_string(file_bytes));
    }
    depth_ = frame_depth_of(image_spec.format);
    switch (image_spec.format.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8:
        sample_depth_ = FileDepth::u8;
        break;
    case OIIO::TypeDesc::UINT16:
    case OIIO::TypeDesc::INT16:
        sample_depth_ = FileDepth::u16;
        break;
    case OIIO::TypeDesc::HALF:
        sample_depth_ = FileDepth::half;
        break;
    default:
        sample_depth_ = FileDepth::f32;
        break;
    }
    colour_space_ = file_colour_space(image_spec, in_->format_name());
    const bool has_alpha = channel_map(image_spec).alpha >= 0;
    premultiplied_ = has_alpha && image_spec.get_int_attribute("oiio:UnassociatedAlpha") == 0 &&
                     !straight_by_format(in_->format_name());
    // Bands of about 4 MiB as read, whole rows.
    const std::uint64_t row = static_cast<std::uint64_t>(width_) *
                              static_cast<std::uint64_t>(image_spec.nchannels) *
                              static_cast<std::uint64_t>(depth_.bits() / 8);
    band_rows_ =
        static_cast<int>(std::clamp<std::uint64_t>((std::uint64_t{4} << 20) / row, 1, height_));
}

InputFile::~InputFile()
{
    if (!in_) return;
    LibraryMessages quiet;
    in_->close();
}

std::string InputFile::name() const
{
    return path_ == "-" ? std::string("standard input") : path_.string();
}

std::uint64_t InputFile::rgba_bytes(bool converting) const
{
    // The carried channels are kept as float until the frame is written.
    const std::uint64_t carried = carried_indices(false).size() * 4;
    return static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_) *
           (4 * static_cast<std::uint64_t>(converting ? 4 : depth_.bits() / 8) + carried);
}

std::uint64_t InputFile::band_bytes() const
{
    return static_cast<std::uint64_t>(band_rows_) * static_cast<std::uint64_t>(width_) *
           static_cast<std::uint64_t>(in_->spec().nchannels) *
           static_cast<std::uint64_t>(depth_.bits() / 8);
}

std::vector<int> InputFile::carried_indices(bool all_channels) const
{
    const OIIO::ImageSpec& image_spec = in_->spec();
    const ChannelMap map = channel_map(image_spec);
    std::vector<int> indices;
    for (int c = 0; c < image_spec.nchannels; ++c) {
        const bool rgba = c == map.red || c == map.green || c == map.blue || c == map.alpha;
        if (all_channels || !rgba) indices.push_back(c);
    }
    return indices;
}

std::vector<std::string> InputFile::carried_channels(bool all_channels) const
{
    std::vector<std::string> names;
    for (const int c : carried_indices(all_channels)) names.push_back(in_->spec().channel_name(c));
    return names;
}

template <class Sample>
std::vector<Sample> InputFile::read_rgba(OIIO::TypeDesc type, Sample opaque,
                                         const ColourSpaces::Conversion& conversion,
                                         CarriedData& carried,
                                         const std::vector<int>& carried_indices)
{
    const OIIO::ImageSpec& image_spec = in_->spec();
    const int channels = image_spec.nchannels;
    const ChannelMap map = channel_map(image_spec);
    const std::size_t row_pixels = static_cast<std::size_t>(width_);
    std::vector<Sample> band(static_cast<std::size_t>(band_rows_) * row_pixels *
                             static_cast<std::size_t>(channels));
    // Reserved, not filled: pages are taken only as rows arrive, so a file that
    // ends early costs no more than what it held.
    std::vector<Sample> rgba;
    rgba.reserve(static_cast<std::size_t>(height_) * row_pixels * 4);
    for (int y = 0; y < height_; y += band_rows_) {
        const int rows = std::min(band_rows_, height_ - y);
        LibraryMessages quiet;
        const bool read = in_->read_scanlines(0, 0, image_spec.y + y, image_spec.y + y + rows, 0, 0,
                                              channels, type, band.data());
        // A reader can return success and still record an error (TIFF strips cut short).
        if (!read || in_->has_error()) {
            const std::string library_error = in_->geterror();
            fail(ExitCode::input,
                 "cannot read input " + where(path_) + ": " +
                     reason_of(library_error, quiet.text(), "the image library gave no reason"));
        }
        if (!carried_indices.empty()) {
            const FileToHostFloat to_float;
            const std::size_t count = static_cast<std::size_t>(rows) * row_pixels;
            for (std::size_t i = 0; i < count; ++i) {
                const Sample* s = &band[i * static_cast<std::size_t>(channels)];
                for (const int c : carried_indices) carried.samples.push_back(to_float(s[c]));
            }
        }
        if (premultiplied_) {
            // In the band's own sample type: OpenImageIO divides in float and
            // rounds back, and leaves alpha 0 and 1 untouched.
            OIIO::ImageSpec band_spec(width_, rows, channels, type);
            band_spec.alpha_channel = map.alpha;
            OIIO::ImageBuf pixels(band_spec, band.data());
            OIIO::ImageBufAlgo::unpremult(pixels, pixels, {}, 1);
        }
        const std::size_t start = rgba.size();
        append_rgba(rgba, band, static_cast<std::size_t>(rows) * row_pixels, channels, map, opaque);
        if constexpr (std::is_same_v<Sample, float>) {
            if (!conversion.empty()) conversion.apply(rgba.data() + start, width_, rows);
        }
    }
    return rgba;
}

LayerImage InputFile::read(const ColourSpaces::Conversion& conversion, bool all_channels)
{
    LayerImage image;
    image.width = width_;
    image.height = height_;
    image.layer_width = layer_width_;
    image.layer_height = layer_height_;
    image.origin_x = origin_x_;
    image.origin_y = origin_y_;
    image.depth = depth_;
    auto carried = std::make_shared<CarriedData>();
    carried->width = width_;
    carried->height = height_;
    const std::vector<int> indices = carried_indices(all_channels);
    carried->names = carried_channels(all_channels);
    carried->samples.reserve(static_cast<std::size_t>(width_) * height_ * indices.size());
    carried->metadata = carried_metadata(in_->spec());
    if (!conversion.empty() || depth_ == 32) {
        image.f32 = read_rgba<float>(OIIO::TypeDesc::FLOAT, 1.0f, conversion, *carried, indices);
    } else if (depth_ == 8) {
        image.u8 =
            read_rgba<std::uint8_t>(OIIO::TypeDesc::UINT8, 255, conversion, *carried, indices);
    } else {
        image.u16 =
            read_rgba<std::uint16_t>(OIIO::TypeDesc::UINT16, 65535, conversion, *carried, indices);
        image.loses_16bit_codes =
            std::any_of(image.u16.begin(), image.u16.end(),
                        [](std::uint16_t f) { return host16_to_file16(file16_to_host16(f)) != f; });
    }
    image.carried = std::move(carried);
    return image;
}

int downsampled_side(int side, const Factor& factor)
{
    return static_cast<int>((static_cast<long long>(side) * factor.num + factor.den - 1) /
                            factor.den);
}

int downsampled_position(int position, const Factor& factor)
{
    const long long scaled = static_cast<long long>(position) * factor.num;
    return static_cast<int>(scaled >= 0 ? scaled / factor.den
                                        : -((-scaled + factor.den - 1) / factor.den));
}

simhost::World layer_world(const LayerImage& image, FrameDepth depth, const Downsample& downsample,
                           int origin_x, int origin_y)
{
    simhost::WorldSpec world_spec;
    const long long end_x = static_cast<long long>(origin_x) + image.width;
    const long long end_y = static_cast<long long>(origin_y) + image.height;
    const auto proxy_end = [](long long end, const Factor& f) {
        const long long scaled = end * f.num;
        return scaled >= 0 ? (scaled + f.den - 1) / f.den : -(-scaled / f.den);
    };
    world_spec.origin_x = downsampled_position(origin_x, downsample.x);
    world_spec.origin_y = downsampled_position(origin_y, downsample.y);
    world_spec.width = static_cast<int>(proxy_end(end_x, downsample.x) - world_spec.origin_x);
    world_spec.height = static_cast<int>(proxy_end(end_y, downsample.y) - world_spec.origin_y);
    world_spec.format = depth.format();
    simhost::World world(world_spec);
    with_pixel_type(depth, [&]<class Pixel>(Pixel) {
        fill_world<Pixel>(world, image, downsample, origin_x, origin_y, FileToHost<Pixel>{});
    });
    return world;
}

}  // namespace velkorramp
