// The plan of a render, made once before any pixel buffer exists from the
// request and the first input's header: the layer and where frames lie on it,
// the project depth, the colour spaces, the frames, and the memory they take.
// It is a value: nothing here loads the module, reads pixels or writes files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/colour_space.h"
#include "cli/memory_budget.h"
#include "cli/render_request.h"
#include "cli/write_settings.h"

namespace velkorramp {

class InputFile;

// What an input file's header says about the layer, read before its pixels.
struct InputHeader {
    std::string name;  // "photo.exr", or "standard input"
    int width = 0;     // the data window
    int height = 0;
    int layer_width = 0;  // the display window
    int layer_height = 0;
    int display_x = 0;  // the display window's own origin
    int display_y = 0;
    int origin_x = 0;  // the data window on the layer
    int origin_y = 0;
    FrameDepth depth;                         // 8, 16, or 32 for half and float files
    std::string colour_space;                 // as the file states it, "" when it says nothing
    std::uint64_t rgba_bytes = 0;             // reading it as it stores its samples
    std::uint64_t converting_rgba_bytes = 0;  // reading it into float to convert its colour
    std::uint64_t band_bytes = 0;
};

InputHeader header_of(const InputFile& file);

struct RenderPlan {
    // The frame numbers in the order they are rendered and named.
    std::vector<int> frames;
    int layer_width = 0;  // the layer: the input's display window, or the solid's size
    int layer_height = 0;
    FrameDepth depth;  // the project depth
    std::string working_space;
    std::string input_space;  // the first input file's; "" for a solid layer
    // Every frame reads its own input file, of the first one's sizes.
    bool input_per_frame = false;
    int data_width = 0;  // an input file's data window, which every frame keeps
    int data_height = 0;
    // Where the first frame lies on the layer, at the frame's (proxy) scale; a
    // later input file of a sequence may move its own frame.
    FrameWindows windows;
    // What the frames take, weighed before any pixel buffer exists.
    FramePlan memory;
};

// Whether every frame reads an input file of its own: a numbered --input and
// more than one frame.
bool reads_input_per_frame(const RenderRequest& request);

// The plan for `request`, with the first input file's header when there is an
// input. Usage failures for colour spaces the config lacks.
RenderPlan plan_render(const RenderRequest& request, const InputHeader* first_input,
                       const ColourSpaces& spaces);

// The colour space an input file is in: what --input-colorspace says, else what
// the file says, else sRGB, as the host takes a file that says nothing.
std::string input_space(const std::string& stated, const RenderRequest& request,
                        const ColourSpaces& spaces);

// An input failure unless a later input of a sequence has the first one's
// display and data window sizes.
void check_same_layer(const InputHeader& header, int frame, const RenderPlan& plan);

}  // namespace velkorramp
