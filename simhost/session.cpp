#include "simhost/session.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

namespace simhost {

namespace {

std::vector<std::string> split_choices(const std::string& text)
{
    std::vector<std::string> choices;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t bar = text.find('|', start);
        if (bar == std::string::npos) {
            choices.push_back(text.substr(start));
            break;
        }
        choices.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    return choices;
}

std::string number(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string control(const ParamInfo& p)
{
    return "\"" + p.name + "\" (parameter " + std::to_string(p.index) + ")";
}

}  // namespace

const char* param_type_name(PF_ParamType type)
{
    switch (type) {
    case PF_Param_LAYER:
        return "layer";
    case PF_Param_FIX_SLIDER:
        return "fixed slider";
    case PF_Param_ANGLE:
        return "angle";
    case PF_Param_COLOR:
        return "colour";
    case PF_Param_POINT:
        return "point";
    case PF_Param_POPUP:
        return "popup";
    case PF_Param_FLOAT_SLIDER:
        return "float slider";
    default:
        return "parameter";
    }
}

bool ParamInfo::shown_as_percent() const
{
    return type == PF_Param_FIX_SLIDER &&
           (declared.u.fd.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
}

Session::Session(HostConfig config) : config_(config) {}

Session::~Session() = default;

Status Session::load(const std::string& path)
{
    std::string error;
    std::shared_ptr<ModuleLibrary> module = ModuleLibrary::open(path, error);
    if (!module) {
        return Status::failure(error);
    }
    host_.reset();
    host_ = std::make_unique<Host>(std::move(module), config_);
    params_.clear();
    ui_updates_.clear();
    return Status{};
}

PF_Err Session::send(PF_Cmd cmd, bool with_params)
{
    if (!host_) {
        std::snprintf(last_out_.return_msg, sizeof last_out_.return_msg, "no module loaded");
        return PF_Err_INVALID_CALLBACK;
    }
    last_out_ = PF_OutData{};
    std::vector<PF_ParamDef*> params;
    if (with_params) {
        params = host_->param_array();
    }
    return host_->call(cmd, last_out_, params.empty() ? nullptr : params.data(), nullptr, nullptr);
}

AboutResult Session::about()
{
    AboutResult result;
    result.err = send(PF_Cmd_ABOUT, true);
    result.text.assign(last_out_.return_msg,
                       strnlen(last_out_.return_msg, sizeof last_out_.return_msg));
    return result;
}

PF_Err Session::global_setup() { return send(PF_Cmd_GLOBAL_SETUP, true); }

PF_Err Session::global_setdown() { return send(PF_Cmd_GLOBAL_SETDOWN, false); }

PF_Err Session::params_setup()
{
    const std::size_t first_call = host_ ? host_->add_param_calls().size() : 0;
    const PF_Err err = send(PF_Cmd_PARAMS_SETUP, true);
    if (!host_) {
        return err;
    }
    host_->adopt_declared_params(first_call);
    params_.clear();
    int index = 1;
    const auto& calls = host_->add_param_calls();
    for (std::size_t c = first_call; c < calls.size(); ++c) {
        const AddParamCall& call = calls[c];
        if (call.result != PF_Err_NONE) {
            continue;
        }
        ParamInfo info;
        info.index = index;
        info.declared = call.def;
        info.name.assign(call.def.name, strnlen(call.def.name, sizeof call.def.name));
        info.type = call.def.param_type;
        if (info.type == PF_Param_POPUP) {
            info.choices = split_choices(call.choices);
        } else if (info.type == PF_Param_FLOAT_SLIDER) {
            const PF_FloatSliderDef& fs = call.def.u.fs_d;
            info.has_range = true;
            info.valid_min = fs.valid_min;
            info.valid_max = fs.valid_max;
            info.slider_min = fs.slider_min;
            info.slider_max = fs.slider_max;
        } else if (info.type == PF_Param_FIX_SLIDER) {
            const PF_FixedSliderDef& fd = call.def.u.fd;
            info.has_range = true;
            info.valid_min = fd.valid_min / 65536.0;
            info.valid_max = fd.valid_max / 65536.0;
            info.slider_min = fd.slider_min / 65536.0;
            info.slider_max = fd.slider_max / 65536.0;
        } else if (info.type == PF_Param_ANGLE) {
            const PF_AngleDef& ad = call.def.u.ad;
            info.has_range = ad.valid_min != 0 || ad.valid_max != 0;
            info.valid_min = info.slider_min = ad.valid_min / 65536.0;
            info.valid_max = info.slider_max = ad.valid_max / 65536.0;
        }
        params_.push_back(std::move(info));
        ++index;
    }
    return err;
}

PF_Err Session::update_params_ui()
{
    const std::size_t before = host_ ? host_->update_param_ui_calls().size() : 0;
    const PF_Err err = send(PF_Cmd_UPDATE_PARAMS_UI, true);
    ui_updates_.clear();
    if (host_) {
        const auto& calls = host_->update_param_ui_calls();
        ui_updates_.assign(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end());
    }
    return err;
}

const ParamInfo* Session::param(int index) const
{
    for (const ParamInfo& p : params_) {
        if (p.index == index) {
            return &p;
        }
    }
    return nullptr;
}

int Session::find_param(std::string_view name) const
{
    for (const ParamInfo& p : params_) {
        if (p.name == name) {
            return p.index;
        }
    }
    return -1;
}

Status Session::check_index(int index, PF_ParamType type, const char* what) const
{
    const ParamInfo* p = param(index);
    if (p == nullptr) {
        return Status::failure("there is no parameter " + std::to_string(index) +
                               " (the effect declared " + std::to_string(params_.size()) + ")");
    }
    if (p->type != type) {
        return Status::failure(control(*p) + " is a " + param_type_name(p->type) + ", not a " +
                               what);
    }
    return Status{};
}

namespace {

Status range_check(const ParamInfo& p, double value, const char* unit)
{
    if (!p.has_range) {
        return Status{};
    }
    if (!(value >= p.valid_min && value <= p.valid_max)) {
        return Status::failure(control(p) + " accepts " + number(p.valid_min) + " to " +
                               number(p.valid_max) + unit + "; " + number(value) +
                               " is outside that range");
    }
    return Status{};
}

}  // namespace

void Session::store(int index, const KeyValue& value, const std::optional<KeyTime>& at)
{
    if (at) {
        host_->add_key(index, Keyframe{*at, value});
        return;
    }
    host_->clear_keys(index);
    PF_ParamDef& def = host_->param_records()[static_cast<std::size_t>(index)];
    if (def.param_type == PF_Param_POINT) {
        host_->point_value(index) = {value.v[0], value.v[1]};
    } else {
        set_record_value(def, value);
    }
}

Status Session::set_popup(int index, int choice, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_POPUP, "popup"); !st) {
        return st;
    }
    const ParamInfo& p = *param(index);
    const int count = p.declared.u.pd.num_choices;
    if (choice < 1 || choice > count) {
        std::string text = control(p) + " accepts choices 1 to " + std::to_string(count);
        for (std::size_t i = 0; i < p.choices.size(); ++i) {
            text += (i == 0 ? " (" : ", ") + std::to_string(i + 1) + " \"" + p.choices[i] + "\"";
        }
        return Status::failure(text + (p.choices.empty() ? "" : ")") + "; " +
                               std::to_string(choice) + " is outside that range");
    }
    store(index, KeyValue{{static_cast<double>(choice)}}, at);
    return Status{};
}

Status Session::set_point(int index, double x, double y, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_POINT, "point"); !st) {
        return st;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return Status::failure(control(*param(index)) + " needs finite coordinates");
    }
    store(index, KeyValue{{x, y}}, at);
    return Status{};
}

