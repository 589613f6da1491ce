#include "cli/commands.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "cli/control_values.h"
#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/file_metadata.h"
#include "cli/frame_sequence.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/stdout_buffer.h"
#include "cli/progress.h"
#include "cli/render_pipeline.h"
#include "cli/values.h"
#include "host/project_version.h"
#include "cli/write_settings.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

constexpr OptionSpec kHelp{"--help", "-h", nullptr, "show this help"};
constexpr OptionSpec kModule{"--module", nullptr, "PATH",
                             "the effect module to load (default: the one built with the tool)"};

constexpr std::array<OptionSpec, 19> kRenderFrameOptions{{
    {"--output", "-o", "FILE",
     "the frame to write, in the format its extension names (- for stdout)"},
    {"--input", nullptr, "FILE",
     "the input layer: any image OpenImageIO reads (- for standard input)"},
    {"--size", nullptr, "WxH", "a solid input layer of this size (default 1920x1080)"},
    {"--fill", nullptr, "COLOR",
     "the solid's colour: #RGB, #RRGGBB[AA], R,G,B[,A] 0-255 or 0.0-1.0 (default black)"},
    {"--depth", nullptr, "8|16|32", "the project depth (default: the input file's, else 8)"},
    {"--output-depth", nullptr, "8|16|half|float",
     "the file's samples (default: the frame's, or the nearest held)"},
    {"--alpha", nullptr, "straight|premultiplied",
     "the file's alpha convention, for TIFF (default: the format's own)"},
    {"--compression", nullptr, "NAME[:LEVEL]",
     "the writer's compression: zip:9 (PNG), lzw (TIFF), piz, dwaa:45 (EXR)"},
    {"--input-colorspace", nullptr, "NAME",
     "the colour space the input file is in, whatever it says"},
    {"--working-space", nullptr, "NAME",
     "the colour space the frame is computed in (default: the input's, sRGB)"},
    {"--output-colorspace", nullptr, "NAME",
     "convert the frame to this colour space on writing (default: none)"},
    {"--format", nullptr, "EXT", "the format for -o - (png or tif; default png)"},
    {"--threads", nullptr, "N", "host render threads, 1-256 (default: all cores)"},
    {"--downsample", nullptr, "N/D[,N/D]", "proxy resolution, horizontal[,vertical] (default 1/1)"},
    {"--origin", nullptr, "X,Y",
     "where the input's top-left pixel lies on the layer (default: its own; solid 0,0)"},
    {"--memory-limit", nullptr, "SIZE",
     "the memory a frame may take, e.g. 8G (default: what the machine has free)"},
    {"--verbose", "-v", nullptr,
     "print what was rendered: sizes, depth, control values, host bands, timings"},
    kModule,
    kHelp,
}};

// A sequence: its frames, their rate, the writers, and the progress display.
constexpr std::array<OptionSpec, 4> kSequenceOptions{{
    {"--frames", nullptr, "FIRST-LAST[xSTEP]",
     "the frames to render, or one frame N (default 1); several need # or %04d in -o"},
    {"--fps", nullptr, "RATE",
     "frames a second: 24, 30000/1001, 29.97 (default 24); keys are at frames of this rate"},
    {"--writers", nullptr, "N", "frames written at once, 1-16 (default: cores, at most 4)"},
    {"--quiet", "-q", nullptr, "no progress display"},
}};

// The three controls that decide which others are enabled.
constexpr std::array<const char*, 3> kUiDeciders{"--type", "--controlled-by", "--shape"};

std::vector<OptionSpec> render_specs()
{
    std::vector<OptionSpec> option_specs(kRenderFrameOptions.begin(), kRenderFrameOptions.end());
    option_specs.insert(option_specs.end(), kSequenceOptions.begin(), kSequenceOptions.end());
    for (const ControlOption& c : kControlOptions)
        option_specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
    return option_specs;
}

