#include "cli/params_command.h"

#include <array>

#include "cli/commands.h"
#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/frame_sequence.h"
#include "cli/image_file.h"
#include "cli/keys_file.h"
#include "cli/values.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

// The three controls that decide which others are enabled.
constexpr std::array<const char*, 3> kUiDeciders{"--type", "--controlled-by", "--shape"};

std::string ui_state(const EffectRun& run, int index)
{
    if (!run.sent(index)) return "enabled (the effect never changes it)";
    return run.disabled(index) ? "disabled" : "enabled";
}

std::string slider_text(const simhost::ParamInfo& p)
{
    if (p.type == PF_Param_FLOAT_SLIDER) {
        return format_float(static_cast<float>(p.slider_min)) + " to " +
               format_float(static_cast<float>(p.slider_max));
    }
    return format_number(p.slider_min) + " to " + format_number(p.slider_max) +
           (p.shown_as_percent() ? " %" : "");
}

}  // namespace

std::vector<OptionSpec> params_options()
{
    std::vector<OptionSpec> option_specs{
        {"--size", nullptr, "WxH",
         "the layer size that point defaults are shown for (default 1920x1080)"},
        {"--input", nullptr, "FILE",
         "show point defaults for this image's layer (its display window)"},
        {"--frame", nullptr, "N", "the frame whose values are shown (default 1)"},
        {"--fps", nullptr, "RATE", "frames a second that keys are counted in (default 24)"},
        kKeysOption,
        {"--json", nullptr, nullptr,
         "write the controls and their keys as JSON, the form --keys reads"},
        kModuleOption,
        kHelpOption};
    for (const ControlOption& c : kControlOptions) {
        option_specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
    }
    return option_specs;
}

int params_command(std::span<const std::string> args, std::ostream& out)
{
    const std::vector<OptionSpec> option_specs = params_options();
    const ParsedOptions options = parse_options(args, option_specs, "params");
    if (options.has("--help")) {
        out << params_help();
        return 0;
    }
    SizeValue size{1920, 1080};
    if (const std::string* text = options.find("--size")) size = parse_size("--size", *text);
    FrameRate rate;
    if (const std::string* text = options.find("--fps")) rate = parse_frame_rate("--fps", *text);
    int frame = 1;
    if (const std::string* text = options.find("--frame")) {
        const FrameRange one = parse_frames("--frame", *text, rate);
        if (one.count() != 1)
            usage_error("--frame: \"" + *text + "\" is not one frame; use a whole number, e.g. 12");
        frame = one.first;
    }
    if (const std::string* text = options.find("--input")) {
        if (options.has("--size")) usage_error("--input gives the layer's size; leave out --size");
        // A numbered input gives the layer of the frame shown.
        const InputFile file{FileSequence("--input", fs::path(*text)).name(frame)};
        size = SizeValue{file.layer_width(), file.layer_height()};
    }

    EffectRun run(RunSettings{module_path(options), size.width, size.height});
    simhost::Session& session = run.session();
    session.set_frame_rate(rate.num, rate.den);
    apply_controls(session, options);
    session.set_current_frame(frame);
    run.update_params_ui();
    if (options.has("--json")) {
        out << params_json(session,
                           JsonContext{frame, frame_rate_text(rate), size.width, size.height,
                                       [&](int index) { return !run.disabled(index); }});
        run.finish();
        return 0;
    }

    std::string settings;
    for (const char* name : kUiDeciders) {
        const char* control = find_control_option(name)->control;
        const int index = session.find_param(control);
        if (index < 0) continue;
        const simhost::ParamInfo& p = *session.param(index);
        const int value =
            session.host().param_records()[static_cast<std::size_t>(index)].u.pd.value;
        const bool known = value >= 1 && value <= static_cast<int>(p.choices.size());
        settings +=
            (settings.empty() ? "" : ", ") + p.name + " \"" +
            (known ? p.choices[static_cast<std::size_t>(value - 1)] : std::to_string(value)) + "\"";
    }
    out << session.params().size() << " controls declared by " << module_path(options).string()
        << "\n"
        << "values and enabled states at frame " << frame << " (" << frame_rate_text(rate)
        << " frames a second) for " << settings << "; layer " << size.width << "x" << size.height
        << "\n";
    const simhost::KeyTime now = session.frame_time(frame);
    for (const simhost::ParamInfo& p : session.params()) {
        const ControlOption* option = option_for_control(p.name);
        const bool keyed = !session.host().keys(p.index).empty();
        out << "\n"
            << p.index << "  " << p.name << "  (" << simhost::param_type_name(p.type) << ", "
            << (option != nullptr ? std::string(option->option) + " " + value_form(p.type)
                                  : std::string("no option"))
            << ")\n"
            << "    default  " << default_text(p, size.width, size.height) << "\n"
            << "    value    " << value_text(p, session.value_at(p.index, now))
            << (keyed ? " (keyed)" : "") << "\n"
            << "    valid    " << valid_range_text(p) << "\n";
        if (p.type == PF_Param_FLOAT_SLIDER || p.type == PF_Param_FIX_SLIDER) {
            out << "    slider   " << slider_text(p) << "\n";
        }
        out << "    state    " << ui_state(run, p.index) << "\n";
    }
    run.finish();
    return 0;
}

}  // namespace velkorramp
