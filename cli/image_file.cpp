#include "cli/image_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include "cli/failure.h"
#include "cli/memory_budget.h"
#include "cli/output_file.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// OpenImageIO's errors can span lines, the first saying what went wrong and the
// rest where; a failure is one line, so it is the first.
std::string first_line(std::string text)
{
    std::replace(text.begin(), text.end(), '\r', '\n');
    text.erase(0, text.find_first_not_of("\n "));
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// libpng writes its complaints straight to stderr before the image library
// turns them into an error of its own; a failure is one line, so while the
// library reads or writes, stderr goes to an anonymous in-memory file. What it
// caught is the reason when the library itself gives none.
//
// A sequence reads and writes on several threads at once, and stderr is one
// for the process: the first to start redirects it, the last to finish gives it
// back, and each reads what arrived since it started (another thread's words
// may be among them).
class LibraryMessages {
public:
    LibraryMessages()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (users_++ == 0) {
            std::fflush(stderr);
            capture_ = ::memfd_create("velkorramp-library-messages", MFD_CLOEXEC);
            if (capture_ >= 0) {
                saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
                if (saved_ < 0 || ::dup2(capture_, STDERR_FILENO) < 0) give_back();
            }
        }
        if (capture_ >= 0) start_ = ::lseek(capture_, 0, SEEK_END);
    }
    ~LibraryMessages() { leave(); }
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // Stops capturing for this reader and returns the first line caught since it
    // started, without libpng's prefix.
    std::string text()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::string line;
        if (capture_ >= 0 && start_ >= 0) {
            std::fflush(stderr);
            char buffer[1024];
            const ssize_t n = ::pread(capture_, buffer, sizeof buffer, start_);
            line = first_line(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0));
        }
        leave_locked();
        for (const std::string prefix : {"libpng error: ", "libpng warning: "}) {
            if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
        }
        return line;
    }

private:
    void leave()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        leave_locked();
    }
    void leave_locked()
    {
        if (left_) return;
        left_ = true;
        if (--users_ > 0) return;
        give_back();
        if (capture_ >= 0) ::close(capture_);
        capture_ = -1;
    }
    static void give_back()
    {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    static inline std::mutex mutex_;
    static inline int users_ = 0;
    static inline int capture_ = -1;
    static inline int saved_ = -1;
    off_t start_ = -1;
    bool left_ = false;
};

// The library's error, else what it printed, else a plain word.
std::string reason_of(const std::string& library_error, const std::string& printed, const char* otherwise)
{
    std::string reason = first_line(library_error);
    if (reason.empty()) reason = printed;
    return reason.empty() ? std::string(otherwise) : reason;
}

// Bytes a file must have at the least to hold `width` x `height` pixels: one bit
// a pixel (the fewest any of these formats stores, as 1-bit grey or palette)
// divided by the most its compression can shrink data. Deflate (PNG, and TIFF
// and OpenEXR "zip") turns at most 258 bytes into 2 bits, 1032:1; TIFF LZW's
// 12-bit codes stand for at most a few thousand bytes; PackBits and OpenEXR's
// RLE two bytes for at most 128. Other formats and compressions are not bounded.
std::uint64_t least_file_bytes(const std::string& format, const std::string& compression, int width, int height)
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
    const std::uint64_t bits = static_cast<std::uint64_t>(height) * ((static_cast<std::uint64_t>(width) + 7) / 8);
    return bits / ratio;
}

// A float channel into an integer one: value * maximum + 0.5, clamped, truncated.
template <class Int>
Int quantize(float value, double maximum)
{
    const double v = static_cast<double>(value) * maximum + 0.5;
    if (!(v >= 0.0)) return 0;
    if (v > maximum) return static_cast<Int>(maximum);
    return static_cast<Int>(v);
}

// Sample conversions from a file's type to the host's channel at each depth.
struct To8 {
    std::uint8_t operator()(std::uint8_t v) const { return v; }
    std::uint8_t operator()(std::uint16_t f) const
    {
        return static_cast<std::uint8_t>((static_cast<std::uint32_t>(f) * 255u + 32767u) / 65535u);
    }
    std::uint8_t operator()(float x) const { return quantize<std::uint8_t>(x, PF_MAX_CHAN8); }
};

struct To16 {
    std::uint16_t operator()(std::uint8_t v) const
    {
        return static_cast<std::uint16_t>((static_cast<std::uint32_t>(v) * PF_MAX_CHAN16 + 127u) / 255u);
    }
    std::uint16_t operator()(std::uint16_t f) const { return file16_to_host16(f); }
    std::uint16_t operator()(float x) const { return quantize<std::uint16_t>(x, PF_MAX_CHAN16); }
};

