#include "simhost/host.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "simhost/error_names.h"
#include "simhost/thread_pool.h"

namespace simhost {

namespace {

constexpr std::uint32_t kTokenMagic = 0x564B5248;  // "VKRH"
constexpr int kHostFieldBytes = 256;               // return_msg and every other sprintf target

std::atomic<Host*> g_active{nullptr};

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

double ratio(const PF_RationalScale& s) { return s.den == 0 ? 1.0 : static_cast<double>(s.num) / static_cast<double>(s.den); }

}  // namespace

const char* call_kind_name(CallKind kind)
{
    switch (kind) {
    case CallKind::add_param:
        return "add_param";
    case CallKind::checkout_param:
        return "checkout_param";
    case CallKind::checkin_param:
        return "checkin_param";
    case CallKind::checkout_layer:
        return "checkout_layer";
    case CallKind::checkout_layer_pixels:
        return "checkout_layer_pixels";
    case CallKind::checkin_layer_pixels:
        return "checkin_layer_pixels";
    case CallKind::checkout_output:
        return "checkout_output";
    case CallKind::update_param_ui:
        return "PF_UpdateParamUI";
    case CallKind::register_with_aegp:
        return "AEGP_RegisterWithAEGP";
    case CallKind::get_pixel_format:
        return "PF_GetPixelFormat";
    case CallKind::get_num_threads:
        return "AEGP_GetNumThreads";
    case CallKind::iterate_generic:
        return "iterate_generic";
    case CallKind::new_handle:
        return "host_new_handle";
    case CallKind::lock_handle:
        return "host_lock_handle";
    case CallKind::count:
        break;
    }
    return "?";
}

struct Host::HandleBlock {
    void* master = nullptr;  // what the PF_Handle points at
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    int lock_depth = 0;
};

// Marks one module call: its suites are logged under it, and host callbacks
// are expected on this thread.
class Host::CallScope {
public:
    CallScope(Host& host, std::string label, PF_Cmd cmd) : host_(host)
    {
        std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
        CommandLog log;
        log.label = std::move(label);
        log.cmd = cmd;
        host_.commands_.push_back(std::move(log));
        previous_ = host_.current_command_;
        host_.current_command_ = static_cast<int>(host_.commands_.size()) - 1;
        index_ = host_.current_command_;
        host_.command_thread_ = std::this_thread::get_id();
    }
    ~CallScope()
    {
        std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
        host_.current_command_ = previous_;
    }
    void set_result(PF_Err err)
    {
        std::lock_guard<std::recursive_mutex> lock(host_.mutex_);
        host_.commands_[static_cast<std::size_t>(index_)].result = err;
    }

private:
    Host& host_;
    int previous_ = -1;
    int index_ = -1;
};

// The C entry points the module calls. Context-free ones go to the active host;
// the others find their host through effect_ref.
struct Callbacks {
    static Host* host_of(PF_ProgPtr ref, const char* what)
    {
        const auto* token = reinterpret_cast<const Host::EffectToken*>(ref);
        if (token != nullptr && token->magic == kTokenMagic && token->host != nullptr) {
            return token->host;
        }
        if (Host* active = Host::active()) {
            active->violation(std::string(what) + " called with an effect_ref the host does not know");
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

    static SPErr acquire_suite(const char* name, int32_t version, const void** suite)
    {
        return active_or_die().acquire_suite(name, version, suite);
    }
    static SPErr release_suite(const char* name, int32_t version)
    {
        return active_or_die().release_suite(name, version);
    }
    static PF_Handle new_handle(A_HandleSize size) { return active_or_die().new_handle(size); }
    static void* lock_handle(PF_Handle h) { return active_or_die().lock_handle(h); }
    static void unlock_handle(PF_Handle h) { active_or_die().unlock_handle(h); }
    static void dispose_handle(PF_Handle h) { active_or_die().dispose_handle(h); }
    static A_HandleSize handle_size(PF_Handle h) { return active_or_die().handle_size(h); }
    static PF_Err resize_handle(A_HandleSize size, PF_Handle* h) { return active_or_die().resize_handle(size, h); }

    static PF_Err add_param(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDef* def)
    {
        Host* host = host_of(ref, "add_param");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->add_param(index, def);
    }
    static PF_Err checkout_param(PF_ProgPtr ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                                 A_u_long time_scale, PF_ParamDef* param)
    {
        Host* host = host_of(ref, "checkout_param");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM
                               : host->checkout_param(index, what_time, time_step, time_scale, param);
    }
    static PF_Err checkin_param(PF_ProgPtr ref, PF_ParamDef* param)
    {
        Host* host = host_of(ref, "checkin_param");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->checkin_param(param);
    }
    static PF_Err update_param_ui(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef* def)
    {
        Host* host = host_of(ref, "PF_UpdateParamUI");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->update_param_ui(index, def);
    }
    static A_Err register_with_aegp(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id)
    {
        return active_or_die().register_with_aegp(refcon, name, id);
    }
    static PF_Err get_pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format)
    {
        return active_or_die().get_pixel_format(world, format);
    }
    static A_Err get_num_threads(A_long* threads) { return active_or_die().get_num_threads(threads); }
    static PF_Err iterate_generic(A_long iterations, void* refcon, PF_Err (*fn)(void*, A_long, A_long, A_long))
    {
        Host& host = active_or_die();
        host.check_thread("iterate_generic");
        if (const PF_Err injected = host.record_call(CallKind::iterate_generic)) {
            return injected;
        }
        return host.run_iterations(iterations, refcon, fn);
    }
    static PF_Err checkout_layer(PF_ProgPtr ref, PF_ParamIndex index, A_long checkout_id, const PF_RenderRequest* req,
                                 A_long what_time, A_long time_step, A_u_long time_scale, PF_CheckoutResult* result)
    {
        Host* host = host_of(ref, "checkout_layer");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM
                               : host->checkout_layer(index, checkout_id, req, what_time, time_step, time_scale,
                                                      result);
    }
    static PF_Err checkout_layer_pixels(PF_ProgPtr ref, A_long checkout_id, PF_EffectWorld** pixels)
    {
        Host* host = host_of(ref, "checkout_layer_pixels");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->checkout_layer_pixels(checkout_id, pixels);
    }
    static PF_Err checkin_layer_pixels(PF_ProgPtr ref, A_long checkout_id)
    {
        Host* host = host_of(ref, "checkin_layer_pixels");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->checkin_layer_pixels(checkout_id);
    }
    static PF_Err checkout_output(PF_ProgPtr ref, PF_EffectWorld** output)
    {
        Host* host = host_of(ref, "checkout_output");
        return host == nullptr ? PF_Err_BAD_CALLBACK_PARAM : host->checkout_output(output);
    }

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
};

Host::Host(std::shared_ptr<ModuleLibrary> module, HostConfig config)
    : config_(config), module_(std::move(module)), entry_(module_ ? module_->entry() : nullptr)
{
    init();
}

Host::Host(EntryPointFuncPtr entry_point, HostConfig config) : config_(config), entry_(entry_point) { init(); }

void Host::init()
{
    token_ = EffectToken{kTokenMagic, this};

    basic_suite_.AcquireSuite = &Callbacks::acquire_suite;
    basic_suite_.ReleaseSuite = &Callbacks::release_suite;

    utils_.ansi.sprintf = &Callbacks::ansi_sprintf;
    utils_.ansi.strcpy = &Callbacks::ansi_strcpy;
    utils_.ansi.pow = &Callbacks::ansi_pow;

    handle_suite_.host_new_handle = &Callbacks::new_handle;
    handle_suite_.host_lock_handle = &Callbacks::lock_handle;
    handle_suite_.host_unlock_handle = &Callbacks::unlock_handle;
    handle_suite_.host_dispose_handle = &Callbacks::dispose_handle;
    handle_suite_.host_get_handle_size = &Callbacks::handle_size;
    handle_suite_.host_resize_handle = &Callbacks::resize_handle;

    utility_suite_.AEGP_RegisterWithAEGP = &Callbacks::register_with_aegp;
    param_utils_suite_.PF_UpdateParamUI = &Callbacks::update_param_ui;
    world_suite_.PF_GetPixelFormat = &Callbacks::get_pixel_format;
    aegp_iterate_suite_.AEGP_GetNumThreads = &Callbacks::get_num_threads;
    aegp_iterate_suite_.AEGP_IterateGeneric = &Callbacks::iterate_generic;
    iterate8_suite_.iterate_generic = &Callbacks::iterate_generic;

    pre_render_callbacks_.checkout_layer = &Callbacks::checkout_layer;
    smart_render_callbacks_.checkout_layer_pixels = &Callbacks::checkout_layer_pixels;
    smart_render_callbacks_.checkin_layer_pixels = &Callbacks::checkin_layer_pixels;
    smart_render_callbacks_.checkout_output = &Callbacks::checkout_output;

    command_thread_ = std::this_thread::get_id();
    previous_active_ = g_active.exchange(this);
}

Host::~Host()
{
    pool_.reset();
    Host* expected = this;
    g_active.compare_exchange_strong(expected, previous_active_);
}

Host* Host::active() { return g_active.load(); }

PF_ProgPtr Host::effect_ref() const
{
    return reinterpret_cast<PF_ProgPtr>(const_cast<EffectToken*>(&token_));
}

// ------------------------------------------------------------------ bookkeeping

void Host::violation(std::string text)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    violations_.push_back(std::move(text));
}

void Host::check_thread(const char* what)
{
    if (std::this_thread::get_id() != command_thread_) {
        violation(std::string(what) + " called from a thread other than the one running the command");
    }
}

CommandLog& Host::current_log()
{
    if (current_command_ < 0) {
        CommandLog log;
        log.label = "outside any command";
        commands_.push_back(std::move(log));
        current_command_ = static_cast<int>(commands_.size()) - 1;
    }
    return commands_[static_cast<std::size_t>(current_command_)];
}

bool Host::consume_fault(CallKind kind, PF_Err& code)
{
    const int count = call_counts_[static_cast<std::size_t>(kind)];
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->kind == kind && (count == it->at || (it->persistent && count > it->at))) {
            code = it->code;
            if (!it->persistent) {
                faults_.erase(it);
            }
            return true;
        }
    }
    return false;
}

