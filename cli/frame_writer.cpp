#include "cli/frame_writer.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "cli/failure.h"
#include "cli/full_write.h"
#include "cli/format_conventions.h"
#include "cli/library_messages.h"
#include "cli/memory_budget.h"
#include "cli/output_file.h"
#include "cli/sample_conversions.h"
#include "cli/webp_file.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

// The part of the layer the file holds, in the frame's (proxy) layer coordinates.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

Region written_region(int frame_width, int frame_height, const WriteSettings& settings)
{
    const FrameWindows& w = settings.windows;
    if (settings.keeps_origin()) return Region{w.origin_x, w.origin_y, frame_width, frame_height};
    return Region{0, 0, w.display_width, w.display_height};
}

OIIO::TypeDesc type_of(FileDepth depth)
{
    switch (depth) {
    case FileDepth::u8:
        return OIIO::TypeDesc::UINT8;
    case FileDepth::u10:
    case FileDepth::u12:
    case FileDepth::u16:
        return OIIO::TypeDesc::UINT16;
    case FileDepth::half:
        return OIIO::TypeDesc::HALF;
    case FileDepth::f32:
        return OIIO::TypeDesc::FLOAT;
    }
    return OIIO::TypeDesc::FLOAT;
}

template <class Sample>
Sample premultiply(Sample colour, Sample alpha, std::uint32_t maximum)
{
    if constexpr (std::is_same_v<Sample, float>) {
        (void)maximum;
        return colour * alpha;
    } else {
        return static_cast<Sample>((static_cast<std::uint32_t>(colour) * alpha + maximum / 2) /
                                   maximum);
    }
}

// Whether the file's channels are the frame's red, green, blue (and alpha), in order.
bool plain_channels(const WriteSettings& settings)
{
    const std::size_t n = settings.channels.size();
    if (n != 3 && n != 4) return false;
    for (std::size_t c = 0; c < n; ++c) {
        if (settings.channels[c].frame_channel != static_cast<int>(c)) return false;
    }
    return true;
}

// Where each carried channel of the file is in this frame's carried samples,
// or -1 (written as 0) when the input lacks it or has another size than the frame.
std::vector<int> carried_sources(const WriteSettings& settings, const simhost::World& frame)
{
    std::vector<int> sources;
    const CarriedData* carried = settings.carried.get();
    const bool fits =
        carried != nullptr && carried->width == frame.width() && carried->height == frame.height();
    for (const FileChannel& channel : settings.channels) {
        int index = -1;
        if (channel.frame_channel < 0 && fits) {
            const auto at =
                std::find(carried->names.begin(), carried->names.end(), channel.carried);
            if (at != carried->names.end()) index = static_cast<int>(at - carried->names.begin());
        }
        sources.push_back(index);
    }
    return sources;
}

// The frame's rows for region rows `first_row` .. + `rows` as straight float
// RGBA, converted in colour in one call on OpenImageIO's threads (each pixel
// alike whatever the split); rows outside the frame are zero. Empty without a
// conversion.
template <class Pixel>
void converted_rows(const simhost::World& frame, const WriteSettings& settings,
                    const Region& region, int first_row, int rows, std::vector<float>& out)
{
    if (settings.conversion.empty()) return;
    const std::size_t width = static_cast<std::size_t>(frame.width());
    out.resize(width * static_cast<std::size_t>(rows) * 4);
    const HostToFileFloat to_float;
    for (int r = 0; r < rows; ++r) {
        const int frame_y = region.y + first_row + r - settings.windows.origin_y;
        float* s = out.data() + static_cast<std::size_t>(r) * width * 4;
        if (frame_y < 0 || frame_y >= frame.height()) {
            std::fill(s, s + width * 4, 0.0f);
            continue;
        }
        const Pixel* pixels = &frame.at<Pixel>(0, frame_y);
        for (std::size_t i = 0; i < width; ++i, s += 4) {
            s[0] = to_float(pixels[i].red);
            s[1] = to_float(pixels[i].green);
            s[2] = to_float(pixels[i].blue);
            s[3] = to_float(pixels[i].alpha);
        }
    }
    settings.conversion.apply(out.data(), frame.width(), rows, 0);
}