std::vector<OptionSpec> params_specs()
{
    std::vector<OptionSpec> option_specs{
        {"--size", nullptr, "WxH",
         "the layer size that point defaults are shown for (default 1920x1080)"},
        {"--input", nullptr, "FILE",
         "show point defaults for this image's layer (its display window)"},
        {"--frame", nullptr, "N", "the frame whose values are shown (default 1)"},
        {"--fps", nullptr, "RATE", "frames a second that keys are counted in (default 24)"},
        kModule,
        kHelp};
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
            text += "  " + std::string(option->option) + " " + value_form(p.type) + "\n      \"" +
                    p.name + "\", " + simhost::param_type_name(p.type) + ", default " +
                    default_text(p, 1920, 1080) + "\n      valid: " + valid_range_text(p) + "\n";
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
    "  --version [--module PATH]  print the tool's version and the module's\n"
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
           "before any downsampling, or percent of the layer (25%,50%); Length is in layer\n"
           "pixels; Direction in degrees clockwise from up; alphas in percent; colours\n"
           "#RGB, #RRGGBB or R,G,B 0-255, or R,G,B 0.0-1.0 with a decimal point.\n"
           "A choice is given by its number, its name with case, spaces and punctuation\n"
           "ignored (color-alpha, linear2), or a word only it contains (points, center).\n"
           "\n"
           "Depth: an 8-bit input file gives an 8-bit frame, 16-bit gives 16, half and\n"
           "float give 32, unless --depth says otherwise. The file's extension chooses its\n"
           "format (any OpenImageIO writes: .png .tif .exr .jpg .dpx .webp ...); it is\n"
           "written at the frame's depth, or the nearest the format holds, with a note.\n"
           "16-bit: the host's 0..32768 is written as round(v*65535/32768) and a 16-bit\n"
           "file is read as round(f*32768/65535); every host value survives the trip.\n"
           "\n"
           "Alpha: the host's colour is straight. PNG, TGA, WebP hold it straight; EXR,\n"
           "DPX, SGI, IFF, RLA premultiplied (colour under zero alpha is lost); TIFF either\n"
           "(--alpha), saying which; JPEG and other formats without alpha get the frame\n"
           "over black. Premultiplied inputs are divided by alpha as they are read.\n"
           "\n"
           "Colour: the frame is computed in the working space (the input's own, sRGB for\n"
           "a solid layer or a file that says nothing); control colours are its values.\n"
           "Inputs in another space are converted on reading; the file is tagged with the\n"
           "working space or converted (--output-colorspace), by OpenImageIO's colour\n"
           "management or the OpenColorIO config in $OCIO.\n"
           "\n"
           "Position: the layer is the input's display window; its pixels lie where its\n"
           "data window says (--origin moves them). EXR, DPX, TIFF and PNG record that\n"
           "position; other formats get the whole layer, transparent where it is empty.\n"
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
        return format_float(static_cast<float>(p.slider_min)) + " to " +
               format_float(static_cast<float>(p.slider_max));
    }
    return format_number(p.slider_min) + " to " + format_number(p.slider_max) +
           (p.shown_as_percent() ? " %" : "");
}

