#include "cli/file_rows.h"

#include <algorithm>

#include "cli/format_conventions.h"
#include "cli/memory_budget.h"
#include "cli/sample_conversions.h"

namespace velkorramp {

namespace {

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

}  // namespace

Region written_region(int frame_width, int frame_height, const WriteSettings& settings)
{
    const FrameWindows& w = settings.windows;
    if (settings.keeps_origin()) return Region{w.origin_x, w.origin_y, frame_width, frame_height};
    return Region{0, 0, w.display_width, w.display_height};
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

bool write_all(OIIO::ImageOutput& out, const simhost::World& frame, const WriteSettings& settings,
               const Region& region, const OIIO::ImageSpec& spec)
{
    return with_pixel_type(FrameDepth::of(frame), [&]<class Pixel>(Pixel) {
        return write_pixels<Pixel>(out, frame, settings, region, spec);
    });
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

}  // namespace velkorramp