// One row of the region as the file's samples: the frame's pixels where it has
// them, transparent black elsewhere; converted in colour (through float) when
// asked (`converted`: the frame's row as converted_rows made it);
// premultiplied last, in the file's own units; then put in the file's channels,
// beside the input's carried ones.
template <class Pixel, class ToFile>
void file_row(const simhost::World& frame, const WriteSettings& settings,
              const std::vector<int>& carried, const Region& region, int row,
              typename ToFile::Sample* out, const float* converted)
{
    using Sample = typename ToFile::Sample;
    const int channels = static_cast<int>(settings.channels.size());
    Sample* const end = out + static_cast<std::size_t>(region.width) * channels;
    const int frame_y = region.y + row - settings.windows.origin_y;
    // The columns of the region that the frame covers.
    const int first = std::max(region.x, settings.windows.origin_x);
    const int last = std::min(region.x + region.width, settings.windows.origin_x + frame.width());
    if (frame_y < 0 || frame_y >= frame.height() || first >= last) {
        std::fill(out, end, Sample{});
        return;
    }
    Sample* o = out + static_cast<std::size_t>(first - region.x) * channels;
    std::fill(out, o, Sample{});
    std::fill(out + static_cast<std::size_t>(last - region.x) * channels, end, Sample{});
    const int frame_x = first - settings.windows.origin_x;
    const Pixel* pixels = &frame.at<Pixel>(frame_x, frame_y);
    const ToFile to_file;
    const int count = last - first;
    const bool convert = !settings.conversion.empty();
    const bool plain = plain_channels(settings);
    if (!convert && !settings.premultiplied && plain) {
        // Most files: each channel converted and put in the file's order.
        for (int i = 0; i < count; ++i, o += channels) {
            const Pixel& p = pixels[i];
            o[0] = to_file(p.red);
            o[1] = to_file(p.green);
            o[2] = to_file(p.blue);
            if (channels == 4) o[3] = to_file(p.alpha);
        }
        return;
    }
    std::uint32_t maximum = 1;
    if constexpr (!std::is_same_v<Sample, float>) maximum = ToFile::maximum;
    const CarriedData* input = settings.carried.get();
    const std::size_t carried_count = input != nullptr ? input->names.size() : 0;
    for (int i = 0; i < count; ++i, o += channels) {
        std::array<Sample, 4> rgba;
        if (convert) {
            const float* s = converted + static_cast<std::size_t>(frame_x + i) * 4;
            for (int c = 0; c < 4; ++c) rgba[static_cast<std::size_t>(c)] = to_file(s[c]);
        } else {
            const Pixel& p = pixels[i];
            rgba = {to_file(p.red), to_file(p.green), to_file(p.blue), to_file(p.alpha)};
        }
        if (settings.premultiplied) {
            for (int c = 0; c < 3; ++c)
                rgba[static_cast<std::size_t>(c)] = premultiply(rgba[c], rgba[3], maximum);
        }
        if (plain) {
            for (int c = 0; c < channels; ++c) o[c] = rgba[static_cast<std::size_t>(c)];
            continue;
        }
        const std::size_t pixel =
            (static_cast<std::size_t>(frame_y) * frame.width() + frame_x + i) * carried_count;
        for (int c = 0; c < channels; ++c) {
            const int from = settings.channels[static_cast<std::size_t>(c)].frame_channel;
            const int source = carried[static_cast<std::size_t>(c)];
            o[c] = from >= 0     ? rgba[static_cast<std::size_t>(from)]
                   : source >= 0 ? to_file(input->samples[pixel + static_cast<std::size_t>(source)])
                                 : Sample{};
        }
    }
}

// The file's alpha channel: "A" (or a layer's "matte.A") where the file holds
// more than that one channel or names its channels; -1 for a grey matte.
int alpha_channel_of(const WriteSettings& settings)
{
    const std::size_t n = settings.channels.size();
    for (std::size_t c = 0; c < n; ++c) {
        if (settings.channels[c].frame_channel == 3 &&
            (n > 1 || holds_extra_channels(settings.format)))
            return static_cast<int>(c);
    }
    return -1;
}