PF_Err Host::record_call(CallKind kind)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++call_counts_[static_cast<std::size_t>(kind)];
    PF_Err code = PF_Err_NONE;
    if (consume_fault(kind, code)) {
        return code == PF_Err_NONE ? PF_Err_INTERNAL_STRUCT_DAMAGED : code;
    }
    return PF_Err_NONE;
}

void Host::refuse_suite(const std::string& name, int version)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    refused_.insert(SuiteKey{name, version});
}

void Host::fail_call(CallKind kind, int nth, PF_Err code, bool persistent)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    faults_.push_back(Fault{kind, call_counts_[static_cast<std::size_t>(kind)] + std::max(nth, 1), code, persistent});
}

void Host::clear_faults()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    faults_.clear();
    refused_.clear();
    null_input_world_ = false;
    null_output_world_ = false;
}

int Host::call_count(CallKind kind) const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return call_counts_[static_cast<std::size_t>(kind)];
}

void Host::clear_call_logs()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    add_param_calls_.clear();
    checkout_param_calls_.clear();
    update_param_ui_calls_.clear();
    register_calls_.clear();
    checkout_layer_calls_.clear();
    iterate_calls_.clear();
}

Accounting Host::accounting() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    Accounting a;
    a.suites = suites_;
    a.commands = commands_;
    a.handles_created = handles_created_;
    a.handles_disposed = handles_disposed_;
    a.lock_calls = lock_calls_;
    a.unlock_calls = unlock_calls_;
    for (const auto& [handle, block] : handles_) {
        a.live_handles.push_back(HandleState{block->size, block->lock_depth, handle == global_data_});
    }
    a.params_checked_out = params_checked_out_;
    a.params_checked_in = params_checked_in_;
    for (const auto& [def, index] : params_out_) {
        a.params_outstanding.push_back(index);
    }
    a.layers_checked_out = layers_checked_out_;
    a.layer_pixels_checked_out = layer_pixels_checked_out_;
    a.layer_pixels_checked_in = layer_pixels_checked_in_;
    a.layer_pixels_still_out_at_frame_end = layer_pixels_left_out_;
    a.pre_render_data_created = pre_render_data_created_;
    a.pre_render_data_deleted = pre_render_data_deleted_;
    a.pre_render_data_without_deleter = pre_render_data_without_deleter_;
    if (pre_render_data_ != nullptr) {
        // Held by the host for a frame still open: not a leak of the module's.
        a.pre_render_data_created -= 1;
    }
    a.violations = violations_;
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
    in.num_params = static_cast<A_long>(params_.size());
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
        violation("no module loaded");
        return PF_Err_INVALID_CALLBACK;
    }
    CallScope scope(*this, command_name(cmd), cmd);
    const PF_Err err = entry_(cmd, &in_data, &out_data, params, output, extra);
    scope.set_result(err);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
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

