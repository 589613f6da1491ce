// The simulated host: what the effect module calls back into, and the calls it
// receives. One Host plays After Effects for one loaded module: it serves the
// basic suite and the six suites the module uses, fills PF_InData with its
// callbacks, keeps the declared parameters and their current values, hands out
// effect worlds and layer checkouts, runs `iterate_generic` on a real thread
// pool, injects failures on request and counts every resource (accounting.h).
//
// Host ties together parts with one job each; each keeps its own state and lock:
//   command_log.h     the commands sent, the command thread, violations
//   fault_plan.h      injected failures, refused suites, call counts
//   suite_table.h     the suites served and their acquisitions
//   handle_table.h    memory handles and their locks
//   param_store.h     declared parameters, their records, checkouts, UI updates
//   frame_checkouts.h the frame's worlds, layer checkouts, pre-render data
//   band_iteration.h  iterate_generic on the render threads
// Host itself turns the module's C callbacks into calls on those parts (each
// first checks the thread and consults the fault plan) and sends the commands.
//
// Callbacks that carry no context (suite functions, handle functions) reach the
// host that is active: the most recently constructed Host still alive. Run one
// Host at a time per process; every command is sent from one thread, and only
// the band callbacks of `iterate_generic` run elsewhere.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/entry.h"
#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/band_iteration.h"
#include "simhost/command_log.h"
#include "simhost/fault_plan.h"
#include "simhost/frame_checkouts.h"
#include "simhost/handle_table.h"
#include "simhost/keyframes.h"
#include "simhost/module_loader.h"
#include "simhost/param_store.h"
#include "simhost/suite_table.h"
#include "simhost/world.h"

namespace simhost {

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
    // The frame's time on the host's clock (keyframes.h): PF_InData's
    // current_time, time_step (and local_time_step) and time_scale; keyframed
    // controls are passed to commands at current_time.
    A_long current_time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 30;
    // Runs the iterations of iterate_generic one at a time and records, for each,
    // the rows of the frame's output world that it changed (IterationRecord::rows).
    bool trace_bands = false;
};

struct RegisterCall {
    AEGP_GlobalRefcon refcon = nullptr;
    std::string name;
    PF_Err result = 0;
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

    const std::vector<AddParamCall>& add_param_calls() const { return params_.add_calls(); }
    // Takes the successfully declared parameters (add_param calls from `first_call`
    // on) as the host's records: slot 0 the input layer, then one per declaration,
    // values at their defaults, points converted from percent of the layer to
    // layer pixels.
    void adopt_declared_params(std::size_t first_call = 0);
    // The host's records, index 0 the layer. Tests may change any field.
    std::vector<PF_ParamDef>& param_records() { return params_.records(); }
    // The parameter array for a command (pointers into param_records()).
    std::vector<PF_ParamDef*> param_array();
    // A point's value in layer pixels (what checkout returns, before downsampling).
    std::pair<double, double>& point_value(int index) { return params_.point(index); }
    // Keyframes of a control (keyframes.h); a control with keys takes its value
    // from them at every checkout and in every parameter array.
    void add_key(int index, const Keyframe& key) { params_.add_key(index, key); }
    void clear_keys(int index) { params_.clear_keys(index); }
    std::vector<Keyframe> keys(int index) const { return params_.keys(index); }
    // What checkout_param at `at` gives for the control, in the units it is keyed in.
    KeyValue value_at(int index, const KeyTime& at) const { return params_.value_at(index, at); }

    const std::vector<CheckoutParamCall>& checkout_param_calls() const { return params_.checkout_calls(); }
    const std::vector<UpdateParamUiCall>& update_param_ui_calls() const { return params_.update_ui_calls(); }
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
    void* pre_render_data() const { return frame_.pre_render_data(); }

    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const { return frame_.checkout_layer_calls(); }
    const std::vector<IterateCall>& iterate_calls() const { return bands_.calls(); }

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
    void set_null_input_world(bool on) { faults_.set_null_input_world(on); }
    void set_null_output_world(bool on) { faults_.set_null_output_world(on); }
    void clear_faults();
    // Calls of `kind` made so far, failed ones included.
    int call_count(CallKind kind) const;

    // ------------------------------------------------------------ accounting

    Accounting accounting() const;

    // The host currently active for context-free callbacks, or null.
    static Host* active();

private:
    friend struct Callbacks;

    PF_Err record_call(CallKind kind) { return faults_.record(kind); }
    void delete_pre_render_data();

    HostConfig config_;
    std::shared_ptr<ModuleLibrary> module_;
    EntryPointFuncPtr entry_ = nullptr;
    Host* previous_active_ = nullptr;

    // What effect_ref points at: how callbacks with a context find their host.
    struct EffectToken {
        std::uint32_t magic;
        Host* host;
    } token_{};

    SPBasicSuite basic_suite_{};
    PF_UtilCallbacks utils_{};
    PF_PreRenderCallbacks pre_render_callbacks_{};
    PF_SmartRenderCallbacks smart_render_callbacks_{};

    CommandRecorder recorder_;
    FaultPlan faults_;
    SuiteTable suites_{recorder_};
    HandleTable handles_{recorder_};
    ParamStore params_{recorder_};
    FrameCheckouts frame_{recorder_};
    BandIteration bands_{recorder_};

    // The module's own state the host keeps between commands.
    mutable std::mutex module_state_mutex_;
    PF_Handle global_data_ = nullptr;
    std::vector<RegisterCall> register_calls_;
};

}  // namespace simhost
