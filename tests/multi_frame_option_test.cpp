// The multi-frame build option: its registration resource differs from the
// default build's only in the threaded-rendering flag and the effect spec
// version, and each build's global setup reports what its own resource says.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostcheck/pipl_reader.h"
#include "resources/pipl_format.h"
#include "simhost/session.h"

namespace {

using velkor::pipl::four_cc;
using velkor::pipl::parse_property_list;
using velkor::pipl::Property;
using velkor::pipl::read_registration;

constexpr std::uint32_t kThreadedRendering = 0x08000000;  // PF_OutFlag2_SUPPORTS_THREADED_RENDERING

std::vector<std::uint8_t> file_bytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const Property& property(const std::vector<Property>& list, const char (&key)[5])
{
    for (const Property& p : list)
        if (p.key == four_cc(key)) return p;
    throw std::runtime_error(std::string("no property ") + key);
}

std::uint32_t le32(const std::vector<std::uint8_t>& data)
{
    return data.at(0) | data.at(1) << 8 | data.at(2) << 16 |
           static_cast<std::uint32_t>(data.at(3)) << 24;
}

TEST(MultiFrameOption, ResourceDiffersOnlyInTheFlagAndTheSpecVersion)
{
    const std::vector<std::uint8_t> single_bytes = file_bytes(VELKOR_PIPL_PATH);
    const std::vector<std::uint8_t> multi_bytes = file_bytes(VELKOR_MULTI_FRAME_PIPL_PATH);
    ASSERT_EQ(multi_bytes.size(), single_bytes.size());
    const std::vector<Property> single = parse_property_list(single_bytes);
    const std::vector<Property> multi = parse_property_list(multi_bytes);
    ASSERT_EQ(multi.size(), single.size());
    for (std::size_t i = 0; i < single.size(); ++i) {
        SCOPED_TRACE(velkor::pipl::four_cc_text(single[i].key));
        EXPECT_EQ(multi[i].key, single[i].key);
        EXPECT_EQ(multi[i].offset, single[i].offset);
        if (single[i].key != four_cc("eGL2") && single[i].key != four_cc("eSVR")) {
            EXPECT_EQ(multi[i].data, single[i].data);
        }
    }

    const std::uint32_t single_flags2 = le32(property(single, "eGL2").data);
    EXPECT_EQ(single_flags2 & kThreadedRendering, 0u);
    EXPECT_EQ(le32(property(multi, "eGL2").data), single_flags2 | kThreadedRendering);
    // Two 16-bit numbers, major then minor: 13.0 by default, 13.28 with the option.
    EXPECT_EQ(property(single, "eSVR").data, (std::vector<std::uint8_t>{13, 0, 0, 0}));
    EXPECT_EQ(property(multi, "eSVR").data, (std::vector<std::uint8_t>{13, 0, 28, 0}));
}

TEST(MultiFrameOption, EachBuildsGlobalSetupReportsItsOwnResource)
{
    struct Build {
        const char* module;
        const char* pipl;
        bool multi_frame;
    };
    for (const Build& build :
         {Build{VELKOR_MODULE_PATH, VELKOR_PIPL_PATH, false},
          Build{VELKOR_MULTI_FRAME_MODULE_PATH, VELKOR_MULTI_FRAME_PIPL_PATH, true}}) {
        SCOPED_TRACE(build.module);
        const velkor::pipl::Registration registration = read_registration(file_bytes(build.pipl));
        simhost::Session session;
        const simhost::Status loaded = session.load(build.module);
        ASSERT_TRUE(loaded) << loaded.message;
        ASSERT_EQ(session.global_setup(), PF_Err_NONE);
        const PF_OutData out = session.last_out_data();
        EXPECT_EQ(out.my_version, registration.version);
        EXPECT_EQ(out.out_flags, registration.out_flags);
        EXPECT_EQ(out.out_flags2, registration.out_flags2);
        EXPECT_EQ((static_cast<std::uint32_t>(out.out_flags2) & kThreadedRendering) != 0,
                  build.multi_frame);
        EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
        EXPECT_TRUE(session.accounting().balanced()) << session.accounting().unbalanced();
    }
}

}  // namespace