// ------------------------------------------------------------------ suites

SPErr Host::acquire_suite(const char* name, int32_t version, const void** suite)
{
    check_thread("AcquireSuite");
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const SuiteKey key{name != nullptr ? name : "", version};
    CommandLog& log = current_log();
    const void* served = nullptr;
    if (refused_.count(key) == 0) {
        if (key.name == "PF Handle Suite" && version == 2) {
            served = &handle_suite_;
        } else if (key.name == "AEGP Utility Suite" && version == 7) {
            served = &utility_suite_;
        } else if (key.name == "PF Param Utils Suite" && version == 2) {
            served = &param_utils_suite_;
        } else if (key.name == "PF World Suite" && version == 2) {
            served = &world_suite_;
        } else if (key.name == "AEGP Iterate Suite" && version == 1) {
            served = &aegp_iterate_suite_;
        } else if (key.name == "PF Iterate8 Suite" && version == 1) {
            served = &iterate8_suite_;
        }
    }
    if (suite == nullptr) {
        violation("AcquireSuite " + key.text() + " called with a null place for the suite");
        return kSPSuiteNotFoundError;
    }
    *suite = served;
    if (served == nullptr) {
        ++suites_[key].refused;
        ++log.suites[key].refused;
        log.events.push_back("refuse " + key.text());
        return kSPSuiteNotFoundError;
    }
    ++suites_[key].acquired;
    ++log.suites[key].acquired;
    log.events.push_back("acquire " + key.text());
    return 0;
}