void apply_controls(EffectRun& run, const ParsedOptions& options)
{
    for (const auto& [name, value] : options.all()) {
        if (const ControlOption* control = find_control_option(name))
            apply_control(run.session(), *control, value);
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
    apply_controls(run, options);
    session.set_current_frame(frame);
    run.update_params_ui();

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
    WriteRequest write;   // write.output: the name with its frame number, if any
    FileSequence output;  // a name per frame
    std::optional<FileSequence> input;
    SizeValue size{1920, 1080};  // the solid layer's, or the input file's once read
    ColorValue fill{0, 0, 0, 1};
    std::optional<int> depth;  // --depth, else the input file's, else 8
    int threads = 1;
    Downsample downsample;
    std::optional<PointValue> origin;        // --origin, else the input's own
    std::optional<std::string> input_space;  // --input-colorspace
    std::optional<std::string> working_space;
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
    if (output_text == nullptr)
        usage_error("render needs an output file: -o FILE; see velkorramp render --help");
    request.write = parse_write_request(fs::path(*output_text),
                                        [&](std::string_view name) { return options.find(name); });
    if (options.has("--format") && *output_text != "-") {
        usage_error("--format is for -o - (standard output); a file's extension names its format");
    }
    request.output = FileSequence("--output", fs::path(*output_text));
    const std::string* input_text = options.find("--input");
    if (input_text != nullptr && (options.has("--size") || options.has("--fill"))) {
        usage_error("--input gives the layer; --size and --fill are for a solid layer instead");
    }
    if (input_text != nullptr) request.input = FileSequence("--input", fs::path(*input_text));
    if (const std::string* text = options.find("--size"))
        request.size = parse_size("--size", *text);
    if (const std::string* text = options.find("--fill"))
        request.fill = parse_color_value("--fill", *text, true);
    if (const std::string* text = options.find("--depth"))
        request.depth = parse_depth("--depth", *text);
    request.threads = static_cast<int>(
        std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{kMaxThreads}));
    if (const std::string* text = options.find("--threads"))
        request.threads = parse_threads("--threads", *text);
    if (const std::string* text = options.find("--downsample")) {
        request.downsample = parse_downsample("--downsample", *text);
    }
    if (const std::string* text = options.find("--origin")) {
        int x = 0;
        int y = 0;
        parse_origin("--origin", *text, x, y);
        request.origin = PointValue{static_cast<double>(x), static_cast<double>(y)};
    }
    if (const std::string* text = options.find("--working-space")) request.working_space = *text;
    if (const std::string* text = options.find("--input-colorspace")) {
        if (input_text == nullptr) {
            usage_error(
                "--input-colorspace is for an --input file; a solid layer's colour is in the working space");
        }
        request.input_space = *text;
    }
    if (const std::string* text = options.find("--memory-limit")) {
        request.memory_limit =
            MemoryBudget{parse_memory_size("--memory-limit", *text), "--memory-limit"};
    }
    if (const std::string* text = options.find("--fps"))
        request.rate = parse_frame_rate("--fps", *text);
    if (const std::string* text = options.find("--frames"))
        request.frames = parse_frames("--frames", *text, request.rate);
    if (request.frames.count() > 1 && !request.output.numbered()) {
        usage_error(
            "--output: \"" + request.output.pattern().string() + "\" names one file, and " +
            frames_text(request.frames) + " are " + std::to_string(request.frames.count()) +
            " frames; put the frame number in the name: # (4 digits) or %04d, e.g. ramp.#.png");
    }
    request.writers = default_writers();
    if (const std::string* text = options.find("--writers"))
        request.writers = parse_writers("--writers", *text);
    // More writers than frames would only wait.
    request.writers = std::min(request.writers, request.frames.count());
    request.verbose = options.has("--verbose");
    request.quiet = options.has("--quiet");
    if (request.write.output != "-") check_output_place(request.output.name(request.frames.first));
    return request;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string colour_text(const ColorValue& c)
{
    return format_number(c.red) + "," + format_number(c.green) + "," + format_number(c.blue) + "," +
           format_number(c.alpha);
}

// What a run's frames share: the layer's size and place, the depth, and the
// colour space the ramp is computed in.
struct RunLayer {
    int depth = 8;
    std::string working_space;
    int display_x = 0;  // the display window's own origin, at full resolution
    int display_y = 0;
    int data_width = 0;  // an input file's data window, which every frame keeps
    int data_height = 0;
};

// What a frame's file says about itself, and how long each step took; kept from
// the render until the frame's file has its name.
struct FrameRecord {
    FrameWindows windows;
    Provenance provenance;
    int width = 0;  // the frame rendered
    int height = 0;
    int bands = 0;  // the host's iterations for the first band split
    double read_seconds = 0;
    double render_seconds = 0;
    double write_seconds = 0;
};

// The colour space an input file is in: what --input-colorspace says, else what
// the file says, else sRGB, as the host takes a file that says nothing.
std::string input_space(const InputFile& file, const RenderRequest& request,
                        const ColourSpaces& spaces)
{
    if (request.input_space) return spaces.resolve("--input-colorspace", *request.input_space);
    return file.colour_space().empty() ? std::string("sRGB") : file.colour_space();
}

// An input sequence's frames are one layer: each must have the first frame's
// display and data window sizes.
void check_same_layer(const InputFile& file, int frame, const RenderRequest& request,
                      const RunLayer& layer)
{
    if (file.layer_width() == request.size.width && file.layer_height() == request.size.height &&
        file.width() == layer.data_width && file.height() == layer.data_height) {
        return;
    }
    fail(ExitCode::input,
         "cannot use input \"" + file.name() + "\" for frame " + std::to_string(frame) +
             ": it is " + std::to_string(file.layer_width()) + "x" +
             std::to_string(file.layer_height()) + " with " + std::to_string(file.width()) + "x" +
             std::to_string(file.height()) + " pixels, and the sequence's first frame " +
             std::to_string(request.size.width) + "x" + std::to_string(request.size.height) +
             " with " + std::to_string(layer.data_width) + "x" + std::to_string(layer.data_height) +
             "; every frame of an input sequence has one size");
}

// Reads an open input file as the frame's input world, where --origin or the
// file puts it; `record` gets the frame's position.
std::unique_ptr<simhost::World> layer_from(InputFile& file, const RenderRequest& request,
                                           const RunLayer& layer, const ColourSpaces& spaces,
                                           FrameRecord& record)
{
    const ColourSpaces::Conversion conversion =
        spaces.conversion(input_space(file, request, spaces), layer.working_space,
                          "input \"" + file.name() + "\"");
    const int origin_x = request.origin ? static_cast<int>(request.origin->x) : file.origin_x();
    const int origin_y = request.origin ? static_cast<int>(request.origin->y) : file.origin_y();
    auto world = std::make_unique<simhost::World>(
        layer_world(file.read(conversion), layer.depth, request.downsample, origin_x, origin_y));
    record.windows.origin_x = world->world_spec().origin_x;
    record.windows.origin_y = world->world_spec().origin_y;
    return world;
}

// The input world of a solid layer.
std::unique_ptr<simhost::World> solid_layer(const RenderRequest& request, int depth)
{
    simhost::WorldSpec spec;
    spec.width = downsampled_side(request.size.width, request.downsample.x);
    spec.height = downsampled_side(request.size.height, request.downsample.y);
    spec.format = simhost::argb_format_for_depth(depth);
    spec.origin_x = request.origin ? downsampled_position(static_cast<int>(request.origin->x),
                                                          request.downsample.x)
                                   : 0;
    spec.origin_y = request.origin ? downsampled_position(static_cast<int>(request.origin->y),
                                                          request.downsample.y)
                                   : 0;
    auto world = std::make_unique<simhost::World>(spec);
    const ColorValue& fill = request.fill;
    world->fill(simhost::ColorF{fill.alpha, fill.red, fill.green, fill.blue});
    return world;
}

// What -v prints for a written frame: what was rendered; for the run's first
// frame also how it was written, the controls' values and the time each step
// took (a sequence's later frames are one line each; their files record their
// own values).
std::string report_text(const RenderRequest& request, const FrameFile& file, const FramePlan& plan,
                        const WriteSettings& settings, const RunLayer& layer,
                        const FrameRecord& record)
{
    const Downsample& downsample = request.downsample;
    const std::string which =
        request.frames.count() > 1 ? " (frame " + std::to_string(file.frame) + ")" : std::string();
    std::string text =
        "rendered " + file.path.string() + which + ": " + std::to_string(record.width) + "x" +
        std::to_string(record.height) + ", " + std::to_string(plan.depth) + "-bit, from " +
        article_for(request.size.width) + " " + std::to_string(request.size.width) + "x" +
        std::to_string(request.size.height) + " layer at downsample " +
        std::to_string(downsample.x.num) + "/" + std::to_string(downsample.x.den) + "," +
        std::to_string(downsample.y.num) + "/" + std::to_string(downsample.y.den) +
        "; host threads " + std::to_string(request.threads) + ", bands " +
        std::to_string(record.bands) + "; module " + request.module.string() + "\n";
    if (file.index > 0) return text;
    text += "written as " + settings.format.name + ", " + depth_text(settings.depth) + ", " +
            (settings.format.has_alpha()
                 ? (settings.premultiplied ? "premultiplied alpha" : "straight alpha")
                 : (settings.premultiplied ? "no alpha (over black)" : "no alpha")) +
            ", colour space " + settings.colour_space + " (working space " + layer.working_space +
            ")" +
            (settings.compression ? ", compression " + settings.compression->attribute()
                                  : std::string()) +
            "\n";
    for (const ControlValue& c : record.provenance.controls) {
        text += "  " + c.control + (c.option.empty() ? "" : " (" + c.option + ")") + ": " +
                c.value + "\n";
    }
    char timings[128];
    std::snprintf(timings, sizeof timings, "times: read %.3f s, render %.3f s, write %.3f s\n",
                  record.read_seconds, record.render_seconds, record.write_seconds);
    return text + timings;
}

// Renders the request's frames into their files (render_pipeline.h). The frames
// are weighed against the memory budget before any pixel buffer exists. Notes
// on stderr each control that the module disables under the first frame's
// settings, and each choice the writer makes for the file, once.
void render_frames(RenderRequest& request, const ParsedOptions& options, FramePlan& plan,
                   const ColourSpaces& spaces, std::ostream& out, std::ostream& err)
{
    const FrameRange& frames = request.frames;
    const bool input_sequence = request.input && request.input->numbered() && frames.count() > 1;
    const auto read_start = std::chrono::steady_clock::now();
    RunLayer layer;
    layer.working_space = request.working_space
                              ? spaces.resolve("--working-space", *request.working_space)
                              : std::string("sRGB");
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
        request.size = SizeValue{file->layer_width(), file->layer_height()};
        if (!request.depth) request.depth = file->depth();
        const std::string file_space = input_space(*file, request, spaces);
        if (!request.working_space) {
            const std::string known = spaces.known(file_space);
            layer.working_space = known.empty() ? file_space : known;
        }
        layer.display_x = file->display_x();
        layer.display_y = file->display_y();
        layer.data_width = file->width();
        layer.data_height = file->height();
        plan.from_file = true;
        plan.file_rgba_bytes = file->rgba_bytes(file_space != layer.working_space);
        plan.file_band_bytes = file->band_bytes();
    }
    layer.depth = request.depth.value_or(8);
    plan.width = downsampled_side(file ? file->width() : request.size.width, request.downsample.x);
    plan.height =
        downsampled_side(file ? file->height() : request.size.height, request.downsample.y);
    plan.depth = layer.depth;
    plan.writers = request.writers;
    plan.outputs_held = std::min(request.writers + 1, frames.count());
    plan.input_per_frame = input_sequence;
    check_frame_fits(plan, request.memory_limit ? *request.memory_limit : machine_memory_budget());

    // The frame's place on the layer, at the frame's (proxy) scale.
    FrameRecord first;
    first.windows.display_x = downsampled_position(layer.display_x, request.downsample.x);
    first.windows.display_y = downsampled_position(layer.display_y, request.downsample.y);
    first.windows.display_width = downsampled_side(request.size.width, request.downsample.x);
    first.windows.display_height = downsampled_side(request.size.height, request.downsample.y);
    std::unique_ptr<simhost::World> input;
    if (file) {
        input = layer_from(*file, request, layer, spaces, first);
    } else {
        input = solid_layer(request, layer.depth);
        first.windows.origin_x = input->world_spec().origin_x;
        first.windows.origin_y = input->world_spec().origin_y;
    }
    file.reset();
    first.read_seconds = seconds_since(read_start);

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
            err << "velkorramp: note: \"" << control->control
                << "\" is disabled under these settings, so " << name << " has no effect\n";
        }
    }

    Provenance provenance;
    provenance.module =
        request.module.filename().string() + " " + module_version_text(run.module_version());
    provenance.layer =
        request.input
            ? "\"" +
                  (request.input->pattern() == "-" ? std::string("standard input")
                                                   : request.input->pattern().string()) +
                  "\" (" + std::to_string(request.size.width) + "x" +
                  std::to_string(request.size.height) + ")"
            : std::to_string(request.size.width) + "x" + std::to_string(request.size.height) +
                  " solid layer of " + colour_text(request.fill);
    // How every frame is written, decided (and noted on stderr) once, before the
    // writers take stderr for the image library's messages.
    std::optional<WriteSettings> settings;
    // Records of the frames between their render and their file's name.
    std::mutex records_mutex;
    std::map<int, FrameRecord> records;
    const auto record_of = [&](int index) -> FrameRecord& {
        const std::lock_guard<std::mutex> lock(records_mutex);
        return records.at(index);
    };
    std::ostream& report = request.write.output == "-" ? err : out;
    err.flush();

    Progress progress(frames.count(), progress_mode(request.quiet, request.verbose,
                                                    ::isatty(STDERR_FILENO) != 0, frames.count()));
    FrameWriters writers(
        request.writers, frames.count(),
        [&](const simhost::World& world, const FrameFile& frame_file,
            const std::function<void()>& before_commit) {
            const auto write_start = std::chrono::steady_clock::now();
            FrameRecord& record = record_of(frame_file.index);
            WriteSettings frame_settings = *settings;
            frame_settings.windows = record.windows;
            frame_settings.provenance = record.provenance;
            write_frame(world, frame_file.path, frame_settings, before_commit);
            const double seconds = seconds_since(write_start);
            const std::lock_guard<std::mutex> lock(records_mutex);
            record.write_seconds = seconds;
        },
        [&](const FrameFile& written) {
            progress.frame_done();
            FrameRecord record;
            {
                const std::lock_guard<std::mutex> lock(records_mutex);
                record = std::move(records.at(written.index));
                records.erase(written.index);
            }
            if (request.verbose)
                progress.print(report,
                               report_text(request, written, plan, *settings, layer, record));
        });
    for (int i = 0; i < frames.count(); ++i) {
        const FrameFile frame{i, frames.frame(i),
                              request.write.output == "-" ? fs::path("-")
                                                          : request.output.name(frames.frame(i))};
        // Every frame lies where the first does, unless its own input file moves it.
        FrameRecord record = first;
        if (i > 0) record.read_seconds = 0;
        try {
            if (input_sequence && i > 0) {
                // The last frame's input goes before the next one comes.
                const auto frame_read_start = std::chrono::steady_clock::now();
                input.reset();
                InputFile next(request.input->name(frame.frame));
                check_same_layer(next, frame.frame, request, layer);
                input = layer_from(next, request, layer, spaces, record);
                record.read_seconds = seconds_since(frame_read_start);
            }
            std::unique_ptr<simhost::World> output = writers.next_world(input->world_spec());
            if (!output) break;
            const auto render_start = std::chrono::steady_clock::now();
            session.set_current_frame(frame.frame);
            simhost::RenderOptions render;
            render.input_world = input.get();
            render.output_world = output.get();
            render.threads = request.threads;
            const Downsample& downsample = request.downsample;
            render.downsample_x =
                PF_RationalScale{downsample.x.num, static_cast<A_u_long>(downsample.x.den)};
            render.downsample_y =
                PF_RationalScale{downsample.y.num, static_cast<A_u_long>(downsample.y.den)};
            const simhost::RenderResult result = run.render(render);
            record.bands = result.iterations.empty() ? 0 : result.iterations.front().iterations;
            record.width = output->width();
            record.height = output->height();
            record.render_seconds = seconds_since(render_start);
            record.provenance = provenance;
            record.provenance.controls = control_values(session, session.frame_time(frame.frame));
            if (!settings) {
                settings = write_settings_for(request.write, *output, record.windows,
                                              layer.working_space, spaces, record.provenance, err);
                err.flush();
            }
            {
                const std::lock_guard<std::mutex> lock(records_mutex);
                records[i] = std::move(record);
            }
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
    const ColourSpaces spaces;
    if (request.working_space) spaces.resolve("--working-space", *request.working_space);
    if (request.input_space) spaces.resolve("--input-colorspace", *request.input_space);
    if (request.write.colour_space)
        spaces.resolve("--output-colorspace", *request.write.colour_space);
    FramePlan plan;
    try {
        render_frames(request, options, plan, spaces, out, err);
    } catch (const std::bad_alloc&) {
        // The budget is what was free when the frame was weighed; others may have
        // taken it since, or --memory-limit allowed more than there is.
        if (plan.width == 0) throw;
        fail(ExitCode::memory, "out of memory: " + frame_need_text(plan));
    }
    return 0;
}

// A failure is one line whatever a path or value held: control characters are
// shown escaped ("\n", "\x1b").
std::string printable(std::string_view text)
{
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\t') {
            line += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            line += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
        } else {
            line += c;
        }
    }
    return line;
}

