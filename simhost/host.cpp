#include "simhost/host.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "simhost/error_names.h"

namespace simhost {

namespace {

constexpr std::uint32_t kTokenMagic = 0x564B5248;  // "VKRH"
constexpr int kHostFieldBytes = 256;               // return_msg and every other sprintf target

std::atomic<Host*> g_active{nullptr};

// The frame whose command the calling thread is running, for the callbacks
// that carry no effect_ref.
thread_local Frame* t_frame = nullptr;

class FrameOnThread {
public:
    explicit FrameOnThread(Frame& frame) : outer_(t_frame) { t_frame = &frame; }
    ~FrameOnThread() { t_frame = outer_; }
    FrameOnThread(const FrameOnThread&) = delete;
    FrameOnThread& operator=(const FrameOnThread&) = delete;

private:
    Frame* outer_;
};

double ratio(const PF_RationalScale& s)
{
    return s.den == 0 ? 1.0 : static_cast<double>(s.num) / static_cast<double>(s.den);
}

}  // namespace

// ------------------------------------------------------------------ frames

Frame::Frame(Host& host, CommandRecorder& recorder, WorldFormats& formats,
             const HostConfig* shared_config, const HostConfig& own_config,
             std::unique_ptr<ParamValues> values)
    : own_config_(own_config),
      config_(shared_config != nullptr ? shared_config : &own_config_),
      values_(std::move(values)),
      checkouts_(recorder, formats),
      bands_(recorder)
{
    token_ = Token{kTokenMagic, &host, this};
}

PF_ProgPtr Frame::effect_ref() const
{
    return reinterpret_cast<PF_ProgPtr>(const_cast<Token*>(&token_));
}

// The C entry points the module calls. Context-free ones go to the active host
// and the calling thread's frame; the others find their host and frame through
// effect_ref. Each checks the thread, counts the call in the fault plan
// (returning an injected failure) and hands the rest to the part of the host
// that owns it.
struct Callbacks {
    static Frame* frame_of(PF_ProgPtr ref, const char* what)
    {
        const auto* token = reinterpret_cast<const Frame::Token*>(ref);
        if (token != nullptr && token->magic == kTokenMagic && token->host != nullptr &&
            token->frame != nullptr) {
            return token->frame;
        }
        if (Host* active = Host::active()) {
            active->recorder_.violation(std::string(what) +
                                        " called with an effect_ref the host does not know");
        }
        return nullptr;
    }
    static Host& host_of(Frame& frame) { return *frame.token_.host; }
    static Host& active_or_die()
    {
        Host* host = Host::active();
        if (host == nullptr) {
            std::fprintf(stderr, "simhost: a host callback was called with no host alive\n");
            std::abort();
        }
        return *host;
    }
    // The frame whose command this thread runs, else the host's own.
    static Frame& current_frame(Host& host)
    {
        if (t_frame != nullptr && t_frame->token_.host == &host) {
            return *t_frame;
        }
        return *host.own_frame_;
    }

    // ---------------------------------------------------------------- suites

