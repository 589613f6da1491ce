// One frame as the host renders it: the input layer and the worlds the host
// hands out for it, the formats PF_GetPixelFormat reports, the layer checkouts
// of smart pre-render, the layer-pixel checkouts of smart render, and the
// pre-render data the host holds between the two. Every checkout call is logged
// with its result. A host with several frames in flight keeps one of these per
// frame; the formats of all worlds are shared (WorldFormats).
//
// Worlds (WorldRules). The gentle host hands the module the layer's own world
// as the input and the caller's world as the output. The strict host, as the
// real one, sizes both itself and gives the output its own buffer:
// - the input of a checkout covers the checkout's result rectangle (the layer
//   clipped to the request), a window onto the layer's pixels with the layer's
//   rowbytes;
// - the output covers the smart render's request clipped to the effect's result
//   rectangle from pre-render, with rows padded by more than the input's and its
//   origin reported shifted from where the input's would put it, so nothing in
//   the module may take the output's origin or stride for the input's.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
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

struct WorldRules {
    bool host_sized = true;
    PF_Point output_origin_shift{7, -5};
    int output_extra_row_pixels = 3;
};

// What the caller gives for a frame's output.
struct FrameOutput {
    // The gentle host draws into this world; the strict host takes its format,
    // row padding and direction for a buffer of its own.
    World* world = nullptr;
    // The strict host's output takes `world`'s size instead of its own sizing.
    bool keep_size = false;
    // Every pixel byte of the output before each smart render.
    std::optional<std::uint8_t> fill;
};

// The pixel formats of every world the host made or was told about.
class WorldFormats {
public:
    void add(const PF_EffectWorld* world, PF_PixelFormat format);
    void remove(const PF_EffectWorld* world);
    bool find(const PF_EffectWorld* world, PF_PixelFormat* format) const;

private:
    mutable std::mutex mutex_;
    std::map<const PF_EffectWorld*, PF_PixelFormat> formats_;
};

class FrameCheckouts {
public:
    FrameCheckouts(CommandRecorder& recorder, WorldFormats& formats)
        : recorder_(recorder), formats_(formats)
    {
    }
    ~FrameCheckouts();
    FrameCheckouts(const FrameCheckouts&) = delete;
    FrameCheckouts& operator=(const FrameCheckouts&) = delete;

    void begin(World* input, const FrameOutput& output, PF_PixelFormat reported_input_format,
               const WorldRules& rules);
    void end();
    World* input() const;
    // The world the module draws into: the caller's, or the host's own.
    World* output() const;

    PF_Err pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format);

    // Callback bodies; `call` carries the arguments and the injected fault.
    PF_Err checkout_layer(LayerCheckoutCall call, const PF_RenderRequest* req,
                          PF_CheckoutResult* result, const PF_RationalScale& pixel_aspect_ratio);
    PF_Err checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels, bool null_world);
    PF_Err checkin_layer_pixels(A_long checkout_id, PF_Err injected);
    PF_Err checkout_output(PF_EffectWorld** output, bool null_world);

    // A new smart pre-render forgets the layer checkouts of the last one.
    void clear_layer_checkouts();
    // The effect's result rectangle as its pre-render reported it.
    void set_effect_result_rect(const PF_LRect& rect);
    // A new smart render starts with no pixel checkouts and an output for the
    // request, filled as the caller asked; at its end, the pixel checkouts the
    // module left out are counted and released.
    void begin_smart_render(const PF_RenderRequest& request);
    void end_smart_render();

    void hold_pre_render_data(const HeldPreRenderData& held);
    // Hands the held data (if any) to the caller to delete; the host holds none after.
    HeldPreRenderData take_pre_render_data();
    void* pre_render_data() const;
    void count_pre_render_data_deleted(bool with_deleter);
    // Pre-render data the host let go of without calling the deleter.
    void count_pre_render_data_dropped();

    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const
    {
        return checkout_layer_calls_;
    }
    void clear_logs();

    // Adds this frame's counts to `a`.
    void account(Accounting& a) const;

private:
    struct PixelCheckout {
        A_long checkout_id;
        bool checked_in;
    };

    void forget_input_views_locked();

    CommandRecorder& recorder_;
    WorldFormats& formats_;
    mutable std::mutex mutex_;
    WorldRules rules_;
    World* input_ = nullptr;
    PF_PixelFormat input_format_ = PF_PixelFormat_INVALID;
    FrameOutput given_output_;
    std::unique_ptr<World> own_output_;  // the strict host's output, kept while its layout fits
    PF_LRect effect_result_rect_{};
    std::map<A_long, PF_CheckoutResult> layer_checkouts_;  // by checkout id, this frame
    std::map<A_long, std::unique_ptr<PF_EffectWorld>>
        input_views_;                             // by checkout id, this smart render
    std::vector<PixelCheckout> pixel_checkouts_;  // this smart render
    std::vector<LayerCheckoutCall> checkout_layer_calls_;
    int layers_checked_out_ = 0;
    int layer_pixels_checked_out_ = 0;
    int layer_pixels_checked_in_ = 0;
    int layer_pixels_left_out_ = 0;

    HeldPreRenderData pre_render_;
    int pre_render_data_created_ = 0;
    int pre_render_data_deleted_ = 0;
    int pre_render_data_without_deleter_ = 0;
    int pre_render_data_dropped_ = 0;
};

}  // namespace simhost