OIIO::ImageSpec file_spec(const Region& region, const WriteSettings& settings)
{
    const int channels = static_cast<int>(settings.channels.size());
    OIIO::ImageSpec spec(region.width, region.height, channels, type_of(settings.depth));
    spec.channelnames.clear();
    for (const FileChannel& channel : settings.channels) spec.channelnames.push_back(channel.name);
    const int alpha = alpha_channel_of(settings);
    const FrameWindows& w = settings.windows;
    spec.x = w.display_x + region.x;
    spec.y = w.display_y + region.y;
    spec.full_x = w.display_x;
    spec.full_y = w.display_y;
    spec.full_width = w.display_width;
    spec.full_height = w.display_height;
    spec.alpha_channel = alpha;
    if (settings.depth == FileDepth::u10 || settings.depth == FileDepth::u12)
        spec.attribute("oiio:BitsPerSample", settings.depth == FileDepth::u10 ? 10 : 12);
    // The TIFF writer stores half samples as float unless told it may keep them.
    if (settings.depth == FileDepth::half && settings.format.oiio_format == "tiff")
        spec.attribute("tiff:half", 1);
    // Straight colour is handed over as it is, and the writer told so, or it
    // would divide by alpha itself; the TIFF writer then sets ExtraSamples to
    // unassociated alpha. Premultiplied colour is handed over without the hint.
    if (alpha >= 0 && !settings.premultiplied) spec.attribute("oiio:UnassociatedAlpha", 1);
    // What the input said about itself that this format keeps, before what
    // this tool records, which takes its place where both name a thing.
    if (settings.carried && settings.carry_metadata) {
        for (const OIIO::ParamValue& attribute : settings.carried->metadata) {
            if (keeps_attribute(settings.format, attribute))
                spec.extra_attribs.add_or_replace(attribute);
        }
    }
    if (settings.compression) {
        spec.attribute("compression", settings.compression->attribute());
        if (settings.format.oiio_format == "png") {
            spec.attribute("png:compressionLevel",
                           static_cast<int>(settings.compression->level.value_or(6)));
        }
        if (settings.format.oiio_format == "tiff" && settings.compression->level) {
            spec.attribute("tiff:zipquality", static_cast<int>(*settings.compression->level));
        }
    }
    if (settings.spaces != nullptr) {
        tag_colour_space(spec, settings.format.oiio_format, settings.colour_space,
                         *settings.spaces);
    }
    record_provenance(spec, settings.provenance);
    // A TIFF's Exif directory holds only the colour space tag; an empty one makes
    // the writer record an error while reporting success.
    if (settings.format.oiio_format == "tiff") {
        spec.attribute("tiff:write_exif",
                       spec.find_attribute("Exif:ColorSpace") != nullptr ? 1 : 0);
    }
    return spec;
}

// Writes the region band by band through `out`, already open.
template <class Pixel, class ToFile>
bool write_bands(OIIO::ImageOutput& out, const simhost::World& frame, const WriteSettings& settings,
                 const Region& region, const OIIO::ImageSpec& spec, OIIO::TypeDesc data_type)
{
    using Sample = typename ToFile::Sample;
    const std::size_t row_samples =
        static_cast<std::size_t>(region.width) * static_cast<std::size_t>(spec.nchannels);
    // A writer that stores tiles (IFF) takes the image whole; the others take
    // bands of about 1 MiB (write_band_rows, as the memory budget counts them).
    const bool whole = out.spec().tile_width > 0;
    const int band_rows =
        whole ? region.height
              : std::clamp(write_band_rows(region.width, static_cast<int>(8 * sizeof(Sample))), 1,
                           std::max(region.height, 1));
    std::vector<Sample> band(static_cast<std::size_t>(band_rows) * row_samples);
    std::vector<float> scratch;
    const std::vector<int> carried = carried_sources(settings, frame);
    for (int y = 0; y < region.height; y += band_rows) {
        const int rows = std::min(band_rows, region.height - y);
        converted_rows<Pixel>(frame, settings, region, y, rows, scratch);
        for (int r = 0; r < rows; ++r) {
            Sample* row = band.data() + static_cast<std::size_t>(r) * row_samples;
            const float* converted =
                scratch.empty() ? nullptr
                                : scratch.data() + static_cast<std::size_t>(r) * frame.width() * 4;
            file_row<Pixel, ToFile>(frame, settings, carried, region, y + r, row, converted);
        }
        const bool written =
            whole ? out.write_image(data_type, band.data())
                  : out.write_scanlines(spec.y + y, spec.y + y + rows, 0, data_type, band.data());
        if (!written) return false;
    }
    return true;
}

