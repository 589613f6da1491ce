// PF_Cmd_SMART_PRE_RENDER through the built module: output rectangles, the
// request passed to the input checkout, parameter checkouts and failures.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using SmartPreRender = ModuleTest;
using simhost::CallKind;

bool same_rect(const PF_LRect& a, const PF_LRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string text(const PF_LRect& r)
{
    std::ostringstream out;
    out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
    return out.str();
}

TEST_F(SmartPreRender, EmptyHostRectsBecomeTheInputsRects)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {64, 48, {}};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, r.layer_checkouts[0].result.result_rect))
        << text(r.pre_render_output.result_rect);
    EXPECT_TRUE(
        same_rect(r.pre_render_output.max_result_rect, r.layer_checkouts[0].result.max_result_rect))
        << text(r.pre_render_output.max_result_rect);
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{0, 0, 64, 48}));
    EXPECT_EQ(r.pre_render_output.flags, 0);
}

TEST_F(SmartPreRender, HostRectAndInputRectAreUnited)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {80, 70, {}};
    o.origin_x = 20;
    o.origin_y = 10;  // the input layer covers (20, 10, 100, 80)
    o.request_rect = PF_LRect{0, 0, 200, 200};
    o.host_result_rect = PF_LRect{0, 0, 50, 50};
    o.host_max_result_rect = PF_LRect{0, 0, 50, 50};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.pre_render_err, PF_Err_NONE);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_TRUE(same_rect(r.layer_checkouts[0].result.result_rect, PF_LRect{20, 10, 100, 80}));
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{0, 0, 100, 80}))
        << text(r.pre_render_output.result_rect);
    EXPECT_TRUE(same_rect(r.pre_render_output.max_result_rect, PF_LRect{0, 0, 100, 80}))
        << text(r.pre_render_output.max_result_rect);
}

// Every edge moves when the input reaches past it: left and top as well as
// right and bottom.
TEST_F(SmartPreRender, UnionMovesEveryEdge)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {80, 70, {}};
    o.origin_x = 20;
    o.origin_y = 10;  // the input layer covers (20, 10, 100, 80)
    o.request_rect = PF_LRect{0, 0, 200, 200};
    o.host_result_rect = PF_LRect{30, 30, 60, 60};
    o.host_max_result_rect = PF_LRect{40, 20, 120, 50};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.pre_render_err, PF_Err_NONE);
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{20, 10, 100, 80}))
        << text(r.pre_render_output.result_rect);
    EXPECT_TRUE(same_rect(r.pre_render_output.max_result_rect, PF_LRect{20, 10, 120, 80}))
        << text(r.pre_render_output.max_result_rect);
}

// The maximum rectangle is the input's maximum (the whole layer), not what the
// input yields for this request.
TEST_F(SmartPreRender, MaxResultRectComesFromTheInputsMaxRect)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {32, 32, {}};
    o.request_rect = PF_LRect{3, 4, 10, 12};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_TRUE(same_rect(r.layer_checkouts[0].result.max_result_rect, PF_LRect{0, 0, 32, 32}));
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{3, 4, 10, 12}))
        << text(r.pre_render_output.result_rect);
    EXPECT_TRUE(same_rect(r.pre_render_output.max_result_rect, PF_LRect{0, 0, 32, 32}))
        << text(r.pre_render_output.max_result_rect);
}

TEST_F(SmartPreRender, EmptyInputRectKeepsTheHostsRect)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {40, 40, {}};
    o.request_rect = PF_LRect{500, 500, 600, 600};  // misses the layer: an empty input result
    o.host_result_rect = PF_LRect{0, 0, 50, 50};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.pre_render_err, PF_Err_NONE);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    EXPECT_TRUE(same_rect(r.layer_checkouts[0].result.result_rect, PF_LRect{0, 0, 0, 0}));
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{0, 0, 50, 50}))
        << text(r.pre_render_output.result_rect);
}

TEST_F(SmartPreRender, EmptyLayerKeepsBothHostRects)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {0, 0, {}};
    o.host_result_rect = PF_LRect{1, 2, 30, 40};
    o.host_max_result_rect = PF_LRect{0, 0, 60, 60};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.pre_render_err, PF_Err_NONE);
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{1, 2, 30, 40}));
    EXPECT_TRUE(same_rect(r.pre_render_output.max_result_rect, PF_LRect{0, 0, 60, 60}));
}