struct ToFloat {
    float operator()(std::uint8_t v) const { return static_cast<float>(v / 255.0); }
    float operator()(std::uint16_t f) const { return static_cast<float>(f / 65535.0); }
    float operator()(float x) const { return x; }
};

template <class Pixel, class Sample, class Convert>
void copy_layer(simhost::World& world, const std::vector<Sample>& rgba, int image_width, const Downsample& ds,
                Convert convert)
{
    for (int y = 0; y < world.height(); ++y) {
        const long long sy = static_cast<long long>(y) * ds.y.den / ds.y.num;
        for (int x = 0; x < world.width(); ++x) {
            const long long sx = static_cast<long long>(x) * ds.x.den / ds.x.num;
            const Sample* s = &rgba[static_cast<std::size_t>((sy * image_width + sx) * 4)];
            Pixel& p = world.at<Pixel>(x, y);
            p.alpha = convert(s[3]);
            p.red = convert(s[0]);
            p.green = convert(s[1]);
            p.blue = convert(s[2]);
        }
    }
}

template <class Pixel, class Convert>
void fill_world(simhost::World& world, const LayerImage& image, const Downsample& ds, Convert convert)
{
    if (!image.u8.empty()) {
        copy_layer<Pixel>(world, image.u8, image.width, ds, convert);
    } else if (!image.u16.empty()) {
        copy_layer<Pixel>(world, image.u16, image.width, ds, convert);
    } else {
        copy_layer<Pixel>(world, image.f32, image.width, ds, convert);
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
void append_rgba(std::vector<Sample>& rgba, const std::vector<Sample>& samples, std::size_t count, int channels,
                 const ChannelMap& map, Sample opaque)
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

// Rows [top, top + rows) of the frame as the file's RGBA samples, into `band`.
template <class Pixel, class Sample, class Convert>
void band_samples(const simhost::World& frame, int top, int rows, std::vector<Sample>& band, Convert convert)
{
    band.resize(static_cast<std::size_t>(frame.width()) * static_cast<std::size_t>(rows) * 4);
    std::size_t i = 0;
    for (int y = top; y < top + rows; ++y) {
        const Pixel* row = reinterpret_cast<const Pixel*>(frame.row(y));
        for (int x = 0; x < frame.width(); ++x) {
            const Pixel& p = row[x];
            band[i++] = convert(p.red);
            band[i++] = convert(p.green);
            band[i++] = convert(p.blue);
            band[i++] = convert(p.alpha);
        }
    }
}

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::uint16_t host16_to_file16(std::uint16_t host_value)
{
    const std::uint32_t v = std::min<std::uint32_t>(host_value, PF_MAX_CHAN16);
    return static_cast<std::uint16_t>((v * 65535u + PF_MAX_CHAN16 / 2) / PF_MAX_CHAN16);
}

std::uint16_t file16_to_host16(std::uint16_t file_value)
{
    return static_cast<std::uint16_t>((static_cast<std::uint32_t>(file_value) * PF_MAX_CHAN16 + 32767u) / 65535u);
}

OutputFormat output_format_for(const fs::path& path)
{
    const std::string ext = lower(path.extension().string());
    if (ext == ".png") return OutputFormat{"PNG", "png", true, true, false};
    if (ext == ".tif" || ext == ".tiff") return OutputFormat{"TIFF", "tiff", true, true, true};
    if (ext == ".exr") return OutputFormat{"OpenEXR", "openexr", false, false, true};
    usage_error("--output: " + quoted(path) +
                " has no known image extension; use .png (8 or 16-bit), .tif/.tiff (8, 16 or 32-bit float) "
                "or .exr (32-bit float)");
}

void check_format_holds(const OutputFormat& format, int depth)
{
    if (format.holds(depth)) return;
    const std::string works = depth == 32 ? ".tif/.tiff or .exr" : ".png or .tif/.tiff";
    usage_error("--output: " + format.name + " cannot hold a " + std::to_string(depth) + "-bit frame; for " +
                std::to_string(depth) + "-bit use " + works + " (or choose --depth " +
                (format.depth32 ? "32" : "8 or 16") + ")");
}

InputFile::InputFile(const fs::path& path) : path_(path)
{
    const std::string cannot = "cannot read input " + quoted(path) + ": ";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) fail(ExitCode::input, cannot + system_reason(errno));
    if (S_ISDIR(info.st_mode)) fail(ExitCode::input, cannot + "it is a folder");
    if (!S_ISREG(info.st_mode)) fail(ExitCode::input, cannot + "not a regular file");
    // The image library says only that it could not open the file; the system
    // says why.
    const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (probe < 0) fail(ExitCode::input, cannot + system_reason(errno));
    ::close(probe);

    // Straight alpha stays straight: no premultiplication on the way in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    {
        LibraryMessages quiet;
        in_ = OIIO::ImageInput::open(path.string(), &config);
        if (!in_) {
            const std::string library_error = OIIO::geterror();
            fail(ExitCode::input, cannot + reason_of(library_error, quiet.text(), "not an image file it can read"));
        }
    }
    const OIIO::ImageSpec& image_spec = in_->spec();
    const std::string cannot_use = "cannot use input " + quoted(path) + ": ";
    if (image_spec.width < 1 || image_spec.height < 1 || image_spec.width > kMaxLayerSide ||
        image_spec.height > kMaxLayerSide) {
        fail(ExitCode::input, cannot_use + std::to_string(image_spec.width) + "x" + std::to_string(image_spec.height) +
                                  " is outside the valid layer sizes 1 to " + std::to_string(kMaxLayerSide) +
                                  " on each side");
    }
    if (image_spec.deep) {
        fail(ExitCode::input, cannot_use + "it holds deep pixels (several samples each); flatten it first, "
                                           "e.g. oiiotool --flatten");
    }
    if (image_spec.nchannels < 1 || image_spec.depth > 1) {
        fail(ExitCode::input, cannot_use + "it is not a flat image with colour channels");
    }
    width_ = image_spec.width;
    height_ = image_spec.height;
    const std::uint64_t least =
        least_file_bytes(in_->format_name(), lower(image_spec.get_string_attribute("compression")), width_, height_);
    if (static_cast<std::uint64_t>(info.st_size) < least) {
        fail(ExitCode::input, cannot + "damaged: its header declares " + std::to_string(width_) + "x" +
                                  std::to_string(height_) + " pixels, which take at least " + std::to_string(least) +
                                  " bytes, but the file has " + std::to_string(info.st_size));
    }
    switch (image_spec.format.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8:
        depth_ = 8;
        break;
    case OIIO::TypeDesc::UINT16:
    case OIIO::TypeDesc::INT16:
        depth_ = 16;
        break;
    default:
        depth_ = 32;
        break;
    }
    // Bands of about 4 MiB as read, whole rows.
    const std::uint64_t row = static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(image_spec.nchannels) *
                              static_cast<std::uint64_t>(depth_ / 8);
    band_rows_ = static_cast<int>(std::clamp<std::uint64_t>((std::uint64_t{4} << 20) / row, 1, height_));
}

