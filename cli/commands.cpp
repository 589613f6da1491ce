#include "cli/commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <thread>

#include "cli/control_values.h"
#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/file_metadata.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "cli/output_file.h"
#include "cli/stdout_buffer.h"
#include "cli/values.h"
#include "host/project_version.h"
#include "cli/write_settings.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

constexpr OptionSpec kHelp{"--help", "-h", nullptr, "show this help"};
constexpr OptionSpec kModule{"--module", nullptr, "PATH", "the effect module to load (default: the one built with the tool)"};

constexpr std::array<OptionSpec, 19> kRenderFrameOptions{{
    {"--output", "-o", "FILE", "the frame to write, in the format its extension names (- for stdout)"},
    {"--input", nullptr, "FILE", "the input layer: any image OpenImageIO reads (- for standard input)"},
    {"--size", nullptr, "WxH", "a solid input layer of this size (default 1920x1080)"},
    {"--fill", nullptr, "COLOR", "the solid's colour: #RGB, #RRGGBB[AA], R,G,B[,A] 0-255 or 0.0-1.0 (default black)"},
    {"--depth", nullptr, "8|16|32", "the project depth (default: the input file's, else 8)"},
    {"--output-depth", nullptr, "8|16|half|float", "the file's samples (default: the frame's, or the nearest held)"},
    {"--alpha", nullptr, "straight|premultiplied", "the file's alpha convention, for TIFF (default: the format's own)"},
    {"--compression", nullptr, "NAME[:LEVEL]", "the writer's compression: zip:9 (PNG), lzw (TIFF), piz, dwaa:45 (EXR)"},
    {"--input-colorspace", nullptr, "NAME", "the colour space the input file is in, whatever it says"},
    {"--working-space", nullptr, "NAME", "the colour space the frame is computed in (default: the input's, sRGB)"},
    {"--output-colorspace", nullptr, "NAME", "convert the frame to this colour space on writing (default: none)"},
    {"--format", nullptr, "EXT", "the format for -o - (png or tif; default png)"},
    {"--threads", nullptr, "N", "host render threads, 1-256 (default: all cores)"},
    {"--downsample", nullptr, "N/D[,N/D]", "proxy resolution, horizontal[,vertical] (default 1/1)"},
    {"--origin", nullptr, "X,Y", "where the input's top-left pixel lies on the layer (default: its own; solid 0,0)"},
    {"--memory-limit", nullptr, "SIZE", "the memory a frame may take, e.g. 8G (default: what the machine has free)"},
    {"--verbose", "-v", nullptr, "print what was rendered: sizes, depth, control values, host bands, timings"},
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
        {"--size", nullptr, "WxH", "the layer size that point defaults are shown for (default 1920x1080)"},
        {"--input", nullptr, "FILE", "show point defaults for this image's layer (its display window)"},
        kModule,
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
               "Renders one frame as the host does: global setup, parameter setup, the\n"
               "control values, UI update, smart pre-render, smart render, global set-down.\n"
               "\n"
               "Layer and frame:\n") +
           options_help(kRenderFrameOptions) +
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
    if (const std::string* text = options.find("--input")) {
        if (options.has("--size")) usage_error("--input gives the layer's size; leave out --size");
        const InputFile file{fs::path(*text)};
        size = SizeValue{file.layer_width(), file.layer_height()};
    }

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
    WriteRequest write;
    std::optional<fs::path> input;
    SizeValue size{1920, 1080};  // the solid layer's, or the input file's once read
    ColorValue fill{0, 0, 0, 1};
    std::optional<int> depth;  // --depth, else the input file's, else 8
    int threads = 1;
    Downsample downsample;
    std::optional<PointValue> origin;  // --origin, else the input's own
    std::optional<std::string> input_space;  // --input-colorspace
    std::optional<std::string> working_space;
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
    request.write =
        parse_write_request(fs::path(*output_text), [&](std::string_view name) { return options.find(name); });
    if (options.has("--format") && *output_text != "-") {
        usage_error("--format is for -o - (standard output); a file's extension names its format");
    }
    const std::string* input_text = options.find("--input");
    if (input_text != nullptr && (options.has("--size") || options.has("--fill"))) {
        usage_error("--input gives the layer; --size and --fill are for a solid layer instead");
    }
    if (input_text != nullptr) request.input = fs::path(*input_text);
    if (const std::string* text = options.find("--size")) request.size = parse_size("--size", *text);
    if (const std::string* text = options.find("--fill")) request.fill = parse_color_value("--fill", *text, true);
    if (const std::string* text = options.find("--depth")) request.depth = parse_depth("--depth", *text);
    request.threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{kMaxThreads}));
    if (const std::string* text = options.find("--threads")) request.threads = parse_threads("--threads", *text);
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
            usage_error("--input-colorspace is for an --input file; a solid layer's colour is in the working space");
        }
        request.input_space = *text;
    }
    if (const std::string* text = options.find("--memory-limit")) {
        request.memory_limit = MemoryBudget{parse_memory_size("--memory-limit", *text), "--memory-limit"};
    }
    request.verbose = options.has("--verbose");
    if (request.write.output != "-") check_output_place(request.write.output);
    return request;
}