TEST_F(SmartPreRender, RequestIsPassedUnchangedButForPreserveRgbOfZeroAlpha)
{
    ready();
    session.host().config().current_time = 90;
    session.host().config().time_step = 3;
    session.host().config().time_scale = 60;
    simhost::RenderOptions o;
    o.solid = {32, 32, {}};
    o.request_rect = PF_LRect{3, 4, 10, 12};
    o.channel_mask = simhost::kChannelMaskAlpha;
    o.field = 1;
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    ASSERT_EQ(r.layer_checkouts.size(), 1u);
    const simhost::LayerCheckoutCall& c = r.layer_checkouts[0];
    EXPECT_EQ(c.index, 0);
    EXPECT_EQ(c.checkout_id, 0);
    EXPECT_TRUE(same_rect(c.request.rect, PF_LRect{3, 4, 10, 12})) << text(c.request.rect);
    EXPECT_EQ(c.request.channel_mask, simhost::kChannelMaskAlpha);
    EXPECT_EQ(c.request.field, 1);
    EXPECT_NE(c.request.preserve_rgb_of_zero_alpha, 0);
    // Byte for byte: only preserve_rgb_of_zero_alpha differs from the host's request.
    PF_RenderRequest sent{};
    sent.rect = PF_LRect{3, 4, 10, 12};
    sent.field = 1;
    sent.channel_mask = simhost::kChannelMaskAlpha;
    PF_RenderRequest got = c.request;
    got.preserve_rgb_of_zero_alpha = 0;
    EXPECT_TRUE(bytes_equal(&got, &sent, sizeof got));
    EXPECT_EQ(c.what_time, 90);
    EXPECT_EQ(c.time_step, 3);
    EXPECT_EQ(c.time_scale, 60u);
    // The effect reports exactly the input's area for the request: no extra border.
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{3, 4, 10, 12}));
}

TEST_F(SmartPreRender, ChecksOutParameters1To13AtTheCurrentTimeAndChecksThemIn)
{
    ready();
    session.host().config().current_time = 12;
    session.host().config().time_step = 2;
    session.host().config().time_scale = 24;
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    ASSERT_EQ(session.render(o).err, PF_Err_NONE);
    const auto& calls = session.host().checkout_param_calls();
    ASSERT_EQ(calls.size(), 13u);
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(calls[static_cast<std::size_t>(i)].index, i + 1);
        EXPECT_EQ(calls[static_cast<std::size_t>(i)].what_time, 12);
        EXPECT_EQ(calls[static_cast<std::size_t>(i)].time_step, 2);
        EXPECT_EQ(calls[static_cast<std::size_t>(i)].time_scale, 24u);
    }
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.params_checked_out, 13);
    EXPECT_EQ(a.params_checked_in, 13);
}

TEST_F(SmartPreRender, FailedCheckoutOfParameter7StopsThereAndChecksInTheOthers)
{
    ready();
    session.host().fail_call(CallKind::checkout_param, 7, 0x7007);
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    const simhost::RenderResult r = session.render(o);
    EXPECT_EQ(r.pre_render_err, 0x7007);
    EXPECT_TRUE(r.render_errs.empty()) << "no smart render follows a failed pre-render";
    const auto& calls = session.host().checkout_param_calls();
    ASSERT_EQ(calls.size(), 7u) << "parameters 8 to 13 are not checked out";
    EXPECT_EQ(calls.back().index, 7);
    EXPECT_TRUE(r.layer_checkouts.empty()) << "the layer is not checked out";
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.params_checked_out, 6);
    EXPECT_EQ(a.params_checked_in, 6);
    EXPECT_EQ(a.pre_render_data_deleted, a.pre_render_data_created);
}

TEST_F(SmartPreRender, FailedLayerCheckoutReturnsItsCodeAndKeepsTheRects)
{
    ready();
    session.host().fail_call(CallKind::checkout_layer, 1, 0x1A1A);
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    o.host_result_rect = PF_LRect{0, 0, 5, 5};
    const simhost::RenderResult r = session.render(o);
    EXPECT_EQ(r.pre_render_err, 0x1A1A);
    EXPECT_TRUE(same_rect(r.pre_render_output.result_rect, PF_LRect{0, 0, 5, 5}));
    EXPECT_EQ(session.accounting().params_checked_in, 13);
}

