#include "fuzz/host_sequence.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>
#include <ostream>
#include <sstream>
#include <utility>

#include "fuzz/draw.h"
#include "params/param_table.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_kernels.h"
#include "ramp/ramp_settings.h"
#include "ramp/world_view.h"
#include "simhost/session.h"

namespace velkor_fuzz {

Figures& Figures::operator+=(const Figures& other)
{
    sequences += other.sequences;
    commands += other.commands;
    renders += other.renders;
    frames_compared += other.frames_compared;
    damaged_worlds += other.damaged_worlds;
    failures_injected += other.failures_injected;
    failures_met += other.failures_met;
    return *this;
}

namespace {

using simhost::CallKind;
using simhost::World;
using simhost::WorldSpec;

constexpr PF_PixelFormat kFormats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_BGRA32,
                                       PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128,
                                       simhost::kPixelFormatBGRA128};

// The same depth in the other channel order (16-bit has only one).
PF_PixelFormat other_order(PF_PixelFormat format)
{
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return PF_PixelFormat_BGRA32;
    case PF_PixelFormat_BGRA32:
        return PF_PixelFormat_ARGB32;
    case PF_PixelFormat_ARGB128:
        return simhost::kPixelFormatBGRA128;
    case simhost::kPixelFormatBGRA128:
        return PF_PixelFormat_ARGB128;
    default:
        return format;
    }
}

// The kernel a host pixel format takes, by its depth alone.
velkor::DepthClass depth_of(PF_PixelFormat format)
{
    switch (simhost::bit_depth(format)) {
    case 8:
        return velkor::DepthClass::eight;
    case 16:
        return velkor::DepthClass::sixteen;
    case 32:
        return velkor::DepthClass::floating;
    default:
        return velkor::DepthClass::none;
    }
}

// One failure the host is set to produce: a host call that fails (or, for new
// and lock, yields null), a suite refused, or a checkout that succeeds without
// a world.
struct Injection {
    enum class Kind {
        none,
        call,
        refused_suite,
        null_input,
        null_output
    };
    Kind kind = Kind::none;
    CallKind call = CallKind::count;
    int at = 0;  // the host's count of such calls at which it fires
    bool persistent = false;
    PF_Err code = PF_Err_NONE;
    simhost::SuiteKey suite;
    bool counted = false;  // met at least once, and counted as such

    std::string text() const
    {
        switch (kind) {
        case Kind::call:
            return std::string(simhost::call_kind_name(call)) + " call " + std::to_string(at) +
                   " fails" + (persistent ? " (and every later one)" : "") + " with " +
                   std::to_string(code);
        case Kind::refused_suite:
            return "suite " + suite.text() + " refused";
        case Kind::null_input:
            return "input checkout without a world";
        case Kind::null_output:
            return "output checkout without a world";
        default:
            return "nothing injected";
        }
    }
};

// Whether a host call's failure must come back as the command's result, and
// whether unchanged. Check-ins are given back whatever their result, and a
// lock that fails in global setup leaves the effect without global data but
// set up.
bool must_fail(CallKind kind, PF_Cmd cmd)
{
    switch (kind) {
    case CallKind::checkin_param:
    case CallKind::checkin_layer_pixels:
        return false;
    case CallKind::lock_handle:
        return cmd != PF_Cmd_GLOBAL_SETUP;
    default:
        return true;
    }
}

bool returned_unchanged(CallKind kind)
{
    switch (kind) {
    case CallKind::add_param:
    case CallKind::checkout_param:
    case CallKind::checkout_layer:
    case CallKind::checkout_layer_pixels:
    case CallKind::checkout_output:
    case CallKind::update_param_ui:
    case CallKind::register_with_aegp:
    case CallKind::get_pixel_format:
    case CallKind::get_num_threads:
    case CallKind::iterate_generic:
        return true;
    default:
        return false;
    }
}

class Sequence {
public:
    Sequence(const SequenceOptions& options, std::uint64_t seed, Figures& figures,
             std::ostream* log)
        : options_(options), seed_(seed), draw_(seed), figures_(figures), log_(log)
    {
    }

