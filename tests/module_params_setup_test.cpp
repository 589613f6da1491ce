// PF_Cmd_PARAMS_SETUP through the built module: the thirteen declarations,
// byte for byte, and refusals by the host.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "golden_params.h"
#include "module_test_support.h"

namespace velkor_test {
namespace {

using ParamsSetup = ModuleTest;
using simhost::CallKind;

std::string hex_diff(const PF_ParamDef& a, const PF_ParamDef& b)
{
    const auto* pa = reinterpret_cast<const std::uint8_t*>(&a);
    const auto* pb = reinterpret_cast<const std::uint8_t*>(&b);
    std::string text;
    for (std::size_t i = 0; i < sizeof a; ++i) {
        if (pa[i] != pb[i]) {
            text += "byte " + std::to_string(i) + ": " + std::to_string(pa[i]) + " expected " +
                    std::to_string(pb[i]) + "; ";
        }
    }
    return text;
}

TEST_F(ParamsSetup, ThirteenAddParamCallsWithIndexMinusOneAndTheExactRecords)
{
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    ASSERT_EQ(session.params_setup(), PF_Err_NONE);
    EXPECT_EQ(session.last_out_data().num_params, 14);
    const auto& calls = session.host().add_param_calls();
    ASSERT_EQ(calls.size(), 13u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i + 1));
        EXPECT_EQ(calls[i].index, -1);
        const int index = static_cast<int>(i) + 1;
        PF_ParamDef want = golden::declaration(index);
        if (want.param_type == PF_Param_POPUP) {
            ASSERT_NE(calls[i].def.u.pd.u.namesptr, nullptr);
            EXPECT_STREQ(calls[i].def.u.pd.u.namesptr, golden::choices(index));
            EXPECT_EQ(calls[i].choices, golden::choices(index));
            want.u.pd.u.namesptr = calls[i].def.u.pd.u.namesptr;
        }
        EXPECT_EQ(calls[i].def.flags, 32);
        EXPECT_EQ(calls[i].def.ui_flags, 0);
        EXPECT_STREQ(calls[i].def.name, want.name);
        EXPECT_TRUE(bytes_equal(&calls[i].def, &want, sizeof want)) << hex_diff(calls[i].def, want);
    }
}

TEST_F(ParamsSetup, FloatSliderBitPatterns)
{
    ready();
    const PF_ParamDef& length = session.host().add_param_calls()[5].def;
    const PF_ParamDef& power = session.host().add_param_calls()[12].def;
    EXPECT_EQ(std::bit_cast<std::uint32_t>(power.u.fs_d.valid_min), 0x3C23D70Au);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(power.u.fs_d.slider_min), 0x3DCCCCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(power.u.fs_d.curve_tolerance), 0x3D4CCCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(length.u.fs_d.slider_max), 0x43960000u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(length.u.fs_d.valid_max), 0x47435000u);
    EXPECT_EQ(length.u.fs_d.value, 300.0);
    EXPECT_EQ(power.u.fs_d.value, 1.0);
}

TEST_F(ParamsSetup, SessionExposesNamesTypesChoicesAndRanges)
{
    ready();
    const auto& p = session.params();
    EXPECT_EQ(p[0].name, "Type");
    EXPECT_EQ(p[0].choices, (std::vector<std::string>{"Color", "Alpha", "Color & Alpha"}));
    EXPECT_EQ(p[11].choices, (std::vector<std::string>{"Linear", "Linear 2", "Radial"}));
    EXPECT_EQ(session.find_param("Power"), 13);
    EXPECT_EQ(p[5].valid_max, 50000.0);
    EXPECT_EQ(p[5].slider_max, 300.0);
    EXPECT_EQ(p[9].valid_max, 100.0);
    EXPECT_EQ(p[12].valid_min, static_cast<double>(0.01f));
}

TEST_F(ParamsSetup, UsesNoSuite)
{
    ready();
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_PARAMS_SETUP");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->suites.empty());
}

TEST_F(ParamsSetup, RefusalAtTheKthDeclarationReturnsItsCodeAfterExactlyKCalls)
{
    for (int k = 1; k <= 13; ++k) {
        SCOPED_TRACE("refused declaration " + std::to_string(k));
        session.host().clear_call_logs();
        session.host().fail_call(CallKind::add_param, k, 1000 + k);
        EXPECT_EQ(session.params_setup(), 1000 + k);
        EXPECT_EQ(session.host().add_param_calls().size(), static_cast<std::size_t>(k));
        EXPECT_EQ(session.last_out_data().num_params, 0) << "num_params is not set after a refusal";
        for (int i = 0; i < k && i < static_cast<int>(session.host().add_param_calls().size());
             ++i) {
            EXPECT_EQ(session.host().add_param_calls()[static_cast<std::size_t>(i)].def.uu.id,
                      i + 1);
        }
    }
}

}  // namespace
}  // namespace velkor_test