template <class Pixel>
bool write_pixels(OIIO::ImageOutput& out, const simhost::World& frame,
                  const WriteSettings& settings, const Region& region, const OIIO::ImageSpec& spec)
{
    switch (settings.depth) {
    case FileDepth::u8:
        return write_bands<Pixel, HostToFile8>(out, frame, settings, region, spec,
                                               OIIO::TypeDesc::UINT8);
    case FileDepth::u10:  // handed over as 16-bit; the writer keeps the top bits
    case FileDepth::u12:
    case FileDepth::u16:
        return write_bands<Pixel, HostToFile16>(out, frame, settings, region, spec,
                                                OIIO::TypeDesc::UINT16);
    case FileDepth::half:  // handed over as float; the writer rounds to half
    case FileDepth::f32:
        return write_bands<Pixel, HostToFileFloat>(out, frame, settings, region, spec,
                                                   OIIO::TypeDesc::FLOAT);
    }
    return false;
}

bool write_all(OIIO::ImageOutput& out, const simhost::World& frame, const WriteSettings& settings,
               const Region& region, const OIIO::ImageSpec& spec)
{
    return with_pixel_type(FrameDepth::of(frame), [&]<class Pixel>(Pixel) {
        return write_pixels<Pixel>(out, frame, settings, region, spec);
    });
}

// Standard output gets the whole file at once, each write checked, after the
// writer has finished it in memory (TIFF's writer goes back to fill in offsets).
void copy_to_stdout(const std::vector<unsigned char>& bytes)
{
    int error = 0;
    write_fully(STDOUT_FILENO, bytes.data(), bytes.size(), error);
    if (error != 0)
        fail(ExitCode::output, "cannot write to standard output: " + system_reason(error));
}

// The errors a full, read-only or failing disk gives a write: the ones whose
// own words say more than an image library's.
bool storage_error(int error_number)
{
    return error_number == ENOSPC || error_number == EDQUOT || error_number == EFBIG ||
           error_number == EROFS || error_number == EIO;
}

// A writer can report success for a file its own reader cannot open; the
// file's header must give back the size and channels that were written. It is
// read by the format's own reader: the temporary file's name has no extension,
// and a reader found by trying each in turn can be another one (ffmpeg's reads
// a PNG as RGB).
// With `pixels`, every row must also decode, read a band at a time.
std::string read_back_problem(const std::string& name, const std::string& format,
                              OIIO::Filesystem::IOProxy* proxy, const OIIO::ImageSpec& spec,
                              bool pixels)
{
    LibraryMessages quiet;
    auto in = OIIO::ImageInput::create(format);
    OIIO::ImageSpec got;
    if (!in || (proxy != nullptr && !in->set_ioproxy(proxy)) || !in->open(name, got)) {
        const std::string library_error = in ? in->geterror() : OIIO::geterror();
        return "the written file does not read back: " +
               reason_of(library_error, quiet.text(), "no reason given");
    }
    // WebP's encoder leaves out an alpha channel that is opaque everywhere.
    const bool alpha_left_out = format == "webp" && spec.nchannels == 4 && got.nchannels == 3;
    if (got.width != spec.width || got.height != spec.height ||
        (got.nchannels != spec.nchannels && !alpha_left_out)) {
        return "the written file reads back as " + std::to_string(got.width) + "x" +
               std::to_string(got.height) + " with " + std::to_string(got.nchannels) +
               " channels, not as written";
    }
    const int rows = std::clamp(write_band_rows(got.width, 32), 1, std::max(1, got.height));
    std::vector<float> band(pixels ? static_cast<std::size_t>(rows) * got.width * got.nchannels
                                   : 0);
    for (int y = 0; pixels && y < got.height; y += rows) {
        const int end = std::min(got.height, y + rows);
        if (!in->read_scanlines(0, 0, got.y + y, got.y + end, 0, 0, got.nchannels,
                                OIIO::TypeDesc::FLOAT, band.data())) {
            const std::string library_error = in->geterror();
            return "its pixels do not read: " +
                   reason_of(library_error, quiet.text(), "no reason given");
        }
    }
    in->close();
    quiet.text();
    return {};
}

template <class Fail>
void check_reads_back(const std::string& name, const std::string& format,
                      OIIO::Filesystem::IOProxy* proxy, const OIIO::ImageSpec& spec, Fail failed)
{
    const std::string problem = read_back_problem(name, format, proxy, spec, false);
    if (!problem.empty()) failed(problem);
}

