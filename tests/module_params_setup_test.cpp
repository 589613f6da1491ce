// PF_Cmd_PARAMS_SETUP through the built module: the thirteen declarations,
// byte for byte, and refusals by the host.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using ParamsSetup = ModuleTest;
using simhost::CallKind;

PF_ParamDef base(int index, PF_ParamType type, const char* name)
{
    PF_ParamDef def;
    std::memset(&def, 0, sizeof def);
    def.uu.id = index;
    def.param_type = type;
    std::strcpy(def.name, name);
    def.flags = 32;
    return def;
}

PF_ParamDef popup(int index, const char* name, A_short choices)
{
    PF_ParamDef def = base(index, PF_Param_POPUP, name);
    def.u.pd.value = 1;
    def.u.pd.num_choices = choices;
    def.u.pd.dephault = 1;
    return def;
}

PF_ParamDef point(int index, const char* name, PF_Fixed x, PF_Fixed y)
{
    PF_ParamDef def = base(index, PF_Param_POINT, name);
    def.u.td.x_value = def.u.td.x_dephault = x;
    def.u.td.y_value = def.u.td.y_dephault = y;
    return def;
}

float f32(std::uint32_t bits) { return std::bit_cast<float>(bits); }

PF_ParamDef float_slider(int index, const char* name, std::uint32_t valid_min, std::uint32_t valid_max,
                         std::uint32_t slider_min, std::uint32_t slider_max, std::uint32_t dephault,
                         A_short precision)
{
    PF_ParamDef def = base(index, PF_Param_FLOAT_SLIDER, name);
    def.u.fs_d.value = static_cast<double>(f32(dephault));
    def.u.fs_d.valid_min = f32(valid_min);
    def.u.fs_d.valid_max = f32(valid_max);
    def.u.fs_d.slider_min = f32(slider_min);
    def.u.fs_d.slider_max = f32(slider_max);
    def.u.fs_d.dephault = f32(dephault);
    def.u.fs_d.precision = precision;
    def.u.fs_d.curve_tolerance = f32(0x3D4CCCCD);  // 0.05
    return def;
}

PF_ParamDef color(int index, const char* name, PF_Pixel value)
{
    PF_ParamDef def = base(index, PF_Param_COLOR, name);
    def.u.cd.value = def.u.cd.dephault = value;
    return def;
}

PF_ParamDef percent(int index, const char* name, PF_Fixed value)
{
    PF_ParamDef def = base(index, PF_Param_FIX_SLIDER, name);
    def.u.fd.value = def.u.fd.dephault = value;
    def.u.fd.valid_min = def.u.fd.slider_min = 0;
    def.u.fd.valid_max = def.u.fd.slider_max = 0x00640000;
    def.u.fd.precision = 1;
    def.u.fd.display_flags = 1;
    return def;
}

// The design's tables, written out independently of the module's own table.
std::vector<PF_ParamDef> expected_records()
{
    std::vector<PF_ParamDef> e;
    e.push_back(popup(1, "Type", 3));
    e.push_back(popup(2, "Controlled By", 2));
    e.push_back(point(3, "Start of Ramp", 0, 0x00320000));
    e.push_back(point(4, "End of Ramp", 0x00640000, 0x00320000));
    e.push_back(point(5, "Center", 0x00320000, 0x00320000));
    // Length: 0 .. 50000, slider 0 .. 300, default 300.
    e.push_back(float_slider(6, "Length", 0x00000000, 0x47435000, 0x00000000, 0x43960000, 0x43960000, 1));
    PF_ParamDef angle = base(7, PF_Param_ANGLE, "Direction");
    angle.u.ad.value = angle.u.ad.dephault = 0x005A0000;
    e.push_back(angle);
    e.push_back(color(8, "Start Color", PF_Pixel{255, 255, 255, 255}));
    e.push_back(color(9, "End Color", PF_Pixel{255, 0, 0, 0}));
    e.push_back(percent(10, "Start Alpha", 0x00640000));
    e.push_back(percent(11, "End Alpha", 0));
    e.push_back(popup(12, "Shape", 3));
    // Power: 0.01 .. 100, slider 0.1 .. 10, default 1.
    e.push_back(float_slider(13, "Power", 0x3C23D70A, 0x42C80000, 0x3DCCCCCD, 0x41200000, 0x3F800000, 2));
    return e;
}

const char* const kChoices[14] = {nullptr, "Color|Alpha|Color & Alpha", "Two Points|Center & Length", nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  "Linear|Linear 2|Radial", nullptr};

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
    const std::vector<PF_ParamDef> expected = expected_records();
    ASSERT_EQ(calls.size(), 13u);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i + 1));
        EXPECT_EQ(calls[i].index, -1);
        PF_ParamDef want = expected[i];
        if (want.param_type == PF_Param_POPUP) {
            ASSERT_NE(calls[i].def.u.pd.u.namesptr, nullptr);
            EXPECT_STREQ(calls[i].def.u.pd.u.namesptr, kChoices[i + 1]);
            EXPECT_EQ(calls[i].choices, kChoices[i + 1]);
            want.u.pd.u.namesptr = calls[i].def.u.pd.u.namesptr;
        }
        EXPECT_EQ(calls[i].def.flags, 32);
        EXPECT_EQ(calls[i].def.ui_flags, 0);
        EXPECT_STREQ(calls[i].def.name, expected[i].name);
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
        for (int i = 0; i < k && i < static_cast<int>(session.host().add_param_calls().size()); ++i) {
            EXPECT_EQ(session.host().add_param_calls()[static_cast<std::size_t>(i)].def.uu.id, i + 1);
        }
    }
}

}  // namespace
}  // namespace velkor_test
