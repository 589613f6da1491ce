// One frame as the host renders it: the input layer's and the output's worlds,
// the formats PF_GetPixelFormat reports, the layer checkouts of smart pre-render,
// the layer-pixel checkouts of smart render, and the pre-render data the host
// holds between the two. Every checkout call is logged with its result.
//
// The host renders one frame at a time; a host with several frames in flight
// keeps one of these per frame.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/command_log.h"
#include "simhost/world.h"

namespace simhost {

struct LayerCheckoutCall {
    PF_ParamIndex index = 0;
    A_long checkout_id = 0;
    PF_RenderRequest request{};  // as the module passed it
    A_long what_time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;
    PF_CheckoutResult result{};  // as the host filled it
    PF_Err err = 0;
};

// Pre-render data the host holds for the module, with the module's deleter.
struct HeldPreRenderData {
    void* data = nullptr;
    PF_DeletePreRenderDataFunc deleter = nullptr;
};

class FrameCheckouts {
public:
    explicit FrameCheckouts(CommandRecorder& recorder) : recorder_(recorder) {}

    void begin(World* input, World* output, PF_PixelFormat reported_input_format);
    void end();
    World* input() const;
    World* output() const;

    void register_world(const PF_EffectWorld* world, PF_PixelFormat format);
    void unregister_world(const PF_EffectWorld* world);
    PF_Err pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format);

    // Callback bodies; `call` carries the arguments and the injected fault.
    PF_Err checkout_layer(LayerCheckoutCall call, const PF_RenderRequest* req, PF_CheckoutResult* result,
                          const PF_RationalScale& pixel_aspect_ratio);
    PF_Err checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels, bool null_world);
    PF_Err checkin_layer_pixels(A_long checkout_id, PF_Err injected);
    PF_Err checkout_output(PF_EffectWorld** output, bool null_world);

    // A new smart pre-render forgets the layer checkouts of the last one.
    void clear_layer_checkouts();
    // A new smart render starts with no pixel checkouts; at its end, those the
    // module left out are counted and released.
    void clear_pixel_checkouts();
    void release_pixel_checkouts();

    void hold_pre_render_data(const HeldPreRenderData& held);
    // Hands the held data (if any) to the caller to delete; the host holds none after.
    HeldPreRenderData take_pre_render_data();
    void* pre_render_data() const;
    void count_pre_render_data_deleted(bool with_deleter);

    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const { return checkout_layer_calls_; }
    void clear_logs();

    void account(Accounting& a) const;

private:
    struct PixelCheckout {
        A_long checkout_id;
        bool checked_in;
    };

    CommandRecorder& recorder_;
    mutable std::mutex mutex_;
    World* input_ = nullptr;
    World* output_ = nullptr;
    std::map<const PF_EffectWorld*, PF_PixelFormat> worlds_;
    std::map<A_long, PF_CheckoutResult> layer_checkouts_;  // by checkout id, this frame
    std::vector<PixelCheckout> pixel_checkouts_;          // this smart render
    std::vector<LayerCheckoutCall> checkout_layer_calls_;
    int layers_checked_out_ = 0;
    int layer_pixels_checked_out_ = 0;
    int layer_pixels_checked_in_ = 0;
    int layer_pixels_left_out_ = 0;

    HeldPreRenderData pre_render_;
    int pre_render_data_created_ = 0;
    int pre_render_data_deleted_ = 0;
    int pre_render_data_without_deleter_ = 0;
};

}  // namespace simhost
