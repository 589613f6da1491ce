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

bool same_layout(const WorldSpec& a, const WorldSpec& b)
{
    return a.width == b.width && a.height == b.height && a.format == b.format &&
           a.row_padding == b.row_padding && a.bottom_up == b.bottom_up &&
           a.origin_x == b.origin_x && a.origin_y == b.origin_y &&
           a.unknown_format_pixel_bytes == b.unknown_format_pixel_bytes;
}

}  // namespace

// ------------------------------------------------------------------ world formats

void WorldFormats::add(const PF_EffectWorld* world, PF_PixelFormat format)
{
    std::lock_guard<std::mutex> lock(mutex_);
    formats_[world] = format;
}

void WorldFormats::remove(const PF_EffectWorld* world)
{
    std::lock_guard<std::mutex> lock(mutex_);
    formats_.erase(world);
}

bool WorldFormats::find(const PF_EffectWorld* world, PF_PixelFormat* format) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = formats_.find(world);
    if (it == formats_.end() || format == nullptr) {
        return false;
    }
    *format = it->second;
    return true;
}

// ------------------------------------------------------------------ the frame

FrameCheckouts::~FrameCheckouts()
{
    end();
    if (own_output_) {
        formats_.remove(own_output_->effect_world());
    }
}

void FrameCheckouts::begin(World* input, const FrameOutput& output,
                           PF_PixelFormat reported_input_format, const WorldRules& rules)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_ = rules;
    input_ = input;
    input_format_ = reported_input_format;
    given_output_ = output;
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
    forget_input_views_locked();
    if (input != nullptr) {
        formats_.add(input->effect_world(), reported_input_format);
    }
    if (output.world != nullptr && !rules_.host_sized) {
        formats_.add(output.world->effect_world(), output.world->format());
    }
}

void FrameCheckouts::end()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (input_ != nullptr) {
        formats_.remove(input_->effect_world());
    }
    if (given_output_.world != nullptr) {
        formats_.remove(given_output_.world->effect_world());
    }
    forget_input_views_locked();
    input_ = nullptr;
    given_output_ = FrameOutput{};
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
}

void FrameCheckouts::forget_input_views_locked()
{
    for (const auto& [id, view] : input_views_) {
        formats_.remove(view.get());
    }
    input_views_.clear();
}

World* FrameCheckouts::input() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return input_;
}

World* FrameCheckouts::output() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return rules_.host_sized ? own_output_.get() : given_output_.world;
}

