#include "simhost/host.h"

#include <atomic>
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

double ratio(const PF_RationalScale& s) { return s.den == 0 ? 1.0 : static_cast<double>(s.num) / static_cast<double>(s.den); }

}  // namespace

// The C entry points the module calls. Context-free ones go to the active host;
// the others find their host through effect_ref. Each checks the thread, counts
// the call in the fault plan (returning an injected failure) and hands the rest
// to the part of the host that owns it.
struct Callbacks {
    static Host* host_of(PF_ProgPtr ref, const char* what)
    {
        const auto* token = reinterpret_cast<const Host::EffectToken*>(ref);
        if (token != nullptr && token->magic == kTokenMagic && token->host != nullptr) {
            return token->host;
        }
        if (Host* active = Host::active()) {
            active->recorder_.violation(std::string(what) + " called with an effect_ref the host does not know");
        }
        return nullptr;
    }
    static Host& active_or_die()
    {
        Host* host = Host::active();
        if (host == nullptr) {
            std::fprintf(stderr, "simhost: a host callback was called with no host alive\n");
            std::abort();
        }
        return *host;
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

    static PF_Handle new_handle(A_HandleSize size)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_new_handle");
        if (host.record_call(CallKind::new_handle) != PF_Err_NONE) {
            return nullptr;
        }
        return host.handles_.create(size, host.config_.handle_fill);
    }
    static void* lock_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_lock_handle");
        if (host.record_call(CallKind::lock_handle) != PF_Err_NONE) {
            return nullptr;
        }
        return host.handles_.lock(h);
    }
    static void unlock_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_unlock_handle");
        host.handles_.unlock(h);
    }
    static void dispose_handle(PF_Handle h)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("host_dispose_handle");
        host.handles_.dispose(h);
    }
    static A_HandleSize handle_size(PF_Handle h) { return active_or_die().handles_.size(h); }
    static PF_Err resize_handle(A_HandleSize size, PF_Handle* h)
    {
        Host& host = active_or_die();
        return host.handles_.resize(size, h, host.config_.handle_fill);
    }

    // ---------------------------------------------------------------- parameters

    static PF_Err add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDef* def)
    {
        Host* host = host_of(ref, "add_param");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("add_param");
        return host->params_.add(index, def, host->record_call(CallKind::add_param));
    }
    static PF_Err checkout_param(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                                 A_u_long time_scale, PF_ParamDef* param)
    {
        Host* host = host_of(ref, "checkout_param");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkout_param");
        const CheckoutParamCall call{index, what_time, time_step, time_scale,
                                     host->record_call(CallKind::checkout_param)};
        const World* input = host->frame_.input();
        const CheckoutContext context{input != nullptr ? input->effect_world() : nullptr,
                                      ratio(host->config_.downsample_x), ratio(host->config_.downsample_y)};
        return host->params_.checkout(call, param, context);
    }
    static PF_Err checkin_param(PF_ProgPtr ref, PF_ParamDef* param)
    {
        Host* host = host_of(ref, "checkin_param");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkin_param");
        return host->params_.checkin(param, host->record_call(CallKind::checkin_param));
    }
    static PF_Err update_param_ui(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def)
    {
        Host* host = host_of(ref, "PF_UpdateParamUI");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("PF_UpdateParamUI");
        return host->params_.update_ui(index, def, host->record_call(CallKind::update_param_ui));
    }

    // ---------------------------------------------------------------- registration, worlds, threads

    static A_Err register_with_aegp(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("AEGP_RegisterWithAEGP");
        const PF_Err injected = host.record_call(CallKind::register_with_aegp);
        std::lock_guard<std::mutex> lock(host.module_state_mutex_);
        RegisterCall call{refcon, name != nullptr ? name : "", injected};
        if (injected == PF_Err_NONE) {
            if (id == nullptr) {
                host.recorder_.violation("AEGP_RegisterWithAEGP with a null place for the plug-in id");
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
        if (const PF_Err injected = host.record_call(CallKind::get_pixel_format)) {
            return injected;
        }
        return host.frame_.pixel_format(world, format);
    }
    static A_Err get_num_threads(A_long* threads)
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("AEGP_GetNumThreads");
        if (const PF_Err injected = host.record_call(CallKind::get_num_threads)) {
            return injected;
        }
        if (threads == nullptr) {
            host.recorder_.violation("AEGP_GetNumThreads with a null place for the count");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        *threads = host.config_.threads;
        return PF_Err_NONE;
    }
    static PF_Err iterate_generic(A_long iterations, void* refcon, PF_Err (*fn)(void*, A_long, A_long, A_long))
    {
        Host& host = active_or_die();
        host.recorder_.check_thread("iterate_generic");
        if (const PF_Err injected = host.record_call(CallKind::iterate_generic)) {
            return injected;
        }
        World* traced = host.config_.trace_bands ? host.frame_.output() : nullptr;
        return host.bands_.run(iterations, refcon, fn, host.config_.threads, traced);
    }

    // ---------------------------------------------------------------- layer checkouts

    static PF_Err checkout_layer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id, const PF_RenderRequest* req,
                                 A_long what_time, A_long time_step, A_u_long time_scale, PF_CheckoutResult* result)
    {
        Host* host = host_of(ref, "checkout_layer");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkout_layer");
        LayerCheckoutCall call;
        call.index = index;
        call.checkout_id = checkout_id;
        call.what_time = what_time;
        call.time_step = time_step;
        call.time_scale = time_scale;
        call.err = host->record_call(CallKind::checkout_layer);
        return host->frame_.checkout_layer(call, req, result, host->config_.pixel_aspect_ratio);
    }
    static PF_Err checkout_layer_pixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld** pixels)
    {
        Host* host = host_of(ref, "checkout_layer_pixels");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkout_layer_pixels");
        if (const PF_Err injected = host->record_call(CallKind::checkout_layer_pixels)) {
            return injected;
        }
        return host->frame_.checkout_layer_pixels(checkout_id, pixels, host->faults_.null_input_world());
    }
    static PF_Err checkin_layer_pixels(PF_ProgPtr ref, A_long checkout_id)
    {
        Host* host = host_of(ref, "checkin_layer_pixels");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkin_layer_pixels");
        return host->frame_.checkin_layer_pixels(checkout_id, host->record_call(CallKind::checkin_layer_pixels));
    }
    static PF_Err checkout_output(PF_ProgPtr ref, PF_EffectWorld** output)
    {
        Host* host = host_of(ref, "checkout_output");
        if (host == nullptr) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        host->recorder_.check_thread("checkout_output");
        if (const PF_Err injected = host->record_call(CallKind::checkout_output)) {
            return injected;
        }
        return host->frame_.checkout_output(output, host->faults_.null_output_world());
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
    token_ = EffectToken{kTokenMagic, this};
    Callbacks::install(*this);
    previous_active_ = g_active.exchange(this);
}