    std::vector<std::string> run()
    {
        ++figures_.sequences;
        simhost::HostConfig config;
        config.threads = 1;
        config.layer_width = draw_.between(1, 200);
        config.layer_height = draw_.between(1, 200);
        config.handle_fill = static_cast<std::uint8_t>(draw_.below(256));
        // The sequence draws each world's geometry itself and checks its guard
        // bytes and pixels there, so the host draws into the worlds it is given.
        config.worlds.host_sized = false;
        session_ = std::make_unique<simhost::Session>(config);
        if (const simhost::Status st = session_->load(options_.module_path); !st) {
            finding("the module does not load: " + st.message);
            return findings_;
        }
        global_setup();
        if (draw_.percent(96)) params_setup();
        const int steps = draw_.between(1, 7);
        for (int i = 0; i < steps; ++i) {
            const int what = draw_.below(100);
            if (what < 45) {
                set_values();
                frame();
            } else if (what < 75) {
                frame();
            } else if (what < 85) {
                update_params_ui();
            } else if (what < 90) {
                about();
            } else {
                unanswered_or_malformed();
            }
        }
        global_setdown();
        return findings_;
    }

private:
    simhost::Host& host() { return session_->host(); }

    void note(const std::string& text)
    {
        if (log_ != nullptr)
            *log_ << "  seed " << seed_ << ", step " << step_ << ": " << text << "\n";
    }

    void finding(const std::string& text)
    {
        findings_.push_back("seed " + std::to_string(seed_) + ", step " + std::to_string(step_) +
                            " (" + current_ + "): " + text);
    }

    // Starts a step that sends one or more commands.
    void begin(std::string what)
    {
        ++step_;
        current_ = std::move(what);
        note(current_);
    }

    void check_balanced(const char* when)
    {
        const simhost::Accounting a = session_->accounting();
        if (!a.balanced()) finding(std::string("left behind ") + when + ": " + a.unbalanced());
    }

    // ---------------------------------------------------------------- failures

    // Arms one injected failure among `calls` (or a refused suite among
    // `suites`, or a missing world), with chance `percent`.
    Injection arm(int percent, std::initializer_list<std::pair<CallKind, int>> calls,
                  std::initializer_list<simhost::SuiteKey> suites, bool worlds)
    {
        Injection inj;
        if (!draw_.percent(percent)) return inj;
        const int choices = static_cast<int>(calls.size() + suites.size()) + (worlds ? 2 : 0);
        int pick = draw_.below(choices);
        if (pick < static_cast<int>(calls.size())) {
            const auto& [kind, last_nth] = *(calls.begin() + pick);
            const PF_Err codes[] = {PF_Err_INTERNAL_STRUCT_DAMAGED, PF_Err_OUT_OF_MEMORY,
                                    PF_Err_BAD_CALLBACK_PARAM, PF_Err_INVALID_INDEX, 0x4E21};
            inj.kind = Injection::Kind::call;
            inj.call = kind;
            inj.at = host().call_count(kind) + draw_.between(1, last_nth);
            inj.persistent = draw_.percent(15);
            inj.code = draw_.one_of(codes);
            host().fail_call(kind, inj.at - host().call_count(kind), inj.code, inj.persistent);
        } else if ((pick -= static_cast<int>(calls.size())) < static_cast<int>(suites.size())) {
            inj.kind = Injection::Kind::refused_suite;
            inj.suite = *(suites.begin() + pick);
            host().refuse_suite(inj.suite.name, inj.suite.version);
        } else if (pick == static_cast<int>(suites.size())) {
            inj.kind = Injection::Kind::null_input;
            host().set_null_input_world(true);
        } else {
            inj.kind = Injection::Kind::null_output;
            host().set_null_output_world(true);
        }
        ++figures_.failures_injected;
        note("injected: " + inj.text());
        return inj;
    }

    struct CallCounts {
        int counts[static_cast<int>(CallKind::count)] = {};
    };
    CallCounts counts()
    {
        CallCounts c;
        for (int k = 0; k < static_cast<int>(CallKind::count); ++k) {
            c.counts[k] = host().call_count(static_cast<CallKind>(k));
        }
        return c;
    }

