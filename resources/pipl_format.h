// The host's plug-in property list ("PiPL") as stored in a 64-bit Windows
// resource, shared by the build-time writer and the host check's reader.
//
// Layout, all numbers little-endian:
// - header: 16-bit leading word 1, 32-bit list version 0, 32-bit property count;
// - each property: vendor code, key, 32-bit id, 32-bit data length, then the
//   data padded with zero bytes to the next multiple of 4.
// Four-character codes are 32-bit numbers with the first character in the
// highest byte, so the file holds their characters in reverse ('8BIM' is the
// bytes "MIB8").
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/resource_ids.h"

namespace velkor::pipl {

constexpr std::uint32_t four_cc(const char (&code)[5])
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

inline constexpr std::uint16_t kLeadingWord = 1;
inline constexpr std::uint32_t kListVersion = 0;
inline constexpr std::size_t kHeaderSize = 10;
inline constexpr std::size_t kPropertyHeaderSize = 16;

inline constexpr std::uint32_t kVendor = four_cc("8BIM");

inline constexpr std::uint32_t kKindKey = four_cc("kind");
inline constexpr std::uint32_t kNameKey = four_cc("name");
inline constexpr std::uint32_t kCategoryKey = four_cc("catg");
inline constexpr std::uint32_t kCodeWin64X86Key = four_cc("8664");
inline constexpr std::uint32_t kPiplVersionKey = four_cc("ePVR");
inline constexpr std::uint32_t kEffectSpecVersionKey = four_cc("eSVR");
inline constexpr std::uint32_t kEffectVersionKey = four_cc("eVER");
inline constexpr std::uint32_t kEffectInfoFlagsKey = four_cc("eINF");
inline constexpr std::uint32_t kGlobalOutFlagsKey = four_cc("eGLO");
inline constexpr std::uint32_t kGlobalOutFlags2Key = four_cc("eGL2");
inline constexpr std::uint32_t kMatchNameKey = four_cc("eMNA");
inline constexpr std::uint32_t kReservedInfoKey = four_cc("aeFL");

// The value of the 'kind' property that marks an effect.
inline constexpr std::uint32_t kEffectKind = four_cc("eFKT");

// Where the list lives among the module's Windows resources.
inline constexpr char kResourceType[] = "PIPL";
inline constexpr std::uint16_t kResourceId = VELKOR_PIPL_RESOURCE_ID;
inline constexpr std::uint16_t kResourceLanguage =
    VELKOR_RESOURCE_SUB_LANGUAGE << 10 | VELKOR_RESOURCE_PRIMARY_LANGUAGE;
static_assert(kResourceLanguage == 1033, "US English");

constexpr std::size_t padded_to_4(std::size_t size) { return (size + 3) / 4 * 4; }

}  // namespace velkor::pipl
