// What `render` is asked for, read from its command line before any work:
// everything the command line alone can refuse is refused here.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/frame_sequence.h"
#include "cli/memory_budget.h"
#include "cli/options.h"
#include "cli/values.h"
#include "cli/write_settings.h"

namespace velkorramp {

// The render command's options: the layer and frame, then the sequence's (the
// output's come from output_options()), then one per control.
std::span<const OptionSpec> layer_options();
std::span<const OptionSpec> sequence_options();
std::vector<OptionSpec> render_options();

struct RenderRequest {
    std::filesystem::path module;
    WriteRequest write;   // write.output: the name with its frame number, if any
    FileSequence output;  // a name per frame
    std::optional<FileSequence> input;
    SizeValue size{1920, 1080};  // the solid layer's
    ColorValue fill{0, 0, 0, 1};
    std::optional<FrameDepth> depth;  // --depth, else the input file's, else 8
    int threads = 1;
    Downsample downsample;
    std::optional<PointValue> origin;        // --origin, else the input's own
    std::optional<std::string> input_space;  // --input-colorspace
    std::optional<std::string> working_space;
    std::optional<MemoryBudget> memory_limit;  // --memory-limit, else the machine's
    FrameRate rate;
    std::vector<int> frames{1};  // in the order rendered; with --chunk, the chunk's
    bool frames_found = false;   // the input sequence's existing frames, without --frames
    bool skip_existing = false;
    int writers = 1;
    bool overwrite_input = false;  // --overwrite-input
    bool verbose = false;
    bool quiet = false;
};

RenderRequest parse_render_request(const ParsedOptions& options);

}  // namespace velkorramp
