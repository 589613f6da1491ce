#include "simhost/frame_checkouts.h"

#include <algorithm>
#include <string>

namespace simhost {

namespace {

bool rect_empty(const PF_LRect& r) { return r.left >= r.right || r.top >= r.bottom; }

PF_LRect intersect(const PF_LRect& a, const PF_LRect& b)
{
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    if (rect_empty(r)) {
        return PF_LRect{0, 0, 0, 0};
    }
    return r;
}

}  // namespace

void FrameCheckouts::begin(World* input, World* output, PF_PixelFormat reported_input_format)
{
    std::lock_guard<std::mutex> lock(mutex_);
    input_ = input;
    output_ = output;
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
    if (input != nullptr) {
        worlds_[input->effect_world()] = reported_input_format;
    }
    if (output != nullptr) {
        worlds_[output->effect_world()] = output->format();
    }
}

void FrameCheckouts::end()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (input_ != nullptr) {
        worlds_.erase(input_->effect_world());
    }
    if (output_ != nullptr) {
        worlds_.erase(output_->effect_world());
    }
    input_ = nullptr;
    output_ = nullptr;
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
}

World* FrameCheckouts::input() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return input_;
}

World* FrameCheckouts::output() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
}

void FrameCheckouts::register_world(const PF_EffectWorld* world, PF_PixelFormat format)
{
    std::lock_guard<std::mutex> lock(mutex_);
    worlds_[world] = format;
}

void FrameCheckouts::unregister_world(const PF_EffectWorld* world)
{
    std::lock_guard<std::mutex> lock(mutex_);
    worlds_.erase(world);
}

PF_Err FrameCheckouts::pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = worlds_.find(world);
    if (it == worlds_.end() || format == nullptr) {
        recorder_.violation("PF_GetPixelFormat on a world the host did not make");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *format = it->second;
    return PF_Err_NONE;
}

PF_Err FrameCheckouts::checkout_layer(LayerCheckoutCall call, const PF_RenderRequest* req,
                                      PF_CheckoutResult* result, const PF_RationalScale& pixel_aspect_ratio)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (req != nullptr) {
        call.request = *req;
    }
    if (call.err == PF_Err_NONE) {
        if (req == nullptr || result == nullptr) {
            recorder_.violation("checkout_layer with a null request or result");
            call.err = PF_Err_BAD_CALLBACK_PARAM;
        } else if (call.index != 0 || input_ == nullptr) {
            call.err = PF_Err_BAD_CALLBACK_PARAM;
        } else {
            const PF_EffectWorld& w = *input_->effect_world();
            const PF_LRect layer{w.origin_x, w.origin_y, w.origin_x + w.width, w.origin_y + w.height};
            PF_CheckoutResult filled{};
            filled.result_rect = intersect(layer, req->rect);
            filled.max_result_rect = layer;
            filled.par = pixel_aspect_ratio;
            filled.ref_width = w.width;
            filled.ref_height = w.height;
            *result = filled;
            call.result = filled;
            layer_checkouts_[call.checkout_id] = filled;
            ++layers_checked_out_;
        }
    }
    checkout_layer_calls_.push_back(call);
    return call.err;
}

PF_Err FrameCheckouts::checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels, bool null_world)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pixels == nullptr) {
        recorder_.violation("checkout_layer_pixels with a null place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (layer_checkouts_.count(checkout_id) == 0 || input_ == nullptr) {
        recorder_.violation("checkout_layer_pixels for checkout id " + std::to_string(checkout_id) +
                            ", which pre-render did not check out");
        *pixels = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *pixels = null_world ? nullptr : input_->effect_world();
    pixel_checkouts_.push_back(PixelCheckout{checkout_id, false});
    ++layer_pixels_checked_out_;
    return PF_Err_NONE;
}

PF_Err FrameCheckouts::checkin_layer_pixels(A_long checkout_id, PF_Err injected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = std::find_if(pixel_checkouts_.begin(), pixel_checkouts_.end(), [&](const PixelCheckout& c) {
        return c.checkout_id == checkout_id && !c.checked_in;
    });
    if (it == pixel_checkouts_.end()) {
        recorder_.violation("checkin_layer_pixels for checkout id " + std::to_string(checkout_id) +
                            ", whose pixels are not checked out");
        return injected != PF_Err_NONE ? injected : PF_Err_BAD_CALLBACK_PARAM;
    }
    it->checked_in = true;
    ++layer_pixels_checked_in_;
    return injected;
}

PF_Err FrameCheckouts::checkout_output(PF_EffectWorld** output, bool null_world)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (output == nullptr) {
        recorder_.violation("checkout_output with a null place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (output_ == nullptr) {
        recorder_.violation("checkout_output outside a frame");
        *output = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *output = null_world ? nullptr : output_->effect_world();
    return PF_Err_NONE;
}

void FrameCheckouts::clear_layer_checkouts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    layer_checkouts_.clear();
}

void FrameCheckouts::clear_pixel_checkouts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    pixel_checkouts_.clear();
}

void FrameCheckouts::release_pixel_checkouts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const PixelCheckout& c : pixel_checkouts_) {
        if (!c.checked_in) {
            ++layer_pixels_left_out_;
        }
    }
    pixel_checkouts_.clear();
}

void FrameCheckouts::hold_pre_render_data(const HeldPreRenderData& held)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pre_render_ = held;
    ++pre_render_data_created_;
}

HeldPreRenderData FrameCheckouts::take_pre_render_data()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const HeldPreRenderData held = pre_render_;
    pre_render_ = HeldPreRenderData{};
    return held;
}

void* FrameCheckouts::pre_render_data() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pre_render_.data;
}

void FrameCheckouts::count_pre_render_data_deleted(bool with_deleter)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (with_deleter) {
        ++pre_render_data_deleted_;
    } else {
        ++pre_render_data_without_deleter_;
    }
}

void FrameCheckouts::clear_logs()
{
    std::lock_guard<std::mutex> lock(mutex_);
    checkout_layer_calls_.clear();
}

void FrameCheckouts::account(Accounting& a) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    a.layers_checked_out = layers_checked_out_;
    a.layer_pixels_checked_out = layer_pixels_checked_out_;
    a.layer_pixels_checked_in = layer_pixels_checked_in_;
    a.layer_pixels_still_out_at_frame_end = layer_pixels_left_out_;
    a.pre_render_data_created = pre_render_data_created_;
    a.pre_render_data_deleted = pre_render_data_deleted_;
    a.pre_render_data_without_deleter = pre_render_data_without_deleter_;
    if (pre_render_.data != nullptr) {
        // Held by the host for a frame still open: not a leak of the module's.
        a.pre_render_data_created -= 1;
    }
}

}  // namespace simhost
