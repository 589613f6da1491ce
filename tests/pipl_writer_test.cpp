// The registration property list as written from the effect's identity: the
// exact bytes the host reads, and how a different name reshapes them.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostcheck/pipl_reader.h"
#include "resources/pipl_format.h"
#include "resources/pipl_writer.h"

namespace {

using velkor::pipl::build_property_list;
using velkor::pipl::EffectIdentity;
using velkor::pipl::velkor_ramp_identity;

// The 282 bytes the host expects, property by property.
const std::vector<std::uint8_t> kGolden = {
    0x01,
    0x00,
    0x00,
    0x00,
    0x00,
    0x00,
    0x0C,
    0x00,
    0x00,
    0x00,
    // 10: kind = eFKT
    'M',
    'I',
    'B',
    '8',
    'd',
    'n',
    'i',
    'k',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    'T',
    'K',
    'F',
    'e',
    // 30: name
    'M',
    'I',
    'B',
    '8',
    'e',
    'm',
    'a',
    'n',
    0,
    0,
    0,
    0,
    12,
    0,
    0,
    0,
    10,
    'V',
    'e',
    'l',
    'k',
    'o',
    'r',
    'R',
    'a',
    'm',
    'p',
    0,
    // 58: category
    'M',
    'I',
    'B',
    '8',
    'g',
    't',
    'a',
    'c',
    0,
    0,
    0,
    0,
    8,
    0,
    0,
    0,
    6,
    'V',
    'e',
    'l',
    'k',
    'o',
    'r',
    0,
    // 82: 64-bit Windows entry point
    'M',
    'I',
    'B',
    '8',
    '4',
    '6',
    '6',
    '8',
    0,
    0,
    0,
    0,
    16,
    0,
    0,
    0,
    'E',
    'n',
    't',
    'r',
    'y',
    'P',
    'o',
    'i',
    'n',
    't',
    'F',
    'u',
    'n',
    'c',
    0,
    0,
    // 114: property list version 2.0
    'M',
    'I',
    'B',
    '8',
    'R',
    'V',
    'P',
    'e',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x02,
    0x00,
    0x00,
    0x00,
    // 134: effect interface version 13.0
    'M',
    'I',
    'B',
    '8',
    'R',
    'V',
    'S',
    'e',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x0D,
    0x00,
    0x00,
    0x00,
    // 154: version word 0x00080601
    'M',
    'I',
    'B',
    '8',
    'R',
    'E',
    'V',
    'e',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x01,
    0x06,
    0x08,
    0x00,
    // 174: info flags, 2 bytes and 2 of padding
    'M',
    'I',
    'B',
    '8',
    'F',
    'N',
    'I',
    'e',
    0,
    0,
    0,
    0,
    2,
    0,
    0,
    0,
    0x00,
    0x00,
    0x00,
    0x00,
    // 194: global out flags 0x06000000
    'M',
    'I',
    'B',
    '8',
    'O',
    'L',
    'G',
    'e',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x00,
    0x00,
    0x00,
    0x06,
    // 214: global out flags 2 0x00001400
    'M',
    'I',
    'B',
    '8',
    '2',
    'L',
    'G',
    'e',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x00,
    0x14,
    0x00,
    0x00,
    // 234: match name
    'M',
    'I',
    'B',
    '8',
    'A',
    'N',
    'M',
    'e',
    0,
    0,
    0,
    0,
    12,
    0,
    0,
    0,
    10,
    'V',
    'e',
    'l',
    'k',
    'o',
    'r',
    'R',
    'a',
    'm',
    'p',
    0,
    // 262: reserved info 8
    'M',
    'I',
    'B',
    '8',
    'L',
    'F',
    'e',
    'a',
    0,
    0,
    0,
    0,
    4,
    0,
    0,
    0,
    0x08,
    0x00,
    0x00,
    0x00,
};

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
           static_cast<std::uint32_t>(bytes.at(at + 3)) << 24;
}

// Offsets of each property, found by walking the list with the padding rule;
// the walk must land exactly on the end.
std::vector<std::size_t> walk(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::size_t> offsets;
    std::size_t at = velkor::pipl::kHeaderSize;
    const std::uint32_t count = le32(bytes, 6);
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets.push_back(at);
        at += 16 + (le32(bytes, at + 12) + 3) / 4 * 4;
    }
    EXPECT_EQ(at, bytes.size()) << "the walk does not end at the end of the list";
    return offsets;
}

