// PF_Cmd_UPDATE_PARAMS_UI through the built module: the enabling rules for every
// "Type" x "Controlled By" x "Shape" value (out-of-range ones included), the
// order of the PF_UpdateParamUI calls, and what the copies carry.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "golden_params.h"
#include "module_test_support.h"
#include "ramp/ramp_shape.h"

namespace velkor_test {
namespace {

using UpdateParamsUi = ModuleTest;
using simhost::CallKind;

constexpr PF_ParamUIFlags kDisabled = 0x20;
constexpr PF_OutFlags kRefreshUi = 0x00020000;

// Host records with other ui_flags bits (and, on some, bit 5 already set) so the
// test sees that only bit 5 changes.
void dress_host_records(simhost::Host& host)
{
    auto& records = host.param_records();
    for (std::size_t i = 1; i < records.size(); ++i) {
        records[i].ui_flags = 0x1 | 0x40 | 0x400 | ((i % 2 == 0) ? kDisabled : 0);
        records[i].ui_width = static_cast<A_short>(10 + i);
    }
}

TEST_F(UpdateParamsUi, RuleTableForEveryTypeControlledByAndShape)
{
    ready();
    simhost::Host& host = session.host();
    dress_host_records(host);
    for (int type = 0; type <= 4; ++type) {
        for (int controlled_by = 0; controlled_by <= 3; ++controlled_by) {
            for (int shape = 0; shape <= velkor::kUnknownShape; ++shape) {
                SCOPED_TRACE("Type " + std::to_string(type) + ", Controlled By " +
                             std::to_string(controlled_by) + ", Shape " + std::to_string(shape));
                auto& records = host.param_records();
                records[1].u.pd.value = type;
                records[2].u.pd.value = controlled_by;
                records[12].u.pd.value = shape;
                ASSERT_EQ(session.update_params_ui(), PF_Err_NONE);
                EXPECT_NE(session.last_out_data().out_flags & kRefreshUi, 0);
                const auto want = golden::ui_sends(type, controlled_by, shape);
                const auto& got = session.ui_updates();
                ASSERT_EQ(got.size(), want.size());
                for (std::size_t k = 0; k < want.size(); ++k) {
                    const int index = want[k].first;
                    EXPECT_EQ(got[k].index, index) << "call " << k;
                    const bool disabled = (got[k].def.ui_flags & kDisabled) != 0;
                    EXPECT_EQ(disabled, want[k].second) << "parameter " << index;
                    // The copy equals the host's record but for bit 5 of ui_flags.
                    PF_ParamDef copy = got[k].def;
                    const PF_ParamDef& original = records[static_cast<std::size_t>(index)];
                    EXPECT_EQ(copy.ui_flags & ~kDisabled, original.ui_flags & ~kDisabled);
                    copy.ui_flags = original.ui_flags;
                    EXPECT_TRUE(bytes_equal(&copy, &original, sizeof copy))
                        << "parameter " << index;
                }
            }
        }
    }
}

TEST_F(UpdateParamsUi, HostRecordsAreNotModified)
{
    ready();
    dress_host_records(session.host());
    const std::vector<PF_ParamDef> before = session.host().param_records();
    ASSERT_EQ(session.update_params_ui(), PF_Err_NONE);
    const auto& after = session.host().param_records();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 1; i < after.size(); ++i) {
        EXPECT_TRUE(bytes_equal(&after[i], &before[i], sizeof after[i])) << "parameter " << i;
    }
}

TEST_F(UpdateParamsUi, DefaultsSendNineCallsInOrder)
{
    ready();
    ASSERT_EQ(session.update_params_ui(), PF_Err_NONE);
    std::vector<int> order;
    for (const auto& call : session.ui_updates()) {
        order.push_back(call.index);
    }
    EXPECT_EQ(order, (std::vector<int>{8, 9, 10, 11, 3, 4, 5, 6, 7}));
}

TEST_F(UpdateParamsUi, FailingFirstCallReturnsItsCodeAfterOneCallWithRefreshUiSet)
{
    ready();
    session.host().fail_call(CallKind::update_param_ui, 1, 0x0BAD);
    EXPECT_EQ(session.update_params_ui(), 0x0BAD);
    EXPECT_EQ(session.ui_updates().size(), 1u);
    EXPECT_NE(session.last_out_data().out_flags & kRefreshUi, 0);
}

TEST_F(UpdateParamsUi, FailingThirdCallStopsTheSending)
{
    ready();
    session.host().fail_call(CallKind::update_param_ui, 3, 77);
    EXPECT_EQ(session.update_params_ui(), 77);
    EXPECT_EQ(session.ui_updates().size(), 3u);
    EXPECT_NE(session.last_out_data().out_flags & kRefreshUi, 0);
}

TEST_F(UpdateParamsUi, MissingParamUtilsSuiteGives516AndNoCall)
{
    ready();
    session.host().refuse_suite(kParamUtilsSuite, 2);
    EXPECT_EQ(session.update_params_ui(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(session.ui_updates().empty());
    EXPECT_EQ(session.last_out_data().out_flags & kRefreshUi, 0)
        << "the command ends before setting REFRESH_UI";
}

TEST_F(UpdateParamsUi, AcquiresAndReleasesTheParamUtilsSuiteOnce)
{
    ready();
    ASSERT_EQ(session.update_params_ui(), PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_UPDATE_PARAMS_UI");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->acquired(kParamUtilsSuite, 2), 1);
    EXPECT_EQ(log->released(kParamUtilsSuite, 2), 1);
    EXPECT_EQ(log->suites.size(), 1u);
}

}  // namespace
}  // namespace velkor_test
