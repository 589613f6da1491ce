// The steps a host takes with an effect, one call each: load the module, global
// setup, parameter setup, set values in user units, update the parameter UI,
// render frames (smart pre-render then smart render), global set-down. Used by
// the tests and by the command-line renderer.
//
// Every step that sends a command returns the module's PF_Err; nothing throws for
// an expected failure. Steps that are the host's own (loading, setting a value)
// return a Status with a readable message.
//
//   simhost::HostConfig config;
//   config.layer_width = 320;   // PF_InData width/height; point defaults are
//   config.layer_height = 200;  // percent of the layer, converted at params_setup
//   simhost::Session s(config);
//   if (simhost::Status st = s.load(path); !st) { std::cerr << st.message << "\n"; return 1; }
//   PF_Err err = s.global_setup();
//   if (err == PF_Err_NONE) err = s.params_setup();
//   if (simhost::Status st = s.set_popup(s.find_param("Shape"), 3); !st) std::cerr << st.message;
//   simhost::RenderOptions o;
//   o.format = simhost::argb_format_for_depth(16);
//   o.solid = {320, 200, {1.0, 0.5, 0.5, 0.5}};
//   simhost::RenderResult r = s.render(o);  // r.err, r.output, r.return_msg
//   if (r.err != PF_Err_NONE) std::cerr << simhost::error_name(r.err) << " " << r.return_msg;
//   // Animated: keys at frames 1 and 48 of a 24 fps clock, then frame 12.
//   s.set_frame_rate(24, 1);
//   s.set_angle(s.find_param("Direction"), 0.0, s.frame_time(1));
//   s.set_angle(s.find_param("Direction"), 360.0, s.frame_time(48));
//   s.set_current_frame(12);
//   r = s.render(o);
//   s.global_setdown();
//   if (!s.accounting().balanced()) std::cerr << s.accounting().unbalanced();
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simhost/accounting.h"
#include "simhost/error_names.h"
#include "simhost/host.h"
#include "simhost/module_loader.h"
#include "simhost/world.h"

namespace simhost {

struct Status {
    bool ok = true;
    std::string message;
    explicit operator bool() const { return ok; }
    static Status failure(std::string text) { return Status{false, std::move(text)}; }
};

// A declared control as the module described it to the host.
struct ParamInfo {
    int index = 0;
    std::string name;
    PF_ParamType type = PF_Param_LAYER;
    PF_ParamDef declared{};            // the record exactly as passed to add_param
    std::vector<std::string> choices;  // popups: choice 1 first
    bool has_range = false;            // sliders: ranges in user units
    double valid_min = 0;
    double valid_max = 0;
    double slider_min = 0;
    double slider_max = 0;