InputFile::~InputFile()
{
    if (!in_) return;
    LibraryMessages quiet;
    in_->close();
}

std::uint64_t InputFile::rgba_bytes() const
{
    return static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_) * 4 *
           static_cast<std::uint64_t>(depth_ / 8);
}

std::uint64_t InputFile::band_bytes() const
{
    return static_cast<std::uint64_t>(band_rows_) * static_cast<std::uint64_t>(width_) *
           static_cast<std::uint64_t>(in_->spec().nchannels) * static_cast<std::uint64_t>(depth_ / 8);
}

template <class Sample>
std::vector<Sample> InputFile::read_rgba(OIIO::TypeDesc type, Sample opaque)
{
    const OIIO::ImageSpec& image_spec = in_->spec();
    const int channels = image_spec.nchannels;
    const ChannelMap map = channel_map(image_spec);
    const std::size_t row_pixels = static_cast<std::size_t>(width_);
    std::vector<Sample> band(static_cast<std::size_t>(band_rows_) * row_pixels * static_cast<std::size_t>(channels));
    // Reserved, not filled: pages are taken only as rows arrive, so a file that
    // ends early costs no more than what it held.
    std::vector<Sample> rgba;
    rgba.reserve(static_cast<std::size_t>(height_) * row_pixels * 4);
    for (int y = 0; y < height_; y += band_rows_) {
        const int rows = std::min(band_rows_, height_ - y);
        LibraryMessages quiet;
        const bool read = in_->read_scanlines(0, 0, image_spec.y + y, image_spec.y + y + rows, 0, 0, channels, type,
                                              band.data());
        // A reader can return success and still record an error (TIFF strips cut short).
        if (!read || in_->has_error()) {
            const std::string library_error = in_->geterror();
            fail(ExitCode::input, "cannot read input " + quoted(path_) + ": " +
                                      reason_of(library_error, quiet.text(), "the image library gave no reason"));
        }
        append_rgba(rgba, band, static_cast<std::size_t>(rows) * row_pixels, channels, map, opaque);
    }
    return rgba;
}

