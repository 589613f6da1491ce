#include "cli/commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <new>
#include <optional>
#include <thread>

#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/values.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

constexpr OptionSpec kHelp{"--help", "-h", nullptr, "show this help"};
constexpr OptionSpec kModule{"--module", nullptr, "PATH", "the effect module to load (default: the one built with the tool)"};

constexpr std::array<OptionSpec, 12> kRenderFrameOptions{{
    {"--output", "-o", "FILE", "the frame to write: .png (8/16-bit), .tif/.tiff (8/16/32-bit), .exr (32-bit)"},
    {"--input", nullptr, "FILE", "the input layer: any image OpenImageIO reads"},
    {"--size", nullptr, "WxH", "a solid input layer of this size (default 1920x1080)"},
    {"--fill", nullptr, "COLOR", "the solid layer's colour: #RRGGBB[AA] or R,G,B[,A] 0-255 (default opaque black)"},
    {"--depth", nullptr, "8|16|32", "the project depth (default: the input file's, else 8)"},
    {"--threads", nullptr, "N", "host render threads, 1-256 (default: all cores)"},
    {"--downsample", nullptr, "N/D[,N/D]", "proxy resolution, horizontal[,vertical] (default 1/1)"},
    {"--origin", nullptr, "X,Y", "the input world's origin in pixels (default 0,0)"},
    {"--memory-limit", nullptr, "SIZE", "the memory a frame may take, e.g. 8G (default: what the machine has free)"},
    {"--verbose", "-v", nullptr, "print what was rendered: sizes, depth, host bands and threads"},
    kModule,
    kHelp,
}};

// The three controls that decide which others are enabled.
constexpr std::array<const char*, 3> kUiDeciders{"--type", "--controlled-by", "--shape"};

std::vector<OptionSpec> render_specs()
{
    std::vector<OptionSpec> option_specs(kRenderFrameOptions.begin(), kRenderFrameOptions.end());
    for (const ControlOption& c : kControlOptions) option_specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
    return option_specs;
}

std::vector<OptionSpec> params_specs()
{
    std::vector<OptionSpec> option_specs{
        {"--size", nullptr, "WxH", "the layer size that point defaults are shown for (default 1920x1080)"}, kModule,
        kHelp};
    for (const char* name : kUiDeciders) {
        option_specs.push_back(OptionSpec{name, nullptr, "CHOICE", find_control_option(name)->control});
    }
    return option_specs;
}

const std::array<OptionSpec, 2> kAboutSpecs{{kModule, kHelp}};

fs::path module_path(const ParsedOptions& options)
{
    const std::string* given = options.find("--module");
    return given != nullptr ? fs::path(*given) : default_module_path();
}

std::string controls_help(const fs::path& module)
{
    try {
        EffectRun run(RunSettings{module});
        std::string text = "Controls, as the module declares them (" + module.string() + "):\n";
        for (const simhost::ParamInfo& p : run.session().params()) {
            const ControlOption* option = option_for_control(p.name);
            if (option == nullptr) continue;
            text += "  " + std::string(option->option) + " " + value_form(p.type) + "\n      \"" + p.name + "\", " +
                    simhost::param_type_name(p.type) + ", default " + default_text(p, 1920, 1080) + "\n      valid: " +
                    valid_range_text(p) + "\n";
        }
        run.finish();
        return text;
    } catch (const Failure& failure) {
        return "Controls: cannot list them (" + std::string(failure.what()) + ")\n";
    }
}

const char* const kOverview =
    "Usage: velkorramp COMMAND [options]\n"
    "\n"
    "Renders the VelkorRamp effect outside the host: the built effect module is\n"
    "loaded into a simulated host and driven exactly as the host drives it.\n"
    "\n"
    "Commands:\n"
    "  render [options] -o FILE   render one frame to an image file\n"
    "  params [options]           list the effect's controls as the module declares them\n"
    "  about [--module PATH]      print the module's About text\n"
    "\n"
    "Run 'velkorramp COMMAND --help' for the options of a command.\n"
    "\n"
    "Exit codes: 0 done, 1 unexpected failure, 2 bad command line or value,\n"
    "3 unreadable or damaged input, 4 unwritable output, 5 module does not load,\n"
    "6 the module returned an error code, 7 not enough memory for the frame.\n";

