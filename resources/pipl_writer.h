// Writes the registration property list from the effect's identity. The build
// runs it through velkor_pipl_generator; the tests call it directly.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "host/host_interface.h"

namespace velkor::pipl {

// Everything the property list states about the effect.
struct EffectIdentity {
    std::string_view name;
    std::string_view category;
    std::string_view match_name;
    std::string_view entry_point;
    A_u_long version;
    A_long out_flags;
    A_long out_flags2;
    A_short pipl_version_major;
    A_short pipl_version_minor;
    A_short spec_version_major;
    A_short spec_version_minor;
    A_short info_flags;
    A_long reserved_info;
};

// The values of host/effect_identity.h: the ones global setup reports.
EffectIdentity velkor_ramp_identity();

// The twelve properties in the host's order. Names become length-prefixed
// strings and the entry point a NUL-terminated one; for these three the length
// field counts the padding. Throws std::invalid_argument when a name is empty,
// longer than a length byte can say (255), or holds a NUL.
std::vector<std::uint8_t> build_property_list(const EffectIdentity& identity);

}  // namespace velkor::pipl
