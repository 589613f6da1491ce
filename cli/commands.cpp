#include "cli/commands.h"

#include <unistd.h>

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
#include "cli/frame_sequence.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/progress.h"
#include "cli/render_pipeline.h"
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

// A sequence: its frames, their rate, the writers, and the progress display.
constexpr std::array<OptionSpec, 4> kSequenceOptions{{
    {"--frames", nullptr, "FIRST-LAST[xSTEP]", "the frames to render, or one frame N (default 1); several need # or %04d in -o"},
    {"--fps", nullptr, "RATE", "frames a second: 24, 30000/1001, 29.97 (default 24); keys are at frames of this rate"},
    {"--writers", nullptr, "N", "frames written at once, 1-16 (default: cores, at most 4)"},
    {"--quiet", "-q", nullptr, "no progress display"},
}};

// The three controls that decide which others are enabled.
constexpr std::array<const char*, 3> kUiDeciders{"--type", "--controlled-by", "--shape"};

std::vector<OptionSpec> render_specs()
{
    std::vector<OptionSpec> option_specs(kRenderFrameOptions.begin(), kRenderFrameOptions.end());
    option_specs.insert(option_specs.end(), kSequenceOptions.begin(), kSequenceOptions.end());
    for (const ControlOption& c : kControlOptions) option_specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
    return option_specs;
}

std::vector<OptionSpec> params_specs()
{
    std::vector<OptionSpec> option_specs{
        {"--size", nullptr, "WxH", "the layer size that point defaults are shown for (default 1920x1080)"},
        {"--frame", nullptr, "N", "the frame whose values are shown (default 1)"},
        {"--fps", nullptr, "RATE", "frames a second that keys are counted in (default 24)"}, kModule, kHelp};
    for (const ControlOption& c : kControlOptions) {
        option_specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
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
    "  render [options] -o FILE   render a frame or a sequence of frames to image files\n"
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
               "Renders frames as the host does: global setup, parameter setup, the control\n"
               "values, UI update, then for each frame smart pre-render and smart render at\n"
               "the frame's time, and global set-down.\n"
               "\n"
               "Layer and frame:\n") +
           options_help(kRenderFrameOptions) +
           "\n"
           "Sequences:\n" +
           options_help(kSequenceOptions) +
           "\n"
           "A control is animated with keys VALUE@FRAME,VALUE@FRAME,... (--direction\n"
           "0@1,360@100, --start-color '#FF0000@1,#0000FF@48'); between keys numbers,\n"
           "angles, points and colour channels move in a straight line, choices hold\n"
           "until the next key, and before the first or after the last key a control\n"
           "holds that key's value. Frame f is at time f/fps on the host's clock.\n"
           "File names number frames as oiiotool does: # is 4 digits (## 8), %04d 4,\n"
           "%d as many as needed (out.#.png: out.0001.png, ...). An --input named so\n"
           "gives each frame its own file, all of the first one's size. Frames are\n"
           "written as they come, by --writers at once, each whole or not at all and\n"
           "in frame order: a failure keeps the frames before it, leaves nothing of\n"
           "the frame that failed or later ones, and names the frame.\n"
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
           "Memory: a frame is weighed before any pixel buffer exists. One frame takes its\n"
           "input and output worlds (8, 16 or 32 bytes a pixel at 8, 16, 32-bit) and a\n"
           "band of about 1 MiB for the writer; a sequence holds --writers + 1 output\n"
           "frames at most; reading an input file adds its pixels as the file stores them.\n"
           "\n"
           "Each file is written beside its final name, checked and flushed, and renamed\n"
           "into place once complete; on any failure or interrupt no partial file is left\n"
           "and an existing file of that name is kept. Exit codes: see 'velkorramp --help'.\n";
}