    static SPErr acquire_suite(const char* name, int32_t version, const void** suite)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("AcquireSuite");
        const SuiteKey key{name != nullptr ? name : "", version};
        return host.suites_.acquire(key, host.faults_.refuses(key), suite);
    }
    static SPErr release_suite(const char* name, int32_t version)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("ReleaseSuite");
        return host.suites_.release(SuiteKey{name != nullptr ? name : "", version});
    }

    // ---------------------------------------------------------------- handles

    static const HandleRules& handle_rules(Host& host)
    {
        return current_frame(host).config().handles;
    }

    static PF_Handle new_handle(A_HandleSize size)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_new_handle");
        host.recorder_.event("host_new_handle " + std::to_string(size));
        if (host.record_call(CallKind::new_handle) != PF_Err_NONE) {
            return nullptr;
        }
        const HostConfig& config = current_frame(host).config();
        return host.handles_.create(size, config.handle_fill, config.handles);
    }
    static void* lock_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_lock_handle");
        host.recorder_.event("host_lock_handle");
        if (host.record_call(CallKind::lock_handle) != PF_Err_NONE) {
            return nullptr;
        }
        return host.handles_.lock(h, handle_rules(host));
    }
    static void unlock_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_unlock_handle");
        host.recorder_.event("host_unlock_handle");
        host.handles_.unlock(h, handle_rules(host));
    }
    static void dispose_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_dispose_handle");
        host.recorder_.event("host_dispose_handle");
        host.handles_.dispose(h);
    }
    static A_HandleSize handle_size(PF_Handle h) { return active_or_die().handles_.size(h); }
    static PF_Err resize_handle(A_HandleSize size, PF_Handle* h)
    {
        Host& host = active_or_die();
        const HostConfig& config = current_frame(host).config();
        return host.handles_.resize(size, h, config.handle_fill, config.handles);
    }

    // ---------------------------------------------------------------- parameters

    static PF_Err add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDef* def)
    {
        Frame* frame = frame_of(ref, "add_param");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("add_param");
        return host.params_.add(index, def, host.record_call(CallKind::add_param));
    }
    static PF_Err checkout_param(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time,
                                 A_long time_step, A_u_long time_scale, PF_ParamDef* param)
    {
        Frame* frame = frame_of(ref, "checkout_param");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkout_param");
        const CheckoutParamCall call{index, what_time, time_step, time_scale,
                                     host.record_call(CallKind::checkout_param)};
        const World* input = frame->checkouts_.input();
        const HostConfig& config = frame->config();
        const CheckoutContext context{input != nullptr ? input->effect_world() : nullptr,
                                      ratio(config.downsample_x), ratio(config.downsample_y),
                                      frame->values_.get()};
        return host.params_.checkout(call, param, context);
    }
    static PF_Err checkin_param(PF_ProgPtr ref, PF_ParamDef* param)
    {
        Frame* frame = frame_of(ref, "checkin_param");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkin_param");
        return host.params_.checkin(param, host.record_call(CallKind::checkin_param));
    }
    static PF_Err update_param_ui(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def)
    {
        Frame* frame = frame_of(ref, "PF_UpdateParamUI");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("PF_UpdateParamUI");
        return host.params_.update_ui(index, def, host.record_call(CallKind::update_param_ui));
    }

    // ---------------------------------------------------------------- registration, worlds, threads

    static A_Err register_with_aegp(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("AEGP_RegisterWithAEGP");
        host.recorder_.event("AEGP_RegisterWithAEGP");
        const PF_Err injected = host.record_call(CallKind::register_with_aegp);
        std::lock_guard<std::mutex> lock(host.module_state_mutex_);
        RegisterCall call{refcon, name != nullptr ? name : "", injected};
        if (injected == PF_Err_NONE) {
            if (id == nullptr) {
                host.recorder_.violation(
                    "AEGP_RegisterWithAEGP with a null place for the plug-in id");
                call.result = PF_Err_BAD_CALLBACK_PARAM;
            } else {
                *id = host.config_.plugin_id;
            }
        }
        host.register_calls_.push_back(call);
        return call.result;
    }
    static PF_Err get_pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("PF_GetPixelFormat");
        host.recorder_.event("PF_GetPixelFormat");
        if (const PF_Err injected = host.record_call(CallKind::get_pixel_format)) {
            return injected;
        }
        return current_frame(host).checkouts_.pixel_format(world, format);
    }
    static A_Err get_num_threads(A_long* threads)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("AEGP_GetNumThreads");
        host.recorder_.event("AEGP_GetNumThreads");
        if (const PF_Err injected = host.record_call(CallKind::get_num_threads)) {
            return injected;
        }
        if (threads == nullptr) {
            host.recorder_.violation("AEGP_GetNumThreads with a null place for the count");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        *threads = current_frame(host).config().threads;
        return PF_Err_NONE;
    }
    static PF_Err iterate_generic(A_long iterations, void* refcon,
                                  PF_Err (*fn)(void*, A_long, A_long, A_long))
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("iterate_generic");
        host.recorder_.event("iterate_generic");
        if (const PF_Err injected = host.record_call(CallKind::iterate_generic)) {
            return injected;
        }
        Frame& frame = current_frame(host);
        const HostConfig& config = frame.config();
        World* traced = config.trace_bands ? frame.checkouts_.output() : nullptr;
        const int workers = config.pool_threads > 0 ? config.pool_threads : config.threads;
        const PF_Err err = frame.bands_.run(iterations, refcon, fn, workers, traced);
        if (!frame.bands_.calls().empty()) {
            host.nanoseconds_in_band_dispatch_.fetch_add(
                static_cast<std::int64_t>(frame.bands_.calls().back().dispatch_seconds * 1e9),
                std::memory_order_relaxed);
        }
        return err;
    }

    // ---------------------------------------------------------------- layer checkouts

    static PF_Err checkout_layer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id,
                                 const PF_RenderRequest* req, A_long what_time, A_long time_step,
                                 A_u_long time_scale, PF_CheckoutResult* result)
    {
        Frame* frame = frame_of(ref, "checkout_layer");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkout_layer");
        host.recorder_.event("checkout_layer");
        LayerCheckoutCall call;
        call.index = index;
        call.checkout_id = checkout_id;
        call.what_time = what_time;
        call.time_step = time_step;
        call.time_scale = time_scale;
        call.err = host.record_call(CallKind::checkout_layer);
        return frame->checkouts_.checkout_layer(call, req, result,
                                                frame->config().pixel_aspect_ratio);
    }
    static PF_Err checkout_layer_pixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld** pixels)
    {
        Frame* frame = frame_of(ref, "checkout_layer_pixels");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkout_layer_pixels");
        host.recorder_.event("checkout_layer_pixels");
        if (const PF_Err injected = host.record_call(CallKind::checkout_layer_pixels)) {
            return injected;
        }
        return frame->checkouts_.checkout_layer_pixels(checkout_id, pixels,
                                                       host.faults_.null_input_world());
    }
    static PF_Err checkin_layer_pixels(PF_ProgPtr ref, A_long checkout_id)
    {
        Frame* frame = frame_of(ref, "checkin_layer_pixels");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkin_layer_pixels");
        host.recorder_.event("checkin_layer_pixels");
        return frame->checkouts_.checkin_layer_pixels(checkout_id,
                                                      host.record_call(
                                                          CallKind::checkin_layer_pixels));
    }
    static PF_Err checkout_output(PF_ProgPtr ref, PF_EffectWorld** output)
    {
        Frame* frame = frame_of(ref, "checkout_output");
        if (frame == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        Host& host = host_of(*frame);
        host.recorder_.check_thread("checkout_output");
        host.recorder_.event("checkout_output");
        host.wait_for_meeting();
        if (const PF_Err injected = host.record_call(CallKind::checkout_output)) {
            return injected;
        }
        return frame->checkouts_.checkout_output(output, host.faults_.null_output_world());
    }

    // ---------------------------------------------------------------- utility callbacks

    static int ansi_sprintf(A_char* buffer, const A_char* format, ...)
    {
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(buffer, kHostFieldBytes, format, args);
        va_end(args);
        return written;
    }
    static A_char* ansi_strcpy(A_char* dest, const A_char* src) { return std::strcpy(dest, src); }
    static A_FpLong ansi_pow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }

    static void install(Host& host)
    {
        host.basic_suite_.AcquireSuite = &acquire_suite;
        host.basic_suite_.ReleaseSuite = &release_suite;

        host.utils_.ansi.sprintf = &ansi_sprintf;
        host.utils_.ansi.strcpy = &ansi_strcpy;
        host.utils_.ansi.pow = &ansi_pow;

        SuiteTable& suites = host.suites_;
        suites.handle.host_new_handle = &new_handle;
        suites.handle.host_lock_handle = &lock_handle;
        suites.handle.host_unlock_handle = &unlock_handle;
        suites.handle.host_dispose_handle = &dispose_handle;
        suites.handle.host_get_handle_size = &handle_size;
        suites.handle.host_resize_handle = &resize_handle;
        suites.utility.AEGP_RegisterWithAEGP = &register_with_aegp;
        suites.param_utils.PF_UpdateParamUI = &update_param_ui;
        suites.world.PF_GetPixelFormat = &get_pixel_format;
        suites.aegp_iterate.AEGP_GetNumThreads = &get_num_threads;
        suites.aegp_iterate.AEGP_IterateGeneric = &iterate_generic;
        suites.iterate8.iterate_generic = &iterate_generic;

        host.pre_render_callbacks_.checkout_layer = &checkout_layer;
        host.smart_render_callbacks_.checkout_layer_pixels = &checkout_layer_pixels;
        host.smart_render_callbacks_.checkin_layer_pixels = &checkin_layer_pixels;
        host.smart_render_callbacks_.checkout_output = &checkout_output;
    }
};