Status Session::set_float(int index, double value, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_FLOAT_SLIDER, "float slider"); !st) {
        return st;
    }
    if (Status st = range_check(*param(index), value, ""); !st) {
        return st;
    }
    store(index, KeyValue{{value}}, at);
    return Status{};
}

Status Session::set_angle(int index, double degrees, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_ANGLE, "angle"); !st) {
        return st;
    }
    // Strictly inside +-32768 once rounded to 16.16, or it would wrap.
    if (!std::isfinite(degrees) || std::fabs(std::round(degrees * 65536.0)) > 2147483647.0) {
        return Status::failure(control(*param(index)) +
                               " accepts angles between -32768 and 32768 degrees; " +
                               number(degrees) + " is outside that range");
    }
    if (Status st = range_check(*param(index), degrees, " degrees"); !st) {
        return st;
    }
    store(index, KeyValue{{static_cast<double>(std::lround(degrees * 65536.0))}}, at);
    return Status{};
}

Status Session::set_color(int index, PF_Pixel color, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_COLOR, "colour"); !st) {
        return st;
    }
    store(index,
          KeyValue{{static_cast<double>(color.alpha), static_cast<double>(color.red),
                    static_cast<double>(color.green), static_cast<double>(color.blue)}},
          at);
    return Status{};
}

