// Smart pre-render: resolves the controls at the current time into the frame's
// settings handle, checks out the input layer under the host's own request, and
// reports the input's area as the effect's.
#include <memory>
#include <new>

#include "host/commands.h"
#include "host/handle_ownership.h"
#include "host/suite_handler.h"
#include "render/param_checkout.h"
#include "render/pre_render_data.h"
#include "render/rect_union.h"
#include "ramp/ramp_settings.h"

namespace velkor {

PF_Err smart_pre_render(PF_InData* in_data, PF_OutData* /*out_data*/, PF_PreRenderExtra* extra)
{
    if (extra == nullptr || extra->input == nullptr || extra->output == nullptr ||
        extra->cb == nullptr || extra->cb->checkout_layer == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_RenderRequest request = extra->input->output_request;

    SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite1& handles = suites.handle_suite();

    OwnedHandle handle(handles, handles.host_new_handle(sizeof(RampSettings)));
    if (!handle) return PF_Err_OUT_OF_MEMORY;
    HandleLock lock(handles, handle.get());
    if (lock.address() == nullptr) return PF_Err_OUT_OF_MEMORY;

    std::unique_ptr<PreRenderData> data(new (std::nothrow)
                                            PreRenderData{in_data->pica_basicP, handle.get()});
    if (data == nullptr) return PF_Err_OUT_OF_MEMORY;
    // Named in the output before anything can fail, and taken back if anything
    // does: `handover` clears the output and frees the block, `lock` unlocks and
    // `handle` disposes the settings, in that order.
    PreRenderHandover handover(*extra->output, std::move(data));

    PF_Err err = PF_Err_NONE;
    {
        ParamCheckout params(*in_data);
        err = params.checkout_all();
        if (err != PF_Err_NONE) return err;
        fill_ramp_settings(params.values(), in_data->downsample_x,
                           *static_cast<RampSettings*>(lock.address()));
    }

    // Ask the input for exactly the area and channels the host asks of the
    // effect; keep the colour of fully transparent pixels, which "Alpha" and
    // "Color" carry through.
    request.preserve_rgb_of_zero_alpha = true;
    PF_CheckoutResult checkout{};
    err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                    in_data->time_step, in_data->time_scale, &checkout);
    if (err != PF_Err_NONE) return err;
    union_rect(checkout.result_rect, extra->output->result_rect);
    union_rect(checkout.max_result_rect, extra->output->max_result_rect);

    // The host owns the settings from here, through the deleter.
    handover.keep();
    handle.release();
    return PF_Err_NONE;
}

}  // namespace velkor
