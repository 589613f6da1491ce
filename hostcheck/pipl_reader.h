// Reads a registration property list the way the host does before it loads a
// module: walks the properties with the padding rule and picks out what names
// and registers an effect. Portable; the Windows host check feeds it the bytes
// of the module's "PIPL" resource, the tests feed it the generated file.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace velkor::pipl {

// Malformed or incomplete property list; the message says what and where.
class PiplError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Property {
    std::uint32_t vendor;
    std::uint32_t key;
    std::uint32_t id;
    std::size_t offset;              // of the property's header in the list
    std::vector<std::uint8_t> data;  // as many bytes as the length field says
};

// What the host learns about an effect from its property list.
struct Registration {
    std::string name;
    std::string category;
    std::string match_name;
    std::string entry_point;  // from the 64-bit Windows code property, '8664'
    A_u_long version;
    A_long out_flags;
    A_long out_flags2;
};

// Splits the list into its properties. The walk must end exactly at the end of
// `bytes`: a short, overlong or miscounted list is a PiplError.
std::vector<Property> parse_property_list(std::span<const std::uint8_t> bytes);

// Parses the list and checks that it registers an effect (kind 'eFKT') with
// every property the host needs, each well formed and present once.
Registration read_registration(std::span<const std::uint8_t> bytes);

// "abcd" for the code four_cc("abcd"), with unprintable bytes as '?'.
std::string four_cc_text(std::uint32_t code);

}  // namespace velkor::pipl