TEST(PiplWriter, WritesTheGoldenBytes)
{
    const std::vector<std::uint8_t> bytes = build_property_list(velkor_ramp_identity());
    ASSERT_EQ(kGolden.size(), 282u);
    ASSERT_EQ(bytes.size(), kGolden.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], kGolden[i]) << "byte " << i;
}

TEST(PiplWriter, PaddingRuleWalksToExactlyTheEnd)
{
    const std::vector<std::uint8_t> bytes = build_property_list(velkor_ramp_identity());
    EXPECT_EQ(walk(bytes),
              (std::vector<std::size_t>{10, 30, 58, 82, 114, 134, 154, 174, 194, 214, 234, 262}));
    // The info flags say 2 bytes but take 4.
    EXPECT_EQ(le32(bytes, 174 + 12), 2u);
    EXPECT_EQ(le32(bytes, 194 + 4), velkor::pipl::four_cc("eGLO"));
}

TEST(PiplWriter, GeneratedFileIsWhatTheBuildEmbeds)
{
    std::ifstream in(VELKOR_PIPL_PATH, std::ios::binary);
    ASSERT_TRUE(in) << VELKOR_PIPL_PATH;
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    EXPECT_EQ(file, kGolden);
}

TEST(PiplWriter, NameLengthDrivesLengthBytePaddingAndLengthField)
{
    struct Case {
        std::string name;
        std::uint32_t length_field;
    };
    // 1 length byte + characters, padded to 4.
    for (const Case& c :
         {Case{"R", 4}, Case{"Ramp", 8}, Case{"VelkorRamp", 12}, Case{"VelkorRamp2", 12},
          Case{"VelkorRamp23", 16}, Case{std::string(255, 'x'), 256}}) {
        EffectIdentity identity = velkor_ramp_identity();
        identity.name = c.name;
        const std::vector<std::uint8_t> bytes = build_property_list(identity);
        SCOPED_TRACE(c.name.size());
        EXPECT_EQ(le32(bytes, 30 + 12), c.length_field);
        EXPECT_EQ(bytes[46], c.name.size());
        EXPECT_EQ(std::string(bytes.begin() + 47, bytes.begin() + 47 + c.name.size()), c.name);
        for (std::size_t pad = 47 + c.name.size(); pad < 46 + c.length_field; ++pad)
            EXPECT_EQ(bytes[pad], 0) << "padding byte " << pad;
        EXPECT_EQ(bytes.size(), 282 - 12 + c.length_field);
        EXPECT_EQ(walk(bytes).size(), 12u);
        EXPECT_EQ(velkor::pipl::read_registration(bytes).name, c.name);
    }
}

TEST(PiplWriter, EntryPointNameIsTerminatedAndPadded)
{
    for (const auto& [name, length_field] : {std::pair<std::string, std::uint32_t>{"Main", 8},
                                             {"EntryPoint_15ch", 16},
                                             {"EntryPoint_16chr", 20}}) {
        EffectIdentity identity = velkor_ramp_identity();
        identity.entry_point = name;
        const std::vector<std::uint8_t> bytes = build_property_list(identity);
        EXPECT_EQ(le32(bytes, 82 + 12), length_field) << name;
        EXPECT_EQ(bytes[98 + name.size()], 0) << name;
        EXPECT_EQ(velkor::pipl::read_registration(bytes).entry_point, name);
    }
}

TEST(PiplWriter, RefusesNamesThatCannotBeStored)
{
    const std::string with_nul("Velkor\0Ramp", 11);
    const std::string too_long(256, 'x');
    for (const std::string* bad : {&with_nul, &too_long}) {
        EffectIdentity identity = velkor_ramp_identity();
        identity.name = *bad;
        EXPECT_THROW(build_property_list(identity), std::invalid_argument);
        identity = velkor_ramp_identity();
        identity.match_name = *bad;
        EXPECT_THROW(build_property_list(identity), std::invalid_argument);
    }
    EffectIdentity identity = velkor_ramp_identity();
    identity.category = "";
    EXPECT_THROW(build_property_list(identity), std::invalid_argument);
    identity = velkor_ramp_identity();
    identity.entry_point = with_nul;
    EXPECT_THROW(build_property_list(identity), std::invalid_argument);
}

}  // namespace
