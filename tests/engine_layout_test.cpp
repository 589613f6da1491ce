#include <gtest/gtest.h>

#include "ramp/ramp_settings.h"

namespace velkor {
namespace {

TEST(RampSettingsLayout, IsPackedInParameterOrder)
{
    EXPECT_EQ(sizeof(RampSettings), 164u);
    EXPECT_EQ(offsetof(RampSettings, type), 0u);
    EXPECT_EQ(offsetof(RampSettings, controlled_by), 4u);
    EXPECT_EQ(offsetof(RampSettings, start_point), 8u);
    EXPECT_EQ(offsetof(RampSettings, end_point), 24u);
    EXPECT_EQ(offsetof(RampSettings, center), 40u);
    EXPECT_EQ(offsetof(RampSettings, length), 56u);
    EXPECT_EQ(offsetof(RampSettings, direction), 64u);
    EXPECT_EQ(offsetof(RampSettings, start_color), 72u);
    EXPECT_EQ(offsetof(RampSettings, end_color), 104u);
    EXPECT_EQ(offsetof(RampSettings, start_alpha), 136u);
    EXPECT_EQ(offsetof(RampSettings, end_alpha), 144u);
    EXPECT_EQ(offsetof(RampSettings, shape), 152u);
    EXPECT_EQ(offsetof(RampSettings, power), 156u);
}

}  // namespace
}  // namespace velkor