PF_Err FrameCheckouts::pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format)
{
    if (!formats_.find(world, format)) {
        recorder_.violation("PF_GetPixelFormat on a world the host did not make");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return PF_Err_NONE;
}

PF_Err FrameCheckouts::checkout_layer(LayerCheckoutCall call, const PF_RenderRequest* req,
                                      PF_CheckoutResult* result,
                                      const PF_RationalScale& pixel_aspect_ratio)
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
            const PF_LRect layer{w.origin_x, w.origin_y, w.origin_x + w.width,
                                 w.origin_y + w.height};
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

PF_Err FrameCheckouts::checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels,
                                             bool null_world)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (pixels == nullptr) {
        recorder_.violation("checkout_layer_pixels with a null place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto checkout = layer_checkouts_.find(checkout_id);
    if (checkout == layer_checkouts_.end() || input_ == nullptr) {
        recorder_.violation("checkout_layer_pixels for checkout id " + std::to_string(checkout_id) +
                            ", which pre-render did not check out");
        *pixels = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    PF_EffectWorld* world = input_->effect_world();
    if (rules_.host_sized) {
        // A window onto the layer covering what the checkout yielded.
        const PF_LRect& r = checkout->second.result_rect;
        auto view = std::make_unique<PF_EffectWorld>(*input_->effect_world());
        if (rect_empty(r)) {
            view->width = view->height = 0;
        } else {
            view->data = reinterpret_cast<PF_PixelPtr>(
                input_->pixel_address(r.left - view->origin_x, r.top - view->origin_y));
            view->width = r.right - r.left;
            view->height = r.bottom - r.top;
            view->origin_x = r.left;
            view->origin_y = r.top;
        }
        view->extent_hint = PF_LRect{0, 0, view->width, view->height};
        auto& slot = input_views_[checkout_id];
        if (slot) {
            formats_.remove(slot.get());
        }
        slot = std::move(view);
        formats_.add(slot.get(), input_format_);
        world = slot.get();
    }
    *pixels = null_world ? nullptr : world;
    pixel_checkouts_.push_back(PixelCheckout{checkout_id, false});
    ++layer_pixels_checked_out_;
    return PF_Err_NONE;
}

PF_Err FrameCheckouts::checkin_layer_pixels(A_long checkout_id, PF_Err injected)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it =
        std::find_if(pixel_checkouts_.begin(), pixel_checkouts_.end(), [&](const PixelCheckout& c) {
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
    World* world = rules_.host_sized ? own_output_.get() : given_output_.world;
    if (world == nullptr) {
        recorder_.violation("checkout_output outside a frame");
        *output = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *output = null_world ? nullptr : world->effect_world();
    return PF_Err_NONE;
}

void FrameCheckouts::clear_layer_checkouts()
{
    std::lock_guard<std::mutex> lock(mutex_);
    layer_checkouts_.clear();
}

void FrameCheckouts::set_effect_result_rect(const PF_LRect& rect)
{
    std::lock_guard<std::mutex> lock(mutex_);
    effect_result_rect_ = rect;
}

void FrameCheckouts::begin_smart_render(const PF_RenderRequest& request)
{
    std::lock_guard<std::mutex> lock(mutex_);
    pixel_checkouts_.clear();
    World* output = given_output_.world;
    if (rules_.host_sized && (output != nullptr || input_ != nullptr)) {
        const PF_LRect rect = intersect(request.rect, effect_result_rect_);
        WorldSpec layout = output != nullptr ? output->world_spec() : input_->world_spec();
        const int pixel_bytes = bytes_per_pixel(layout.format) != 0
                                    ? bytes_per_pixel(layout.format)
                                    : std::max(layout.unknown_format_pixel_bytes, 1);
        layout.row_padding += std::max(rules_.output_extra_row_pixels, 0) * pixel_bytes;
        if (!given_output_.keep_size || output == nullptr) {
            layout.width = rect.right - rect.left;
            layout.height = rect.bottom - rect.top;
        }
        layout.origin_x = rect.left + rules_.output_origin_shift.h;
        layout.origin_y = rect.top + rules_.output_origin_shift.v;
        if (!own_output_ || !same_layout(own_output_->world_spec(), layout)) {
            if (own_output_) {
                formats_.remove(own_output_->effect_world());
            }
            own_output_ = std::make_unique<World>(layout);
            formats_.add(own_output_->effect_world(), own_output_->format());
        }
        output = own_output_.get();
    }
    if (output != nullptr && given_output_.fill) {
        output->fill_bytes(*given_output_.fill);
    }
}

void FrameCheckouts::end_smart_render()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const PixelCheckout& c : pixel_checkouts_) {
        if (!c.checked_in) {
            ++layer_pixels_left_out_;
        }
    }
    pixel_checkouts_.clear();
    forget_input_views_locked();
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

void FrameCheckouts::count_pre_render_data_dropped()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++pre_render_data_dropped_;
}

void FrameCheckouts::clear_logs()
{
    std::lock_guard<std::mutex> lock(mutex_);
    checkout_layer_calls_.clear();
}

void FrameCheckouts::account(Accounting& a) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    a.layers_checked_out += layers_checked_out_;
    a.layer_pixels_checked_out += layer_pixels_checked_out_;
    a.layer_pixels_checked_in += layer_pixels_checked_in_;
    a.layer_pixels_still_out_at_frame_end += layer_pixels_left_out_;
    a.pre_render_data_created += pre_render_data_created_;
    a.pre_render_data_deleted += pre_render_data_deleted_;
    a.pre_render_data_without_deleter += pre_render_data_without_deleter_;
    a.pre_render_data_dropped += pre_render_data_dropped_;
    if (pre_render_.data != nullptr) {
        // Held by the host for a frame still open: not a leak of the module's.
        a.pre_render_data_created -= 1;
    }
}

}  // namespace simhost