    // A fixed slider the host shows in percent.
    bool shown_as_percent() const;
};

// "layer", "popup", "point", "float slider", "angle", "colour", "fixed slider";
// "parameter" for any other type.
const char* param_type_name(PF_ParamType type);

struct AboutResult {
    PF_Err err = 0;
    std::string text;
};

// A layer of one colour; the colour is in 0..1 per channel.
struct SolidLayer {
    int width = 64;
    int height = 64;
    ColorF color{};
};

struct RenderOptions {
    // The pixel format of the input and output worlds; it fixes the depth (8, 16, 32).
    PF_PixelFormat format = PF_PixelFormat_ARGB32;
    // The input layer's pixels, copied for the frame; when null, a `solid` layer.
    const World* input = nullptr;
    // Or the frame's own worlds, both given, used in place with no copy: the input
    // as it is (its spec gives its size, format, padding, storage order and
    // origin, so `format`, `input`, `solid`, `row_padding`, `bottom_up` and the
    // origins are not used) and the output, rendered into without being filled
    // first: the host takes it as its own buffer, even when strict about sizing
    // (HostConfig::worlds.host_sized). The result then holds no worlds.
    World* input_world = nullptr;
    World* output_world = nullptr;
    SolidLayer solid;
    int threads = 0;  // render threads; 0 keeps the host's setting
    PF_RationalScale downsample_x{1, 1};
    PF_RationalScale downsample_y{1, 1};
    int origin_x = 0;  // origin of the input (and output) world
    int origin_y = 0;
    int row_padding = 0;     // bytes after each row
    bool bottom_up = false;  // negative rowbytes
    // The host's request; by default the layer's rectangle (origin, origin + size).
    std::optional<PF_LRect> request_rect;
    A_long channel_mask = kChannelMaskARGB;
    PF_Field field = 0;
    // The output rectangles as the host hands them to pre-render.
    PF_LRect host_result_rect{};
    PF_LRect host_max_result_rect{};
    // An output world of another size than the input (-1: the input's).
    int output_width = -1;
    int output_height = -1;
    std::uint8_t output_fill = 0;  // every pixel byte of the output before each smart render
    // What PF_GetPixelFormat reports for the input (default: its real format).
    std::optional<PF_PixelFormat> reported_input_format;
    int smart_renders = 1;     // smart renders of the same pre-render data
    bool trace_bands = false;  // record the rows each iteration wrote (serialises the bands)
    // The frame's time on the host's clock (PF_InData's current_time, and the
    // time keyed controls are checked out at); by default the host's.
    std::optional<A_long> current_time;
};

// One frame of render_together(): what render() takes, and the parameter values
// the frame is rendered with (Session::param_values() at some moment).
struct FrameJob {
    RenderOptions options;
    ParamValues values;
};

struct RenderResult {
    PF_Err err = 0;  // the first non-zero of pre-render and the smart renders
    PF_Err pre_render_err = 0;
    std::vector<PF_Err> render_errs;  // one per smart render sent
    std::string return_msg;           // of the last command sent
    PF_OutFlags out_flags = 0;        // of the last command sent
    World input;
    World output;                // after the last smart render
    std::vector<World> outputs;  // after each smart render
    PF_PreRenderOutput pre_render_output{};
    std::vector<LayerCheckoutCall> layer_checkouts;
    std::vector<IterateCall> iterations;
};

class Session {
public:
    explicit Session(HostConfig config = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the module and creates the host for it.
    Status load(const std::string& path);
    bool loaded() const { return host_ != nullptr; }
    // The host (after load()): configuration, failure injection, logs, raw calls.
    Host& host() { return *host_; }
    HostConfig& config() { return host_ ? host_->config() : config_; }

    AboutResult about();
    PF_Err global_setup();
    PF_Err params_setup();
    PF_Err update_params_ui();
    PF_Err global_setdown();
    // The PF_OutData of the last step that sent a command.
    const PF_OutData& last_out_data() const { return last_out_; }

    // The controls declared by params_setup (index 1 first).
    const std::vector<ParamInfo>& params() const { return params_; }
    const ParamInfo* param(int index) const;
    // The index of the control with this name, or -1.
    int find_param(std::string_view name) const;

    // Values in user units. A value outside the declared valid range, a control of
    // another type or an unknown index is refused with a message naming the control.
    // Without `at` the control holds the value for all time (any keys are
    // removed); with it, the value becomes the control's key at that time
    // (keyframes.h), replacing a key at the same time.
    Status set_popup(int index, int choice, std::optional<KeyTime> at = std::nullopt);
    Status set_point(int index, double x, double y,
                     std::optional<KeyTime> at = std::nullopt);  // layer pixels
    Status set_float(int index, double value, std::optional<KeyTime> at = std::nullopt);
    Status set_angle(int index, double degrees, std::optional<KeyTime> at = std::nullopt);
    Status set_color(int index, PF_Pixel color, std::optional<KeyTime> at = std::nullopt);
    // Fixed sliders shown as percent.
    Status set_percent(int index, double percent, std::optional<KeyTime> at = std::nullopt);
    // How the control's key at `at` is arrived at and left (keyframes.h), with
    // Bezier speeds in the user units above a second, one a number of the value
    // in the order it is set (x, y; red, green, blue), and influences in percent,
    // more than 0 and at most 100. Refused for a time the control has no key at.
    Status set_key_sides(int index, const KeyTime& at, KeySide in, KeySide out);

    // The host's clock at `num`/`den` frames a second: time scale num, time step
    // den (both reduced by their common factor), so frame f is at time f * step.
    void set_frame_rate(A_u_long num, A_u_long den);
    // The time of frame `frame`; the caller keeps frame * step within 32 bits.
    KeyTime frame_time(A_long frame) const;
    // The frames that follow are rendered at frame `frame`'s time.
    void set_current_frame(A_long frame);
    // What a checkout of the control at index gives at `at` (keyframes.h).
    KeyValue value_at(int index, const KeyTime& at) const;

    // The PF_UpdateParamUI calls of the last update_params_ui().
    const std::vector<UpdateParamUiCall>& ui_updates() const { return ui_updates_; }

    RenderResult render(const RenderOptions& options);
    // The parameters' values now, to render a frame with later.
    ParamValues param_values() const;
    // Renders every job's frame at once, each on a thread of its own with its
    // own PF_InData, PF_OutData, parameter values and render threads, as hosts
    // with multi-frame rendering do. Results in the order of `jobs`.
    std::vector<RenderResult> render_together(const std::vector<FrameJob>& jobs);

    // Any command with host-made PF_InData (see Host::make_in_data) and the given records.
    PF_Err raw_call(PF_Cmd cmd, PF_OutData& out_data, PF_ParamDef* params[] = nullptr,
                    PF_LayerDef* output = nullptr, void* extra = nullptr);

    Accounting accounting() const;

private:
    Status check_index(int index, PF_ParamType type, const char* what) const;
    // The value set for all time, or as a key at `at`.
    void store(int index, const KeyValue& value, const std::optional<KeyTime>& at);
    PF_Err send(PF_Cmd cmd, bool with_params);

    HostConfig config_;
    std::unique_ptr<Host> host_;
    PF_OutData last_out_{};
    std::vector<ParamInfo> params_;
    std::vector<UpdateParamUiCall> ui_updates_;
};

}  // namespace simhost