Status Session::set_percent(int index, double percent, std::optional<KeyTime> at)
{
    if (Status st = check_index(index, PF_Param_FIX_SLIDER, "fixed slider"); !st) {
        return st;
    }
    if (Status st = range_check(*param(index), percent, " %"); !st) {
        return st;
    }
    store(index, KeyValue{{static_cast<double>(std::lround(percent * 65536.0))}}, at);
    return Status{};
}

Status Session::set_key_sides(int index, const KeyTime& at, KeySide in, KeySide out)
{
    const ParamInfo* p = param(index);
    if (p == nullptr) return check_index(index, PF_Param_POPUP, "keyed control");
    std::vector<Keyframe> keys = host_->keys(index);
    const auto key = std::find_if(keys.begin(), keys.end(),
                                  [&](const Keyframe& k) { return same_time(k.time, at); });
    if (key == keys.end()) {
        return Status::failure(control(*p) + " has no key at time " + std::to_string(at.value) +
                               "/" + std::to_string(at.scale));
    }
    for (KeySide* side : {&in, &out}) {
        if (!(side->influence > 0.0 && side->influence <= 100.0)) {
            return Status::failure(control(*p) +
                                   " takes influences more than 0 and at most 100 %; " +
                                   number(side->influence) + " is outside that range");
        }
        const std::array<double, 4> given = side->speed;
        for (const double speed : given) {
            if (!std::isfinite(speed)) {
                return Status::failure(control(*p) + " needs finite speeds");
            }
        }
        // In the units the control is keyed in: 16.16 for angles and percents;
        // a colour's numbers after its alpha.
        if (p->type == PF_Param_ANGLE || p->type == PF_Param_FIX_SLIDER) {
            side->speed = {given[0] * 65536.0};
        } else if (p->type == PF_Param_COLOR) {
            side->speed = {0.0, given[0], given[1], given[2]};
        } else if (p->type == PF_Param_POINT) {
            side->speed = {given[0], given[1]};
        } else {
            side->speed = {given[0]};
        }
    }
    key->in = in;
    key->out = out;
    host_->add_key(index, *key);
    return Status{};
}

void Session::set_frame_rate(A_u_long num, A_u_long den)
{
    const A_u_long common = std::gcd(num, den);
    HostConfig& c = config();
    c.time_scale = common == 0 ? 1 : num / common;
    c.time_step = common == 0 ? 1 : static_cast<A_long>(den / common);
}