    // Whether the module ran into `inj` during the command that moved the
    // host's call counts from `before` to now.
    bool met(const Injection& inj, const CallCounts& before)
    {
        switch (inj.kind) {
        case Injection::Kind::call: {
            const int from = before.counts[static_cast<int>(inj.call)];
            const int to = host().call_count(inj.call);
            return inj.persistent ? (to >= inj.at && to > from) : (from < inj.at && inj.at <= to);
        }
        case Injection::Kind::refused_suite: {
            const simhost::Accounting a = session_->accounting();
            for (auto it = a.commands.rbegin(); it != a.commands.rend(); ++it) {
                if (it->cmd >= 0) return it->refused(inj.suite.name, inj.suite.version) > 0;
            }
            return false;
        }
        case Injection::Kind::null_input:
            return host().call_count(CallKind::checkout_layer_pixels) >
                   before.counts[static_cast<int>(CallKind::checkout_layer_pixels)];
        case Injection::Kind::null_output:
            return host().call_count(CallKind::checkout_output) >
                   before.counts[static_cast<int>(CallKind::checkout_output)];
        default:
            return false;
        }
    }

    // Checks the result of a command against an injected failure; true when
    // the failure was met (the result then is the failure's, not the
    // command's own).
    bool check_injection(Injection& inj, const CallCounts& before, PF_Cmd cmd, PF_Err err)
    {
        if (!met(inj, before)) return false;
        if (!inj.counted) ++figures_.failures_met;
        inj.counted = true;
        if (inj.kind == Injection::Kind::call) {
            if (!must_fail(inj.call, cmd)) return err != PF_Err_NONE;
            if (err == PF_Err_NONE) {
                finding("injected failure (" + inj.text() + ") reported as success");
            } else if (returned_unchanged(inj.call) && err != inj.code) {
                finding("injected failure (" + inj.text() + ") returned as " + std::to_string(err));
            }
        } else if (inj.kind == Injection::Kind::refused_suite) {
            if (err != PF_Err_BAD_CALLBACK_PARAM) {
                finding("refused suite (" + inj.text() + ") returned as " + std::to_string(err));
            }
        } else if (err == PF_Err_NONE) {
            finding(inj.text() + " reported as success");
        }
        return true;
    }

    // Sends one command through `send`, counting it.
    template <class Send>
    decltype(auto) command(Send&& send)
    {
        ++figures_.commands;
        return send();
    }

    // ---------------------------------------------------------------- commands

    void global_setup()
    {
        begin("global setup");
        Injection inj = arm(12,
                            {{CallKind::new_handle, 1},
                             {CallKind::lock_handle, 1},
                             {CallKind::register_with_aegp, 1}},
                            {{"PF Handle Suite", 2}, {"AEGP Utility Suite", 7}}, false);
        const CallCounts before = counts();
        const PF_Err err = command([&] { return session_->global_setup(); });
        const bool failed_on_purpose = check_injection(inj, before, PF_Cmd_GLOBAL_SETUP, err);
        if (!failed_on_purpose && err != PF_Err_NONE) finding("failed: " + std::to_string(err));
        host().clear_faults();
        check_balanced("after global setup");
    }

    void params_setup()
    {
        begin("params setup");
        Injection inj = arm(8, {{CallKind::add_param, 13}}, {}, false);
        const CallCounts before = counts();
        const PF_Err err = command([&] { return session_->params_setup(); });
        const bool failed_on_purpose = check_injection(inj, before, PF_Cmd_PARAMS_SETUP, err);
        if (!failed_on_purpose && err != PF_Err_NONE) finding("failed: " + std::to_string(err));
        params_ready_ = err == PF_Err_NONE && session_->params().size() == 13;
        if (err == PF_Err_NONE && !params_ready_) {
            finding("declared " + std::to_string(session_->params().size()) + " controls, not 13");
        }
        host().clear_faults();
        check_balanced("after params setup");
    }

    void update_params_ui()
    {
        // A host always hands over every declared parameter; without them the
        // command has no array to read.
        if (!params_ready_) return;
        begin("update params UI");
        Injection inj =
            arm(15, {{CallKind::update_param_ui, 3}}, {{"PF Param Utils Suite", 2}}, false);
        const CallCounts before = counts();
        const PF_Err err = command([&] { return session_->update_params_ui(); });
        const bool failed_on_purpose = check_injection(inj, before, PF_Cmd_UPDATE_PARAMS_UI, err);
        if (!failed_on_purpose && err != PF_Err_NONE) finding("failed: " + std::to_string(err));
        host().clear_faults();
        check_balanced("after the UI update");
    }

    void about()
    {
        begin("about");
        const simhost::AboutResult r = command([&] { return session_->about(); });
        if (r.err != PF_Err_NONE || r.text.empty()) finding("about gave " + std::to_string(r.err));
    }