// The samples of an 8-bit file with alpha, straight, whole, for a writer that
// is not OpenImageIO's.
std::vector<std::uint8_t> straight_u8_image(const simhost::World& frame,
                                            const WriteSettings& settings, const Region& region)
{
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(region.width) * region.height * 4);
    std::vector<float> scratch;
    const std::vector<int> carried = carried_sources(settings, frame);
    for (int y = 0; y < region.height; ++y) {
        std::uint8_t* row = rgba.data() + static_cast<std::size_t>(y) * region.width * 4;
        with_pixel_type(FrameDepth::of(frame), [&]<class Pixel>(Pixel) {
            converted_rows<Pixel>(frame, settings, region, y, 1, scratch);
            file_row<Pixel, HostToFile8>(frame, settings, carried, region, y, row,
                                         scratch.empty() ? nullptr : scratch.data());
        });
    }
    return rgba;
}

// A WebP file with alpha, encoded by libwebp (webp_file.h): the quality of
// "webp:Q" (100 without one, as OpenImageIO's writer), or "lossless".
std::vector<std::uint8_t> webp_file_bytes(const simhost::World& frame,
                                          const WriteSettings& settings, const Region& region,
                                          const std::function<void(const std::string&)>& failed)
{
    const bool lossless = settings.compression && settings.compression->name == "lossless";
    const float quality =
        settings.compression ? static_cast<float>(settings.compression->level.value_or(100)) : 100;
    WebpEncoding encoded = encode_webp_rgba(straight_u8_image(frame, settings, region),
                                            region.width, region.height, quality, lossless);
    if (!encoded.error.empty()) failed(encoded.error);
    return std::move(encoded.bytes);
}

[[noreturn]] void stdout_failure(const std::string& reason)
{
    fail(ExitCode::output, "cannot write to standard output: " + reason);
}

// A whole file made in memory, checked by its format's reader, then written to
// standard output.
void hand_to_stdout(std::vector<unsigned char>& bytes, const std::string& format,
                    const OIIO::ImageSpec& spec, const std::function<void()>& before_commit)
{
    OIIO::Filesystem::IOMemReader reader(bytes.data(), bytes.size());
    check_reads_back("-", format, &reader, spec, stdout_failure);
    if (before_commit) before_commit();
    copy_to_stdout(bytes);
}

}  // namespace

bool WriteSettings::keeps_origin() const
{
    if (!format.stores_origin) return false;
    const bool negative =
        windows.origin_x + windows.display_x < 0 || windows.origin_y + windows.display_y < 0;
    return !negative || format.stores_negative_origin;
}

