// The render's plan, made from a request and a hand-made input header: no
// module, no pixels.
#include <gtest/gtest.h>

#include "cli/options.h"
#include "cli/render_plan.h"

namespace velkorramp {
namespace {

RenderRequest request_for(std::vector<std::string> args)
{
    args.insert(args.begin(), {"-o", "out.#.exr"});
    return parse_render_request(parse_options(args, render_options(), "render"));
}

TEST(RenderPlans, LayerWindowsDepthSpacesFramesAndMemoryComeFromRequestAndHeader)
{
    InputHeader exr;
    exr.name = "plate.exr";
    exr.width = 100;
    exr.height = 50;
    exr.layer_width = 200;
    exr.layer_height = 100;
    exr.display_x = 10;
    exr.origin_x = 7;
    exr.origin_y = -3;
    exr.depth = 32;
    exr.colour_space = "lin_srgb";
    exr.rgba_bytes = 80000;
    exr.converting_rgba_bytes = 80001;
    const ColourSpaces spaces;
    struct Case {
        std::vector<std::string> args;
        const InputHeader* header;
        int layer_width, depth, origin_x, origin_y, memory_width, frames;
        bool per_frame;
    } cases[] = {
        {{}, nullptr, 1920, 8, 0, 0, 1920, 1, false},
        {{"--size", "64x32", "--depth", "16", "--origin", "5,6", "--downsample", "1/2"},
         nullptr,
         64,
         16,
         2,
         3,
         32,
         1,
         false},
        {{"--input", "in.#.exr", "--frames", "3-9x3"}, &exr, 200, 32, 7, -3, 100, 3, true},
        {{"--input", "in.exr", "--depth", "8", "--downsample", "1/2"},
         &exr,
         200,
         8,
         3,
         -2,
         50,
         1,
         false},
    };
    for (const Case& c : cases) {
        const RenderPlan plan = plan_render(request_for(c.args), c.header, spaces);
        const std::string what = c.args.empty() ? "defaults" : c.args.front();
        EXPECT_EQ(plan.layer_width, c.layer_width) << what;
        EXPECT_EQ(plan.depth.bits(), c.depth) << what;
        EXPECT_EQ(plan.windows.origin_x, c.origin_x) << what;
        EXPECT_EQ(plan.windows.origin_y, c.origin_y) << what;
        EXPECT_EQ(plan.memory.width, c.memory_width) << what;
        EXPECT_EQ(static_cast<int>(plan.frames.size()), c.frames) << what;
        EXPECT_EQ(plan.input_per_frame, c.per_frame) << what;
        EXPECT_EQ(plan.memory.from_file, c.header != nullptr) << what;
    }
    const RenderPlan sequence = plan_render(request_for(cases[2].args), &exr, spaces);
    EXPECT_EQ(sequence.frames, (std::vector<int>{3, 6, 9}));
    EXPECT_EQ(sequence.windows.display_x, 10);
    EXPECT_EQ(sequence.input_space, "lin_srgb");
    // The working space is the input's, so its pixels are read as they are stored.
    EXPECT_EQ(sequence.working_space, "lin_srgb");
    EXPECT_EQ(sequence.memory.file_rgba_bytes, 80000u);
    EXPECT_EQ(plan_render(request_for({"--input", "in.exr", "--working-space", "sRGB"}), &exr,
                          spaces)
                  .memory.file_rgba_bytes,
              80001u);
}

}  // namespace
}  // namespace velkorramp
