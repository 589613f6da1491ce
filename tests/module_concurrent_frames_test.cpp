// Frames side by side, as hosts with multi-frame rendering send them: several
// frames of different settings and depths in flight at once on their own
// threads, each with its own PF_InData and PF_OutData and sharing the global
// data, each equal bit for bit to the same frame rendered alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using simhost::FrameJob;
using simhost::RenderOptions;
using simhost::RenderResult;

class ConcurrentFrames : public ModuleTest {
protected:
    ConcurrentFrames() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 48;
        c.layer_height = 30;
        return c;
    }

    // Frame i's controls: every type, placement and shape, several powers,
    // colours and alphas.
    void set_values(int i)
    {
        ASSERT_TRUE(session.set_popup(1, 1 + i % 3));
        ASSERT_TRUE(session.set_popup(2, 1 + i / 3 % 2));
        ASSERT_TRUE(session.set_point(3, 2.0 + i, 3.0));
        ASSERT_TRUE(session.set_point(4, 40.0 - i, 25.0 + i));
        ASSERT_TRUE(session.set_point(5, 20.0 + i, 12.0));
        ASSERT_TRUE(session.set_float(6, 15.0 + 3.0 * i));
        ASSERT_TRUE(session.set_angle(7, 17.0 * i));
        ASSERT_TRUE(session.set_color(8, PF_Pixel{255, static_cast<A_u_char>(20 * i), 200, 40}));
        ASSERT_TRUE(
            session.set_color(9, PF_Pixel{static_cast<A_u_char>(100 + 10 * i), 0, 90, 255}));
        ASSERT_TRUE(session.set_percent(10, 100.0 - 7.0 * i));
        ASSERT_TRUE(session.set_percent(11, 5.0 * i));
        ASSERT_TRUE(session.set_popup(12, 1 + i % 3));
        ASSERT_TRUE(session.set_float(13, i % 4 == 0 ? 1.0 : 0.4 + 0.35 * i));
    }

    static RenderOptions options(int i)
    {
        RenderOptions o;
        o.format = kAllFormats[static_cast<std::size_t>(i) % std::size(kAllFormats)];
        o.solid = {40 + i, 20 + 2 * i, simhost::ColorF{0.5 + 0.05 * i, 0.25, 0.5, 0.75}};
        o.origin_x = 3 * i;
        o.origin_y = -i;
        o.row_padding = 16 * (i % 3);
        o.bottom_up = i % 4 == 3;
        o.threads = 1 + i % 4;
        o.output_fill = 0xEE;
        return o;
    }
};

TEST_F(ConcurrentFrames, TenFramesInFlightEqualTheFramesRenderedAlone)
{
    constexpr int kFrames = 10;
    ready();
    std::vector<FrameJob> jobs;
    std::vector<RenderResult> alone;
    for (int i = 0; i < kFrames; ++i) {
        set_values(i);
        const RenderOptions o = options(i);
        alone.push_back(session.render(o));
        ASSERT_EQ(alone.back().err, PF_Err_NONE) << "frame " << i;
        ASSERT_FALSE(all_bytes(alone.back().output, 0xEE)) << "frame " << i << " drew nothing";
        jobs.push_back(FrameJob{o, session.param_values()});
    }

    // Every smart render waits for the others at its output checkout, so all
    // ten are provably in flight at once.
    session.host().meet_in_smart_render(kFrames);
    const std::vector<RenderResult> together = session.render_together(jobs);
    session.host().meet_in_smart_render(0);

    ASSERT_EQ(together.size(), alone.size());
    for (int i = 0; i < kFrames; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + ", " +
                     simhost::pixel_format_name(jobs[i].options.format));
        const RenderResult& r = together[static_cast<std::size_t>(i)];
        ASSERT_EQ(r.err, PF_Err_NONE) << r.return_msg;
        EXPECT_EQ(r.output.first_difference(alone[static_cast<std::size_t>(i)].output), "");
        EXPECT_TRUE(r.output.guards_intact());
        ASSERT_EQ(r.iterations.size(), 1u);
        EXPECT_EQ(r.iterations[0].iterations, jobs[i].options.threads);
    }
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.peak_smart_renders_in_flight, kFrames);
    EXPECT_TRUE(a.violations.empty()) << a.unbalanced();
}

}  // namespace
}  // namespace velkor_test
