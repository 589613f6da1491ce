// The simulated host: what the effect module calls back into, and the calls it
// receives. One Host plays After Effects for one loaded module: it serves the
// basic suite and the six suites the module uses, fills PF_InData with its
// callbacks, keeps the declared parameters and their current values, hands out
// effect worlds and layer checkouts, runs `iterate_generic` on real threads,
// injects failures on request and counts every resource (accounting.h).
//
// Host ties together parts with one job each; each keeps its own state and lock:
//   command_log.h     the commands sent, the thread of each, violations
//   fault_plan.h      injected failures, refused suites, call counts
//   suite_table.h     the suites served and their acquisitions
//   handle_table.h    memory handles, their locks, moving and poisoned memory
//   param_store.h     declared parameters, their records, checkouts, UI updates
//   frame_checkouts.h a frame's worlds, layer checkouts, pre-render data
//   band_iteration.h  iterate_generic on a frame's render threads
// Host itself turns the module's C callbacks into calls on those parts (each
// first checks the thread and consults the fault plan) and sends the commands.
//
// The host is as strict as the real one, and stricter (HostConfig): handles
// move and are poisoned while unlocked, the output world is the host's own with
// another origin and stride than the input's, and after a failed command the
// host checks that nothing the module made is left with it. Tests that need the
// gentle form of one of these switch it off.
//
// Frames. The one-at-a-time calls (begin_frame, smart_pre_render, smart_render,
// end_frame) render the host's own frame. Like hosts with multi-frame
// rendering, the host can also render several frames at once: each Frame from
// open_frame() has its own effect_ref, PF_InData, PF_OutData, parameter values,
// worlds and render threads, and may be driven on its own thread while others
// are; all share the module's global data.
//
// Callbacks that carry an effect_ref find their host and frame through it.
// Context-free ones (suite functions, handle functions) reach the host that is
// active, the most recently constructed Host still alive, and the frame whose
// command the calling thread is running. Run one Host at a time per process.
#pragma once

#include <atomic>
#include <condition_variable>
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
    int threads = 4;                   // what AEGP_GetNumThreads reports
    int pool_threads = 0;              // workers that run iterate_generic; 0: `threads`
    AEGP_PluginID plugin_id = 0x1234;  // what AEGP_RegisterWithAEGP writes
    std::uint8_t handle_fill = 0xA5;   // every byte of a new handle
    int layer_width = 640;             // PF_InData width/height; point defaults are
    int layer_height = 480;            // converted from percent with them
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

    // How strict the host is; every rule is on unless a test turns it off.
    HandleRules handles;  // handles move on lock and are poisoned while unlocked
    WorldRules worlds;    // the host sizes the worlds and gives the output its own
    // After a failed smart pre-render the host calls the deleter of pre-render
    // data the module left with it (true) or lets go of it without (false);
    // hosts do either, so the module must leave nothing either way.
    bool delete_pre_render_data_after_failure = true;
};

struct RegisterCall {
    AEGP_GlobalRefcon refcon = nullptr;
    std::string name;
    PF_Err result = 0;
};

class Host;

// One frame the host renders, with everything that is the frame's own. Made by
// the host (its own frame, or open_frame()); used through the Host's calls.
class Frame {
public:
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    PF_ProgPtr effect_ref() const;
    const HostConfig& config() const { return *config_; }
    // The world the module draws into (after a smart render has begun).
    World* output() const { return checkouts_.output(); }
    void* pre_render_data() const { return checkouts_.pre_render_data(); }
    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const
    {
        return checkouts_.checkout_layer_calls();
    }
    const std::vector<IterateCall>& iterate_calls() const { return bands_.calls(); }

private:
    friend class Host;
    friend struct Callbacks;

    // With `own_config` the frame keeps a copy and its own parameter values;
    // without, it reads the host's configuration and records as they change.
    Frame(Host& host, CommandRecorder& recorder, WorldFormats& formats,
          const HostConfig* shared_config, const HostConfig& own_config,
          std::unique_ptr<ParamValues> values);

