// The simulated host: what the effect module calls back into, and the calls it
// receives. One Host plays After Effects for one loaded module: it serves the
// basic suite and the six suites the module uses, fills PF_InData with its
// callbacks, keeps the declared parameters and their current values, hands out
// effect worlds and layer checkouts, runs `iterate_generic` on a real thread
// pool, injects failures on request and counts every resource (accounting.h).
//
// Callbacks that carry no context (suite functions, handle functions) reach the
// host that is active: the most recently constructed Host still alive. Run one
// Host at a time per process; every command is sent from one thread, and only
// the band callbacks of `iterate_generic` run elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/entry.h"
#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/module_loader.h"
#include "simhost/world.h"

namespace simhost {

class ThreadPool;

// The host calls that failure injection can target.
enum class CallKind : int {
    add_param,
    checkout_param,
    checkin_param,
    checkout_layer,
    checkout_layer_pixels,
    checkin_layer_pixels,
    checkout_output,
    update_param_ui,        // PF_UpdateParamUI
    register_with_aegp,     // AEGP_RegisterWithAEGP
    get_pixel_format,       // PF_GetPixelFormat
    get_num_threads,        // AEGP_GetNumThreads
    iterate_generic,
    new_handle,             // an injected failure returns a null handle
    lock_handle,            // an injected failure returns a null address
    count
};
const char* call_kind_name(CallKind kind);

// The error AcquireSuite returns for a suite it refuses ('S!Fd').
inline constexpr SPErr kSPSuiteNotFoundError = 0x53214664;

// PF_ChannelMask_ALPHA etc., for render requests.
inline constexpr A_long kChannelMaskAlpha = 1;
inline constexpr A_long kChannelMaskARGB = 15;

struct HostConfig {
    int threads = 4;                          // AEGP_GetNumThreads and the pool size
    AEGP_PluginID plugin_id = 0x1234;         // what AEGP_RegisterWithAEGP writes
    std::uint8_t handle_fill = 0xA5;          // every byte of a new handle
    int layer_width = 640;                    // PF_InData width/height; point defaults
    int layer_height = 480;                   // are converted from percent with them
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    PF_RationalScale pixel_aspect_ratio{1, 1};
    A_long current_time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 30;
    // Runs the iterations of iterate_generic one at a time and records, for each,
    // the rows of the frame's output world that it changed (IterationRecord::rows).
    bool trace_bands = false;
};

struct AddParamCall {
    PF_ParamIndex index = 0;
    PF_ParamDef def{};
    std::string choices;  // the popup's choice string, copied
    PF_Err result = 0;
};

struct CheckoutParamCall {
    PF_ParamIndex index = 0;
    A_long what_time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;
    PF_Err result = 0;
};

struct UpdateParamUiCall {
    PF_ParamIndex index = 0;
    PF_ParamDef def{};  // a copy of what the module passed
    PF_Err result = 0;
};

struct RegisterCall {
    AEGP_GlobalRefcon refcon = nullptr;
    std::string name;
    PF_Err result = 0;
};

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

struct IterationRecord {
    int i = 0;
    int thread_index = 0;
    std::thread::id thread;
    PF_Err result = 0;
    std::vector<int> rows;  // rows of the output it changed (trace_bands only)
};

struct IterateCall {
    int iterations = 0;
    PF_Err result = 0;
    std::vector<IterationRecord> records;  // by i
};

class Host {
public:
    explicit Host(std::shared_ptr<ModuleLibrary> module, HostConfig config = {});
    // For a module linked into the test itself.
    explicit Host(EntryPointFuncPtr entry_point, HostConfig config = {});
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HostConfig& config() { return config_; }
    const HostConfig& config() const { return config_; }
    EntryPointFuncPtr entry() const { return entry_; }

    // ------------------------------------------------------------ commands

    // A PF_InData as the host fills it now: its callbacks, effect_ref, times,
    // layer size, downsample, pixel aspect ratio, the global data it holds, and
    // its basic suite.
    PF_InData make_in_data() const;
    // Sends one command. The host records the suites of the call, adopts the
    // global data handle after a successful PF_Cmd_GLOBAL_SETUP and lets go of it
    // after PF_Cmd_GLOBAL_SETDOWN.
    PF_Err call(PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra);
    // The same with a fresh make_in_data().
    PF_Err call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[] = nullptr, PF_LayerDef* output = nullptr,
                void* extra = nullptr);

    PF_Handle global_data() const { return global_data_; }
    void set_global_data(PF_Handle handle) { global_data_ = handle; }

