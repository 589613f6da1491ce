#include "cli/commands.h"

#include <array>

#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/file_metadata.h"
#include "cli/message_text.h"
#include "cli/output_file.h"
#include "cli/params_command.h"
#include "cli/render_request.h"
#include "cli/render_run.h"
#include "cli/stdout_buffer.h"
#include "cli/values.h"
#include "host/project_version.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

const std::array<OptionSpec, 2> kAboutSpecs{{kModuleOption, kHelpOption}};

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
    "6 the module returned an error code, 7 not enough memory for the frame;\n"
    "with --skip-existing, 8 done with some frames left as they were, 9 with all.\n";

}  // namespace

// How the values are read and the pixels written, between the options and the
// controls in render --help.
constexpr std::string_view kRenderUnits =
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
    "written at the input file's sample type (half stays half), else the frame's\n"
    "depth, or the nearest the format holds, with a note.\n"
    "16-bit: the host's 0..32768 is written as round(v*65535/32768) and a 16-bit\n"
    "file is read as round(f*32768/65535); every host value survives the trip, but\n"
    "a 16-bit file has twice the codes: use --depth 32 to pass one losslessly.\n"
    "\n"
    "Alpha: the host's colour is straight. PNG, TGA, WebP, DPX, SGI hold it straight;\n"
    "EXR, IFF, RLA premultiplied (colour under zero alpha is lost); TIFF either\n"
    "(--alpha), saying which; JPEG and other formats without alpha get the frame\n"
    "over black. Premultiplied inputs are divided by alpha as they are read.\n"
    "\n"
    "Colour: the frame is computed in the working space (the input's own, sRGB for\n"
    "a solid layer or a file that says nothing); control colours are its values.\n"
    "Inputs in another space are converted on reading; the file gets its format's\n"
    "own space (EXR and float files linear, DPX Rec709, others sRGB) or the one\n"
    "--output-colorspace names, by OpenImageIO's colour management or the\n"
    "OpenColorIO config in $OCIO; colour is converted before premultiplying.\n"
    "Channels: the input's channels beyond RGBA and its metadata are carried\n"
    "where the format holds them (EXR all), with a note for what it cannot.\n"
    "\n"
    "Position: the layer is the input's display window; its pixels lie where its\n"
    "data window says (--origin moves them). EXR, DPX, TIFF and PNG record that\n"
    "position; other formats get the whole layer, transparent where it is empty.\n"
    "\n"
    "Downsample: at N/D the layer is rendered at ceil(side*N/D) pixels, each proxy\n"
    "pixel taking the layer pixel at floor(x*D/N); points and Length are scaled\n"
    "as the host and the effect scale them.\n"
    "\n";

std::string render_help(const fs::path& module)
{
    return std::string(
               "Usage: velkorramp render [options] -o FILE\n"
               "\n"
               "Renders frames as the host does: global setup, parameter setup, the control\n"
               "values, UI update, then for each frame smart pre-render and smart render at\n"
               "the frame's time, and global set-down.\n"
               "\n"
               "Output file:\n") +
           options_help(output_options()) +
           "\n"
           "Layer and frame:\n" +
           options_help(layer_options()) +
           "\n"
           "Sequences:\n" +
           options_help(sequence_options()) +
           "\n"
           "A control is animated with keys VALUE@FRAME,VALUE@FRAME,... (--direction\n"
           "0@1,360@100, --start-color '#FF0000@1,#0000FF@48'); between keys numbers,\n"
           "angles, points and colour channels move in a straight line, choices hold\n"
           "until the next key, and before the first or after the last key a control\n"
           "holds that key's value. Frame f is at time f/fps on the host's clock.\n"
           "After a frame, :ease (Easy Ease: speed 0, influence 33 1/3 % on both sides),\n"
           ":ease-in, :ease-out, :hold (held until the next key), :linear (the default)\n"
           "or :bezier=SPEED_IN/INFLUENCE_IN/SPEED_OUT/INFLUENCE_OUT (units a second,\n"
           "percent) says how the key is arrived at and left, as the host's temporal\n"
           "ease; each number of a point or colour eases on its own. --keys FILE.json\n"
           "reads keys as params --json writes them (see cli/README.md).\n"
           "File names number frames as oiiotool does: # is 4 digits (## 8), %04d 4,\n"
           "%d as many as needed (out.#.png: out.0001.png, ...), and with --frames @ one\n"
           "digit each. An --input named so gives each frame its own file, all of the\n"
           "first one's size; without --frames, the frames whose files exist. Frames are\n"
           "written as they come, by --writers at once, each whole or not at all and\n"
           "in frame order: a failure keeps the frames before it, leaves nothing of\n"
           "the frame that failed or later ones, and names the frame.\n"
           "--chunk K/N cuts the F frames at positions floor(k*F/N): part K holds\n"
           "those from floor((K-1)*F/N) to floor(K*F/N)-1, N at most F, so parts 1..N\n"
           "run anywhere write exactly the files of one run (cli/README.md, farms).\n"
           "\n" +
           std::string(kRenderUnits) + controls_help(module) +
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
           "With --json, the same and each control's keys as JSON, the form --keys reads.\n"
           "\n" +
           options_help(params_options());
}

namespace {

std::string about_help()
{
    return "Usage: velkorramp about [--module PATH]\n\nPrints the module's About text.\n\n" +
           options_help(kAboutSpecs);
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
    out << "velkorramp " << tool_version() << std::endl;
    const fs::path module = module_path(options);
    simhost::Session session;
    if (const simhost::Status st = session.load(module.string()); !st)
        fail_module_load(module, st.message);
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
    out << "module " << module.string() << ": " << module_version_text(word)
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
            constexpr std::array<std::string_view, 4> kCommands{"render", "params", "about",
                                                                "--version"};
            const std::string nearest = nearest_word(command, kCommands);
            usage_error("unknown command \"" + command + "\"" +
                        (nearest.empty() ? "" : " (did you mean " + nearest + "?)") +
                        "; use render, params or about (see velkorramp --help)");
        }
        check_written(out);
        return code;
    } catch (const Failure& failure) {
        err << "velkorramp: " << printable(failure.what() + left_behind_note()) << "\n";
        return static_cast<int>(failure.code());
    } catch (const std::bad_alloc&) {
        err << "velkorramp: out of memory" << printable(left_behind_note()) << "\n";
        return static_cast<int>(ExitCode::memory);
    } catch (const std::exception& e) {
        err << "velkorramp: unexpected failure: " << printable(e.what() + left_behind_note())
            << "\n";
        return static_cast<int>(ExitCode::internal);
    }
}

}  // namespace velkorramp
