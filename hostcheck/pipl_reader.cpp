#include "hostcheck/pipl_reader.h"

#include <algorithm>

#include "resources/pipl_format.h"

namespace velkor::pipl {
namespace {

std::uint32_t le32_at(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::string where(const Property& property)
{
    return "property '" + four_cc_text(property.key) + "' at offset " +
           std::to_string(property.offset);
}

const Property& find_once(const std::vector<Property>& properties, std::uint32_t key)
{
    const Property* found = nullptr;
    for (const Property& property : properties) {
        if (property.vendor != kVendor || property.key != key) continue;
        if (found) throw PiplError("property '" + four_cc_text(key) + "' appears more than once");
        found = &property;
    }
    if (!found) throw PiplError("property '" + four_cc_text(key) + "' is missing");
    return *found;
}

std::uint32_t number(const Property& property)
{
    if (property.data.size() < 4)
        throw PiplError(where(property) + " is too short for a 32-bit number");
    return le32_at(property.data, 0);
}

std::string length_prefixed(const Property& property)
{
    if (property.data.empty() || property.data[0] == 0 ||
        property.data[0] + 1u > property.data.size())
        throw PiplError(where(property) + " does not hold a length-prefixed string");
    return std::string(property.data.begin() + 1, property.data.begin() + 1 + property.data[0]);
}

std::string nul_terminated(const Property& property)
{
    const auto end = std::find(property.data.begin(), property.data.end(), std::uint8_t{0});
    if (end == property.data.end() || end == property.data.begin())
        throw PiplError(where(property) + " does not hold a NUL-terminated name");
    return std::string(property.data.begin(), end);
}

}  // namespace

std::string four_cc_text(std::uint32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<char>(code >> shift & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

std::vector<Property> parse_property_list(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize)
        throw PiplError("property list of " + std::to_string(bytes.size()) +
                        " bytes is shorter than its header");
    const std::uint16_t leading = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    if (leading != kLeadingWord)
        throw PiplError("property list starts with " + std::to_string(leading) + ", not " +
                        std::to_string(kLeadingWord));
    if (const std::uint32_t version = le32_at(bytes, 2); version != kListVersion)
        throw PiplError("unknown property list version " + std::to_string(version));
    const std::uint32_t count = le32_at(bytes, 6);

    std::vector<Property> properties;
    std::size_t offset = kHeaderSize;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - offset < kPropertyHeaderSize)
            throw PiplError("property " + std::to_string(i + 1) + " of " + std::to_string(count) +
                            " at offset " + std::to_string(offset) +
                            " runs past the end of the list");
        const std::uint32_t length = le32_at(bytes, offset + 12);
        const std::size_t available = bytes.size() - offset - kPropertyHeaderSize;
        if (length > available || padded_to_4(length) > available)
            throw PiplError("property " + std::to_string(i + 1) + " at offset " +
                            std::to_string(offset) + " claims " + std::to_string(length) +
                            " bytes of data, " + std::to_string(available) + " remain");
        Property property{le32_at(bytes, offset),
                          le32_at(bytes, offset + 4),
                          le32_at(bytes, offset + 8),
                          offset,
                          {}};
        const auto data = bytes.subspan(offset + kPropertyHeaderSize, length);
        property.data.assign(data.begin(), data.end());
        properties.push_back(std::move(property));
        offset += kPropertyHeaderSize + padded_to_4(length);
    }
    if (offset != bytes.size())
        throw PiplError(std::to_string(count) + " properties end at offset " +
                        std::to_string(offset) + " but the list is " +
                        std::to_string(bytes.size()) + " bytes long");
    return properties;
}

Registration read_registration(std::span<const std::uint8_t> bytes)
{
    const std::vector<Property> properties = parse_property_list(bytes);
    const std::uint32_t kind = number(find_once(properties, kKindKey));
    if (kind != kEffectKind)
        throw PiplError("the module is of kind '" + four_cc_text(kind) + "', not an effect ('" +
                        four_cc_text(kEffectKind) + "')");
    Registration registration;
    registration.name = length_prefixed(find_once(properties, kNameKey));
    registration.category = length_prefixed(find_once(properties, kCategoryKey));
    registration.match_name = length_prefixed(find_once(properties, kMatchNameKey));
    registration.entry_point = nul_terminated(find_once(properties, kCodeWin64X86Key));
    registration.version = number(find_once(properties, kEffectVersionKey));
    registration.out_flags = static_cast<A_long>(number(find_once(properties, kGlobalOutFlagsKey)));
    registration.out_flags2 =
        static_cast<A_long>(number(find_once(properties, kGlobalOutFlags2Key)));
    return registration;
}

}  // namespace velkor::pipl