SPErr Host::release_suite(const char* name, int32_t version)
{
    check_thread("ReleaseSuite");
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const SuiteKey key{name != nullptr ? name : "", version};
    CommandLog& log = current_log();
    SuiteCounts& total = suites_[key];
    if (total.released >= total.acquired) {
        violation("ReleaseSuite " + key.text() + " without a matching AcquireSuite");
        log.events.push_back("unmatched release " + key.text());
        return kSPSuiteNotFoundError;
    }
    ++total.released;
    ++log.suites[key].released;
    log.events.push_back("release " + key.text());
    return 0;
}

// ------------------------------------------------------------------ handles

PF_Handle Host::new_handle(A_HandleSize size)
{
    check_thread("host_new_handle");
    if (record_call(CallKind::new_handle) != PF_Err_NONE) {
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto block = std::make_unique<HandleBlock>();
    block->size = static_cast<std::size_t>(size);
    block->bytes = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(block->size, 1));
    std::memset(block->bytes.get(), config_.handle_fill, std::max<std::size_t>(block->size, 1));
    block->master = block->bytes.get();
    PF_Handle handle = &block->master;
    handles_.emplace(handle, std::move(block));
    ++handles_created_;
    return handle;
}

void* Host::lock_handle(PF_Handle handle)
{
    check_thread("host_lock_handle");
    if (record_call(CallKind::lock_handle) != PF_Err_NONE) {
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        violation("host_lock_handle on a handle the host does not know");
        return nullptr;
    }
    ++it->second->lock_depth;
    ++lock_calls_;
    return it->second->master;
}

void Host::unlock_handle(PF_Handle handle)
{
    check_thread("host_unlock_handle");
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        violation("host_unlock_handle on a handle the host does not know");
        return;
    }
    if (it->second->lock_depth == 0) {
        violation("host_unlock_handle on a handle that is not locked");
        return;
    }
    --it->second->lock_depth;
    ++unlock_calls_;
}

