#include "resources/pipl_writer.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/effect_identity.h"
#include "resources/pipl_format.h"

namespace velkor::pipl {
namespace {

class ListWriter {
public:
    void u16(std::uint16_t value)
    {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }

    void u32(std::uint32_t value)
    {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }

    // One property. `length` is what the length field says; the data is
    // padded with zeros to a multiple of 4 either way.
    void property(std::uint32_t key, const std::vector<std::uint8_t>& data, std::uint32_t length)
    {
        u32(kVendor);
        u32(key);
        u32(0);
        u32(length);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        bytes_.resize(bytes_.size() + (padded_to_4(data.size()) - data.size()), 0);
        ++count_;
    }

    void padded_property(std::uint32_t key, std::vector<std::uint8_t> data)
    {
        data.resize(padded_to_4(data.size()), 0);
        property(key, data, static_cast<std::uint32_t>(data.size()));
    }

    std::uint32_t count() const { return count_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t count_ = 0;
};

void check_name(std::string_view what, std::string_view text, std::size_t max_size)
{
    if (text.empty() || text.size() > max_size || text.find('\0') != std::string_view::npos)
        throw std::invalid_argument(std::string(what) + " must be 1 to " +
                                    std::to_string(max_size) + " characters without NUL, got \"" +
                                    std::string(text) + "\"");
}

std::vector<std::uint8_t> length_prefixed(std::string_view what, std::string_view text)
{
    check_name(what, text, 255);
    std::vector<std::uint8_t> data(text.size() + 1);
    data[0] = static_cast<std::uint8_t>(text.size());
    std::copy(text.begin(), text.end(), data.begin() + 1);
    return data;
}

std::vector<std::uint8_t> nul_terminated(std::string_view what, std::string_view text)
{
    // The length field is 32-bit, but nothing a linker exports is that long.
    check_name(what, text, 4096);
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

std::vector<std::uint8_t> le16(A_short low, A_short high)
{
    const auto lo = static_cast<std::uint16_t>(low);
    const auto hi = static_cast<std::uint16_t>(high);
    return {static_cast<std::uint8_t>(lo), static_cast<std::uint8_t>(lo >> 8),
            static_cast<std::uint8_t>(hi), static_cast<std::uint8_t>(hi >> 8)};
}

std::vector<std::uint8_t> le32(std::uint32_t value)
{
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

}  // namespace

EffectIdentity velkor_ramp_identity()
{
    return {kEffectName,       kEffectCategory,         kEffectMatchName,        kEntryPointName,
            kVersionWord,      kGlobalOutFlags,         kGlobalOutFlags2,        kPiplVersionMajor,
            kPiplVersionMinor, kEffectSpecVersionMajor, kEffectSpecVersionMinor, kEffectInfoFlags,
            kReservedInfo};
}

std::vector<std::uint8_t> build_property_list(const EffectIdentity& identity)
{
    ListWriter list;
    list.u16(kLeadingWord);
    list.u32(kListVersion);
    list.u32(0);  // property count, filled in below

    list.property(kKindKey, le32(kEffectKind), 4);
    list.padded_property(kNameKey, length_prefixed("effect name", identity.name));
    list.padded_property(kCategoryKey, length_prefixed("category", identity.category));
    list.padded_property(kCodeWin64X86Key,
                         nul_terminated("entry point name", identity.entry_point));
    list.property(kPiplVersionKey, le16(identity.pipl_version_major, identity.pipl_version_minor),
                  4);
    list.property(kEffectSpecVersionKey,
                  le16(identity.spec_version_major, identity.spec_version_minor), 4);
    list.property(kEffectVersionKey, le32(identity.version), 4);
    // A single 16-bit word: the length says 2, the padding makes it 4.
    const auto info = static_cast<std::uint16_t>(identity.info_flags);
    list.property(kEffectInfoFlagsKey,
                  {static_cast<std::uint8_t>(info), static_cast<std::uint8_t>(info >> 8)}, 2);
    list.property(kGlobalOutFlagsKey, le32(static_cast<std::uint32_t>(identity.out_flags)), 4);
    list.property(kGlobalOutFlags2Key, le32(static_cast<std::uint32_t>(identity.out_flags2)), 4);
    list.padded_property(kMatchNameKey, length_prefixed("match name", identity.match_name));
    list.property(kReservedInfoKey, le32(static_cast<std::uint32_t>(identity.reserved_info)), 4);

    std::vector<std::uint8_t>& bytes = list.bytes();
    const std::vector<std::uint8_t> count = le32(list.count());
    std::copy(count.begin(), count.end(), bytes.begin() + 6);
    return std::move(bytes);
}

}  // namespace velkor::pipl