Host::~Host()
{
    Host* expected = this;
    g_active.compare_exchange_strong(expected, previous_active_);
}

Host* Host::active() { return g_active.load(); }

PF_ProgPtr Host::effect_ref() const
{
    return reinterpret_cast<PF_ProgPtr>(const_cast<EffectToken*>(&token_));
}

// ------------------------------------------------------------------ faults and logs

void Host::refuse_suite(const std::string& name, int version) { faults_.refuse_suite(SuiteKey{name, version}); }

void Host::fail_call(CallKind kind, int nth, PF_Err code, bool persistent) { faults_.fail(kind, nth, code, persistent); }

void Host::clear_faults() { faults_.clear(); }

int Host::call_count(CallKind kind) const { return faults_.count(kind); }

void Host::clear_call_logs()
{
    params_.clear_logs();
    {
        std::lock_guard<std::mutex> lock(module_state_mutex_);
        register_calls_.clear();
    }
    frame_.clear_logs();
    bands_.clear_logs();
}

Accounting Host::accounting() const
{
    Accounting a;
    a.suites = suites_.totals();
    a.commands = recorder_.commands();
    handles_.account(a, global_data_);
    params_.account(a);
    frame_.account(a);
    a.violations = recorder_.violations();
    return a;
}

// ------------------------------------------------------------------ commands