    void global_setdown()
    {
        begin("global setdown");
        const PF_Err err = command([&] { return session_->global_setdown(); });
        if (err != PF_Err_NONE) finding("failed: " + std::to_string(err));
        check_balanced("at the end");
        const simhost::Accounting a = session_->accounting();
        if (!a.live_handles.empty()) finding("handles alive after global set-down");
    }

    // Commands the effect does not answer, and answered ones without the
    // records they need: each a plain result, no host call.
    void unanswered_or_malformed()
    {
        begin("unanswered or malformed command");
        simhost::Host& h = host();
        const CallCounts before = counts();
        const int what = draw_.below(4);
        PF_Err err = PF_Err_NONE;
        PF_Err expected = PF_Err_BAD_CALLBACK_PARAM;
        if (what == 0) {
            const PF_Cmd unanswered[] = {PF_Cmd_UNUSED_0,
                                         PF_Cmd_SEQUENCE_SETUP,
                                         PF_Cmd_SEQUENCE_SETDOWN,
                                         PF_Cmd_FRAME_SETUP,
                                         PF_Cmd_RENDER,
                                         PF_Cmd_FRAME_SETDOWN,
                                         PF_Cmd_USER_CHANGED_PARAM,
                                         PF_Cmd_EVENT,
                                         PF_Cmd_ARBITRARY_CALLBACK,
                                         PF_Cmd_AUDIO_RENDER,
                                         25,
                                         60,
                                         -1,
                                         INT_MAX,
                                         INT_MIN};
            const PF_Cmd cmd = draw_.one_of(unanswered);
            note("command " + std::to_string(cmd));
            PF_OutData out{};
            err = command([&] { return session_->raw_call(cmd, out); });
            expected = PF_Err_NONE;
        } else if (what == 1) {
            const PF_Cmd answered[] = {
                PF_Cmd_ABOUT,        PF_Cmd_GLOBAL_SETUP,     PF_Cmd_GLOBAL_SETDOWN,
                PF_Cmd_PARAMS_SETUP, PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_SMART_PRE_RENDER,
                PF_Cmd_SMART_RENDER};
            const PF_Cmd cmd = draw_.one_of(answered);
            note("command " + std::to_string(cmd) + " without PF_InData or PF_OutData");
            err = command(
                [&] { return h.entry()(cmd, nullptr, nullptr, nullptr, nullptr, nullptr); });
        } else if (what == 2) {
            const PF_Cmd cmd = draw_.percent(50) ? PF_Cmd_SMART_PRE_RENDER : PF_Cmd_SMART_RENDER;
            note("command " + std::to_string(cmd) + " without its extra record");
            PF_OutData out{};
            err = command([&] { return session_->raw_call(cmd, out); });
        } else {
            note("UI update without the parameter array");
            PF_OutData out{};
            err = command([&] { return session_->raw_call(PF_Cmd_UPDATE_PARAMS_UI, out); });
        }
        if (err != expected)
            finding("gave " + std::to_string(err) + ", not " + std::to_string(expected));
        const CallCounts after = counts();
        if (std::memcmp(before.counts, after.counts, sizeof before.counts) != 0) {
            finding("called the host back");
        }
        check_balanced("after it");
    }

    // ---------------------------------------------------------------- values

