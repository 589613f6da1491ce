// Smart render: takes the settings the pre-render left, checks out the input
// pixels and the output world, decides the depth once, and has the host run the
// ramp over the output in horizontal bands, one per host render thread.
#include <cstdint>
#include <cstring>
#include <memory>

#include "host/commands.h"
#include "host/handle_ownership.h"
#include "host/suite_handler.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_renderer.h"
#include "ramp/ramp_settings.h"
#include "render/pixel_format.h"
#include "render/pre_render_data.h"

namespace velkor {
namespace {

constexpr char kLoadSuiteMessage[] = "Couldn't load suite.";
constexpr char kReleaseSuiteMessage[] = "Couldn't release suite.";

// The input pixels and the output world of one render, and the depth class read
// from the input's pixel format. The input checkout is given back when the last
// owner lets go; the worlds themselves belong to the host.
class LayerCheckout {
public:
    LayerCheckout(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra)
        : in_data_(in_data), out_data_(out_data), extra_(extra)
    {
    }
    ~LayerCheckout()
    {
        if (input_checked_out_ && extra_->cb->checkin_layer_pixels != nullptr) {
            extra_->cb->checkin_layer_pixels(in_data_->effect_ref, 0);
        }
    }
    LayerCheckout(const LayerCheckout&) = delete;
    LayerCheckout& operator=(const LayerCheckout&) = delete;

    void set_up()
    {
        const PF_SmartRenderCallbacks& cb = *extra_->cb;
        status_ = cb.checkout_layer_pixels(in_data_->effect_ref, 0, &input_);
        if (status_ != PF_Err_NONE) return;
        input_checked_out_ = true;
        status_ = cb.checkout_output(in_data_->effect_ref, &output_);
        if (status_ != PF_Err_NONE) return;
        // A host that reports success without a world gave us nothing to read
        // or draw into.
        if (input_ == nullptr || output_ == nullptr) {
            status_ = PF_Err_INTERNAL_STRUCT_DAMAGED;
            return;
        }
        read_depth();
    }

    PF_Err status() const { return status_; }
    DepthClass depth() const { return depth_; }
    PF_EffectWorld* input() const { return input_; }
    PF_EffectWorld* output() const { return output_; }

private:
    void read_depth()
    {
        PF_PixelFormat format = PF_PixelFormat_INVALID;
        const void* suite = nullptr;
        status_ = acquire_aefx_suite(in_data_, out_data_, kWorldSuite.name, kWorldSuite.version,
                                     kLoadSuiteMessage, &suite);
        if (status_ != PF_Err_NONE) return;
        status_ = static_cast<const PF_WorldSuite2*>(suite)->PF_GetPixelFormat(input_, &format);
        if (status_ == PF_Err_NONE) depth_ = depth_class_of(format);
        release_aefx_suite(in_data_, out_data_, kWorldSuite.name, kWorldSuite.version,
                           kReleaseSuiteMessage);
    }

    PF_Err status_ = PF_Err_NONE;
    PF_InData* in_data_;
    PF_OutData* out_data_;
    PF_SmartRenderExtra* extra_;
    DepthClass depth_ = DepthClass::none;
    PF_EffectWorld* input_ = nullptr;
    PF_EffectWorld* output_ = nullptr;
    bool input_checked_out_ = false;
};

// What every band callback reads; lives on the stack for one iteration.
struct BandJob {
    const RampRenderer* renderer;
    const WorldView* source;
    const WorldView* destination;
    PF_Rect area;
    A_long band_count;
};

// Band i of n covers rows top + i*h/n up to top + (i+1)*h/n, full width. The
// arithmetic is 64-bit so that no height and thread count can overflow it; the
// bands tile the area exactly.
PF_Rect band_rect(const PF_Rect& area, A_long i, A_long n)
{
    const std::int64_t h = static_cast<std::int64_t>(area.bottom) - area.top;
    const std::int64_t top = area.top + (static_cast<std::int64_t>(i) * h) / n;
    const std::int64_t bottom = area.top + (static_cast<std::int64_t>(i + 1) * h) / n;
    return PF_Rect{area.left, static_cast<A_long>(top), area.right, static_cast<A_long>(bottom)};
}

PF_Err render_band(void* refcon, A_long /*thread_index*/, A_long i, A_long /*iterations*/)
{
    const auto* job = static_cast<const BandJob*>(refcon);
    if (job == nullptr || i < 0 || i >= job->band_count) return PF_Err_NONE;
    job->renderer->render_area(*job->source, *job->destination,
                               band_rect(job->area, i, job->band_count));
    return PF_Err_NONE;
}

PF_Err iterate(PF_InData* in_data, const RenderRecord& record, const WorldView& source,
               const WorldView& destination, const PF_Rect& area)
{
    if (area.left >= area.right || area.top >= area.bottom) return PF_Err_NONE;

    SuiteHandler suites(in_data->pica_basicP);
    A_long threads = 0;
    const A_Err err = suites.iterate_suite().AEGP_GetNumThreads(&threads);
    if (err != PF_Err_NONE) return err;
    // However few threads the host reports, the frame is still drawn.
    if (threads < 1) threads = 1;

    const RampRenderer renderer(record);
    BandJob job{&renderer, &source, &destination, area, threads};
    return suites.iterate8_suite().iterate_generic(threads, &job, render_band);
}

}  // namespace

PF_Err smart_render(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra)
{
    if (extra == nullptr || extra->input == nullptr || extra->cb == nullptr ||
        extra->cb->checkout_layer_pixels == nullptr || extra->cb->checkout_output == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    // The kernels reach the host's pow through in_data; without it nothing can
    // be shaded.
    if (in_data->utils == nullptr || in_data->utils->ansi.pow == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    SuiteHandler suites(in_data->pica_basicP);
    const auto* data = static_cast<const PreRenderData*>(extra->input->pre_render_data);
    if (data == nullptr || data->settings_handle == nullptr) return PF_Err_BAD_CALLBACK_PARAM;

    // A copy: the handle's record stays as pre-render left it, so rendering the
    // same pre-render data twice draws the same pixels.
    RampSettings settings;
    {
        const PF_HandleSuite1& handles = suites.handle_suite();
        HandleLock lock(handles, data->settings_handle);
        if (lock.address() == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        std::memcpy(&settings, lock.address(), sizeof settings);
    }

    const auto checkout = std::make_shared<LayerCheckout>(in_data, out_data, extra);
    checkout->set_up();
    if (checkout->status() != PF_Err_NONE) return checkout->status();

    // Memory the kernels cannot address as pixels of the depth (a row stride or
    // data pointer off the channels' alignment, overlapping rows, a negative
    // size) makes a damaged world: a frame left undrawn must not be reported as
    // drawn.
    if (!is_drawable(*checkout->input(), checkout->depth()) ||
        !is_drawable(*checkout->output(), checkout->depth())) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }

    const auto input_view =
        std::make_shared<WorldView>(WorldView{checkout->depth(), checkout->input()});
    const auto output_view =
        std::make_shared<WorldView>(WorldView{checkout->depth(), checkout->output()});

    rebase_ramp_points(settings, checkout->input()->origin_x, checkout->input()->origin_y);
    const RenderRecord record{in_data, settings};

    const PF_Rect area{0, 0, checkout->output()->width, checkout->output()->height};
    return iterate(in_data, record, *input_view, *output_view, area);
}

}  // namespace velkor