PF_InData Host::make_in_data() const
{
    PF_InData in{};
    in.inter.checkout_param = &Callbacks::checkout_param;
    in.inter.checkin_param = &Callbacks::checkin_param;
    in.inter.add_param = &Callbacks::add_param;
    in.utils = const_cast<PF_UtilCallbacks*>(&utils_);
    in.effect_ref = effect_ref();
    in.quality = 1;
    in.version = PF_SpecVersion{13, 28};
    in.num_params = static_cast<A_long>(params_.record_count());
    in.current_time = config_.current_time;
    in.time_step = config_.time_step;
    in.local_time_step = config_.time_step;
    in.total_time = config_.time_step * 10;
    in.time_scale = config_.time_scale;
    in.width = config_.layer_width;
    in.height = config_.layer_height;
    in.extent_hint = PF_LRect{0, 0, config_.layer_width, config_.layer_height};
    in.downsample_x = config_.downsample_x;
    in.downsample_y = config_.downsample_y;
    in.pixel_aspect_ratio = config_.pixel_aspect_ratio;
    in.global_data = global_data_;
    in.pica_basicP = const_cast<SPBasicSuite*>(&basic_suite_);
    return in;
}

PF_Err Host::call(PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data, PF_ParamDef* params[], PF_LayerDef* output,
                  void* extra)
{
    if (entry_ == nullptr) {
        recorder_.violation("no module loaded");
        return PF_Err_INVALID_CALLBACK;
    }
    CommandRecorder::Scope scope(recorder_, command_name(cmd), cmd);
    const PF_Err err = entry_(cmd, &in_data, &out_data, params, output, extra);
    scope.set_result(err);
    if (cmd == PF_Cmd_GLOBAL_SETUP && err == PF_Err_NONE && out_data.global_data != nullptr) {
        global_data_ = out_data.global_data;
    } else if (cmd == PF_Cmd_GLOBAL_SETDOWN) {
        global_data_ = nullptr;
    }
    return err;
}

PF_Err Host::call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[], PF_LayerDef* output, void* extra)
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
    const World* input = frame_.input();
    return params_.array(input != nullptr ? input->effect_world() : nullptr,
                         KeyTime{config_.current_time, config_.time_scale});
}

// ------------------------------------------------------------------ frames

void Host::register_world(const PF_EffectWorld* world, PF_PixelFormat format) { frame_.register_world(world, format); }

void Host::unregister_world(const PF_EffectWorld* world) { frame_.unregister_world(world); }

void Host::begin_frame(World* input, World* output, PF_PixelFormat reported_input_format)
{
    frame_.begin(input, output, reported_input_format);
}

void Host::end_frame()
{
    delete_pre_render_data();
    frame_.end();
}

void Host::delete_pre_render_data()
{
    const HeldPreRenderData held = frame_.take_pre_render_data();
    if (held.data == nullptr) {
        return;
    }
    if (held.deleter == nullptr) {
        frame_.count_pre_render_data_deleted(false);
        return;
    }
    {
        CommandRecorder::Scope scope(recorder_, "delete_pre_render_data", -1);
        held.deleter(held.data);
    }
    frame_.count_pre_render_data_deleted(true);
}

PF_Err Host::smart_pre_render(PF_PreRenderInput& input, PF_PreRenderOutput& output, PF_OutData& out_data)
{
    delete_pre_render_data();
    frame_.clear_layer_checkouts();
    output.pre_render_data = nullptr;
    output.delete_pre_render_data_func = nullptr;
    PF_PreRenderExtra extra{&input, &output, &pre_render_callbacks_};
    PF_InData in = make_in_data();
    // As in the host, the smart commands get no parameter array: values are checked out.
    const PF_Err err = call(PF_Cmd_SMART_PRE_RENDER, in, out_data, nullptr, nullptr, &extra);
    if (output.pre_render_data != nullptr) {
        frame_.hold_pre_render_data(HeldPreRenderData{output.pre_render_data, output.delete_pre_render_data_func});
    }
    if (err != PF_Err_NONE) {
        // No smart render follows a failed pre-render.
        delete_pre_render_data();
    }
    return err;
}

PF_Err Host::smart_render(PF_SmartRenderInput& input, PF_OutData& out_data)
{
    input.pre_render_data = frame_.pre_render_data();
    frame_.clear_pixel_checkouts();
    PF_SmartRenderExtra extra{&input, &smart_render_callbacks_};
    PF_InData in = make_in_data();
    const PF_Err err = call(PF_Cmd_SMART_RENDER, in, out_data, nullptr, nullptr, &extra);
    frame_.release_pixel_checkouts();
    return err;
}

}  // namespace simhost
