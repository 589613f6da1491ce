// The frame the module draws through the host equals, bit for bit, the frame
// the engine draws when called directly with the same checked-out values, for
// every depth, pixel format, shape, placement mode and type.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "module_test_support.h"
#include "params/param_table.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_renderer.h"
#include "ramp/ramp_settings.h"
#include "ramp/world_view.h"

namespace velkor_test {
namespace {

using simhost::RenderOptions;
using simhost::RenderResult;
using simhost::World;
using simhost::WorldSpec;

velkor::DepthClass depth_of(PF_PixelFormat format)
{
    switch (simhost::bit_depth(format)) {
    case 8:
        return velkor::DepthClass::eight;
    case 16:
        return velkor::DepthClass::sixteen;
    case 32:
        return velkor::DepthClass::floating;
    default:
        return velkor::DepthClass::none;
    }
}

class EngineCrossCheck : public ModuleTest {
protected:
    EngineCrossCheck() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 37;
        c.layer_height = 23;
        c.threads = 3;
        return c;
    }

    // What the engine draws for the host's current values, over `input`, into a
    // world prefilled like the module's output.
    World engine_frame(const World& input, const RenderOptions& o)
    {
        simhost::Host& host = session.host();
        host.config().downsample_x = o.downsample_x;
        host.config().downsample_y = o.downsample_y;
        PF_InData in = host.make_in_data();
        velkor::ParamValues params{};
        for (A_long i = velkor::kFirstControl; i <= velkor::kLastControl; ++i) {
            EXPECT_EQ(in.inter.checkout_param(in.effect_ref, i, in.current_time, in.time_step,
                                              in.time_scale, &params[static_cast<std::size_t>(i)]),
                      PF_Err_NONE);
        }
        velkor::RampSettings settings{};
        velkor::fill_ramp_settings(params, in.downsample_x, settings);
        for (A_long i = velkor::kFirstControl; i <= velkor::kLastControl; ++i) {
            EXPECT_EQ(in.inter.checkin_param(in.effect_ref, &params[static_cast<std::size_t>(i)]),
                      PF_Err_NONE);
        }
        velkor::rebase_ramp_points(settings, input.effect_world()->origin_x,
                                   input.effect_world()->origin_y);
        const velkor::RenderRecord record{&in, settings};
        World source = input;
        World destination(source.world_spec());
        destination.fill_bytes(o.output_fill);
        const velkor::RampRenderer renderer(record);
        const velkor::DepthClass depth = depth_of(source.format());
        renderer.render_frame(velkor::WorldView{depth, source.effect_world()},
                              velkor::WorldView{depth, destination.effect_world()});
        host.config().downsample_x = PF_RationalScale{1, 1};
        host.config().downsample_y = PF_RationalScale{1, 1};
        return destination;
    }
};

World input_for(PF_PixelFormat format, int variant)
{
    WorldSpec world_spec{37, 23, format};
    world_spec.origin_x = variant % 3 == 1 ? 7 : 0;
    world_spec.origin_y = variant % 3 == 1 ? -3 : 0;
    World w(world_spec);
    w.fill_with([&](int x, int y) {
        return simhost::ColorF{((x + 2 * y + variant) % 6) / 5.0, x / 36.0, y / 22.0,
                               ((x * y) % 9) / 8.0};
    });
    return w;
}

TEST_F(EngineCrossCheck, EveryDepthShapePlacementAndTypeIsBitIdenticalToTheEngine)
{
    ready();
    ASSERT_TRUE(session.set_point(3, 4.0, 6.0));
    ASSERT_TRUE(session.set_point(4, 30.5, 17.25));
    ASSERT_TRUE(session.set_point(5, 18.0, 11.0));
    ASSERT_TRUE(session.set_float(6, 21.5));
    ASSERT_TRUE(session.set_angle(7, 125.0));
    ASSERT_TRUE(session.set_color(8, PF_Pixel{200, 10, 128, 250}));
    ASSERT_TRUE(session.set_color(9, PF_Pixel{255, 240, 3, 77}));
    ASSERT_TRUE(session.set_percent(10, 80.0));
    ASSERT_TRUE(session.set_percent(11, 12.5));

    int variant = 0;
    for (const PF_PixelFormat format : kAllFormats) {
        for (int controlled_by = 1; controlled_by <= 2; ++controlled_by) {
            for (int shape = 1; shape <= 3; ++shape) {
                for (int type = 1; type <= 3; ++type) {
                    ++variant;
                    SCOPED_TRACE(simhost::pixel_format_name(format) + ", Controlled By " +
                                 std::to_string(controlled_by) + ", Shape " +
                                 std::to_string(shape) + ", Type " + std::to_string(type) +
                                 ", variant " + std::to_string(variant));
                    ASSERT_TRUE(session.set_popup(1, type));
                    ASSERT_TRUE(session.set_popup(2, controlled_by));
                    ASSERT_TRUE(session.set_popup(12, shape));
                    ASSERT_TRUE(session.set_float(13, variant % 2 == 0 ? 1.0 : 2.5));
                    const World input = input_for(format, variant);
                    RenderOptions o;
                    o.input = &input;
                    o.origin_x = input.world_spec().origin_x;
                    o.origin_y = input.world_spec().origin_y;
                    o.output_fill = 0xEE;
                    o.threads = 1 + variant % 4;
                    if (variant % 4 == 2) {
                        o.downsample_x = PF_RationalScale{1, 2};
                    }
                    if (variant % 5 == 3) {
                        o.row_padding = 48;  // whole pixels at every depth
                        o.bottom_up = true;
                    }
                    const RenderResult r = session.render(o);
                    ASSERT_EQ(r.err, PF_Err_NONE) << r.return_msg;
                    EXPECT_FALSE(all_bytes(r.output, 0xEE)) << "the module drew nothing";
                    const World expected = engine_frame(r.input, o);
                    EXPECT_EQ(r.output.first_difference(expected), "");
                }
            }
        }
    }
}

}  // namespace
}  // namespace velkor_test