    SPBasicSuite* basic_suite() { return &basic_suite_; }
    PF_ProgPtr effect_ref() const;
    PF_UtilCallbacks* utils() { return &utils_; }

    // ------------------------------------------------------------ parameters

    const std::vector<AddParamCall>& add_param_calls() const { return add_param_calls_; }
    // Takes the successfully declared parameters (add_param calls from `first_call`
    // on) as the host's records: slot 0 the input layer, then one per declaration,
    // values at their defaults, points converted from percent of the layer to
    // layer pixels.
    void adopt_declared_params(std::size_t first_call = 0);
    // The host's records, index 0 the layer. Tests may change any field.
    std::vector<PF_ParamDef>& param_records() { return params_; }
    // The parameter array for a command (pointers into param_records()).
    std::vector<PF_ParamDef*> param_array();
    // A point's value in layer pixels (what checkout returns, before downsampling).
    std::pair<double, double>& point_value(int index) { return points_[index]; }

    const std::vector<CheckoutParamCall>& checkout_param_calls() const { return checkout_param_calls_; }
    const std::vector<UpdateParamUiCall>& update_param_ui_calls() const { return update_param_ui_calls_; }
    const std::vector<RegisterCall>& register_calls() const { return register_calls_; }
    void clear_call_logs();

    // ------------------------------------------------------------ frames

    // The worlds of the next frame: the input layer's pixels and the output. The
    // input layer's rectangle is (origin, origin + size); PF_GetPixelFormat
    // answers `reported_input_format` for the input and the output's own format.
    void begin_frame(World* input, World* output, PF_PixelFormat reported_input_format);
    // Sends PF_Cmd_SMART_PRE_RENDER. Afterwards the host holds the pre-render data;
    // if the command failed, the host deletes it at once.
    PF_Err smart_pre_render(PF_PreRenderInput& input, PF_PreRenderOutput& output, PF_OutData& out_data);
    // Sends PF_Cmd_SMART_RENDER with the pre-render data the host holds. At its end
    // the host releases the layer-pixel checkouts the module left out.
    PF_Err smart_render(PF_SmartRenderInput& input, PF_OutData& out_data);
    // Deletes the pre-render data if still held and forgets the frame's worlds.
    void end_frame();
    void* pre_render_data() const { return pre_render_data_; }

    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const { return checkout_layer_calls_; }
    const std::vector<IterateCall>& iterate_calls() const { return iterate_calls_; }

    // Worlds PF_GetPixelFormat knows, with the format it reports.
    void register_world(const PF_EffectWorld* world, PF_PixelFormat format);
    void unregister_world(const PF_EffectWorld* world);

    // ------------------------------------------------------------ failure injection

    // AcquireSuite refuses this suite (non-zero SPErr, null pointer).
    void refuse_suite(const std::string& name, int version);
    // The nth call of `kind` from now on (1-based) fails with `code` (new_handle and
    // lock_handle return null instead). With `persistent`, every later one too.
    void fail_call(CallKind kind, int nth, PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED, bool persistent = false);
    // checkout_layer_pixels / checkout_output succeed but yield a null world.
    void set_null_input_world(bool on) { null_input_world_ = on; }
    void set_null_output_world(bool on) { null_output_world_ = on; }
    void clear_faults();
    // Calls of `kind` made so far, failed ones included.
    int call_count(CallKind kind) const;

    // ------------------------------------------------------------ accounting

    Accounting accounting() const;

    // The host currently active for context-free callbacks, or null.
    static Host* active();

private:
    struct HandleBlock;
    struct Fault {
        CallKind kind;
        int at;  // fires when the call count reaches this
        PF_Err code;
        bool persistent;
    };
    struct PixelCheckout {
        A_long checkout_id;
        bool checked_in;
    };
    class CallScope;
    friend struct Callbacks;

    void init();
    PF_Err record_call(CallKind kind);  // counts and returns the injected code, if any
    bool consume_fault(CallKind kind, PF_Err& code);
    void violation(std::string text);
    void check_thread(const char* what);
    CommandLog& current_log();
    void delete_pre_render_data();
    PF_Err run_iterations(A_long iterations, void* refcon,
                          PF_Err (*fn)(void*, A_long, A_long, A_long));