LayerImage InputFile::read()
{
    LayerImage image;
    image.width = width_;
    image.height = height_;
    image.depth = depth_;
    if (depth_ == 8) {
        image.u8 = read_rgba<std::uint8_t>(OIIO::TypeDesc::UINT8, 255);
    } else if (depth_ == 16) {
        image.u16 = read_rgba<std::uint16_t>(OIIO::TypeDesc::UINT16, 65535);
    } else {
        image.f32 = read_rgba<float>(OIIO::TypeDesc::FLOAT, 1.0f);
    }
    return image;
}

int downsampled_side(int side, const Factor& factor)
{
    return static_cast<int>((static_cast<long long>(side) * factor.num + factor.den - 1) / factor.den);
}

simhost::World layer_world(const LayerImage& image, int depth, const Downsample& downsample, int origin_x,
                           int origin_y)
{
    simhost::WorldSpec world_spec;
    world_spec.width = downsampled_side(image.width, downsample.x);
    world_spec.height = downsampled_side(image.height, downsample.y);
    world_spec.format = simhost::argb_format_for_depth(depth);
    world_spec.origin_x = origin_x;
    world_spec.origin_y = origin_y;
    simhost::World world(world_spec);
    if (depth == 8) {
        fill_world<PF_Pixel>(world, image, downsample, To8{});
    } else if (depth == 16) {
        fill_world<PF_Pixel16>(world, image, downsample, To16{});
    } else {
        fill_world<PF_PixelFloat>(world, image, downsample, ToFloat{});
    }
    return world;
}

void write_frame(const simhost::World& frame, const fs::path& path, const OutputFormat& format,
                 const std::function<void()>& before_commit)
{
    const int depth = simhost::bit_depth(frame.format());
    check_format_holds(format, depth);
    const OIIO::TypeDesc type = depth == 8    ? OIIO::TypeDesc::UINT8
                                : depth == 16 ? OIIO::TypeDesc::UINT16
                                              : OIIO::TypeDesc::FLOAT;

    OIIO::ImageSpec image_spec(frame.width(), frame.height(), 4, type);
    if (format.oiio_format != "openexr") {
        // The pixels are straight colour; say so, or the writer would divide by alpha.
        image_spec.attribute("oiio:UnassociatedAlpha", 1);
    }
    image_spec.attribute("Software", "velkorramp");
    // The frame has no Exif data, and the TIFF writer records an error for the
    // empty Exif directory it would add while reporting success; a write whose
    // errors are all checked must not be given one that means nothing.
    image_spec.attribute("tiff:write_exif", 0);

    OutputFile file(path);
    LibraryMessages quiet;
    auto out = OIIO::ImageOutput::create(format.oiio_format);
    if (!out) {
        const std::string library_error = OIIO::geterror();
        file.fail(reason_of(library_error, quiet.text(), "no writer for this format"));
    }
    // The writer sees only the descriptor, so every byte it writes is checked
    // there, and its messages name the user's path.
    if (!out->set_ioproxy(&file.writer()) || !out->open(path.string(), image_spec)) {
        const std::string library_error = out->geterror();
        file.fail(reason_of(library_error, quiet.text(), "the writer would not start"));
    }
    // The samples go to the writer a band of rows at a time, converted from the
    // host's ARGB as they go: what the tool holds besides the frame is one band.
    const int band_rows = write_band_rows(frame.width(), depth);
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> words;
    std::vector<float> floats;
    bool written = true;
    for (int top = 0; top < frame.height() && written; top += band_rows) {
        const int rows = std::min(band_rows, frame.height() - top);
        const void* data = nullptr;
        if (depth == 8) {
            band_samples<PF_Pixel>(frame, top, rows, bytes, [](std::uint8_t v) { return v; });
            data = bytes.data();
        } else if (depth == 16) {
            band_samples<PF_Pixel16>(frame, top, rows, words, host16_to_file16);
            data = words.data();
        } else {
            band_samples<PF_PixelFloat>(frame, top, rows, floats, [](float v) { return v; });
            data = floats.data();
        }
        written = out->write_scanlines(top, top + rows, 0, type, data);
    }
    const bool closed = out->close();
    if (!written || !closed || out->has_error() || file.write_failed()) {
        const std::string library_error = out->geterror();
        file.fail(reason_of(library_error, quiet.text(), "the writer failed without a reason"));
    }
    out.reset();
    file.complete();
    if (before_commit) before_commit();
    file.commit();
}

}  // namespace velkorramp