std::string render_help(const fs::path& module)
{
    return std::string(
               "Usage: velkorramp render [options] -o FILE\n"
               "\n"
               "Renders one frame as the host does: global setup, parameter setup, the\n"
               "control values, UI update, smart pre-render, smart render, global set-down.\n"
               "\n"
               "Layer and frame:\n") +
           options_help(kRenderFrameOptions) +
           "\n"
           "Units: points are layer pixels (x right, y down, from the layer's top-left),\n"
           "before any downsampling; Length is in layer pixels; Direction in degrees\n"
           "clockwise from up; alphas in percent; colours #RRGGBB or R,G,B 0-255.\n"
           "A choice is given by its number, its name with case, spaces and punctuation\n"
           "ignored (color-alpha, linear2), or a word only it contains (points, center).\n"
           "\n"
           "Depth: an 8-bit input file gives an 8-bit frame, 16-bit gives 16, half and\n"
           "float give 32, unless --depth says otherwise. A frame is written at its own\n"
           "depth, never converted: PNG holds 8 and 16, TIFF 8, 16 and 32 (float), EXR 32.\n"
           "16-bit: the host's 0..32768 is written as round(v*65535/32768) and a 16-bit\n"
           "file is read as round(f*32768/65535); every host value survives the trip.\n"
           "Float is written unchanged. Channels go from the host's ARGB to the file's\n"
           "RGBA, with straight (not premultiplied) alpha.\n"
           "\n"
           "Downsample: at N/D the layer is rendered at ceil(side*N/D) pixels, each proxy\n"
           "pixel taking the layer pixel at floor(x*D/N); points and Length are scaled\n"
           "as the host and the effect scale them.\n"
           "\n" +
           controls_help(module) +
           "\n"
           "Memory: a frame is weighed before any pixel buffer exists; a solid layer takes\n"
           "3 frames' worth (12, 24 or 48 bytes a pixel at 8, 16, 32-bit), an input file 4.\n"
           "\n"
           "The file is written beside its final name, checked and flushed, and renamed into\n"
           "place once complete; on any failure or interrupt no partial file is left and an\n"
           "existing file of that name is kept. Exit codes: see 'velkorramp --help'.\n";
}

std::string params_help()
{
    return "Usage: velkorramp params [options]\n"
           "\n"
           "Lists the thirteen controls as the module declares them in parameter setup\n"
           "(index, name, type, default, valid and slider ranges, choices) and whether the\n"
           "module's own UI update enables each under the given Type, Controlled By and Shape.\n"
           "\n" +
           options_help(params_specs());
}

std::string about_help()
{
    return "Usage: velkorramp about [--module PATH]\n\nPrints the module's About text.\n\n" +
           options_help(kAboutSpecs);
}

std::string ui_state(const EffectRun& run, int index)
{
    if (!run.sent(index)) return "enabled (the effect never changes it)";
    return run.disabled(index) ? "disabled" : "enabled";
}

std::string slider_text(const simhost::ParamInfo& p)
{
    if (p.type == PF_Param_FLOAT_SLIDER) {
        return format_float(static_cast<float>(p.slider_min)) + " to " + format_float(static_cast<float>(p.slider_max));
    }
    return format_number(p.slider_min) + " to " + format_number(p.slider_max) + (p.shown_as_percent() ? " %" : "");
}

void apply_controls(EffectRun& run, const ParsedOptions& options)
{
    for (const auto& [name, value] : options.all()) {
        if (const ControlOption* control = find_control_option(name)) apply_control(run.session(), *control, value);
    }
}

int params_command(std::span<const std::string> args, std::ostream& out)
{
    const std::vector<OptionSpec> option_specs = params_specs();
    const ParsedOptions options = parse_options(args, option_specs, "params");
    if (options.has("--help")) {
        out << params_help();
        return 0;
    }
    SizeValue size{1920, 1080};
    if (const std::string* text = options.find("--size")) size = parse_size("--size", *text);

    EffectRun run(RunSettings{module_path(options), size.width, size.height});
    apply_controls(run, options);
    run.update_params_ui();

    std::string settings;
    for (const char* name : kUiDeciders) {
        const char* control = find_control_option(name)->control;
        const int index = run.session().find_param(control);
        if (index < 0) continue;
        const simhost::ParamInfo& p = *run.session().param(index);
        const int value = run.session().host().param_records()[static_cast<std::size_t>(index)].u.pd.value;
        const bool known = value >= 1 && value <= static_cast<int>(p.choices.size());
        settings += (settings.empty() ? "" : ", ") + p.name + " \"" +
                    (known ? p.choices[static_cast<std::size_t>(value - 1)] : std::to_string(value)) + "\"";
    }
    out << run.session().params().size() << " controls declared by " << module_path(options).string() << "\n"
        << "enabled states for " << settings << "; layer " << size.width << "x" << size.height << "\n";
    for (const simhost::ParamInfo& p : run.session().params()) {
        const ControlOption* option = option_for_control(p.name);
        out << "\n"
            << p.index << "  " << p.name << "  (" << simhost::param_type_name(p.type) << ", "
            << (option != nullptr ? std::string(option->option) + " " + value_form(p.type) : std::string("no option"))
            << ")\n"
            << "    default  " << default_text(p, size.width, size.height) << "\n"
            << "    valid    " << valid_range_text(p) << "\n";
        if (p.type == PF_Param_FLOAT_SLIDER || p.type == PF_Param_FIX_SLIDER) {
            out << "    slider   " << slider_text(p) << "\n";
        }
        out << "    state    " << ui_state(run, p.index) << "\n";
    }
    run.finish();
    return 0;
}