    void set_values()
    {
        if (!params_ready_) return;
        begin("set values");
        simhost::Host& h = host();
        std::vector<int> points;
        std::ostringstream text;
        // Now and then the places where paths part most easily: points on
        // whole pixels inside the frames, a ramp along a row or column through
        // them, and float controls at whole numbers of either sign (an odd
        // negative Power turns t = -0 and +0 into -inf and +inf) or NaN.
        const bool sharp = draw_.percent(25);
        if (sharp) text << " (sharp)";
        for (const simhost::ParamInfo& p : session_->params()) {
            if (p.type == PF_Param_POINT) points.push_back(p.index);
            if (sharp && p.type == PF_Param_POINT) {
                h.point_value(p.index) = {draw_.between(0, 30), draw_.between(0, 30)};
                continue;
            }
            if (sharp && p.type == PF_Param_FLOAT_SLIDER && draw_.percent(70)) {
                constexpr double inf = std::numeric_limits<double>::infinity();
                const double values[] = {-1.0,
                                         -3.0,
                                         -5.0,
                                         3.0,
                                         0.0,
                                         -0.0,
                                         1.0,
                                         2.0,
                                         -inf,
                                         inf,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::signaling_NaN()};
                PF_ParamDef& def = h.param_records()[static_cast<std::size_t>(p.index)];
                def.u.fs_d.value = draw_.one_of(values);
                text << " " << p.index << "=" << def.u.fs_d.value;
                continue;
            }
            if (!draw_.percent(35)) continue;
            PF_ParamDef& def = h.param_records()[static_cast<std::size_t>(p.index)];
            text << " " << p.index << "=";
            switch (p.type) {
            case PF_Param_POPUP:
                def.u.pd.value = popup(static_cast<int>(p.choices.size()));
                text << def.u.pd.value;
                break;
            case PF_Param_FLOAT_SLIDER:
                def.u.fs_d.value = float_value(p);
                text << def.u.fs_d.value;
                break;
            case PF_Param_FIX_SLIDER:
                def.u.fd.value = fixed_value(p);
                text << def.u.fd.value;
                break;
            case PF_Param_ANGLE:
                def.u.ad.value = angle();
                text << def.u.ad.value;
                break;
            case PF_Param_COLOR:
                def.u.cd.value = color();
                text << "colour";
                break;
            case PF_Param_POINT: {
                auto& [x, y] = h.point_value(p.index);
                x = coordinate();
                y = coordinate();
                text << x << "," << y;
                break;
            }
            default:
                break;
            }
        }
        // Ramps along a row or a column, whose centre column or row has t of
        // either sign of zero.
        if (points.size() >= 2 && (sharp || draw_.percent(35))) {
            auto& start = h.point_value(points[0]);
            auto& end = h.point_value(points[1]);
            if (draw_.percent(50)) {
                end.second = start.second;
            } else {
                end.first = start.first;
            }
            text << " (end aligned with start)";
        }
        note("values" + text.str());
    }

    A_long popup(int choices)
    {
        if (draw_.percent(80)) return draw_.between(1, std::max(choices, 1));
        const A_long odd[] = {0, -1, -3, static_cast<A_long>(choices) + 1, 17, INT_MAX, INT_MIN};
        return draw_.one_of(odd);
    }

    double float_value(const simhost::ParamInfo& p)
    {
        const int kind = draw_.below(100);
        if (kind < 45) return draw_.between(p.valid_min, p.valid_max);
        if (kind < 65) {
            const double round[] = {p.valid_min, p.valid_max, 1.0, 2.0, 0.5};
            return draw_.one_of(round);
        }
        return draw_.odd_double();
    }

    PF_Fixed fixed_value(const simhost::ParamInfo& p)
    {
        if (draw_.percent(60))
            return static_cast<PF_Fixed>(draw_.between(p.valid_min, p.valid_max) * 65536.0);
        const PF_Fixed odd[] = {0, -65536 * 100, 65536 * 1000, INT_MAX, INT_MIN, -1, 1};
        if (draw_.percent(50)) return draw_.one_of(odd);
        return static_cast<PF_Fixed>(static_cast<std::uint32_t>(draw_.next()));
    }

    PF_Fixed angle()
    {
        const int kind = draw_.below(100);
        if (kind < 40) return static_cast<PF_Fixed>(draw_.between(-8, 8) * 90 * 65536);
        if (kind < 70) return static_cast<PF_Fixed>(draw_.between(-720.0, 720.0) * 65536.0);
        return static_cast<PF_Fixed>(static_cast<std::uint32_t>(draw_.next()));
    }

    PF_Pixel color()
    {
        const auto channel = [&] {
            const int kind = draw_.below(10);
            return static_cast<A_u_char>(kind == 0 ? 0 : kind == 1 ? 255 : draw_.below(256));
        };
        return PF_Pixel{channel(), channel(), channel(), channel()};
    }

    // Layer pixels: mostly on or near the frames drawn, often on whole pixels
    // (a pixel then lies exactly on a ramp point), now and then far away.
    double coordinate()
    {
        const int kind = draw_.below(100);
        if (kind < 50) return draw_.between(-20, 80);
        if (kind < 85) return draw_.between(-80, 320) / 4.0;
        if (kind < 95) return draw_.between(-20.0, 80.0);
        return draw_.between(-32000, 32000);
    }

