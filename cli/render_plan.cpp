#include "cli/render_plan.h"

#include <algorithm>

#include "cli/failure.h"
#include "cli/image_file.h"

namespace velkorramp {

InputHeader header_of(const InputFile& file)
{
    InputHeader header;
    header.name = file.name();
    header.width = file.width();
    header.height = file.height();
    header.layer_width = file.layer_width();
    header.layer_height = file.layer_height();
    header.display_x = file.display_x();
    header.display_y = file.display_y();
    header.origin_x = file.origin_x();
    header.origin_y = file.origin_y();
    header.depth = file.depth();
    header.colour_space = file.colour_space();
    header.rgba_bytes = file.rgba_bytes(false);
    header.converting_rgba_bytes = file.rgba_bytes(true);
    header.band_bytes = file.band_bytes();
    return header;
}

std::string input_space(const std::string& stated, const RenderRequest& request,
                        const ColourSpaces& spaces)
{
    if (request.input_space) return spaces.resolve("--input-colorspace", *request.input_space);
    return stated.empty() ? std::string("sRGB") : stated;
}

bool reads_input_per_frame(const RenderRequest& request)
{
    return request.input && request.input->numbered() && request.frames.size() > 1;
}

RenderPlan plan_render(const RenderRequest& request, const InputHeader* first_input,
                       const ColourSpaces& spaces)
{
    RenderPlan plan;
    plan.frames = request.frames;
    const int count = static_cast<int>(plan.frames.size());
    plan.input_per_frame = reads_input_per_frame(request);
    plan.working_space = request.working_space
                             ? spaces.resolve("--working-space", *request.working_space)
                             : std::string("sRGB");
    plan.layer_width = request.size.width;
    plan.layer_height = request.size.height;
    plan.depth = request.depth.value_or(8);
    int data_width = request.size.width;
    int data_height = request.size.height;
    int origin_x = request.origin ? static_cast<int>(request.origin->x) : 0;
    int origin_y = request.origin ? static_cast<int>(request.origin->y) : 0;
    FramePlan& memory = plan.memory;
    if (first_input != nullptr) {
        const InputHeader& file = *first_input;
        plan.layer_width = file.layer_width;
        plan.layer_height = file.layer_height;
        if (!request.depth) plan.depth = file.depth;
        plan.input_space = input_space(file.colour_space, request, spaces);
        if (!request.working_space) {
            const std::string known = spaces.known(plan.input_space);
            plan.working_space = known.empty() ? plan.input_space : known;
        }
        plan.data_width = data_width = file.width;
        plan.data_height = data_height = file.height;
        if (!request.origin) {
            origin_x = file.origin_x;
            origin_y = file.origin_y;
        }
        plan.windows.display_x = downsampled_position(file.display_x, request.downsample.x);
        plan.windows.display_y = downsampled_position(file.display_y, request.downsample.y);
        memory.from_file = true;
        memory.file_rgba_bytes =
            plan.input_space != plan.working_space ? file.converting_rgba_bytes : file.rgba_bytes;
        memory.file_band_bytes = file.band_bytes;
    }
    plan.windows.display_width = downsampled_side(plan.layer_width, request.downsample.x);
    plan.windows.display_height = downsampled_side(plan.layer_height, request.downsample.y);
    plan.windows.origin_x = downsampled_position(origin_x, request.downsample.x);
    plan.windows.origin_y = downsampled_position(origin_y, request.downsample.y);
    memory.width = downsampled_side(data_width, request.downsample.x);
    memory.height = downsampled_side(data_height, request.downsample.y);
    memory.depth = plan.depth;
    memory.writers = request.writers;
    memory.outputs_held = std::min(request.writers + 1, count);
    memory.input_per_frame = plan.input_per_frame;
    return plan;
}

void check_same_layer(const InputHeader& file, int frame, const RenderPlan& plan)
{
    if (file.layer_width == plan.layer_width && file.layer_height == plan.layer_height &&
        file.width == plan.data_width && file.height == plan.data_height) {
        return;
    }
    fail(ExitCode::input,
         "cannot use input \"" + file.name + "\" for frame " + std::to_string(frame) + ": it is " +
             std::to_string(file.layer_width) + "x" + std::to_string(file.layer_height) + " with " +
             std::to_string(file.width) + "x" + std::to_string(file.height) +
             " pixels, and the sequence's first frame " + std::to_string(plan.layer_width) + "x" +
             std::to_string(plan.layer_height) + " with " + std::to_string(plan.data_width) + "x" +
             std::to_string(plan.data_height) + "; every frame of an input sequence has one size");
}

}  // namespace velkorramp