std::string params_help()
{
    return "Usage: velkorramp params [options]\n"
           "\n"
           "Lists the thirteen controls as the module declares them in parameter setup\n"
           "(index, name, type, default, valid and slider ranges, choices), the value each\n"
           "has at --frame N with the controls given (constant or keyed VALUE@FRAME,...,\n"
           "as for render), and whether the module's own UI update enables each there.\n"
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
    FrameRate rate;
    if (const std::string* text = options.find("--fps")) rate = parse_frame_rate("--fps", *text);
    int frame = 1;
    if (const std::string* text = options.find("--frame")) {
        const FrameRange one = parse_frames("--frame", *text, rate);
        if (one.count() != 1) usage_error("--frame: \"" + *text + "\" is not one frame; use a whole number, e.g. 12");
        frame = one.first;
    }

    EffectRun run(RunSettings{module_path(options), size.width, size.height});
    simhost::Session& session = run.session();
    session.set_frame_rate(rate.num, rate.den);
    apply_controls(run, options);
    session.set_current_frame(frame);
    run.update_params_ui();

    std::string settings;
    for (const char* name : kUiDeciders) {
        const char* control = find_control_option(name)->control;
        const int index = session.find_param(control);
        if (index < 0) continue;
        const simhost::ParamInfo& p = *session.param(index);
        const int value = session.host().param_records()[static_cast<std::size_t>(index)].u.pd.value;
        const bool known = value >= 1 && value <= static_cast<int>(p.choices.size());
        settings += (settings.empty() ? "" : ", ") + p.name + " \"" +
                    (known ? p.choices[static_cast<std::size_t>(value - 1)] : std::to_string(value)) + "\"";
    }
    out << session.params().size() << " controls declared by " << module_path(options).string() << "\n"
        << "values and enabled states at frame " << frame << " (" << frame_rate_text(rate)
        << " frames a second) for " << settings << "; layer " << size.width << "x" << size.height << "\n";
    const simhost::KeyTime now = session.frame_time(frame);
    for (const simhost::ParamInfo& p : session.params()) {
        const ControlOption* option = option_for_control(p.name);
        const bool keyed = !session.host().keys(p.index).empty();
        out << "\n"
            << p.index << "  " << p.name << "  (" << simhost::param_type_name(p.type) << ", "
            << (option != nullptr ? std::string(option->option) + " " + value_form(p.type) : std::string("no option"))
            << ")\n"
            << "    default  " << default_text(p, size.width, size.height) << "\n"
            << "    value    " << value_text(p, session.value_at(p.index, now)) << (keyed ? " (keyed)" : "") << "\n"
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
    FileSequence output;  // a name per frame
    OutputFormat format;
    std::optional<FileSequence> input;
    SizeValue size{1920, 1080};  // the solid layer's, or the input file's once read
    Rgba8 fill{0, 0, 0, 255};
    std::optional<int> depth;  // --depth, else the input file's, else 8
    int threads = 1;
    Downsample downsample;
    int origin_x = 0;
    int origin_y = 0;
    std::optional<MemoryBudget> memory_limit;  // --memory-limit, else the machine's
    FrameRate rate;
    FrameRange frames;
    int writers = 1;
    bool verbose = false;
    bool quiet = false;
};

// Everything the command line alone can refuse is refused here, before any work.
RenderRequest parse_render_request(const ParsedOptions& options)
{
    RenderRequest request;
    request.module = module_path(options);
    const std::string* output_text = options.find("--output");
    if (output_text == nullptr) usage_error("render needs an output file: -o FILE; see velkorramp render --help");
    request.output = FileSequence("--output", fs::path(*output_text));
    request.format = output_format_for(request.output.pattern());
    const std::string* input_text = options.find("--input");
    if (input_text != nullptr && (options.has("--size") || options.has("--fill"))) {
        usage_error("--input gives the layer; --size and --fill are for a solid layer instead");
    }
    if (input_text != nullptr) request.input = FileSequence("--input", fs::path(*input_text));
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
    if (const std::string* text = options.find("--fps")) request.rate = parse_frame_rate("--fps", *text);
    if (const std::string* text = options.find("--frames")) request.frames = parse_frames("--frames", *text, request.rate);
    if (request.frames.count() > 1 && !request.output.numbered()) {
        usage_error("--output: \"" + request.output.pattern().string() + "\" names one file, and " +
                    frames_text(request.frames) + " are " + std::to_string(request.frames.count()) +
                    " frames; put the frame number in the name: # (4 digits) or %04d, e.g. ramp.#.png");
    }
    request.writers = default_writers();
    if (const std::string* text = options.find("--writers")) request.writers = parse_writers("--writers", *text);
    // More writers than frames would only wait.
    request.writers = std::min(request.writers, request.frames.count());
    request.verbose = options.has("--verbose");
    request.quiet = options.has("--quiet");
    if (request.depth) check_format_holds(request.format, *request.depth);
    check_output_place(request.output.name(request.frames.first));
    return request;
}

// An input file's size against the layer's: every frame of an input sequence is
// the layer, and a layer has one size.
void check_layer_size(const InputFile& file, const fs::path& path, int frame, const SizeValue& layer)
{
    if (file.width() == layer.width && file.height() == layer.height) return;
    fail(ExitCode::input, "cannot use input \"" + path.string() + "\" for frame " + std::to_string(frame) + ": it is " +
                              std::to_string(file.width()) + "x" + std::to_string(file.height()) +
                              ", and the sequence's first frame " + std::to_string(layer.width) + "x" +
                              std::to_string(layer.height) + "; every frame of an input sequence has one size");
}

// The input world of a frame from an open input file.
std::unique_ptr<simhost::World> layer_from(InputFile& file, const RenderRequest& request, int depth)
{
    const LayerImage image = file.read();
    return std::make_unique<simhost::World>(
        layer_world(image, depth, request.downsample, request.origin_x, request.origin_y));
}

// The input world of a solid layer.
std::unique_ptr<simhost::World> solid_layer(const RenderRequest& request, int depth)
{
    simhost::WorldSpec spec;
    spec.width = downsampled_side(request.size.width, request.downsample.x);
    spec.height = downsampled_side(request.size.height, request.downsample.y);
    spec.format = simhost::argb_format_for_depth(depth);
    spec.origin_x = request.origin_x;
    spec.origin_y = request.origin_y;
    auto world = std::make_unique<simhost::World>(spec);
    const Rgba8& fill = request.fill;
    world->fill(simhost::ColorF{fill.alpha / 255.0, fill.red / 255.0, fill.green / 255.0, fill.blue / 255.0});
    return world;
}

// Every frame has the same size: the layer's, downsampled.
std::string report_text(const RenderRequest& request, const FrameFile& file, const FramePlan& frame, int bands)
{
    const Downsample& downsample = request.downsample;
    const std::string which =
        request.frames.count() > 1 ? " (frame " + std::to_string(file.frame) + ")" : std::string();
    return "rendered " + file.path.string() + which + ": " + std::to_string(frame.width) + "x" +
           std::to_string(frame.height) + ", " + std::to_string(frame.depth) + "-bit, from a " +
           std::to_string(request.size.width) + "x" + std::to_string(request.size.height) + " layer at downsample " +
           std::to_string(downsample.x.num) + "/" + std::to_string(downsample.x.den) + "," +
           std::to_string(downsample.y.num) + "/" + std::to_string(downsample.y.den) + "; host threads " +
           std::to_string(request.threads) + ", bands " + std::to_string(bands) + "; module " +
           request.module.string() + "\n";
}

// Renders the request's frames into their files (render_pipeline.h). The frames
// are weighed against the memory budget before any pixel buffer exists. Notes
// on stderr each control that the module disables under the first frame's
// settings.
void render_frames(RenderRequest& request, const ParsedOptions& options, FramePlan& plan, std::ostream& out,
                   std::ostream& err)
{
    const FrameRange& frames = request.frames;
    const bool input_sequence = request.input && request.input->numbered() && frames.count() > 1;
    std::optional<InputFile> file;
    if (request.input) {
        // A missing frame is found before any is rendered.
        if (input_sequence) {
            for (int i = 0; i < frames.count(); ++i) {
                const fs::path path = request.input->name(frames.frame(i));
                std::error_code ec;
                if (!fs::exists(path, ec)) {
                    fail(ExitCode::input, "cannot read input \"" + path.string() + "\" for frame " +
                                              std::to_string(frames.frame(i)) + ": " +
                                              system_reason(ec ? ec.value() : ENOENT));
                }
            }
        }
        file.emplace(request.input->name(frames.first));
        request.size = SizeValue{file->width(), file->height()};
        if (!request.depth) request.depth = file->depth();
        plan.from_file = true;
        plan.file_rgba_bytes = file->rgba_bytes();
        plan.file_band_bytes = file->band_bytes();
    }
    const int depth = request.depth.value_or(8);
    check_format_holds(request.format, depth);
    plan.width = downsampled_side(request.size.width, request.downsample.x);
    plan.height = downsampled_side(request.size.height, request.downsample.y);
    plan.depth = depth;
    plan.writers = request.writers;
    plan.outputs_held = std::min(request.writers + 1, frames.count());
    plan.input_per_frame = input_sequence;
    check_frame_fits(plan, request.memory_limit ? *request.memory_limit : machine_memory_budget());
    std::unique_ptr<simhost::World> input = file ? layer_from(*file, request, depth) : solid_layer(request, depth);
    file.reset();

    EffectRun run(RunSettings{request.module, request.size.width, request.size.height});
    simhost::Session& session = run.session();
    session.set_frame_rate(request.rate.num, request.rate.den);
    apply_controls(run, options);
    session.set_current_frame(frames.first);
    run.update_params_ui();
    for (const auto& [name, value] : options.all()) {
        const ControlOption* control = find_control_option(name);
        if (control == nullptr) continue;
        const int index = session.find_param(control->control);
        if (run.disabled(index)) {
            err << "velkorramp: note: \"" << control->control << "\" is disabled under these settings, so " << name
                << " has no effect\n";
        }
    }
    err.flush();

    Progress progress(frames.count(), progress_mode(request.quiet, request.verbose, ::isatty(STDERR_FILENO) != 0,
                                                    frames.count()));
    int bands = 0;
    FrameWriters writers(
        request.writers, frames.count(),
        [&](const simhost::World& world, const fs::path& path, const std::function<void()>& before_commit) {
            write_frame(world, path, request.format, before_commit);
        },
        [&](const FrameFile& written) {
            progress.frame_done();
            if (request.verbose) progress.print(out, report_text(request, written, plan, bands));
        });
    for (int i = 0; i < frames.count(); ++i) {
        const FrameFile frame{i, frames.frame(i), request.output.name(frames.frame(i))};
        try {
            if (input_sequence && i > 0) {
                // The last frame's input goes before the next one comes.
                const fs::path path = request.input->name(frame.frame);
                input.reset();
                InputFile next(path);
                check_layer_size(next, path, frame.frame, request.size);
                input = layer_from(next, request, depth);
            }
            std::unique_ptr<simhost::World> output = writers.next_world(input->world_spec());
            if (!output) break;
            session.set_current_frame(frame.frame);
            simhost::RenderOptions render;
            render.input_world = input.get();
            render.output_world = output.get();
            render.threads = request.threads;
            const Downsample& downsample = request.downsample;
            render.downsample_x = PF_RationalScale{downsample.x.num, static_cast<A_u_long>(downsample.x.den)};
            render.downsample_y = PF_RationalScale{downsample.y.num, static_cast<A_u_long>(downsample.y.den)};
            const simhost::RenderResult result = run.render(render);
            if (i == 0) bands = result.iterations.empty() ? 0 : result.iterations.front().iterations;
            writers.write(frame, std::move(output));
        } catch (const Failure& failure) {
            writers.fail(frame, failure.code(), failure.what());
            break;
        } catch (const std::bad_alloc&) {
            writers.fail(frame, ExitCode::memory, "out of memory: " + frame_need_text(plan));
            break;
        }
    }
    try {
        writers.finish();
    } catch (...) {
        progress.finish();
        throw;
    }
    progress.finish();
    run.finish();
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
        render_frames(request, options, plan, out, err);
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
