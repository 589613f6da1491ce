// Reading a property list as the host does: the generated list is understood,
// and every kind of damage is refused with a message instead of a crash.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostcheck/pipl_reader.h"
#include "resources/pipl_format.h"
#include "resources/pipl_writer.h"

namespace {

using velkor::pipl::four_cc;
using velkor::pipl::parse_property_list;
using velkor::pipl::PiplError;
using velkor::pipl::read_registration;

std::vector<std::uint8_t> generated()
{
    return velkor::pipl::build_property_list(velkor::pipl::velkor_ramp_identity());
}

void put_le32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::string error_of(const std::vector<std::uint8_t>& bytes)
{
    try {
        read_registration(bytes);
    } catch (const PiplError& error) {
        return error.what();
    }
    return "";
}

TEST(PiplReader, SplitsTheGeneratedListIntoTwelveProperties)
{
    const auto properties = parse_property_list(generated());
    ASSERT_EQ(properties.size(), 12u);
    const std::uint32_t keys[] = {four_cc("kind"), four_cc("name"), four_cc("catg"),
                                  four_cc("8664"), four_cc("ePVR"), four_cc("eSVR"),
                                  four_cc("eVER"), four_cc("eINF"), four_cc("eGLO"),
                                  four_cc("eGL2"), four_cc("eMNA"), four_cc("aeFL")};
    for (std::size_t i = 0; i < properties.size(); ++i) {
        EXPECT_EQ(properties[i].vendor, four_cc("8BIM"));
        EXPECT_EQ(properties[i].key, keys[i]) << velkor::pipl::four_cc_text(properties[i].key);
        EXPECT_EQ(properties[i].id, 0u);
    }
    EXPECT_EQ(properties[7].data.size(), 2u);  // info flags: length 2, stored in 4
}

TEST(PiplReader, FindsTheEffectsRegistration)
{
    const auto registration = read_registration(generated());
    EXPECT_EQ(registration.name, "VelkorRamp");
    EXPECT_EQ(registration.category, "Velkor");
    EXPECT_EQ(registration.match_name, "VelkorRamp");
    EXPECT_EQ(registration.entry_point, "EntryPointFunc");
    EXPECT_EQ(registration.version, 0x00080601u);
    EXPECT_EQ(registration.out_flags, 0x06000000);
    EXPECT_EQ(registration.out_flags2, 0x00001400);
}

TEST(PiplReader, RefusesEveryTruncationAndTrailingBytes)
{
    const auto bytes = generated();
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const std::vector<std::uint8_t> cut(bytes.begin(),
                                            bytes.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_THROW(parse_property_list(cut), PiplError) << "cut to " << size;
    }
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_NE(error_of(longer).find("end at offset 282"), std::string::npos) << error_of(longer);
}

TEST(PiplReader, RefusesDamagedHeadersAndLengths)
{
    auto bad_word = generated();
    bad_word[0] = 2;
    EXPECT_NE(error_of(bad_word).find("starts with 2"), std::string::npos);

    auto bad_version = generated();
    bad_version[2] = 1;
    EXPECT_NE(error_of(bad_version).find("version"), std::string::npos);

    auto more = generated();
    put_le32(more, 6, 13);
    EXPECT_NE(error_of(more).find("property 13 of 13"), std::string::npos) << error_of(more);

    auto fewer = generated();
    put_le32(fewer, 6, 11);
    EXPECT_NE(error_of(fewer).find("11 properties end at offset 262"), std::string::npos)
        << error_of(fewer);

    auto huge = generated();
    put_le32(huge, 82 + 12, 0xFFFFFFFFu);
    EXPECT_NE(error_of(huge).find("claims 4294967295 bytes"), std::string::npos) << error_of(huge);

    // A length whose padding would run past the end.
    auto unpadded = generated();
    put_le32(unpadded, 262 + 12, 3);
    unpadded.pop_back();
    EXPECT_THROW(parse_property_list(unpadded), PiplError);
}

TEST(PiplReader, RefusesWhatIsNotARegisteredEffect)
{
    auto filter = generated();
    put_le32(filter, 10 + 16, four_cc("8BFM"));
    EXPECT_NE(error_of(filter).find("not an effect"), std::string::npos) << error_of(filter);

    auto no_entry = generated();
    put_le32(no_entry, 82 + 4, four_cc("8664") + 1);
    EXPECT_NE(error_of(no_entry).find("'8664' is missing"), std::string::npos)
        << error_of(no_entry);

    auto other_vendor = generated();
    put_le32(other_vendor, 154, four_cc("XXXX"));
    EXPECT_NE(error_of(other_vendor).find("'eVER' is missing"), std::string::npos)
        << error_of(other_vendor);

    auto twice = generated();
    put_le32(twice, 234 + 4, four_cc("name"));
    EXPECT_NE(error_of(twice).find("more than once"), std::string::npos) << error_of(twice);

    auto long_name = generated();
    long_name[30 + 16] = 12;  // one more character than the 12 data bytes hold
    EXPECT_NE(error_of(long_name).find("length-prefixed"), std::string::npos)
        << error_of(long_name);

    auto unterminated = generated();
    unterminated[82 + 16 + 14] = 'x';
    unterminated[82 + 16 + 15] = 'y';
    EXPECT_NE(error_of(unterminated).find("NUL-terminated"), std::string::npos)
        << error_of(unterminated);

    auto short_flags = generated();
    put_le32(short_flags, 194 + 12, 2);
    EXPECT_NE(error_of(short_flags).find("too short"), std::string::npos) << error_of(short_flags);
}

TEST(PiplReader, SurvivesEverySingleByteDamage)
{
    const auto bytes = generated();
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (const std::uint8_t value :
             {std::uint8_t{0x00}, std::uint8_t{0x80}, std::uint8_t{0xFF}}) {
            auto damaged = bytes;
            damaged[at] = value;
            try {
                read_registration(damaged);
            } catch (const PiplError&) {
            }
        }
    }
}

}  // namespace
