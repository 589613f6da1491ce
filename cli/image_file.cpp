#include "cli/image_file.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cctype>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#define velkor_getpid _getpid
#else
#include <unistd.h>

#include <csignal>
#include <cstring>
#define velkor_getpid getpid
#endif

#include "cli/failure.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// OpenImageIO errors can span lines; a failure is one line.
std::string one_line(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? std::string("unknown error") : text;
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

// The file's channels into red, green, blue, alpha: colour from the first
// channels that are not alpha (one grey channel serves all three), alpha from
// the file's alpha channel or opaque.
template <class Sample>
std::vector<Sample> to_rgba(const std::vector<Sample>& samples, const OIIO::ImageSpec& image_spec, Sample opaque)
{
    const int channels = image_spec.nchannels;
    int alpha = image_spec.alpha_channel;
    if (alpha < 0 && channels == 2) alpha = 1;
    if (alpha >= channels) alpha = -1;
    std::vector<int> colour;
    for (int c = 0; c < channels && colour.size() < 3; ++c) {
        if (c != alpha) colour.push_back(c);
    }
    const int r = colour.at(0);
    const int g = colour.size() >= 3 ? colour[1] : r;
    const int b = colour.size() >= 3 ? colour[2] : r;
    const std::size_t count = static_cast<std::size_t>(image_spec.width) * static_cast<std::size_t>(image_spec.height);
    std::vector<Sample> rgba(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        const Sample* s = &samples[i * static_cast<std::size_t>(channels)];
        rgba[i * 4 + 0] = s[r];
        rgba[i * 4 + 1] = s[g];
        rgba[i * 4 + 2] = s[b];
        rgba[i * 4 + 3] = alpha >= 0 ? s[alpha] : opaque;
    }
    return rgba;
}

template <class Sample>
std::vector<Sample> read_samples(OIIO::ImageInput& in, const fs::path& path, OIIO::TypeDesc type, Sample opaque)
{
    const OIIO::ImageSpec image_spec = in.spec_dimensions(0);
    std::vector<Sample> samples(static_cast<std::size_t>(image_spec.width) * static_cast<std::size_t>(image_spec.height) *
                                static_cast<std::size_t>(image_spec.nchannels));
    if (!in.read_image(0, 0, 0, image_spec.nchannels, type, samples.data())) {
        fail(ExitCode::input, "cannot read input " + quoted(path) + ": " + one_line(in.geterror()));
    }
    return to_rgba(samples, image_spec, opaque);
}

template <class Pixel, class Sample, class Convert>
std::vector<Sample> frame_samples(const simhost::World& frame, Convert convert)
{
    std::vector<Sample> rgba(static_cast<std::size_t>(frame.width()) * static_cast<std::size_t>(frame.height()) * 4);
    std::size_t i = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const Pixel& p = frame.at<Pixel>(x, y);
            rgba[i++] = convert(p.red);
            rgba[i++] = convert(p.green);
            rgba[i++] = convert(p.blue);
            rgba[i++] = convert(p.alpha);
        }
    }
    return rgba;
}

#if !defined(_WIN32)
// An interrupt while the file is being written must not leave it behind: the
// handler can only unlink a path it finds in plain memory, then lets the signal
// end the process as it would have.
char g_pending_path[4096];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_pending_and_reraise(int signal_number)
{
    if (g_pending_path[0] != '\0') unlink(g_pending_path);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}
#endif

// A temporary file beside the target, removed unless it was renamed into place.
class PendingFile {
public:
    explicit PendingFile(const fs::path& target)
    {
        const fs::path folder = target.parent_path();
        const std::string name = "." + target.filename().string() + ".partial-" +
                                 std::to_string(static_cast<long long>(velkor_getpid())) +
                                 target.extension().string();
        path_ = folder.empty() ? fs::path(name) : folder / name;
#if !defined(_WIN32)
        const std::string text = path_.string();
        if (text.size() < sizeof g_pending_path) {
            std::memcpy(g_pending_path, text.c_str(), text.size() + 1);
            for (const int s : kCleanupSignals) std::signal(s, remove_pending_and_reraise);
        }
#endif
    }
    ~PendingFile()
    {
#if !defined(_WIN32)
        for (const int s : kCleanupSignals) std::signal(s, SIG_DFL);
        g_pending_path[0] = '\0';
#endif
        if (!committed_) {
            std::error_code ignored;
            fs::remove(path_, ignored);
        }
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const fs::path& path() const { return path_; }
    void commit_to(const fs::path& target)
    {
        std::error_code ec;
        fs::rename(path_, target, ec);
        if (ec) fail(ExitCode::output, "cannot write " + quoted(target) + ": " + ec.message());
        committed_ = true;
    }

private:
    fs::path path_;
    bool committed_ = false;
};

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

void check_output_place(const fs::path& path)
{
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        fail(ExitCode::output, "cannot write " + quoted(path) + ": the folder " + quoted(folder) + " does not exist");
    }
    if (fs::is_directory(path, ec)) {
        fail(ExitCode::output, "cannot write " + quoted(path) + ": it is a folder");
    }
}