    // ---------------------------------------------------------------- frames

    int extent()
    {
        const int kind = draw_.below(100);
        if (kind < 8) return draw_.between(0, 2);
        if (kind < 25) return 1;
        if (kind < 88) return draw_.between(2, 40);
        return draw_.between(41, 180);
    }

    // Row padding in bytes: none, whole channels, or anything at all.
    int padding(int channel)
    {
        const int kind = draw_.below(100);
        if (kind < 50) return 0;
        if (kind < 80) return channel * draw_.between(1, 8);
        return draw_.between(1, 4 * channel * 2);
    }

    int origin()
    {
        const int kind = draw_.below(100);
        if (kind < 70) return 0;
        if (kind < 95) return draw_.between(-50, 50);
        return draw_.between(-100000, 100000);
    }

    int threads()
    {
        if (options_.threaded) return draw_.between(2, 8);
        const int kind = draw_.below(100);
        if (kind < 60) return draw_.between(1, 4);
        if (kind < 85) return draw_.between(5, 16);
        if (kind < 95) return draw_.between(-2, 0);
        return draw_.between(17, 40);
    }

    PF_RationalScale downsample()
    {
        const PF_RationalScale scales[] = {{1, 2}, {1, 3}, {2, 3}, {1, 4}};
        return draw_.percent(75) ? PF_RationalScale{1, 1} : draw_.one_of(scales);
    }

    void fill_input(World& world)
    {
        const int bits = simhost::bit_depth(world.format());
        for (int y = 0; y < world.height(); ++y) {
            std::uint8_t* row = world.row(y);
            for (int x = 0; x < world.width(); ++x) {
                for (int c = 0; c < 4; ++c) {
                    if (bits == 8) {
                        row[4 * x + c] = static_cast<std::uint8_t>(draw_.below(256));
                    } else if (bits == 16) {
                        const auto v = static_cast<std::uint16_t>(
                            draw_.percent(95) ? draw_.between(0, 32768) : draw_.below(65536));
                        std::memcpy(row + 8 * x + 2 * c, &v, sizeof v);
                    } else {
                        const float v = draw_.percent(88)
                                            ? static_cast<float>(draw_.between(-0.5, 2.0))
                                            : draw_.odd_float();
                        std::memcpy(row + 16 * x + 4 * c, &v, sizeof v);
                    }
                }
            }
        }
    }

    // Whether the module must refuse a world of this depth: pixels present and
    // a stride off the channels' alignment (the simulated host's data pointers
    // are always aligned and its rows never overlap).
    static bool off_the_channels(const World& world, int channel)
    {
        return world.width() > 0 && world.height() > 0 && world.rowbytes() % channel != 0;
    }