    // What effect_ref points at: how callbacks with a context find their host and frame.
    struct Token {
        std::uint32_t magic;
        Host* host;
        Frame* frame;
    } token_{};
    HostConfig own_config_;
    const HostConfig* config_;
    std::unique_ptr<ParamValues> values_;
    FrameCheckouts checkouts_;
    BandIteration bands_;
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
    // after PF_Cmd_GLOBAL_SETDOWN. After a failed command it reports, as a
    // violation, every handle the command made and left alive.
    PF_Err call(PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra);
    // The same with a fresh make_in_data().
    PF_Err call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[] = nullptr,
                PF_LayerDef* output = nullptr, void* extra = nullptr);

    PF_Handle global_data() const;
    void set_global_data(PF_Handle handle);
    // A handle's bytes as the module left them, read the way the host reads
    // them (never through the master pointer, which the module may not use
    // outside a lock either).
    std::vector<std::uint8_t> handle_contents(PF_Handle handle) const
    {
        return handles_.contents(handle);
    }

    SPBasicSuite* basic_suite() { return &basic_suite_; }
    PF_ProgPtr effect_ref() const { return own_frame_->effect_ref(); }
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
    // The records, points and keys as they are now, for a frame of its own.
    ParamValues param_values() const { return params_.values(); }
    // Keyframes of a control (keyframes.h); a control with keys takes its value
    // from them at every checkout and in every parameter array.
    void add_key(int index, const Keyframe& key) { params_.add_key(index, key); }
    void clear_keys(int index) { params_.clear_keys(index); }
    std::vector<Keyframe> keys(int index) const { return params_.keys(index); }
    // What checkout_param at `at` gives for the control, in the units it is keyed in.
    KeyValue value_at(int index, const KeyTime& at) const { return params_.value_at(index, at); }

    const std::vector<CheckoutParamCall>& checkout_param_calls() const
    {
        return params_.checkout_calls();
    }
    const std::vector<UpdateParamUiCall>& update_param_ui_calls() const
    {
        return params_.update_ui_calls();
    }
    const std::vector<RegisterCall>& register_calls() const { return register_calls_; }
    void clear_call_logs();

    // ------------------------------------------------------------ the host's own frame

    Frame& own_frame() { return *own_frame_; }

    // The worlds of the next frame: the input layer's pixels and the output. The
    // input layer's rectangle is (origin, origin + size); PF_GetPixelFormat
    // answers `reported_input_format` for the input and the output's own format.
    // The strict host takes `output` as the model of an output of its own.
    void begin_frame(World* input, World* output, PF_PixelFormat reported_input_format);
    void begin_frame(World* input, const FrameOutput& output, PF_PixelFormat reported_input_format);
    // Sends PF_Cmd_SMART_PRE_RENDER. Afterwards the host holds the pre-render data;
    // if the command failed, the host deletes it at once or lets go of it
    // (HostConfig::delete_pre_render_data_after_failure).
    PF_Err smart_pre_render(PF_PreRenderInput& input, PF_PreRenderOutput& output,
                            PF_OutData& out_data);
    // Sends PF_Cmd_SMART_RENDER with the pre-render data the host holds. At its end
    // the host releases the layer-pixel checkouts the module left out.
    PF_Err smart_render(PF_SmartRenderInput& input, PF_OutData& out_data);
    // Deletes the pre-render data if still held and forgets the frame's worlds.
    void end_frame();
    void* pre_render_data() const { return own_frame_->pre_render_data(); }
    // The world the last smart render drew into.
    World* frame_output() const { return own_frame_->output(); }

    const std::vector<LayerCheckoutCall>& checkout_layer_calls() const
    {
        return own_frame_->checkout_layer_calls();
    }
    const std::vector<IterateCall>& iterate_calls() const { return own_frame_->iterate_calls(); }

    // Worlds PF_GetPixelFormat knows, with the format it reports.
    void register_world(const PF_EffectWorld* world, PF_PixelFormat format)
    {
        formats_.add(world, format);
    }
    void unregister_world(const PF_EffectWorld* world) { formats_.remove(world); }

    // ------------------------------------------------------------ frames side by side

    // A frame of its own: `config` gives its PF_InData (times, downsample), its
    // render threads and its rules; its parameters are `values`. The frame lives
    // as long as the host. Thread-safe.
    Frame& open_frame(const HostConfig& config, const ParamValues& values);
    // The calls above for `frame`. Different frames may be driven on different
    // threads at once; one frame's calls come from one thread at a time.
    void begin_frame(Frame& frame, World* input, const FrameOutput& output,
                     PF_PixelFormat reported_input_format);
    PF_Err smart_pre_render(Frame& frame, PF_PreRenderInput& input, PF_PreRenderOutput& output,
                            PF_OutData& out_data);
    PF_Err smart_render(Frame& frame, PF_SmartRenderInput& input, PF_OutData& out_data);
    void end_frame(Frame& frame);
    // Holds every smart render at its checkout_output until `frames` smart
    // renders are there, so that many are provably in flight at once (or until
    // `seconds` pass, which a test then sees in the peak it reads).
    void meet_in_smart_render(int frames, double seconds = 30.0);

    // ------------------------------------------------------------ failure injection

    // AcquireSuite refuses this suite (non-zero SPErr, null pointer).
    void refuse_suite(const std::string& name, int version);
    // The nth call of `kind` from now on (1-based) fails with `code` (new_handle and
    // lock_handle return null instead). With `persistent`, every later one too.
    void fail_call(CallKind kind, int nth, PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED,
                   bool persistent = false);
    // checkout_layer_pixels / checkout_output succeed but yield a null world.
    void set_null_input_world(bool on) { faults_.set_null_input_world(on); }
    void set_null_output_world(bool on) { faults_.set_null_output_world(on); }
    void clear_faults();
    // Calls of `kind` made so far, failed ones included.
    int call_count(CallKind kind) const;

    // ------------------------------------------------------------ accounting

    Accounting accounting() const;

    // Time spent in the module's entry point over all commands so far, less the
    // band iteration's dispatch (waking the render threads, learning that they
    // finished): what the frames cost the module, apart from the host's own
    // work. The other host callbacks it makes (checkouts, suites, handles) are
    // counted in. For benchmarks.
    double seconds_in_module() const
    {
        return static_cast<double>(nanoseconds_in_module_.load(std::memory_order_relaxed) -
                                   nanoseconds_in_band_dispatch_.load(std::memory_order_relaxed)) *
               1e-9;
    }

    // The host currently active for context-free callbacks, or null.
    static Host* active();