    // Callback bodies.
    SPErr acquire_suite(const char* name, int32_t version, const void** suite);
    SPErr release_suite(const char* name, int32_t version);
    PF_Handle new_handle(A_HandleSize size);
    void* lock_handle(PF_Handle handle);
    void unlock_handle(PF_Handle handle);
    void dispose_handle(PF_Handle handle);
    A_HandleSize handle_size(PF_Handle handle);
    PF_Err resize_handle(A_HandleSize size, PF_Handle* handle);
    PF_Err add_param(PF_ParamIndex index, PF_ParamDef* def);
    PF_Err checkout_param(PF_ParamIndex index, A_long what_time, A_long time_step, A_u_long time_scale,
                          PF_ParamDef* param);
    PF_Err checkin_param(PF_ParamDef* param);
    PF_Err update_param_ui(PF_ParamIndex index, const PF_ParamDef* def);
    A_Err register_with_aegp(AEGP_GlobalRefcon refcon, const A_char* name, AEGP_PluginID* id);
    PF_Err get_pixel_format(const PF_EffectWorld* world, PF_PixelFormat* format);
    A_Err get_num_threads(A_long* threads);
    PF_Err checkout_layer(PF_ParamIndex index, A_long checkout_id, const PF_RenderRequest* req, A_long what_time,
                          A_long time_step, A_u_long time_scale, PF_CheckoutResult* result);
    PF_Err checkout_layer_pixels(A_long checkout_id, PF_EffectWorld** pixels);
    PF_Err checkin_layer_pixels(A_long checkout_id);
    PF_Err checkout_output(PF_EffectWorld** output);

    HostConfig config_;
    std::shared_ptr<ModuleLibrary> module_;
    EntryPointFuncPtr entry_ = nullptr;
    Host* previous_active_ = nullptr;

    struct EffectToken {
        std::uint32_t magic;
        Host* host;
    } token_{};

    SPBasicSuite basic_suite_{};
    PF_UtilCallbacks utils_{};
    PF_HandleSuite1 handle_suite_{};
    AEGP_UtilitySuite3 utility_suite_{};
    PF_ParamUtilsSuite1 param_utils_suite_{};
    PF_WorldSuite2 world_suite_{};
    AEGP_IterateSuite1 aegp_iterate_suite_{};
    PF_Iterate8Suite1 iterate8_suite_{};
    PF_PreRenderCallbacks pre_render_callbacks_{};
    PF_SmartRenderCallbacks smart_render_callbacks_{};

    mutable std::recursive_mutex mutex_;
    std::thread::id command_thread_;
    std::vector<CommandLog> commands_;
    int current_command_ = -1;
    std::map<SuiteKey, SuiteCounts> suites_;
    std::set<SuiteKey> refused_;

    std::map<PF_Handle, std::unique_ptr<HandleBlock>> handles_;
    int handles_created_ = 0;
    int handles_disposed_ = 0;
    int lock_calls_ = 0;
    int unlock_calls_ = 0;
    PF_Handle global_data_ = nullptr;

    std::vector<AddParamCall> add_param_calls_;
    std::vector<PF_ParamDef> params_;
    std::vector<std::string> param_choices_;
    std::map<int, std::pair<double, double>> points_;
    std::vector<CheckoutParamCall> checkout_param_calls_;
    std::vector<std::pair<const PF_ParamDef*, int>> params_out_;
    int params_checked_out_ = 0;
    int params_checked_in_ = 0;
    std::vector<UpdateParamUiCall> update_param_ui_calls_;
    std::vector<RegisterCall> register_calls_;

    World* frame_input_ = nullptr;
    World* frame_output_ = nullptr;
    std::map<const PF_EffectWorld*, PF_PixelFormat> worlds_;
    std::map<A_long, PF_CheckoutResult> layer_checkouts_;  // by checkout id, this frame
    std::vector<PixelCheckout> pixel_checkouts_;          // this smart render
    std::vector<LayerCheckoutCall> checkout_layer_calls_;
    int layers_checked_out_ = 0;
    int layer_pixels_checked_out_ = 0;
    int layer_pixels_checked_in_ = 0;
    int layer_pixels_left_out_ = 0;

    void* pre_render_data_ = nullptr;
    PF_DeletePreRenderDataFunc pre_render_deleter_ = nullptr;
    int pre_render_data_created_ = 0;
    int pre_render_data_deleted_ = 0;
    int pre_render_data_without_deleter_ = 0;

    std::unique_ptr<ThreadPool> pool_;
    std::vector<IterateCall> iterate_calls_;

    std::array<int, static_cast<std::size_t>(CallKind::count)> call_counts_{};
    std::vector<Fault> faults_;
    bool null_input_world_ = false;
    bool null_output_world_ = false;

    std::vector<std::string> violations_;
};

}  // namespace simhost