// Output to stdout is a result like any other: a full disk or a closed pipe is
// a failure, not a silent success.
void check_written(std::ostream& out)
{
    out.flush();
    if (out) return;
    const auto* buffer = dynamic_cast<const DescriptorBuffer*>(out.rdbuf());
    const int error_number = buffer != nullptr ? buffer->error_number() : 0;
    fail(ExitCode::output,
         "cannot write to standard output: " +
             (error_number != 0 ? system_reason(error_number) : std::string("write error")));
}

// The host's packed version word as people write it: 1.0.0 (build 1, release).
std::string version_word_text(A_u_long word)
{
    constexpr const char* kStages[] = {"develop", "alpha", "beta", "release"};
    const A_u_long major = (word >> 26 & 0xFu) << 3 | (word >> 19 & 0x7u);
    return std::to_string(major) + "." + std::to_string(word >> 15 & 0xFu) + "." +
           std::to_string(word >> 11 & 0xFu) + " (build " + std::to_string(word & 0x1FFu) + ", " +
           kStages[word >> 9 & 0x3u] + ")";
}

// The tool's own version, then the one the module reports in global setup: the
// word the host reads, which is all a module built elsewhere can be asked.
int version_command(std::span<const std::string> args, std::ostream& out)
{
    const ParsedOptions options = parse_options(args, kAboutSpecs, "--version");
    if (options.has("--help")) {
        out << "Usage: velkorramp --version [--module PATH]\n\nPrints the tool's version and the version the "
               "module reports.\n\n"
            << options_help(kAboutSpecs);
        return 0;
    }
    out << "velkorramp " << velkor::kProjectVersionText << " (build "
        << velkor::kProjectVersionBuild << ")" << std::endl;
    const fs::path module = module_path(options);
    simhost::Session session;
    if (const simhost::Status st = session.load(module.string()); !st) {
        fail(ExitCode::module_load,
             st.message.find(module.string()) != std::string::npos
                 ? "cannot load module: " + st.message
                 : "cannot load module \"" + module.string() + "\": " + st.message);
    }
    const PF_Err err = session.global_setup();
    const A_u_long word = session.last_out_data().my_version;
    const bool multi_frame =
        (session.last_out_data().out_flags2 & PF_OutFlag2_SUPPORTS_THREADED_RENDERING) != 0;
    if (err != PF_Err_NONE) {
        fail(ExitCode::module_error,
             "the module failed " + simhost::command_name(PF_Cmd_GLOBAL_SETUP) + " with " +
                 simhost::error_name(err) + " (" + std::to_string(err) + ")");
    }
    session.global_setdown();
    out << "module " << module.string() << ": " << version_word_text(word)
        << (multi_frame ? ", multi-frame rendering" : "") << "\n";
    return 0;
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
        } else if (command == "--version" || command == "version") {
            code = version_command(rest, out);
        } else {
            usage_error("unknown command \"" + command +
                        "\"; use render, params or about (see velkorramp --help)");
        }
        check_written(out);
        return code;
    } catch (const Failure& failure) {
        err << "velkorramp: " << printable(failure.what()) << "\n";
        return static_cast<int>(failure.code());
    } catch (const std::bad_alloc&) {
        err << "velkorramp: out of memory\n";
        return static_cast<int>(ExitCode::memory);
    } catch (const std::exception& e) {
        err << "velkorramp: unexpected failure: " << printable(e.what()) << "\n";
        return static_cast<int>(ExitCode::internal);
    }
}

}  // namespace velkorramp