private:
    friend struct Callbacks;

    PF_Err record_call(CallKind kind) { return faults_.record(kind); }
    PF_InData make_in_data(const Frame& frame) const;
    // Sends a command for `frame` on the calling thread; `index` receives the
    // command's log index.
    PF_Err send(Frame& frame, PF_Cmd cmd, PF_InData& in_data, PF_OutData& out_data,
                PF_ParamDef* params[], PF_LayerDef* output, void* extra, int* index);
    // A violation for each handle that command `index` made and left alive.
    void check_nothing_left(int index, const std::string& label);
    void delete_pre_render_data(Frame& frame, bool after_failure);
    void wait_for_meeting();

    HostConfig config_;
    std::shared_ptr<ModuleLibrary> module_;
    EntryPointFuncPtr entry_ = nullptr;
    Host* previous_active_ = nullptr;

    SPBasicSuite basic_suite_{};
    PF_UtilCallbacks utils_{};
    PF_PreRenderCallbacks pre_render_callbacks_{};
    PF_SmartRenderCallbacks smart_render_callbacks_{};

    CommandRecorder recorder_;
    std::atomic<std::int64_t> nanoseconds_in_module_{0};
    std::atomic<std::int64_t> nanoseconds_in_band_dispatch_{0};
    FaultPlan faults_;
    SuiteTable suites_{recorder_};
    HandleTable handles_{recorder_};
    ParamStore params_{recorder_};
    WorldFormats formats_;

    // The host's own frame, then those opened for rendering side by side.
    mutable std::mutex frames_mutex_;
    std::unique_ptr<Frame> own_frame_;
    std::vector<std::unique_ptr<Frame>> frames_;

    // Smart renders held at checkout_output until this many are there.
    std::mutex meeting_mutex_;
    std::condition_variable meeting_;
    int meeting_size_ = 0;
    int meeting_arrived_ = 0;
    double meeting_seconds_ = 0.0;

    // The module's own state the host keeps between commands.
    mutable std::mutex module_state_mutex_;
    PF_Handle global_data_ = nullptr;
    std::vector<RegisterCall> register_calls_;
};

}  // namespace simhost