void Host::dispose_handle(PF_Handle handle)
{
    check_thread("host_dispose_handle");
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        violation("host_dispose_handle on a handle the host does not know (or disposed twice)");
        return;
    }
    if (it->second->lock_depth != 0) {
        violation("host_dispose_handle on a handle still locked (depth " + std::to_string(it->second->lock_depth) +
                  ")");
    }
    handles_.erase(it);
    ++handles_disposed_;
}

A_HandleSize Host::handle_size(PF_Handle handle)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        violation("host_get_handle_size on a handle the host does not know");
        return 0;
    }
    return it->second->size;
}

PF_Err Host::resize_handle(A_HandleSize size, PF_Handle* handle)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = handle == nullptr ? handles_.end() : handles_.find(*handle);
    if (it == handles_.end()) {
        violation("host_resize_handle on a handle the host does not know");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    HandleBlock& block = *it->second;
    if (block.lock_depth != 0) {
        violation("host_resize_handle on a locked handle");
    }
    const std::size_t new_size = static_cast<std::size_t>(size);
    auto bytes = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(new_size, 1));
    std::memset(bytes.get(), config_.handle_fill, std::max<std::size_t>(new_size, 1));
    std::memcpy(bytes.get(), block.bytes.get(), std::min(new_size, block.size));
    block.bytes = std::move(bytes);
    block.size = new_size;
    block.master = block.bytes.get();
    return PF_Err_NONE;
}

// ------------------------------------------------------------------ parameters

PF_Err Host::add_param(PF_ParamIndex index, PF_ParamDef* def)
{
    check_thread("add_param");
    const PF_Err injected = record_call(CallKind::add_param);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    AddParamCall call;
    call.index = index;
    if (def != nullptr) {
        call.def = *def;
        if (def->param_type == PF_Param_POPUP && def->u.pd.u.namesptr != nullptr) {
            call.choices = def->u.pd.u.namesptr;
        }
    } else {
        violation("add_param with a null record");
    }
    call.result = def == nullptr ? PF_Err_BAD_CALLBACK_PARAM : injected;
    add_param_calls_.push_back(call);
    return call.result;
}

void Host::adopt_declared_params(std::size_t first_call)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    params_.clear();
    param_choices_.clear();
    points_.clear();
    PF_ParamDef layer{};
    layer.param_type = PF_Param_LAYER;
    std::strcpy(layer.name, "Input");
    params_.push_back(layer);
    param_choices_.emplace_back();
    for (std::size_t c = first_call; c < add_param_calls_.size(); ++c) {
        const AddParamCall& call = add_param_calls_[c];
        if (call.result != PF_Err_NONE) {
            continue;
        }
        PF_ParamDef def = call.def;
        const int index = static_cast<int>(params_.size());
        param_choices_.push_back(call.choices);
        if (def.param_type == PF_Param_POINT) {
            const double x = def.u.td.x_dephault / 65536.0 / 100.0 * config_.layer_width;
            const double y = def.u.td.y_dephault / 65536.0 / 100.0 * config_.layer_height;
            points_[index] = {x, y};
        }
        params_.push_back(def);
    }
    for (std::size_t i = 0; i < params_.size(); ++i) {
        if (params_[i].param_type == PF_Param_POPUP && !param_choices_[i].empty()) {
            params_[i].u.pd.u.namesptr = param_choices_[i].c_str();
        }
    }
}

std::vector<PF_ParamDef*> Host::param_array()
{
    std::vector<PF_ParamDef*> array;
    for (PF_ParamDef& def : params_) {
        array.push_back(&def);
    }
    if (!params_.empty() && frame_input_ != nullptr) {
        params_[0].u.ld = *frame_input_->effect_world();
    }
    return array;
}