KeyTime Session::frame_time(A_long frame) const
{
    const HostConfig& c = host_ ? host_->config() : config_;
    const std::int64_t time = static_cast<std::int64_t>(frame) * c.time_step;
    const std::int64_t fitted = std::clamp<std::int64_t>(time, std::numeric_limits<A_long>::min(),
                                                         std::numeric_limits<A_long>::max());
    return KeyTime{static_cast<A_long>(fitted), c.time_scale};
}

void Session::set_current_frame(A_long frame) { config().current_time = frame_time(frame).value; }

KeyValue Session::value_at(int index, const KeyTime& at) const
{
    return host_ ? host_->value_at(index, at) : KeyValue{};
}

namespace {

// The host's configuration for a frame rendered with `options`.
HostConfig frame_config(const HostConfig& base, const RenderOptions& options)
{
    HostConfig config = base;
    if (options.threads > 0) {
        config.threads = options.threads;
    }
    config.downsample_x = options.downsample_x;
    config.downsample_y = options.downsample_y;
    config.trace_bands = options.trace_bands;
    if (options.current_time) {
        config.current_time = *options.current_time;
    }
    if (options.input_world != nullptr && options.output_world != nullptr) {
        // The caller's worlds are the host's buffers for this frame: the module
        // draws into the given output rather than into one the host sizes.
        config.worlds.host_sized = false;
    }
    return config;
}

// One frame through `frame`: the layer, pre-render, the smart renders, the end
// of the frame. `last_out` is the PF_OutData of the last command sent.
RenderResult render_frame(Host& host, Frame& frame, const RenderOptions& options,
                          PF_OutData& last_out)
{
    RenderResult result;
    // The frame's worlds: the caller's, used in place, or made here for it.
    const bool in_place = options.input_world != nullptr && options.output_world != nullptr;
    World own_input;
    World own_output;
    // The strict host draws into a buffer of its own made after the output, of
    // the size it decides unless the options force one.
    bool forced_size = true;
    if (!in_place) {
        WorldSpec in_spec;
        if (options.input != nullptr) {
            in_spec = options.input->world_spec();
        } else {
            in_spec.width = options.solid.width;
            in_spec.height = options.solid.height;
            in_spec.format = options.format;
        }
        in_spec.row_padding = options.row_padding;
        in_spec.bottom_up = options.bottom_up;
        in_spec.origin_x = options.origin_x;
        in_spec.origin_y = options.origin_y;
        own_input = World(in_spec);
        if (options.input != nullptr) {
            for (int y = 0; y < in_spec.height; ++y) {
                std::memcpy(own_input.row(y), options.input->row(y),
                            static_cast<std::size_t>(in_spec.width) * own_input.pixel_bytes());
            }
        } else {
            own_input.fill(options.solid.color);
        }
        WorldSpec out_spec = in_spec;
        forced_size = options.output_width >= 0 || options.output_height >= 0;
        if (options.output_width >= 0) {
            out_spec.width = options.output_width;
        }
        if (options.output_height >= 0) {
            out_spec.height = options.output_height;
        }
        own_output = World(out_spec);
    }
    World& input = in_place ? *options.input_world : own_input;
    World& output = in_place ? *options.output_world : own_output;
    const WorldSpec& in_spec = input.world_spec();
    const std::optional<std::uint8_t> fill =
        in_place ? std::nullopt : std::optional<std::uint8_t>(options.output_fill);

    host.begin_frame(frame, &input, FrameOutput{&output, forced_size, fill},
                     options.reported_input_format.value_or(input.format()));
    const std::size_t checkouts_before = frame.checkout_layer_calls().size();
    const std::size_t iterations_before = frame.iterate_calls().size();

    PF_PreRenderInput pre_in{};
    pre_in.output_request.rect = options.request_rect.value_or(
        PF_LRect{in_spec.origin_x, in_spec.origin_y, in_spec.origin_x + in_spec.width,
                 in_spec.origin_y + in_spec.height});
    pre_in.output_request.field = options.field;
    pre_in.output_request.channel_mask = options.channel_mask;
    pre_in.bitdepth = static_cast<A_short>(bit_depth(input.format()));
    PF_PreRenderOutput pre_out{};
    pre_out.result_rect = options.host_result_rect;
    pre_out.max_result_rect = options.host_max_result_rect;
    last_out = PF_OutData{};
    result.pre_render_err = host.smart_pre_render(frame, pre_in, pre_out, last_out);
    result.err = result.pre_render_err;
    result.pre_render_output = pre_out;

    if (result.pre_render_err == PF_Err_NONE) {
        for (int pass = 0; pass < std::max(options.smart_renders, 1); ++pass) {
            PF_SmartRenderInput render_in{};
            render_in.output_request = pre_in.output_request;
            render_in.bitdepth = pre_in.bitdepth;
            last_out = PF_OutData{};
            const PF_Err err = host.smart_render(frame, render_in, last_out);
            result.render_errs.push_back(err);
            if (result.err == PF_Err_NONE) {
                result.err = err;
            }
            if (!in_place) {
                const World* drawn = frame.output();
                result.outputs.push_back(drawn != nullptr ? *drawn : output);
            }
        }
    }
    host.end_frame(frame);

    result.return_msg.assign(last_out.return_msg,
                             strnlen(last_out.return_msg, sizeof last_out.return_msg));
    result.out_flags = last_out.out_flags;
    const auto& checkouts = frame.checkout_layer_calls();
    result.layer_checkouts.assign(checkouts.begin() + static_cast<std::ptrdiff_t>(checkouts_before),
                                  checkouts.end());
    const auto& iterations = frame.iterate_calls();
    result.iterations.assign(iterations.begin() + static_cast<std::ptrdiff_t>(iterations_before),
                             iterations.end());
    if (in_place) {
        return result;
    }
    result.input = std::move(own_input);
    if (!result.outputs.empty()) {
        result.output = result.outputs.back();
    } else {
        // No smart render was sent: the output as the host would have made it.
        result.output = std::move(own_output);
        result.output.fill_bytes(options.output_fill);
    }
    return result;
}

}  // namespace

