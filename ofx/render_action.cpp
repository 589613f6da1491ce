#include "ofx/render_action.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "ofx/aspect_ramp.h"
#include "ofx/host_suites.h"
#include "ofx/instance.h"
#include "ofx/ramp_frame.h"
#include "params/param_table.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_renderer.h"

namespace velkor::ofx {
namespace {

// An image fetched from a clip, released when it goes.
class ClipImage {
public:
    ClipImage(OfxImageClipHandle clip, OfxTime time)
    {
        if (suites().effect->clipGetImage(clip, time, nullptr, &handle_) != kOfxStatOK) {
            handle_ = nullptr;
        }
    }
    ~ClipImage()
    {
        if (handle_ != nullptr) suites().effect->clipReleaseImage(handle_);
    }
    ClipImage(const ClipImage&) = delete;
    ClipImage& operator=(const ClipImage&) = delete;

    explicit operator bool() const { return handle_ != nullptr; }
    OfxPropertySetHandle props() const { return handle_; }

    std::string_view string(const char* name) const
    {
        char* value = nullptr;
        check(suites().property->propGetString(handle_, name, 0, &value));
        return value != nullptr ? value : "";
    }

private:
    OfxPropertySetHandle handle_ = nullptr;
};

DepthClass depth_of(std::string_view depth)
{
    if (depth == kOfxBitDepthByte) return DepthClass::rgba8;
    if (depth == kOfxBitDepthShort) return DepthClass::rgba16;
    if (depth == kOfxBitDepthFloat) return DepthClass::rgba_float;
    return DepthClass::none;
}

ImageMemory memory_of(const ClipImage& image, DepthClass depth)
{
    ImageMemory m;
    const OfxPropertySuiteV1& p = *suites().property;
    check(p.propGetPointer(image.props(), kOfxImagePropData, 0, &m.data));
    check(p.propGetIntN(image.props(), kOfxImagePropBounds, 4, &m.bounds.x1));
    check(p.propGetInt(image.props(), kOfxImagePropRowBytes, 0, &m.row_bytes));
    m.pixel_bytes = pixel_size(depth);
    return m;
}

bool covers(const OfxRectI& outer, const OfxRectI& inner)
{
    return outer.x1 <= inner.x1 && outer.y1 <= inner.y1 && inner.x2 <= outer.x2 &&
           inner.y2 <= outer.y2;
}

OfxRectI intersection(const OfxRectI& a, const OfxRectI& b)
{
    OfxRectI r{std::max(a.x1, b.x1), std::max(a.y1, b.y1), std::min(a.x2, b.x2),
               std::min(a.y2, b.y2)};
    if (r.x1 >= r.x2 || r.y1 >= r.y2) r = {a.x1, a.y1, a.x1, a.y1};
    return r;
}

// Rows of `world` as pixels of type Pixel.
template <class Pixel>
Pixel* row_of(const PF_EffectWorld& world, A_long y)
{
    return reinterpret_cast<Pixel*>(reinterpret_cast<unsigned char*>(world.data) +
                                    static_cast<std::ptrdiff_t>(y) * world.rowbytes);
}

// Prepares the output window as the engine's input when the source cannot be
// read in place: `fill` everywhere, then the part of the source that exists,
// with premultiplied colour divided by its alpha (the engine's pixels are
// straight).
template <class Traits>
void prepare_in_place(const PF_EffectWorld& out, const PF_EffectWorld* source, int source_dx,
                      int source_dy, const OfxRectI& covered, bool unpremultiply, double fill_value)
{
    using Pixel = typename Traits::Pixel;
    using Channel = typename Traits::Channel;
    const Channel full = Traits::from_unit(fill_value);
    const Pixel fill{full, full, full, full};
    for (A_long y = 0; y < out.height; ++y) {
        Pixel* row = row_of<Pixel>(out, y);
        std::fill(row, row + out.width, fill);
    }
    if (source == nullptr) return;
    for (int y = covered.y1; y < covered.y2; ++y) {
        const Pixel* from = row_of<Pixel>(*source, y + source_dy);
        Pixel* to = row_of<Pixel>(out, y);
        for (int x = covered.x1; x < covered.x2; ++x) {
            Pixel p = from[x + source_dx];
            if (unpremultiply) {
                const double a = Traits::widen(p.alpha);
                const auto straight = [&](Channel c) {
                    if (!(a > 0.0)) return Traits::from_unit(0.0);
                    return Traits::from_unit(Traits::widen(c) / a);
                };
                p.red = straight(p.red);
                p.green = straight(p.green);
                p.blue = straight(p.blue);
            }
            to[x] = p;
        }
    }
}

// What each host thread needs to draw its band.
struct BandJob {
    const RampRenderer* renderer;
    const AspectRamp* aspect;  // pixels that are not square; else null
    WorldView input;
    WorldView output;
};

void draw_band(unsigned int index, unsigned int count, void* arg)
{
    const auto& job = *static_cast<const BandJob*>(arg);
    const std::int64_t height = job.output.world->height;
    const auto top = static_cast<A_long>(height * index / count);
    const auto bottom = static_cast<A_long>(height * (index + 1) / count);
    if (job.aspect != nullptr) {
        job.aspect->render_rows(job.input, job.output, top, bottom);
    } else {
        job.renderer->render_area(job.input, job.output,
                                  PF_Rect{0, top, job.output.world->width, bottom});
    }
}

OfxStatus draw_bands(const BandJob& job)
{
    const OfxMultiThreadSuiteV1* threads = suites().thread;
    unsigned int cpus = 1;
    if (threads == nullptr || threads->multiThreadNumCPUs(&cpus) != kOfxStatOK) cpus = 1;
    const auto rows = static_cast<unsigned int>(job.output.world->height);
    const unsigned int count = std::max(1u, std::min(cpus, rows));
    if (threads == nullptr || count == 1) {
        draw_band(0, 1, const_cast<BandJob*>(&job));
        return kOfxStatOK;
    }
    return threads->multiThread(&draw_band, count, const_cast<BandJob*>(&job));
}

}  // namespace

OfxStatus render(OfxImageEffectHandle effect, OfxPropertySetHandle in)
{
    const OfxPropertySuiteV1& p = *suites().property;
    const Instance& instance = instance_of(effect);
    double time = 0;
    OfxRectI window{0, 0, 0, 0};
    OfxPointD scale{1, 1};
    check(p.propGetDouble(in, kOfxPropTime, 0, &time));
    check(p.propGetIntN(in, kOfxImageEffectPropRenderWindow, 4, &window.x1));
    check(p.propGetDoubleN(in, kOfxImageEffectPropRenderScale, 2, &scale.x));
    if (!(scale.x > 0.0) || !(scale.y > 0.0)) return kOfxStatErrValue;

    const ClipImage output(instance.output, time);
    if (!output) return kOfxStatFailed;
    const DepthClass depth = depth_of(output.string(kOfxImageEffectPropPixelDepth));
    if (depth == DepthClass::none ||
        output.string(kOfxImageEffectPropComponents) != kOfxImageComponentRGBA) {
        return kOfxStatErrImageFormat;
    }
    const ImageMemory out_memory = memory_of(output, depth);
    window = intersection(window, out_memory.bounds);
    if (window.x1 == window.x2) return kOfxStatOK;
    RenderGeometry geometry;
    geometry.render_scale = scale;
    check(
        p.propGetDouble(output.props(), kOfxImagePropPixelAspectRatio, 0, &geometry.pixel_aspect));
    if (!(geometry.pixel_aspect > 0.0)) geometry.pixel_aspect = 1.0;
    geometry.frame = frame_rect(effect, instance, time);

    // Square pixels are the other host's frame; others are measured in square
    // units, the height of a pixel.
    const bool square = geometry.pixel_aspect == 1.0;
    const RampControls controls = read_controls(instance.controls, time);
    const A_long column_offset = window.x1 - frame_left_pixel(geometry);
    const A_long row_offset = frame_top_pixel(geometry) - window.y2;
    RampSettings settings =
        settings_from(controls,
                      square ? geometry : RenderGeometry{geometry.frame, {scale.y, scale.y}, 1.0});
    if (square) rebase_ramp_points(settings, column_offset, row_offset);

    PF_EffectWorld out_world = world_of(out_memory, window);
    PF_EffectWorld source_world{};
    bool in_place = true;
    const bool connected = source_connected(instance);
    std::optional<ClipImage> source;
    if (connected) source.emplace(instance.source, time);
    const bool have_source = source.has_value() && static_cast<bool>(*source);
    if (have_source) {
        if (depth_of(source->string(kOfxImageEffectPropPixelDepth)) != depth ||
            source->string(kOfxImageEffectPropComponents) != kOfxImageComponentRGBA) {
            return kOfxStatErrImageFormat;
        }
        const ImageMemory source_memory = memory_of(*source, depth);
        const bool premultiplied =
            source->string(kOfxImageEffectPropPreMultiplication) == kOfxImagePreMultiplied;
        const bool keeps_source_color = settings.type == kTypeAlpha;
        if (covers(source_memory.bounds, window) && !(premultiplied && keeps_source_color)) {
            source_world = world_of(source_memory, window);
            in_place = false;
        } else {
            // The part of the window the source holds, in the window's rows.
            const OfxRectI held = intersection(window, source_memory.bounds);
            const OfxRectI covered{held.x1 - window.x1, window.y2 - held.y2, held.x2 - window.x1,
                                   window.y2 - held.y1};
            const PF_EffectWorld whole = world_of(source_memory, source_memory.bounds);
            const int dx = window.x1 - source_memory.bounds.x1;
            const int dy = source_memory.bounds.y2 - window.y2;
            with_pixel_traits(depth, [&](auto traits) {
                prepare_in_place<decltype(traits)>(out_world, &whole, dx, dy, covered,
                                                   premultiplied, 0.0);
            });
        }
    } else {
        // No source: the ramp over an opaque white frame; a connected source
        // that gives no image is black and clear, as the standard asks.
        with_pixel_traits(depth, [&](auto traits) {
            prepare_in_place<decltype(traits)>(out_world, nullptr, 0, 0, {}, false,
                                               connected ? 0.0 : 1.0);
        });
    }

    const RampRenderer renderer(RenderRecord{&engine_in_data(), settings});
    std::optional<AspectRamp> aspect;
    if (!square) {
        aspect.emplace(renderer.evaluator(), geometry.pixel_aspect * scale.y / scale.x,
                       column_offset, row_offset);
    }
    const BandJob job{&renderer,
                      aspect ? &*aspect : nullptr,
                      {depth, in_place ? &out_world : &source_world},
                      {depth, &out_world}};
    const OfxStatus status = draw_bands(job);
    if (status != kOfxStatOK) return status;
    return suites().effect->abort(effect) != 0 ? kOfxStatFailed : kOfxStatOK;
}

}  // namespace velkor::ofx