Host::Host(std::shared_ptr<ModuleLibrary> module, HostConfig config)
    : Host(module ? module->entry() : nullptr, config)
{
    module_ = std::move(module);
}

Host::Host(EntryPointFuncPtr entry_point, HostConfig config) : config_(config), entry_(entry_point)
{
    own_frame_.reset(new Frame(*this, recorder_, formats_, &config_, config_, nullptr));
    Callbacks::install(*this);
    previous_active_ = g_active.exchange(this);
}

Host::~Host()
{
    Host* expected = this;
    g_active.compare_exchange_strong(expected, previous_active_);
}

Host* Host::active() { return g_active.load(); }

PF_Handle Host::global_data() const
{
    std::lock_guard<std::mutex> lock(module_state_mutex_);
    return global_data_;
}

void Host::set_global_data(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(module_state_mutex_);
    global_data_ = handle;
}

// ------------------------------------------------------------------ faults and logs

void Host::refuse_suite(const std::string& name, int version)
{
    faults_.refuse_suite(SuiteKey{name, version});
}

void Host::fail_call(CallKind kind, int nth, PF_Err code, bool persistent)
{
    faults_.fail(kind, nth, code, persistent);
}

void Host::clear_faults() { faults_.clear(); }

int Host::call_count(CallKind kind) const { return faults_.count(kind); }

