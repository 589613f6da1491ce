// A small reader of 64-bit Windows module files (PE32+): enough to check from
// Linux what the host and the Windows loader will see in VelkorRamp.aex: the
// machine, the DLL flag, the exported names, the imported libraries and the
// resources. Every offset is bounds-checked; a damaged file is a PeError.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace velkor::pe {

class PeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kCharacteristicDll = 0x2000;
inline constexpr std::uint16_t kOptionalMagicPe32Plus = 0x20B;

// A resource type or name: a number, or a string when `text` is not empty.
struct ResourceKey {
    std::uint16_t id = 0;
    std::string text;

    bool operator==(const ResourceKey&) const = default;
};

struct Resource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language;
    std::vector<std::uint8_t> data;
};

struct Section {
    std::string name;
    std::uint32_t virtual_address;
    std::uint32_t virtual_size;
    std::uint32_t raw_offset;
    std::uint32_t raw_size;
};

struct Image {
    std::uint16_t machine;
    std::uint16_t characteristics;
    std::uint16_t optional_magic;
    std::vector<std::string> exports;  // exported names, in the table's order
    std::uint32_t export_count;        // all exported functions, named or not
    std::vector<std::string> imports;  // imported libraries, as spelt in the file
    std::vector<Resource> resources;
    std::vector<Section> sections;

    bool is_dll() const { return (characteristics & kCharacteristicDll) != 0; }
};

Image read_image(std::span<const std::uint8_t> file);
Image read_image_file(const std::filesystem::path& path);

}  // namespace velkor::pe
