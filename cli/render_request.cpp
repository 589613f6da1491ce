#include "cli/render_request.h"

#include <algorithm>
#include <array>
#include <thread>

#include "cli/controls.h"
#include "cli/effect_run.h"
#include "cli/failure.h"
#include "cli/frame_chunks.h"
#include "cli/keys_file.h"
#include "cli/message_text.h"
#include "cli/output_file.h"
#include "cli/render_pipeline.h"

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

constexpr std::array<OptionSpec, 14> kLayerOptions{{
    {"--input", nullptr, "FILE",
     "the input layer: any image OpenImageIO reads (- for standard input)"},
    {"--overwrite-input", nullptr, nullptr,
     "let -o name a file of the input, replacing it (refused otherwise)"},
    {"--size", nullptr, "WxH", "a solid input layer of this size (default 1920x1080)"},
    {"--fill", nullptr, "COLOR",
     "the solid's colour: #RGB, #RRGGBB[AA], R,G,B[,A] 0-255 or 0.0-1.0 (default black)"},
    {"--depth", nullptr, "8|16|32", "the project depth (default: the input file's, else 8)"},
    {"--input-colorspace", nullptr, "NAME",
     "the colour space the input file is in, whatever it says"},
    {"--working-space", nullptr, "NAME",
     "the colour space the frame is computed in (default: the input's, sRGB)"},
    {"--threads", nullptr, "N", "host render threads, 1-256, 0 for all cores (default 0)"},
    {"--downsample", nullptr, "N/D[,N/D]", "proxy resolution, horizontal[,vertical] (default 1/1)"},
    {"--origin", nullptr, "X,Y",
     "where the input's top-left pixel lies on the layer (default: its own; solid 0,0)"},
    {"--memory-limit", nullptr, "SIZE",
     "the memory a frame may take, e.g. 8G (default: what the machine has free)"},
    {"--verbose", "-v", nullptr,
     "print what was rendered: sizes, depth, control values, host bands, timings"},
    kModuleOption,
    kHelpOption,
}};

// A sequence: its frames, their rate, keys from a file, the writers, and the
// progress display.
constexpr std::array<OptionSpec, 7> kSequenceOptions{{
    {"--frames", nullptr, "LIST",
     "frames: 1-100, 1-99x2, 100-1, 1,3,7 (default 1, or the input sequence's); "
     "several need # in -o"},
    {"--chunk", nullptr, "K/N",
     "render only the K-th of N contiguous parts of the frames (a farm's task K)"},
    {"--skip-existing", nullptr, nullptr,
     "leave each frame whose file is already a whole image; render the rest"},
    {"--fps", nullptr, "RATE",
     "frames a second: 24, 30000/1001, 29.97 (default 24); keys are at frames of this rate"},
    {"--writers", nullptr, "N", "frames written at once, 1-16 (default: cores, at most 4)"},
    {"--quiet", "-q", nullptr, "no progress display and no notes (errors still show)"},
    kKeysOption,
}};

// The layer: an input file, or a solid of a size and colour.
void parse_layer(const ParsedOptions& options, RenderRequest& request)
{
    const std::string* input_text = options.find("--input");
    if (input_text != nullptr && (options.has("--size") || options.has("--fill")))
        usage_error("--input gives the layer; --size and --fill are for a solid layer instead");
    if (input_text != nullptr)
        request.input = FileSequence("--input", fs::path(*input_text), options.has("--frames"));
    if (const std::string* text = options.find("--size"))
        request.size = parse_size("--size", *text);
    if (const std::string* text = options.find("--fill"))
        request.fill = parse_color_value("--fill", *text, true);
    if (const std::string* text = options.find("--depth"))
        request.depth = parse_depth("--depth", *text);
    if (const std::string* text = options.find("--downsample"))
        request.downsample = parse_downsample("--downsample", *text);
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
}

// The frames, their rate and how many are written at once.
void parse_sequence(const ParsedOptions& options, RenderRequest& request)
{
    const int count = static_cast<int>(request.frames.size());
    if (count > 1 && !request.output.numbered()) {
        usage_error(
            "--output: \"" + request.output.pattern().string() + "\" names one file, and " +
            frames_text(request.frames) + " are " + std::to_string(count) +
            " frames; put the frame number in the name: # (4 digits) or %04d, e.g. ramp.#.png");
    }
    if (const std::string* text = options.find("--chunk")) {
        const ChunkSpan span = chunk_span("--chunk", parse_chunk("--chunk", *text), count,
                                          frames_text(request.frames));
        request.frames = std::vector<int>(request.frames.begin() + span.begin,
                                          request.frames.begin() + span.end);
    }
    request.skip_existing = options.has("--skip-existing");
    if (request.skip_existing && request.write.output == "-")
        usage_error("--skip-existing is for files; standard output has none to skip");
    request.writers = default_writers();
    if (const std::string* text = options.find("--writers"))
        request.writers = parse_writers("--writers", *text);
    // More writers than frames would only wait.
    request.writers = std::min(request.writers, static_cast<int>(request.frames.size()));
}

}  // namespace

std::span<const OptionSpec> layer_options() { return kLayerOptions; }
std::span<const OptionSpec> sequence_options() { return kSequenceOptions; }

std::vector<OptionSpec> render_options()
{
    std::vector<OptionSpec> specs(output_options().begin(), output_options().end());
    specs.insert(specs.end(), kLayerOptions.begin(), kLayerOptions.end());
    specs.insert(specs.end(), kSequenceOptions.begin(), kSequenceOptions.end());
    for (const ControlOption& c : kControlOptions)
        specs.push_back(OptionSpec{c.option, nullptr, "VALUE", c.control});
    return specs;
}

RenderRequest parse_render_request(const ParsedOptions& options)
{
    RenderRequest request;
    request.module = module_path(options);
    request.write = parse_write_request(options);
    request.output = FileSequence("--output", request.write.output, options.has("--frames"));
    parse_layer(options, request);
    if (const std::string* text = options.find("--fps"))
        request.rate = parse_frame_rate("--fps", *text);
    if (const std::string* text = options.find("--frames")) {
        request.frames = parse_frame_list("--frames", *text, request.rate);
    } else if (request.input && request.input->numbered()) {
        // As oiiotool: a numbered input without --frames is the frames that exist.
        request.frames = request.input->existing_frames();
        if (request.frames.empty()) {
            fail(ExitCode::input, "cannot read input " + in_quotes(request.input->pattern()) +
                                      ": no file of the sequence exists (frame 1 would be " +
                                      in_quotes(request.input->name(1)) + ")");
        }
        request.frames_found = true;
    }
    request.threads = static_cast<int>(
        std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{kMaxThreads}));
    if (const std::string* text = options.find("--threads"))
        request.threads = parse_threads("--threads", *text);
    if (const std::string* text = options.find("--memory-limit")) {
        request.memory_limit =
            MemoryBudget{parse_memory_size("--memory-limit", *text), "--memory-limit"};
    }
    parse_sequence(options, request);
    request.overwrite_input = options.has("--overwrite-input");
    request.verbose = options.has("--verbose");
    request.quiet = options.has("--quiet");
    if (request.write.output != "-") {
        const fs::path first = request.output.name(request.frames.front());
        if (request.write.make_folder) make_folder_of(first);
        check_output_place(first);
    }
    return request;
}

}  // namespace velkorramp
