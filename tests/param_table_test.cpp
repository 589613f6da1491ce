// The thirteen control declarations, byte for byte, and which controls are
// enabled under every combination of "Type", "Controlled By" and "Shape".
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "params/param_table.h"
#include "params/param_ui_rules.h"

namespace velkor {
namespace {

A_char* copy_name(A_char* dest, const A_char* src) { return std::strcpy(dest, src); }

float float_bits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// The record a host must receive for `index`, field by field; every field not
// set here is zero.
PF_ParamDef expected_declaration(A_long index)
{
    PF_ParamDef d;
    std::memset(&d, 0, sizeof d);
    d.uu.id = index;
    d.flags = 32;
    const auto named = [&d](PF_ParamType type, const char* name) {
        d.param_type = type;
        std::strcpy(d.name, name);
    };
    const auto popup = [&](const char* name, A_short choices) {
        named(7, name);
        d.u.pd = {1, choices, 1, {}};
    };
    const auto point = [&](const char* name, PF_Fixed x, PF_Fixed y) {
        named(6, name);
        d.u.td.x_value = d.u.td.x_dephault = x;
        d.u.td.y_value = d.u.td.y_dephault = y;
    };
    const auto color = [&](const char* name, PF_Pixel c) {
        named(5, name);
        d.u.cd = {c, c};
    };
    const auto percent = [&](const char* name, PF_Fixed v) {
        named(2, name);
        d.u.fd.value = d.u.fd.dephault = v;
        d.u.fd.valid_max = d.u.fd.slider_max = 0x00640000;
        d.u.fd.precision = 1;
        d.u.fd.display_flags = 1;
    };
    const auto float_slider = [&](const char* name, std::uint32_t valid_min, std::uint32_t valid_max,
                                  std::uint32_t slider_min, std::uint32_t slider_max,
                                  std::uint32_t dephault, double value, A_short precision) {
        named(10, name);
        d.u.fs_d.value = value;
        d.u.fs_d.valid_min = float_bits(valid_min);
        d.u.fs_d.valid_max = float_bits(valid_max);
        d.u.fs_d.slider_min = float_bits(slider_min);
        d.u.fs_d.slider_max = float_bits(slider_max);
        d.u.fs_d.dephault = float_bits(dephault);
        d.u.fs_d.precision = precision;
        d.u.fs_d.curve_tolerance = float_bits(0x3D4CCCCD);
    };
    switch (index) {
    case 1: popup("Type", 3); break;
    case 2: popup("Controlled By", 2); break;
    case 3: point("Start of Ramp", 0, 0x00320000); break;
    case 4: point("End of Ramp", 0x00640000, 0x00320000); break;
    case 5: point("Center", 0x00320000, 0x00320000); break;
    case 6: float_slider("Length", 0, 0x47435000, 0, 0x43960000, 0x43960000, 300.0, 1); break;
    case 7:
        named(3, "Direction");
        d.u.ad.value = d.u.ad.dephault = 0x005A0000;
        break;
    case 8: color("Start Color", {255, 255, 255, 255}); break;
    case 9: color("End Color", {255, 0, 0, 0}); break;
    case 10: percent("Start Alpha", 0x00640000); break;
    case 11: percent("End Alpha", 0); break;
    case 12: popup("Shape", 3); break;
    case 13:
        float_slider("Power", 0x3C23D70A, 0x42C80000, 0x3DCCCCCD, 0x41200000, 0x3F800000, 1.0, 2);
        break;
    }
    return d;
}

const char* expected_choices(A_long index)
{
    switch (index) {
    case 1: return "Color|Alpha|Color & Alpha";
    case 2: return "Two Points|Center & Length";
    case 12: return "Linear|Linear 2|Radial";
    default: return nullptr;
    }
}

class ParamDeclaration : public ::testing::TestWithParam<A_long> {};

TEST_P(ParamDeclaration, HasExactlyTheDeclaredFieldsAndZeroElsewhere)
{
    const A_long index = GetParam();
    PF_ParamDef actual;
    std::memset(&actual, 0, sizeof actual);
    const ParamSpec* control = find_param_spec(index);
    ASSERT_NE(control, nullptr);
    fill_param_def(*control, copy_name, actual);
    PF_ParamDef expected = expected_declaration(index);

    EXPECT_STREQ(actual.name, expected.name);
    EXPECT_EQ(actual.param_type, expected.param_type);
    if (const char* choices = expected_choices(index)) {
        ASSERT_NE(actual.u.pd.u.namesptr, nullptr);
        EXPECT_STREQ(actual.u.pd.u.namesptr, choices);
        expected.u.pd.u.namesptr = actual.u.pd.u.namesptr;
    }
    // Every byte, floats by their bit patterns; report the first that differs.
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    const auto [ad, ed] = std::mismatch(a, a + sizeof actual, e);
    EXPECT_EQ(ad, a + sizeof actual) << "byte " << ad - a << " is " << +*ad << ", expected " << +*ed;
}

INSTANTIATE_TEST_SUITE_P(EveryControl, ParamDeclaration, ::testing::Range<A_long>(1, 14));

TEST(ParamTable, HasNoControlOutsideOneToThirteen)
{
    EXPECT_EQ(find_param_spec(0), nullptr);
    EXPECT_EQ(find_param_spec(14), nullptr);
    EXPECT_EQ(find_param_spec(-1), nullptr);
}

// The sends for "Type", "Controlled By" and "Shape", in order, each the index
// followed by E (enabled) or D (disabled).
std::string expected_plan(A_long type, A_long controlled_by, A_long shape)
{
    const char* colors[] = {"", "8E 9E 10D 11D ", "8D 9D 10E 11E ", "8E 9E 10E 11E ", ""};
    std::string plan = colors[type];
    if (controlled_by == 1) plan += "3E 4E 5D 6D 7D ";
    if (controlled_by == 2) plan += "3D 4D ";
    if (controlled_by == 2 && (shape == 1 || shape == 2)) plan += "5E 6E 7E ";
    if (controlled_by == 2 && shape == 3) plan += "5E 6E 7D ";
    return plan;
}

class UiRules : public ::testing::TestWithParam<std::tuple<A_long, A_long, A_long>> {};

TEST_P(UiRules, SendColorAndAlphaThenPositionControlsWithTheirStates)
{
    const auto [type, controlled_by, shape] = GetParam();
    const UiPlan plan = plan_ui_state(type, controlled_by, shape);
    std::string sent;
    for (std::size_t i = 0; i < plan.count; ++i) {
        sent += std::to_string(plan.sends[i].index) + (plan.sends[i].disabled ? "D " : "E ");
    }
    EXPECT_EQ(sent, expected_plan(type, controlled_by, shape));
}

INSTANTIATE_TEST_SUITE_P(EveryChoice, UiRules,
                         ::testing::Combine(::testing::Range<A_long>(0, 5), ::testing::Range<A_long>(0, 4),
                                            ::testing::Range<A_long>(0, 5)));

}  // namespace
}  // namespace velkor