void Host::clear_call_logs()
{
    params_.clear_logs();
    {
        std::lock_guard<std::mutex> lock(module_state_mutex_);
        register_calls_.clear();
    }
    own_frame_->checkouts_.clear_logs();
    own_frame_->bands_.clear_logs();
}

Accounting Host::accounting() const
{
    Accounting a;
    a.suites = suites_.totals();
    a.commands = recorder_.commands();
    handles_.account(a, global_data());
    params_.account(a);
    {
        std::lock_guard<std::mutex> lock(frames_mutex_);
        own_frame_->checkouts_.account(a);
        for (const auto& frame : frames_) {
            frame->checkouts_.account(a);
        }
    }
    a.violations = recorder_.violations();
    a.peak_commands_in_flight = recorder_.peak_in_flight();
    a.peak_smart_renders_in_flight = recorder_.peak_smart_renders_in_flight();
    a.pre_render_beside_render = recorder_.pre_render_beside_render();
    return a;
}

// ------------------------------------------------------------------ commands

PF_InData Host::make_in_data() const { return make_in_data(*own_frame_); }

PF_InData Host::make_in_data(const Frame& frame) const
{
    const HostConfig& config = frame.config();
    PF_InData in{};
    in.inter.checkout_param = &Callbacks::checkout_param;
    in.inter.checkin_param = &Callbacks::checkin_param;
    in.inter.add_param = &Callbacks::add_param;
    in.utils = const_cast<PF_UtilCallbacks*>(&utils_);
    in.effect_ref = frame.effect_ref();
    in.quality = 1;
    in.version = PF_SpecVersion{13, 28};
    in.num_params =
        static_cast<A_long>(frame.values_ ? frame.values_->records.size() : params_.record_count());
    in.current_time = config.current_time;
    in.time_step = config.time_step;
    in.local_time_step = config.time_step;
    in.total_time = config.time_step * 10;
    in.time_scale = config.time_scale;
    in.width = config.layer_width;
    in.height = config.layer_height;
    in.extent_hint = PF_LRect{0, 0, config.layer_width, config.layer_height};
    in.downsample_x = config.downsample_x;
    in.downsample_y = config.downsample_y;
    in.pixel_aspect_ratio = config.pixel_aspect_ratio;
    in.global_data = global_data();
    in.pica_basicP = const_cast<SPBasicSuite*>(&basic_suite_);
    return in;
}