struct RenderedFrame {
    simhost::World output;
    int depth = 8;
    int bands = 0;  // the host's iterations for the first band split
    FrameWindows windows;
    std::string working_space;
    Provenance provenance;
    double read_seconds = 0;
    double render_seconds = 0;
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string colour_text(const ColorValue& c)
{
    return format_number(c.red) + "," + format_number(c.green) + "," + format_number(c.blue) + "," +
           format_number(c.alpha);
}

// Loads the input, sets the controls as given, and renders one frame. The frame
// is weighed against the memory budget before any pixel buffer exists. Notes on
// stderr each control that the module disables under the chosen settings.
RenderedFrame render_frame(RenderRequest& request, const ParsedOptions& options, FramePlan& plan,
                           const ColourSpaces& spaces, std::ostream& err)
{
    const auto read_start = std::chrono::steady_clock::now();
    RenderedFrame rendered;
    std::optional<LayerImage> image;
    std::optional<InputFile> file;
    ColourSpaces::Conversion input_conversion;
    const Downsample& downsample = request.downsample;
    int origin_x = request.origin ? static_cast<int>(request.origin->x) : 0;
    int origin_y = request.origin ? static_cast<int>(request.origin->y) : 0;
    int display_x = 0;
    int display_y = 0;
    rendered.working_space =
        request.working_space ? spaces.resolve("--working-space", *request.working_space) : std::string("sRGB");
    if (request.input) {
        file.emplace(*request.input);
        request.size = SizeValue{file->layer_width(), file->layer_height()};
        if (!request.depth) request.depth = file->depth();
        // A file that says nothing is sRGB, as the host takes it.
        std::string file_space = file->colour_space().empty() ? std::string("sRGB") : file->colour_space();
        if (request.input_space) file_space = spaces.resolve("--input-colorspace", *request.input_space);
        if (!request.working_space) {
            const std::string known = spaces.known(file_space);
            rendered.working_space = known.empty() ? file_space : known;
        }
        input_conversion = spaces.conversion(file_space, rendered.working_space, "input \"" + file->name() + "\"");
        if (!request.origin) {
            origin_x = file->origin_x();
            origin_y = file->origin_y();
        }
        display_x = file->display_x();
        display_y = file->display_y();
        plan.from_file = true;
        plan.file_rgba_bytes = file->rgba_bytes(!input_conversion.empty());
        plan.file_band_bytes = file->band_bytes();
    }
    const int frame_depth = request.depth.value_or(8);
    plan.width = downsampled_side(file ? file->width() : request.size.width, downsample.x);
    plan.height = downsampled_side(file ? file->height() : request.size.height, downsample.y);
    plan.depth = frame_depth;
    check_frame_fits(plan, request.memory_limit ? *request.memory_limit : machine_memory_budget());
    if (file) {
        image = file->read(input_conversion);
        file.reset();
    }
    rendered.read_seconds = seconds_since(read_start);

    const auto render_start = std::chrono::steady_clock::now();
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
    frame.downsample_x = PF_RationalScale{downsample.x.num, static_cast<A_u_long>(downsample.x.den)};
    frame.downsample_y = PF_RationalScale{downsample.y.num, static_cast<A_u_long>(downsample.y.den)};
    frame.origin_x = downsampled_position(origin_x, downsample.x);
    frame.origin_y = downsampled_position(origin_y, downsample.y);
    std::optional<simhost::World> input;
    if (image) {
        input = layer_world(*image, frame_depth, downsample, origin_x, origin_y);
        image.reset();
        frame.input = &*input;
    } else {
        frame.solid.width = downsampled_side(request.size.width, downsample.x);
        frame.solid.height = downsampled_side(request.size.height, downsample.y);
        const ColorValue& fill = request.fill;
        frame.solid.color = simhost::ColorF{fill.alpha, fill.red, fill.green, fill.blue};
    }
    simhost::RenderResult result = run.render(frame);
    rendered.provenance.controls = control_values(run.session());
    rendered.provenance.module = request.module.filename().string() + " " + module_version_text(run.module_version());
    rendered.provenance.layer =
        request.input ? "\"" + (*request.input == "-" ? std::string("standard input") : request.input->string()) +
                            "\" (" + std::to_string(request.size.width) + "x" + std::to_string(request.size.height) +
                            ")"
                      : std::to_string(request.size.width) + "x" + std::to_string(request.size.height) +
                            " solid layer of " + colour_text(request.fill);
    run.finish();
    rendered.depth = frame_depth;
    rendered.bands = result.iterations.empty() ? 0 : result.iterations.front().iterations;
    rendered.windows = FrameWindows{downsampled_position(display_x, downsample.x),
                                    downsampled_position(display_y, downsample.y),
                                    downsampled_side(request.size.width, downsample.x),
                                    downsampled_side(request.size.height, downsample.y),
                                    frame.origin_x,
                                    frame.origin_y};
    // Only the frame is kept; a 4K float frame is 130 MB a copy.
    rendered.output = std::move(result.output);
    rendered.render_seconds = seconds_since(render_start);
    return rendered;
}

void report_render(const RenderRequest& request, const RenderedFrame& rendered, const WriteSettings& settings,
                   double write_seconds, std::ostream& out)
{
    const Downsample& downsample = request.downsample;
    out << "rendered " << request.write.output.string() << ": " << rendered.output.width() << "x"
        << rendered.output.height() << ", " << rendered.depth << "-bit, from " << article_for(request.size.width)
        << " " << request.size.width << "x"
        << request.size.height << " layer at downsample " << downsample.x.num << "/" << downsample.x.den << ","
        << downsample.y.num << "/" << downsample.y.den << "; host threads " << request.threads << ", bands "
        << rendered.bands << "; module " << request.module.string() << "\n";
    out << "written as " << settings.format.name << ", " << depth_text(settings.depth) << ", "
        << (settings.format.has_alpha() ? (settings.premultiplied ? "premultiplied alpha" : "straight alpha")
                                        : (settings.premultiplied ? "no alpha (over black)" : "no alpha"))
        << ", colour space " << settings.colour_space << " (working space " << rendered.working_space << ")"
        << (settings.compression ? ", compression " + settings.compression->attribute() : std::string()) << "\n";
    for (const ControlValue& c : rendered.provenance.controls) {
        out << "  " << c.control << (c.option.empty() ? "" : " (" + c.option + ")") << ": " << c.value << "\n";
    }
    char timings[128];
    std::snprintf(timings, sizeof timings, "times: read %.3f s, render %.3f s, write %.3f s\n", rendered.read_seconds,
                  rendered.render_seconds, write_seconds);
    out << timings;
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
    if (request.write.colour_space) spaces.resolve("--output-colorspace", *request.write.colour_space);
    FramePlan plan;
    try {
        const RenderedFrame rendered = render_frame(request, options, plan, spaces, err);
        const auto write_start = std::chrono::steady_clock::now();
        const WriteSettings settings = write_settings_for(request.write, rendered.output, rendered.windows,
                                                          rendered.working_space, spaces, rendered.provenance, err);
        write_frame(rendered.output, request.write.output, settings);
        // With the frame on standard output, the report goes to stderr.
        if (request.verbose) {
            report_render(request, rendered, settings, seconds_since(write_start),
                          request.write.output == "-" ? err : out);
        }
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
    fail(ExitCode::output, "cannot write to standard output: " +
                               (error_number != 0 ? system_reason(error_number) : std::string("write error")));
}

// The host's packed version word as people write it: 1.0.0 (build 1, release).
std::string version_word_text(A_u_long word)
{
    constexpr const char* kStages[] = {"develop", "alpha", "beta", "release"};
    const A_u_long major = (word >> 26 & 0xFu) << 3 | (word >> 19 & 0x7u);
    return std::to_string(major) + "." + std::to_string(word >> 15 & 0xFu) + "." + std::to_string(word >> 11 & 0xFu) +
           " (build " + std::to_string(word & 0x1FFu) + ", " + kStages[word >> 9 & 0x3u] + ")";
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
    out << "velkorramp " << velkor::kProjectVersionText << " (build " << velkor::kProjectVersionBuild << ")"
        << std::endl;
    const fs::path module = module_path(options);
    simhost::Session session;
    if (const simhost::Status st = session.load(module.string()); !st) {
        fail(ExitCode::module_load, st.message.find(module.string()) != std::string::npos
                                        ? "cannot load module: " + st.message
                                        : "cannot load module \"" + module.string() + "\": " + st.message);
    }
    const PF_Err err = session.global_setup();
    const A_u_long word = session.last_out_data().my_version;
    const bool multi_frame = (session.last_out_data().out_flags2 & PF_OutFlag2_SUPPORTS_THREADED_RENDERING) != 0;
    if (err != PF_Err_NONE) {
        fail(ExitCode::module_error, "the module failed " + simhost::command_name(PF_Cmd_GLOBAL_SETUP) + " with " +
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
            usage_error("unknown command \"" + command + "\"; use render, params or about (see velkorramp --help)");
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