PF_Err Host::checkout_param(PF_ParamIndex index, A_long what_time, A_long time_step, A_u_long time_scale,
                            PF_ParamDef* param)
{
    check_thread("checkout_param");
    const PF_Err injected = record_call(CallKind::checkout_param);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    CheckoutParamCall call{index, what_time, time_step, time_scale, injected};
    if (injected == PF_Err_NONE) {
        if (param == nullptr) {
            violation("checkout_param with a null record");
            call.result = PF_Err_BAD_CALLBACK_PARAM;
        } else if (index < 0 || index >= static_cast<PF_ParamIndex>(params_.size())) {
            call.result = PF_Err_INVALID_INDEX;
        } else {
            *param = params_[static_cast<std::size_t>(index)];
            if (index == 0 && frame_input_ != nullptr) {
                param->u.ld = *frame_input_->effect_world();
            }
            if (param->param_type == PF_Param_POINT) {
                const auto& [x, y] = points_[index];
                param->u.td.x_value = static_cast<PF_Fixed>(std::lround(x * ratio(config_.downsample_x) * 65536.0));
                param->u.td.y_value = static_cast<PF_Fixed>(std::lround(y * ratio(config_.downsample_y) * 65536.0));
            }
            params_out_.emplace_back(param, index);
            ++params_checked_out_;
        }
    }
    checkout_param_calls_.push_back(call);
    return call.result;
}

PF_Err Host::checkin_param(PF_ParamDef* param)
{
    check_thread("checkin_param");
    // An injected failure is still a check-in: the host takes the record back and
    // only reports the error.
    const PF_Err injected = record_call(CallKind::checkin_param);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = std::find_if(params_out_.begin(), params_out_.end(),
                           [param](const auto& out) { return out.first == param; });
    if (it == params_out_.end() && param != nullptr) {
        it = std::find_if(params_out_.begin(), params_out_.end(), [param](const auto& out) {
            return out.second == param->uu.id && out.first->param_type == param->param_type;
        });
    }
    if (it == params_out_.end()) {
        violation("checkin_param of a record that is not checked out");
        return injected != PF_Err_NONE ? injected : PF_Err_BAD_CALLBACK_PARAM;
    }
    params_out_.erase(it);
    ++params_checked_in_;
    return injected;
}

PF_Err Host::update_param_ui(PF_ParamIndex index, const PF_ParamDef* def)
{
    check_thread("PF_UpdateParamUI");
    const PF_Err injected = record_call(CallKind::update_param_ui);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    UpdateParamUiCall call;
    call.index = index;
    if (def != nullptr) {
        call.def = *def;
    } else {
        violation("PF_UpdateParamUI with a null record");
    }
    call.result = injected;
    update_param_ui_calls_.push_back(call);
    return injected;
}

A_Err Host::register_with_aegp(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id)
{
    check_thread("AEGP_RegisterWithAEGP");
    const PF_Err injected = record_call(CallKind::register_with_aegp);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    RegisterCall call{refcon, name != nullptr ? name : "", injected};
    if (injected == PF_Err_NONE) {
        if (id == nullptr) {
            violation("AEGP_RegisterWithAEGP with a null place for the plug-in id");
            call.result = PF_Err_BAD_CALLBACK_PARAM;
        } else {
            *id = config_.plugin_id;
        }
    }
    register_calls_.push_back(call);
    return call.result;
}

// ------------------------------------------------------------------ worlds and layers

void Host::register_world(const PF_EffectWorld* world, PF_PixelFormat format)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    worlds_[world] = format;
}

void Host::unregister_world(const PF_EffectWorld* world)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    worlds_.erase(world);
}