PF_Err Host::send(Frame& frame, PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data,
                  PF_ParamDef* params[], PF_LayerDef* output, void* extra, int* index)
{
    if (entry_ == nullptr) {
        recorder_.violation("no module loaded");
        return PF_Err_INVALID_CALLBACK;
    }
    const FrameOnThread on_thread(frame);
    CommandRecorder::Scope scope(recorder_, command_name(cmd), cmd);
    *index = scope.index();
    const auto start = std::chrono::steady_clock::now();
    const PF_Err err = entry_(cmd, &in_data, &out_data, params, output, extra);
    nanoseconds_in_module_.fetch_add(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count(),
                                     std::memory_order_relaxed);
    scope.set_result(err);
    return err;
}

void Host::check_nothing_left(int index, const std::string& label)
{
    for (const std::size_t size : handles_.alive_from_command(index, global_data())) {
        recorder_.violation("failed " + label + " left a handle of " + std::to_string(size) +
                            " bytes that it made and did not hand over");
    }
}

PF_Err Host::call(PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data, PF_ParamDef* params[],
                  PF_LayerDef* output, void* extra)
{
    int index = -1;
    const PF_Err err = send(*own_frame_, cmd, in_data, out_data, params, output, extra, &index);
    if (cmd == PF_Cmd_GLOBAL_SETUP && err == PF_Err_NONE && out_data.global_data != nullptr) {
        set_global_data(out_data.global_data);
    } else if (cmd == PF_Cmd_GLOBAL_SETDOWN) {
        set_global_data(nullptr);
    }
    // A failed smart pre-render may hand its data over; the host's own calls
    // below look at what it left.
    if (err != PF_Err_NONE && index >= 0 && cmd != PF_Cmd_SMART_PRE_RENDER) {
        check_nothing_left(index, command_name(cmd));
    }
    return err;
}

PF_Err Host::call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[], PF_LayerDef* output,
                  void* extra)
{
    PF_InData in = make_in_data();
    return call(cmd, in, out_data, params, output, extra);
}

// ------------------------------------------------------------------ parameters

void Host::adopt_declared_params(std::size_t first_call)
{
    params_.adopt_declared(first_call, config_.layer_width, config_.layer_height);
}

std::vector<PF_ParamDef*> Host::param_array()
{
    const World* input = own_frame_->checkouts_.input();
    return params_.array(input != nullptr ? input->effect_world() : nullptr,
                         KeyTime{config_.current_time, config_.time_scale});
}

// ------------------------------------------------------------------ frames

Frame& Host::open_frame(const HostConfig& config, const ParamValues& values)
{
    std::unique_ptr<Frame> frame(new Frame(*this, recorder_, formats_, nullptr, config,
                                           std::make_unique<ParamValues>(values)));
    std::lock_guard<std::mutex> lock(frames_mutex_);
    frames_.push_back(std::move(frame));
    return *frames_.back();
}

void Host::begin_frame(World* input, World* output, PF_PixelFormat reported_input_format)
{
    begin_frame(*own_frame_, input, FrameOutput{output, false, {}}, reported_input_format);
}

void Host::begin_frame(World* input, const FrameOutput& output,
                       PF_PixelFormat reported_input_format)
{
    begin_frame(*own_frame_, input, output, reported_input_format);
}

void Host::begin_frame(Frame& frame, World* input, const FrameOutput& output,
                       PF_PixelFormat reported_input_format)
{
    frame.checkouts_.begin(input, output, reported_input_format, frame.config().worlds);
}

void Host::end_frame() { end_frame(*own_frame_); }

void Host::end_frame(Frame& frame)
{
    delete_pre_render_data(frame, false);
    frame.checkouts_.end();
}