    void frame()
    {
        simhost::Host& h = host();
        const PF_PixelFormat format = draw_.one_of(kFormats);
        const int channel = simhost::bytes_per_pixel(format) / 4;
        WorldSpec in_spec{extent(), extent(), format};
        in_spec.row_padding = padding(channel);
        in_spec.bottom_up = draw_.percent(30);
        in_spec.origin_x = origin();
        in_spec.origin_y = origin();
        WorldSpec out_spec = in_spec;
        if (draw_.percent(8)) {
            out_spec.width = extent();
            out_spec.height = extent();
        }
        if (draw_.percent(40)) out_spec.row_padding = padding(channel);
        out_spec.bottom_up = draw_.percent(30);
        if (draw_.percent(10)) out_spec.format = other_order(format);
        PF_PixelFormat reported = format;
        if (draw_.percent(5)) reported = other_order(format);
        if (draw_.percent(4)) reported = draw_.percent(50) ? PF_PixelFormat_INVALID : 0x12345678;
        const int thread_count = threads();
        const PF_RationalScale dsx = downsample();
        const PF_RationalScale dsy = downsample();
        const int passes = draw_.percent(30) ? 2 : 1;
        const auto fill = static_cast<std::uint8_t>(draw_.below(256));

        World input(in_spec);
        fill_input(input);
        const World input_before = input;
        World output(out_spec);
        output.fill_bytes(fill);
        const bool damaged =
            depth_of(reported) != velkor::DepthClass::none &&
            (off_the_channels(input, channel) || off_the_channels(output, channel));

        std::ostringstream what;
        what << "frame " << simhost::pixel_format_name(format) << " (reported "
             << simhost::pixel_format_name(reported) << ") " << in_spec.width << "x"
             << in_spec.height << " pad " << in_spec.row_padding << (in_spec.bottom_up ? " up" : "")
             << " origin " << in_spec.origin_x << "," << in_spec.origin_y << " -> "
             << out_spec.width << "x" << out_spec.height << " pad " << out_spec.row_padding
             << (out_spec.bottom_up ? " up" : "") << ", " << thread_count << " threads, downsample "
             << dsx.num << "/" << dsx.den << ", " << passes << " smart render(s)";
        begin(what.str());

        simhost::HostConfig& config = h.config();
        config.threads = thread_count;
        config.downsample_x = dsx;
        config.downsample_y = dsy;
        h.begin_frame(&input, &output, reported);

        PF_PreRenderInput pre_in{};
        const PF_LRect layer{in_spec.origin_x, in_spec.origin_y, in_spec.origin_x + in_spec.width,
                             in_spec.origin_y + in_spec.height};
        pre_in.output_request.rect =
            draw_.percent(85) ? layer
                              : PF_LRect{draw_.between(-50, 50), draw_.between(-50, 50),
                                         draw_.between(-50, 100), draw_.between(-50, 100)};
        pre_in.output_request.channel_mask =
            draw_.percent(90) ? simhost::kChannelMaskARGB : simhost::kChannelMaskAlpha;
        pre_in.bitdepth = static_cast<A_short>(simhost::bit_depth(format));
        PF_PreRenderOutput pre_out{};

        Injection inj = arm(35,
                            {{CallKind::new_handle, 1},
                             {CallKind::lock_handle, 2},
                             {CallKind::checkout_param, 13},
                             {CallKind::checkin_param, 13},
                             {CallKind::checkout_layer, 1},
                             {CallKind::checkout_layer_pixels, 1},
                             {CallKind::checkin_layer_pixels, 1},
                             {CallKind::checkout_output, 1},
                             {CallKind::get_pixel_format, 1},
                             {CallKind::get_num_threads, 1},
                             {CallKind::iterate_generic, 1}},
                            {{"PF Handle Suite", 2},
                             {"PF World Suite", 2},
                             {"AEGP Iterate Suite", 1},
                             {"PF Iterate8 Suite", 1}},
                            true);

        CallCounts before = counts();
        PF_OutData out_data{};
        const PF_Err pre_err =
            command([&] { return h.smart_pre_render(pre_in, pre_out, out_data); });
        const bool pre_injected = check_injection(inj, before, PF_Cmd_SMART_PRE_RENDER, pre_err);
        if (!pre_injected) {
            if (params_ready_ && pre_err != PF_Err_NONE) {
                finding("smart pre-render failed: " + std::to_string(pre_err));
            }
            if (!params_ready_ && pre_err == PF_Err_NONE)
                finding("smart pre-render without controls succeeded");
        }

        std::vector<World> frames;
        std::vector<PF_Err> errs;
        if (pre_err == PF_Err_NONE) {
            for (int pass = 0; pass < passes; ++pass) {
                output.fill_bytes(fill);
                PF_SmartRenderInput render_in{};
                render_in.output_request = pre_in.output_request;
                render_in.bitdepth = pre_in.bitdepth;
                before = counts();
                out_data = PF_OutData{};
                ++figures_.renders;
                const PF_Err err = command([&] { return h.smart_render(render_in, out_data); });
                const bool injected = check_injection(inj, before, PF_Cmd_SMART_RENDER, err);
                if (!injected) {
                    const PF_Err expected = damaged ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_NONE;
                    if (err != expected) {
                        finding("smart render gave " + std::to_string(err) + ", not " +
                                std::to_string(expected));
                    }
                    if (damaged) ++figures_.damaged_worlds;
                }
                if (!output.guards_intact())
                    finding("smart render wrote outside the output's pixels");
                if (err != PF_Err_NONE && !all_bytes(output, fill)) {
                    finding("a failed smart render (" + std::to_string(err) +
                            ") drew into the output");
                }
                frames.push_back(output);
                errs.push_back(err);
            }
        }
        h.clear_faults();
        h.end_frame();

        if (!input.same_pixels(input_before) || !input.guards_intact())
            finding("the input was changed");
        check_balanced("after the frame");

        bool reference_drawn = false;
        World expected(out_spec);
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (errs[i] != PF_Err_NONE) continue;
            if (!reference_drawn) {
                expected.fill_bytes(fill);
                draw_reference(input, reported, expected);
                reference_drawn = true;
            }
            ++figures_.frames_compared;
            if (const std::string d = frames[i].first_difference(expected); !d.empty()) {
                finding("smart render " + std::to_string(i + 1) +
                        " differs from the per-pixel path: " + d + "; settings " +
                        reference_settings_);
            }
        }
        if (frames.size() == 2 && errs[0] == PF_Err_NONE && errs[1] == PF_Err_NONE) {
            if (const std::string d = frames[1].first_difference(frames[0]); !d.empty()) {
                finding("a second smart render differs from the first: " + d);
            }
        }
        config.downsample_x = PF_RationalScale{1, 1};
        config.downsample_y = PF_RationalScale{1, 1};
        check_balanced("after the reference");
    }

    static bool all_bytes(const World& world, std::uint8_t byte)
    {
        for (int y = 0; y < world.height(); ++y) {
            const std::uint8_t* row = world.row(y);
            for (int i = 0; i < world.width() * world.pixel_bytes(); ++i) {
                if (row[i] != byte) return false;
            }
        }
        return true;
    }

    // The engine's per-pixel path over the same input, with the values the
    // host hands out now (those the frame's pre-render checked out).
    void draw_reference(World& input, PF_PixelFormat reported, World& expected)
    {
        simhost::Host& h = host();
        PF_InData in = h.make_in_data();
        velkor::ParamValues params{};
        for (A_long i = velkor::kFirstControl; i <= velkor::kLastControl; ++i) {
            auto& record = params[static_cast<std::size_t>(i)];
            if (in.inter.checkout_param(in.effect_ref, i, in.current_time, in.time_step,
                                        in.time_scale, &record) != PF_Err_NONE) {
                finding("the reference could not check out control " + std::to_string(i));
            }
        }
        velkor::RampSettings settings{};
        velkor::fill_ramp_settings(params, in.downsample_x, settings);
        for (A_long i = velkor::kFirstControl; i <= velkor::kLastControl; ++i) {
            in.inter.checkin_param(in.effect_ref, &params[static_cast<std::size_t>(i)]);
        }
        velkor::rebase_ramp_points(settings, input.effect_world()->origin_x,
                                   input.effect_world()->origin_y);
        reference_settings_ = describe(settings);
        const velkor::RampEvaluator evaluator(velkor::RenderRecord{&in, settings});
        const velkor::DepthClass depth = depth_of(reported);
        velkor::render_ramp_reference(evaluator, velkor::WorldView{depth, input.effect_world()},
                                      velkor::WorldView{depth, expected.effect_world()},
                                      PF_Rect{0, 0, expected.width(), expected.height()});
    }

    // Every field of a settings record, floats to the bit (%a), for a finding.
    static std::string describe(const velkor::RampSettings& s)
    {
        char text[640];
        std::snprintf(
            text, sizeof text,
            "{type %d, controlled by %d, start (%a, %a), end (%a, %a), center (%a, %a), length %a, "
            "direction %a, start colour (%a, %a, %a, %a), end colour (%a, %a, %a, %a), alphas %a "
            "to %a, shape %d, power %a}",
            s.type, s.controlled_by, s.start_point.x, s.start_point.y, s.end_point.x, s.end_point.y,
            s.center.x, s.center.y, s.length, s.direction, s.start_color.alpha, s.start_color.red,
            s.start_color.green, s.start_color.blue, s.end_color.alpha, s.end_color.red,
            s.end_color.green, s.end_color.blue, s.start_alpha, s.end_alpha, s.shape, s.power);
        return text;
    }

    const SequenceOptions& options_;
    std::uint64_t seed_;
    Draw draw_;
    Figures& figures_;
    std::ostream* log_;
    std::unique_ptr<simhost::Session> session_;
    bool params_ready_ = false;
    int step_ = 0;
    std::string current_;
    std::vector<std::string> findings_;
    std::string reference_settings_;
};

}  // namespace

std::vector<std::string> run_sequence(const SequenceOptions& options, std::uint64_t seed,
                                      Figures& figures, std::ostream* log)
{
    return Sequence(options, seed, figures, log).run();
}

}  // namespace velkor_fuzz