PF_Err Host::get_pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format)
{
    check_thread("PF_GetPixelFormat");
    const PF_Err injected = record_call(CallKind::get_pixel_format);
    if (injected != PF_Err_NONE) {
        return injected;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = worlds_.find(world);
    if (it == worlds_.end() || format == nullptr) {
        violation("PF_GetPixelFormat on a world the host did not make");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *format = it->second;
    return PF_Err_NONE;
}

A_Err Host::get_num_threads(A_long* threads)
{
    check_thread("AEGP_GetNumThreads");
    const PF_Err injected = record_call(CallKind::get_num_threads);
    if (injected != PF_Err_NONE) {
        return injected;
    }
    if (threads == nullptr) {
        violation("AEGP_GetNumThreads with a null place for the count");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *threads = config_.threads;
    return PF_Err_NONE;
}

PF_Err Host::run_iterations(A_long iterations, void* refcon, PF_Err (*fn)(void*, A_long, A_long, A_long))
{
    IterateCall call;
    call.iterations = iterations;
    if (fn == nullptr || iterations < 0) {
        violation("iterate_generic with a null function or a negative count");
        call.result = PF_Err_BAD_CALLBACK_PARAM;
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        iterate_calls_.push_back(call);
        return call.result;
    }
    const int pool_size = std::max(config_.threads, 1);
    if (!pool_ || pool_->size() != pool_size) {
        pool_.reset();
        pool_ = std::make_unique<ThreadPool>(pool_size);
    }
    call.records.resize(static_cast<std::size_t>(iterations));
    const bool trace = config_.trace_bands && frame_output_ != nullptr;
    World* output = frame_output_;
    // No host lock is held while the bands run: each band writes only its own record.
    pool_->run(
        iterations,
        [&](int thread_index, int i) {
            IterationRecord& record = call.records[static_cast<std::size_t>(i)];
            record.i = i;
            record.thread_index = thread_index;
            record.thread = std::this_thread::get_id();
            if (trace) {
                const World before = *output;
                record.result = fn(refcon, thread_index, i, iterations);
                record.rows = output->rows_differing_from(before);
            } else {
                record.result = fn(refcon, thread_index, i, iterations);
            }
        },
        trace);
    for (const IterationRecord& record : call.records) {
        if (record.result != PF_Err_NONE) {
            call.result = record.result;
            break;
        }
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    iterate_calls_.push_back(call);
    return call.result;
}

void Host::begin_frame(World* input, World* output, PF_PixelFormat reported_input_format)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    frame_input_ = input;
    frame_output_ = output;
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
    if (input != nullptr) {
        worlds_[input->effect_world()] = reported_input_format;
    }
    if (output != nullptr) {
        worlds_[output->effect_world()] = output->format();
    }
}

void Host::end_frame()
{
    delete_pre_render_data();
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (frame_input_ != nullptr) {
        worlds_.erase(frame_input_->effect_world());
    }
    if (frame_output_ != nullptr) {
        worlds_.erase(frame_output_->effect_world());
    }
    frame_input_ = nullptr;
    frame_output_ = nullptr;
    layer_checkouts_.clear();
    pixel_checkouts_.clear();
}

PF_Err Host::checkout_layer(PF_ParamIndex index, A_long checkout_id, const PF_RenderRequest* req, A_long what_time,
                            A_long time_step, A_u_long time_scale, PF_CheckoutResult* result)
{
    check_thread("checkout_layer");
    const PF_Err injected = record_call(CallKind::checkout_layer);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    LayerCheckoutCall call;
    call.index = index;
    call.checkout_id = checkout_id;
    if (req != nullptr) {
        call.request = *req;
    }
    call.what_time = what_time;
    call.time_step = time_step;
    call.time_scale = time_scale;
    call.err = injected;
    if (injected == PF_Err_NONE) {
        if (req == nullptr || result == nullptr) {
            violation("checkout_layer with a null request or result");
            call.err = PF_Err_BAD_CALLBACK_PARAM;
        } else if (index != 0 || frame_input_ == nullptr) {
            call.err = PF_Err_BAD_CALLBACK_PARAM;
        } else {
            const PF_EffectWorld& w = *frame_input_->effect_world();
            const PF_LRect layer{w.origin_x, w.origin_y, w.origin_x + w.width, w.origin_y + w.height};
            PF_CheckoutResult filled{};
            filled.result_rect = intersect(layer, req->rect);
            filled.max_result_rect = layer;
            filled.par = config_.pixel_aspect_ratio;
            filled.ref_width = w.width;
            filled.ref_height = w.height;
            *result = filled;
            call.result = filled;
            layer_checkouts_[checkout_id] = filled;
            ++layers_checked_out_;
        }
    }
    checkout_layer_calls_.push_back(call);
    return call.err;
}

PF_Err Host::checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels)
{
    check_thread("checkout_layer_pixels");
    const PF_Err injected = record_call(CallKind::checkout_layer_pixels);
    if (injected != PF_Err_NONE) {
        return injected;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (pixels == nullptr) {
        violation("checkout_layer_pixels with a null place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (layer_checkouts_.count(checkout_id) == 0 || frame_input_ == nullptr) {
        violation("checkout_layer_pixels for checkout id " + std::to_string(checkout_id) +
                  ", which pre-render did not check out");
        *pixels = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *pixels = null_input_world_ ? nullptr : frame_input_->effect_world();
    pixel_checkouts_.push_back(PixelCheckout{checkout_id, false});
    ++layer_pixels_checked_out_;
    return PF_Err_NONE;
}

PF_Err Host::checkin_layer_pixels(A_long checkout_id)
{
    check_thread("checkin_layer_pixels");
    const PF_Err injected = record_call(CallKind::checkin_layer_pixels);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto it = std::find_if(pixel_checkouts_.begin(), pixel_checkouts_.end(), [&](const PixelCheckout& c) {
        return c.checkout_id == checkout_id && !c.checked_in;
    });
    if (it == pixel_checkouts_.end()) {
        violation("checkin_layer_pixels for checkout id " + std::to_string(checkout_id) +
                  ", whose pixels are not checked out");
        return injected != PF_Err_NONE ? injected : PF_Err_BAD_CALLBACK_PARAM;
    }
    it->checked_in = true;
    ++layer_pixels_checked_in_;
    return injected;
}

PF_Err Host::checkout_output(PF_EffectWorld** output)
{
    check_thread("checkout_output");
    const PF_Err injected = record_call(CallKind::checkout_output);
    if (injected != PF_Err_NONE) {
        return injected;
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (output == nullptr) {
        violation("checkout_output with a null place for the world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (frame_output_ == nullptr) {
        violation("checkout_output outside a frame");
        *output = nullptr;
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *output = null_output_world_ ? nullptr : frame_output_->effect_world();
    return PF_Err_NONE;
}

// ------------------------------------------------------------------ smart render

void Host::delete_pre_render_data()
{
    void* data = nullptr;
    PF_DeletePreRenderDataFunc deleter = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        data = pre_render_data_;
        deleter = pre_render_deleter_;
        pre_render_data_ = nullptr;
        pre_render_deleter_ = nullptr;
    }
    if (data == nullptr) {
        return;
    }
    if (deleter == nullptr) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        ++pre_render_data_without_deleter_;
        return;
    }
    {
        CallScope scope(*this, "delete_pre_render_data", -1);
        deleter(data);
    }
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ++pre_render_data_deleted_;
}

PF_Err Host::smart_pre_render(PF_PreRenderInput& input, PF_PreRenderOutput& output, PF_OutData& out_data)
{
    delete_pre_render_data();
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        layer_checkouts_.clear();
    }
    output.pre_render_data = nullptr;
    output.delete_pre_render_data_func = nullptr;
    PF_PreRenderExtra extra{&input, &output, &pre_render_callbacks_};
    PF_InData in = make_in_data();
    // As in the host, the smart commands get no parameter array: values are checked out.
    const PF_Err err = call(PF_Cmd_SMART_PRE_RENDER, in, out_data, nullptr, nullptr, &extra);
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (output.pre_render_data != nullptr) {
            pre_render_data_ = output.pre_render_data;
            pre_render_deleter_ = output.delete_pre_render_data_func;
            ++pre_render_data_created_;
        }
    }
    if (err != PF_Err_NONE) {
        // No smart render follows a failed pre-render.
        delete_pre_render_data();
    }
    return err;
}

PF_Err Host::smart_render(PF_SmartRenderInput& input, PF_OutData& out_data)
{
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        input.pre_render_data = pre_render_data_;
        pixel_checkouts_.clear();
    }
    PF_SmartRenderExtra extra{&input, &smart_render_callbacks_};
    PF_InData in = make_in_data();
    const PF_Err err = call(PF_Cmd_SMART_RENDER, in, out_data, nullptr, nullptr, &extra);
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const PixelCheckout& c : pixel_checkouts_) {
        if (!c.checked_in) {
            ++layer_pixels_left_out_;
        }
    }
    pixel_checkouts_.clear();
    return err;
}

}  // namespace simhost