namespace {

// The file made whole in memory, checked, then copied to standard output.
void write_to_stdout(const simhost::World& frame, const WriteSettings& settings,
                     const Region& region, const OIIO::ImageSpec& spec,
                     std::unique_ptr<OIIO::ImageOutput>& out, bool by_name, LibraryMessages& quiet,
                     const std::function<void()>& before_commit)
{
    const auto failed = stdout_failure;
    const auto library_failed = [&](const char* otherwise) {
        const std::string library_error = out ? out->geterror() : OIIO::geterror();
        failed(reason_of(library_error, quiet.text(), otherwise));
    };
    // The whole file is made in memory first (TIFF's writer goes back to fill
    // in offsets); by name, in an anonymous in-memory file.
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    const int anonymous = by_name ? ::memfd_create("velkorramp-output", MFD_CLOEXEC) : -1;
    if (by_name && anonymous < 0) failed(system_reason(errno));
    const std::string name =
        by_name ? "/proc/self/fd/" + std::to_string(anonymous) : std::string("-");
    if (!out || (!by_name && !out->set_ioproxy(&memory)) || !out->open(name, spec)) {
        library_failed("the writer would not start");
    }
    const bool written = write_all(*out, frame, settings, region, spec);
    if (!written || !out->close() || out->has_error())
        library_failed("the writer failed without a reason");
    out.reset();
    if (by_name) {
        struct stat info {};
        const bool sized = ::fstat(anonymous, &info) == 0;
        bytes.resize(sized ? static_cast<std::size_t>(info.st_size) : 0);
        const bool read = sized && ::pread(anonymous, bytes.data(), bytes.size(), 0) ==
                                       static_cast<ssize_t>(bytes.size());
        const int error_number = errno;
        ::close(anonymous);
        if (!read) failed(system_reason(error_number));
    }
    quiet.text();
    hand_to_stdout(bytes, settings.format.oiio_format, spec, before_commit);
}

// A WebP file with alpha, encoded by libwebp (webp_file.h), to standard output
// or beside its name.
void write_webp(const fs::path& path, const simhost::World& frame, const WriteSettings& settings,
                const Region& region, const OIIO::ImageSpec& spec,
                const std::function<void()>& before_commit)
{
    if (path == "-") {
        std::vector<std::uint8_t> bytes = webp_file_bytes(frame, settings, region, stdout_failure);
        hand_to_stdout(bytes, settings.format.oiio_format, spec, before_commit);
        return;
    }
    OutputFile file(path);
    const auto failed = [&](const std::string& reason) { file.fail(reason); };
    const std::vector<std::uint8_t> bytes = webp_file_bytes(frame, settings, region, failed);
    if (file.writer().write(bytes.data(), bytes.size()) != bytes.size()) file.fail("");
    check_reads_back(file.temporary().string(), settings.format.oiio_format, nullptr, spec, failed);
    file.complete();
    if (before_commit) before_commit();
    file.commit();
}

// The file made beside its name, checked, then renamed into place.
void write_to_file(const fs::path& path, const simhost::World& frame, const WriteSettings& settings,
                   const Region& region, const OIIO::ImageSpec& spec,
                   std::unique_ptr<OIIO::ImageOutput>& out, bool by_name, LibraryMessages& quiet,
                   const std::function<void()>& before_commit)
{
    OutputFile file(path);
    if (!out) {
        const std::string library_error = OIIO::geterror();
        file.fail(reason_of(library_error, quiet.text(), "no writer for this format"));
    }
    // Where the writer takes one, it sees only the descriptor, so every byte it
    // writes is checked there, and its messages name the user's path. Written
    // by name, the flush and close of the descriptor still check what reached
    // the disk.
    const bool opened = by_name
                            ? out->open(file.temporary().string(), spec)
                            : out->set_ioproxy(&file.writer()) && out->open(path.string(), spec);
    if (!opened) {
        const std::string library_error = out->geterror();
        file.fail(reason_of(library_error, quiet.text(), "the writer would not start"));
    }
    errno = 0;
    const bool written = write_all(*out, frame, settings, region, spec);
    const int write_errno = errno;
    const bool closed = out->close();
    const int storage_errno = storage_error(write_errno) ? write_errno : errno;
    if (!written || !closed || out->has_error() || file.write_failed()) {
        const std::string library_error = out->geterror();
        // Written by name, the library's own descriptor met the error; its
        // message ("TIFFWriteScanline failed") says less than the system's.
        if (by_name && storage_error(storage_errno)) file.fail(system_reason(storage_errno));
        file.fail(reason_of(library_error, quiet.text(), "the writer failed without a reason"));
    }
    out.reset();
    quiet.text();
    check_reads_back(file.temporary().string(), settings.format.oiio_format, nullptr, spec,
                     [&](const std::string& reason) { file.fail(reason); });
    file.complete();
    if (before_commit) before_commit();
    file.commit();
}

}  // namespace

bool holds_whole_frame(const fs::path& path, const WriteSettings& settings, int frame_width,
                       int frame_height)
{
    remove_leftover_temporary(path);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const OIIO::ImageSpec spec =
        file_spec(written_region(frame_width, frame_height, settings), settings);
    return read_back_problem(path.string(), settings.format.oiio_format, nullptr, spec, true)
        .empty();
}

void write_frame(const simhost::World& frame, const fs::path& path, const WriteSettings& settings,
                 const std::function<void()>& before_commit)
{
    const Region region = written_region(frame.width(), frame.height(), settings);
    const OIIO::ImageSpec spec = file_spec(region, settings);
    if (writer_unpremultiplies_regardless(settings.format) && spec.alpha_channel >= 0) {
        write_webp(path, frame, settings, region, spec, before_commit);
        return;
    }
    LibraryMessages quiet;
    auto out = OIIO::ImageOutput::create(settings.format.oiio_format);
    // OpenImageIO 2.4's TIFF writer, given a proxy, leaves the image directory
    // out of a file that has an Exif directory and still reports success; such
    // a file, and the formats whose writers open files themselves, are written
    // by name.
    const bool exif_tiff =
        settings.format.oiio_format == "tiff" && spec.get_int_attribute("tiff:write_exif") != 0;
    const bool by_name = !out || !out->supports("ioproxy") || exif_tiff;

    if (path == "-") {
        write_to_stdout(frame, settings, region, spec, out, by_name, quiet, before_commit);
    } else {
        write_to_file(path, frame, settings, region, spec, out, by_name, quiet, before_commit);
    }
}

}  // namespace velkorramp