RenderResult Session::render(const RenderOptions& options)
{
    if (!host_) {
        RenderResult result;
        result.err = result.pre_render_err = PF_Err_INVALID_CALLBACK;
        result.return_msg = "no module loaded";
        return result;
    }
    // The frame's configuration lasts as long as the frame, however it ends.
    struct Restore {
        HostConfig& config;
        const HostConfig saved;
        ~Restore() { config = saved; }
    } restore{host_->config(), host_->config()};
    restore.config = frame_config(restore.saved, options);
    return render_frame(*host_, host_->own_frame(), options, last_out_);
}

ParamValues Session::param_values() const { return host_ ? host_->param_values() : ParamValues{}; }

std::vector<RenderResult> Session::render_together(const std::vector<FrameJob>& jobs)
{
    std::vector<RenderResult> results(jobs.size());
    if (!host_) {
        for (RenderResult& r : results) {
            r.err = r.pre_render_err = PF_Err_INVALID_CALLBACK;
            r.return_msg = "no module loaded";
        }
        return results;
    }
    std::vector<Frame*> frames;
    for (const FrameJob& job : jobs) {
        frames.push_back(
            &host_->open_frame(frame_config(host_->config(), job.options), job.values));
    }
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        threads.emplace_back([&, i] {
            PF_OutData out{};
            results[i] = render_frame(*host_, *frames[i], jobs[i].options, out);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return results;
}

PF_Err Session::raw_call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[],
                         PF_LayerDef* output, void* extra)
{
    if (!host_) {
        return PF_Err_INVALID_CALLBACK;
    }
    return host_->call(cmd, out_data, params, output, extra);
}

Accounting Session::accounting() const { return host_ ? host_->accounting() : Accounting{}; }

}  // namespace simhost
