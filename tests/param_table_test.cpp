// The thirteen control declarations, byte for byte, and which controls are
// enabled under every combination of "Type", "Controlled By" and "Shape".
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "golden_params.h"
#include "params/param_table.h"
#include "params/param_ui_rules.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

A_char* copy_name(A_char* dest, const A_char* src) { return std::strcpy(dest, src); }

class ParamDeclaration : public ::testing::TestWithParam<A_long> {};

TEST_P(ParamDeclaration, HasExactlyTheDeclaredFieldsAndZeroElsewhere)
{
    const A_long index = GetParam();
    PF_ParamDef actual;
    std::memset(&actual, 0, sizeof actual);
    const ParamSpec* control = find_param_spec(index);
    ASSERT_NE(control, nullptr);
    fill_param_def(*control, copy_name, actual);
    PF_ParamDef expected = golden::declaration(index);

    EXPECT_STREQ(actual.name, expected.name);
    EXPECT_EQ(actual.param_type, expected.param_type);
    if (const char* choices = golden::choices(index)) {
        ASSERT_NE(actual.u.pd.u.namesptr, nullptr);
        EXPECT_STREQ(actual.u.pd.u.namesptr, choices);
        expected.u.pd.u.namesptr = actual.u.pd.u.namesptr;
    }
    // Every byte, floats by their bit patterns; report the first that differs.
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    const auto [ad, ed] = std::mismatch(a, a + sizeof actual, e);
    EXPECT_EQ(ad, a + sizeof actual)
        << "byte " << ad - a << " is " << +*ad << ", expected " << +*ed;
}

INSTANTIATE_TEST_SUITE_P(EveryControl, ParamDeclaration, ::testing::Range<A_long>(1, 14));

TEST(ParamTable, HasNoControlOutsideOneToThirteen)
{
    EXPECT_EQ(find_param_spec(0), nullptr);
    EXPECT_EQ(find_param_spec(14), nullptr);
    EXPECT_EQ(find_param_spec(-1), nullptr);
}

class UiRules : public ::testing::TestWithParam<std::tuple<A_long, A_long, A_long>> {};

TEST_P(UiRules, SendColorAndAlphaThenPositionControlsWithTheirStates)
{
    const auto [type, controlled_by, shape] = GetParam();
    const UiPlan plan = plan_ui_state(type, controlled_by, shape);
    std::vector<std::pair<int, bool>> sent;
    for (std::size_t i = 0; i < plan.count; ++i) {
        sent.emplace_back(static_cast<int>(plan.sends[i].index), plan.sends[i].disabled);
    }
    EXPECT_EQ(sent, golden::ui_sends(type, controlled_by, shape));
}

INSTANTIATE_TEST_SUITE_P(EveryChoice, UiRules,
                         ::testing::Combine(::testing::Range<A_long>(0, 5),
                                            ::testing::Range<A_long>(0, 4),
                                            ::testing::Range<A_long>(0, kUnknownShape + 1)));

}  // namespace
}  // namespace velkor