TEST_F(SmartPreRender, NullNewHandleGivesOutOfMemory)
{
    ready();
    session.host().fail_call(CallKind::new_handle, 1);
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    const simhost::RenderResult r = session.render(o);
    EXPECT_EQ(r.pre_render_err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(session.host().checkout_param_calls().empty());
    EXPECT_EQ(r.pre_render_output.pre_render_data, nullptr);
}

TEST_F(SmartPreRender, NullLockGivesOutOfMemoryAndFreesTheHandle)
{
    ready();
    session.host().fail_call(CallKind::lock_handle, 1);
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    const simhost::RenderResult r = session.render(o);
    EXPECT_EQ(r.pre_render_err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(session.host().checkout_param_calls().empty());
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.handles_created - 1, a.handles_disposed) << "only the global data handle is left";
}

TEST_F(SmartPreRender, MissingHandleSuiteGives516)
{
    ready();
    session.host().refuse_suite(kHandleSuite, 2);
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    const simhost::RenderResult r = session.render(o);
    EXPECT_EQ(r.pre_render_err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(r.out_flags, 0);
    EXPECT_EQ(r.return_msg, "");
    EXPECT_TRUE(session.host().checkout_param_calls().empty());
    session.host().clear_faults();
}

TEST_F(SmartPreRender, RegistersADeleterThatTheHostCallsOnce)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    const simhost::RenderResult r = session.render(o);
    ASSERT_EQ(r.err, PF_Err_NONE);
    EXPECT_NE(r.pre_render_output.pre_render_data, nullptr);
    EXPECT_NE(r.pre_render_output.delete_pre_render_data_func, nullptr);
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.pre_render_data_created, 1);
    EXPECT_EQ(a.pre_render_data_deleted, 1);
    const simhost::CommandLog* log = last_log(a, "delete_pre_render_data");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->balanced());
}

// The settings handle holds exactly one record: 164 bytes, no more, no less.
TEST_F(SmartPreRender, SettingsHandleIsTheRecordsSize)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    ASSERT_EQ(session.render(o).err, PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_SMART_PRE_RENDER");
    ASSERT_NE(log, nullptr);
    std::vector<std::string> made;
    for (const std::string& e : log->events) {
        if (e.rfind("host_new_handle", 0) == 0) {
            made.push_back(e);
        }
    }
    EXPECT_EQ(made, (std::vector<std::string>{"host_new_handle 164"}));
}

// A pre-render that fails after naming its data takes it back: the host finds
// no data and no deleter, and the settings handle and its wrapper are already
// gone, whether or not this host would have called the deleter.
TEST_F(SmartPreRender, FailedPreRenderTakesItsDataBackUnderEitherHost)
{
    ready();
    const std::pair<CallKind, int> failures[] = {{CallKind::checkout_param, 1},
                                                 {CallKind::checkout_param, 13},
                                                 {CallKind::checkout_layer, 1}};
    for (const bool host_deletes : {true, false}) {
        session.host().config().delete_pre_render_data_after_failure = host_deletes;
        for (const auto& [kind, nth] : failures) {
            SCOPED_TRACE(std::string(simhost::call_kind_name(kind)) + " #" + std::to_string(nth) +
                         (host_deletes ? ", host calls the deleter" : ", host drops the data"));
            session.host().fail_call(kind, nth, 0x3E3E);
            simhost::RenderOptions o;
            o.solid = {8, 8, {}};
            const simhost::RenderResult r = session.render(o);
            EXPECT_EQ(r.pre_render_err, 0x3E3E);
            EXPECT_EQ(r.pre_render_output.pre_render_data, nullptr);
            EXPECT_EQ(r.pre_render_output.delete_pre_render_data_func, nullptr);
            const simhost::Accounting a = session.accounting();
            EXPECT_EQ(a.live_handles.size(), 1u) << "only the global data";
            EXPECT_EQ(a.pre_render_data_created, a.pre_render_data_deleted);
            EXPECT_EQ(a.pre_render_data_dropped, 0);
            EXPECT_TRUE(a.balanced()) << a.unbalanced();
        }
    }
}

TEST_F(SmartPreRender, HandleSuiteReleasedWithinTheCommand)
{
    ready();
    simhost::RenderOptions o;
    o.solid = {8, 8, {}};
    ASSERT_EQ(session.render(o).err, PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_SMART_PRE_RENDER");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->acquired(kHandleSuite, 2), 1);
    EXPECT_EQ(log->released(kHandleSuite, 2), 1);
}

}  // namespace
}  // namespace velkor_test