int about_command(std::span<const std::string> args, std::ostream& out)
{
    const ParsedOptions options = parse_options(args, kAboutSpecs, "about");
    if (options.has("--help")) {
        out << about_help();
        return 0;
    }
    EffectRun run(RunSettings{module_path(options)});
    const std::string text = run.about();
    run.finish();
    out << text << "\n";
    return 0;
}

// Everything `render` was asked for, read from the command line before any work.
struct RenderRequest {
    fs::path module;
    fs::path output;
    OutputFormat format;
    std::optional<fs::path> input;
    SizeValue size{1920, 1080};  // the solid layer's, or the input file's once read
    Rgba8 fill{0, 0, 0, 255};
    std::optional<int> depth;  // --depth, else the input file's, else 8
    int threads = 1;
    Downsample downsample;
    int origin_x = 0;
    int origin_y = 0;
    std::optional<MemoryBudget> memory_limit;  // --memory-limit, else the machine's
    bool verbose = false;
};

// Everything the command line alone can refuse is refused here, before any work.
RenderRequest parse_render_request(const ParsedOptions& options)
{
    RenderRequest request;
    request.module = module_path(options);
    const std::string* output_text = options.find("--output");
    if (output_text == nullptr) usage_error("render needs an output file: -o FILE; see velkorramp render --help");
    request.output = fs::path(*output_text);
    request.format = output_format_for(request.output);
    const std::string* input_text = options.find("--input");
    if (input_text != nullptr && (options.has("--size") || options.has("--fill"))) {
        usage_error("--input gives the layer; --size and --fill are for a solid layer instead");
    }
    if (input_text != nullptr) request.input = fs::path(*input_text);
    if (const std::string* text = options.find("--size")) request.size = parse_size("--size", *text);
    if (const std::string* text = options.find("--fill")) request.fill = parse_color("--fill", *text, true);
    if (const std::string* text = options.find("--depth")) request.depth = parse_depth("--depth", *text);
    request.threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{kMaxThreads}));
    if (const std::string* text = options.find("--threads")) request.threads = parse_threads("--threads", *text);
    if (const std::string* text = options.find("--downsample")) {
        request.downsample = parse_downsample("--downsample", *text);
    }
    if (const std::string* text = options.find("--origin")) {
        parse_origin("--origin", *text, request.origin_x, request.origin_y);
    }
    if (const std::string* text = options.find("--memory-limit")) {
        request.memory_limit = MemoryBudget{parse_memory_size("--memory-limit", *text), "--memory-limit"};
    }
    request.verbose = options.has("--verbose");
    if (request.depth) check_format_holds(request.format, *request.depth);
    check_output_place(request.output);
    return request;
}

struct RenderedFrame {
    simhost::World output;
    int depth = 8;
    int bands = 0;  // the host's iterations for the first band split
};