void Host::delete_pre_render_data(Frame& frame, bool after_failure)
{
    const HeldPreRenderData held = frame.checkouts_.take_pre_render_data();
    if (held.data == nullptr) {
        return;
    }
    if (held.deleter == nullptr) {
        frame.checkouts_.count_pre_render_data_deleted(false);
        return;
    }
    if (after_failure && !frame.config().delete_pre_render_data_after_failure) {
        frame.checkouts_.count_pre_render_data_dropped();
        return;
    }
    {
        const FrameOnThread on_thread(frame);
        CommandRecorder::Scope scope(recorder_, "delete_pre_render_data", -1);
        held.deleter(held.data);
    }
    frame.checkouts_.count_pre_render_data_deleted(true);
}

PF_Err Host::smart_pre_render(PF_PreRenderInput& input, PF_PreRenderOutput& output,
                              PF_OutData& out_data)
{
    return smart_pre_render(*own_frame_, input, output, out_data);
}

PF_Err Host::smart_pre_render(Frame& frame, PF_PreRenderInput& input, PF_PreRenderOutput& output,
                              PF_OutData& out_data)
{
    delete_pre_render_data(frame, false);
    frame.checkouts_.clear_layer_checkouts();
    output.pre_render_data = nullptr;
    output.delete_pre_render_data_func = nullptr;
    PF_PreRenderExtra extra{&input, &output, &pre_render_callbacks_};
    PF_InData in = make_in_data(frame);
    int index = -1;
    // As in the host, the smart commands get no parameter array: values are checked out.
    const PF_Err err =
        send(frame, PF_Cmd_SMART_PRE_RENDER, in, out_data, nullptr, nullptr, &extra, &index);
    frame.checkouts_.set_effect_result_rect(output.result_rect);
    const bool handed_over =
        output.pre_render_data != nullptr && output.delete_pre_render_data_func != nullptr;
    if (output.pre_render_data != nullptr) {
        frame.checkouts_.hold_pre_render_data(
            HeldPreRenderData{output.pre_render_data, output.delete_pre_render_data_func});
    }
    if (err != PF_Err_NONE) {
        // No smart render follows a failed pre-render. What the module handed
        // over with a deleter is the host's to delete (or to drop); anything
        // else it made must be gone.
        if (!handed_over && index >= 0) {
            check_nothing_left(index, "PF_Cmd_SMART_PRE_RENDER");
        }
        delete_pre_render_data(frame, true);
    }
    return err;
}

PF_Err Host::smart_render(PF_SmartRenderInput& input, PF_OutData& out_data)
{
    return smart_render(*own_frame_, input, out_data);
}

PF_Err Host::smart_render(Frame& frame, PF_SmartRenderInput& input, PF_OutData& out_data)
{
    input.pre_render_data = frame.checkouts_.pre_render_data();
    frame.checkouts_.begin_smart_render(input.output_request);
    PF_SmartRenderExtra extra{&input, &smart_render_callbacks_};
    PF_InData in = make_in_data(frame);
    int index = -1;
    const PF_Err err =
        send(frame, PF_Cmd_SMART_RENDER, in, out_data, nullptr, nullptr, &extra, &index);
    if (err != PF_Err_NONE && index >= 0) {
        check_nothing_left(index, "PF_Cmd_SMART_RENDER");
    }
    frame.checkouts_.end_smart_render();
    return err;
}

void Host::meet_in_smart_render(int frames, double seconds)
{
    std::lock_guard<std::mutex> lock(meeting_mutex_);
    meeting_size_ = frames;
    meeting_arrived_ = 0;
    meeting_seconds_ = seconds;
}

void Host::wait_for_meeting()
{
    std::unique_lock<std::mutex> lock(meeting_mutex_);
    if (meeting_size_ <= 0) {
        return;
    }
    ++meeting_arrived_;
    meeting_.notify_all();
    meeting_.wait_for(lock, std::chrono::duration<double>(meeting_seconds_),
                      [this] { return meeting_arrived_ >= meeting_size_; });
}

}  // namespace simhost