LayerImage read_layer_image(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        fail(ExitCode::input, "cannot read input " + quoted(path) + ": " +
                                  (fs::exists(path, ec) ? "not a regular file" : "no such file"));
    }
    // Straight alpha stays straight: no premultiplication on the way in.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    if (!in) {
        fail(ExitCode::input, "cannot read input " + quoted(path) + ": " + one_line(OIIO::geterror()));
    }
    const OIIO::ImageSpec image_spec = in->spec_dimensions(0);
    if (image_spec.width < 1 || image_spec.height < 1 || image_spec.width > kMaxLayerSide || image_spec.height > kMaxLayerSide) {
        fail(ExitCode::input, "cannot use input " + quoted(path) + ": " + std::to_string(image_spec.width) + "x" +
                                  std::to_string(image_spec.height) + " is outside the valid layer sizes 1 to " +
                                  std::to_string(kMaxLayerSide) + " on each side");
    }
    if (image_spec.nchannels < 1 || image_spec.depth > 1) {
        fail(ExitCode::input, "cannot use input " + quoted(path) + ": it is not a flat image with colour channels");
    }
    LayerImage image;
    image.width = image_spec.width;
    image.height = image_spec.height;
    switch (image_spec.format.basetype) {
    case OIIO::TypeDesc::UINT8:
    case OIIO::TypeDesc::INT8:
        image.depth = 8;
        image.u8 = read_samples<std::uint8_t>(*in, path, OIIO::TypeDesc::UINT8, 255);
        break;
    case OIIO::TypeDesc::UINT16:
    case OIIO::TypeDesc::INT16:
        image.depth = 16;
        image.u16 = read_samples<std::uint16_t>(*in, path, OIIO::TypeDesc::UINT16, 65535);
        break;
    default:
        image.depth = 32;
        image.f32 = read_samples<float>(*in, path, OIIO::TypeDesc::FLOAT, 1.0f);
        break;
    }
    in->close();
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

void write_frame(const simhost::World& frame, const fs::path& path, const OutputFormat& format)
{
    const int depth = simhost::bit_depth(frame.format());
    check_format_holds(format, depth);
    OIIO::TypeDesc type = OIIO::TypeDesc::UINT8;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> words;
    std::vector<float> floats;
    const void* data = nullptr;
    if (depth == 8) {
        bytes = frame_samples<PF_Pixel, std::uint8_t>(frame, [](std::uint8_t v) { return v; });
        data = bytes.data();
    } else if (depth == 16) {
        type = OIIO::TypeDesc::UINT16;
        words = frame_samples<PF_Pixel16, std::uint16_t>(frame, host16_to_file16);
        data = words.data();
    } else {
        type = OIIO::TypeDesc::FLOAT;
        floats = frame_samples<PF_PixelFloat, float>(frame, [](float v) { return v; });
        data = floats.data();
    }

    OIIO::ImageSpec image_spec(frame.width(), frame.height(), 4, type);
    if (format.oiio_format != "openexr") {
        // The pixels are straight colour; say so, or the writer would divide by alpha.
        image_spec.attribute("oiio:UnassociatedAlpha", 1);
    }
    image_spec.attribute("Software", "velkorramp");

    PendingFile pending(path);
    auto out = OIIO::ImageOutput::create(format.oiio_format);
    if (!out) {
        fail(ExitCode::output, "cannot write " + quoted(path) + ": " + one_line(OIIO::geterror()));
    }
    if (!out->open(pending.path().string(), image_spec)) {
        fail(ExitCode::output, "cannot write " + quoted(path) + ": " + one_line(out->geterror()));
    }
    const bool written = out->write_image(type, data);
    const bool closed = out->close();
    if (!written || !closed) {
        fail(ExitCode::output, "cannot write " + quoted(path) + ": " + one_line(out->geterror()));
    }
    out.reset();
    pending.commit_to(path);
}

}  // namespace velkorramp