// Loads the input, sets the controls as given, and renders one frame. The frame
// is weighed against the memory budget before any pixel buffer exists. Notes on
// stderr each control that the module disables under the chosen settings.
RenderedFrame render_frame(RenderRequest& request, const ParsedOptions& options, FramePlan& plan,
                           std::ostream& err)
{
    std::optional<LayerImage> image;
    std::optional<InputFile> file;
    if (request.input) {
        file.emplace(*request.input);
        request.size = SizeValue{file->width(), file->height()};
        if (!request.depth) request.depth = file->depth();
        plan.from_file = true;
        plan.file_rgba_bytes = file->rgba_bytes();
        plan.file_band_bytes = file->band_bytes();
    }
    const int frame_depth = request.depth.value_or(8);
    check_format_holds(request.format, frame_depth);
    plan.width = downsampled_side(request.size.width, request.downsample.x);
    plan.height = downsampled_side(request.size.height, request.downsample.y);
    plan.depth = frame_depth;
    check_frame_fits(plan, request.memory_limit ? *request.memory_limit : machine_memory_budget());
    if (file) {
        image = file->read();
        file.reset();
    }

    EffectRun run(RunSettings{request.module, request.size.width, request.size.height});
    apply_controls(run, options);
    run.update_params_ui();
    for (const auto& [name, value] : options.all()) {
        const ControlOption* control = find_control_option(name);
        if (control == nullptr) continue;
        const int index = run.session().find_param(control->control);
        if (run.disabled(index)) {
            err << "velkorramp: note: \"" << control->control << "\" is disabled under these settings, so " << name
                << " has no effect\n";
        }
    }

    simhost::RenderOptions frame;
    frame.format = simhost::argb_format_for_depth(frame_depth);
    frame.threads = request.threads;
    const Downsample& downsample = request.downsample;
    frame.downsample_x = PF_RationalScale{downsample.x.num, static_cast<A_u_long>(downsample.x.den)};
    frame.downsample_y = PF_RationalScale{downsample.y.num, static_cast<A_u_long>(downsample.y.den)};
    frame.origin_x = request.origin_x;
    frame.origin_y = request.origin_y;
    std::optional<simhost::World> input;
    if (image) {
        input = layer_world(*image, frame_depth, downsample, request.origin_x, request.origin_y);
        image.reset();
        frame.input = &*input;
    } else {
        frame.solid.width = downsampled_side(request.size.width, downsample.x);
        frame.solid.height = downsampled_side(request.size.height, downsample.y);
        const Rgba8& fill = request.fill;
        frame.solid.color = simhost::ColorF{fill.alpha / 255.0, fill.red / 255.0, fill.green / 255.0, fill.blue / 255.0};
    }
    simhost::RenderResult result = run.render(frame);
    run.finish();
    RenderedFrame rendered;
    rendered.depth = frame_depth;
    rendered.bands = result.iterations.empty() ? 0 : result.iterations.front().iterations;
    // Only the frame is kept; a 4K float frame is 130 MB a copy.
    rendered.output = std::move(result.output);
    return rendered;
}

void report_render(const RenderRequest& request, const RenderedFrame& rendered, std::ostream& out)
{
    const Downsample& downsample = request.downsample;
    out << "rendered " << request.output.string() << ": " << rendered.output.width() << "x"
        << rendered.output.height() << ", " << rendered.depth << "-bit, from a " << request.size.width << "x"
        << request.size.height << " layer at downsample " << downsample.x.num << "/" << downsample.x.den << ","
        << downsample.y.num << "/" << downsample.y.den << "; host threads " << request.threads << ", bands "
        << rendered.bands << "; module " << request.module.string() << "\n";
}

int render_command(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const std::vector<OptionSpec> option_specs = render_specs();
    const ParsedOptions options = parse_options(args, option_specs, "render");
    if (options.has("--help")) {
        out << render_help(module_path(options));
        return 0;
    }
    RenderRequest request = parse_render_request(options);
    FramePlan plan;
    try {
        const RenderedFrame rendered = render_frame(request, options, plan, err);
        write_frame(rendered.output, request.output, request.format);
        if (request.verbose) report_render(request, rendered, out);
    } catch (const std::bad_alloc&) {
        // The budget is what was free when the frame was weighed; others may have
        // taken it since, or --memory-limit allowed more than there is.
        if (plan.width == 0) throw;
        fail(ExitCode::memory, "out of memory: " + frame_need_text(plan));
    }
    return 0;
}

// Output to stdout is a result like any other: a full disk or a closed pipe is
// a failure, not a silent success.
void check_written(std::ostream& out)
{
    errno = 0;
    out.flush();
    if (out) return;
    const int error_number = errno;
    fail(ExitCode::output, "cannot write to standard output: " +
                               (error_number != 0 ? system_reason(error_number) : std::string("write error")));
}

}  // namespace

int run_command_line(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    try {
        if (args.empty()) {
            err << kOverview;
            return static_cast<int>(ExitCode::usage);
        }
        const std::string& command = args[0];
        const std::span<const std::string> rest = args.subspan(1);
        int code = 0;
        if (command == "--help" || command == "-h" || command == "help") {
            out << kOverview;
        } else if (command == "render") {
            code = render_command(rest, out, err);
        } else if (command == "params") {
            code = params_command(rest, out);
        } else if (command == "about") {
            code = about_command(rest, out);
        } else {
            usage_error("unknown command \"" + command + "\"; use render, params or about (see velkorramp --help)");
        }
        check_written(out);
        return code;
    } catch (const Failure& failure) {
        err << "velkorramp: " << failure.what() << "\n";
        return static_cast<int>(failure.code());
    } catch (const std::bad_alloc&) {
        err << "velkorramp: out of memory\n";
        return static_cast<int>(ExitCode::memory);
    } catch (const std::exception& e) {
        err << "velkorramp: unexpected failure: " << e.what() << "\n";
        return static_cast<int>(ExitCode::internal);
    }
}

}  // namespace velkorramp
