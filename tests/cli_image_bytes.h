// Image files made byte by byte for the renderer's tests: headers that declare
// more pixels than the file holds, a TIFF small enough to write by hand, a deep
// OpenEXR file.
#pragma once

#include <OpenImageIO/deepdata.h>
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace cli_test {

inline void write_bytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// The CRC of PNG chunks (ISO 3309, reflected, 0xEDB88320).
inline std::uint32_t png_crc(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void put_be32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

inline void put_le(std::string& bytes, std::size_t at, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A PNG whose header (IHDR, with a correct CRC) declares width x height while
// its data stays that of `png`.
inline std::string png_declaring(std::string png, std::uint32_t width, std::uint32_t height)
{
    // Signature (8), IHDR length (4), "IHDR" at 12, width at 16, height at 20, CRC at 29.
    put_be32(png, 16, width);
    put_be32(png, 20, height);
    put_be32(png, 29, png_crc(png.substr(12, 17)));
    return png;
}

// A little-endian, uncompressed, 8-bit grey TIFF of one strip that declares
// width x height and holds `pixels` as its strip.
inline std::string tiff_declaring(std::uint32_t width, std::uint32_t height,
                                  const std::string& pixels)
{
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;  // 3 SHORT, 4 LONG
        std::uint32_t value;
    };
    constexpr std::uint32_t kEntries = 9;
    const std::uint32_t data_at = 8 + 2 + kEntries * 12 + 4;
    const Entry entries[kEntries]{
        {256, 4, width},   {257, 4, height}, {258, 3, 8},      {259, 3, 1},
        {262, 3, 1},  // black is zero
        {273, 4, data_at}, {277, 3, 1},      {278, 4, height}, {279, 4, width * height},
    };
    std::string tiff(data_at, '\0');
    tiff[0] = tiff[1] = 'I';
    put_le(tiff, 2, 42, 2);
    put_le(tiff, 4, 8, 4);
    put_le(tiff, 8, kEntries, 2);
    for (std::uint32_t i = 0; i < kEntries; ++i) {
        const std::size_t at = 10 + i * 12;
        put_le(tiff, at, entries[i].tag, 2);
        put_le(tiff, at + 2, entries[i].type, 2);
        put_le(tiff, at + 4, 1, 4);
        put_le(tiff, at + 8, entries[i].value, entries[i].type == 3 ? 2 : 4);
    }
    return tiff + pixels;
}

// An OpenEXR file whose data window declares width x height while the rest
// stays that of `exr`.
inline std::string exr_declaring(std::string exr, std::int32_t width, std::int32_t height)
{
    const std::string name = std::string("dataWindow") + '\0' + "box2i" + '\0';
    const std::size_t at = exr.find(name);
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos) return exr;
    const std::size_t box = at + name.size() + 4;  // after the attribute's size
    put_le(exr, box + 8, static_cast<std::uint32_t>(width - 1), 4);
    put_le(exr, box + 12, static_cast<std::uint32_t>(height - 1), 4);
    return exr;
}

// A 3x2 deep OpenEXR file: two samples a pixel.
inline void write_deep_exr(const std::filesystem::path& file)
{
    OIIO::ImageSpec image_spec(3, 2, 5, OIIO::TypeDesc::FLOAT);
    image_spec.channelnames = {"R", "G", "B", "A", "Z"};
    image_spec.alpha_channel = 3;
    image_spec.z_channel = 4;
    image_spec.deep = true;
    OIIO::DeepData deep(image_spec);
    for (int p = 0; p < 6; ++p) {
        deep.set_samples(p, 2);
        for (int c = 0; c < 5; ++c) {
            for (int s = 0; s < 2; ++s)
                deep.set_deep_value(p, c, s, 0.25f * static_cast<float>(s + 1));
        }
    }
    auto out = OIIO::ImageOutput::create(file.string());
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->open(file.string(), image_spec)) << out->geterror();
    ASSERT_TRUE(out->write_deep_image(deep)) << out->geterror();
    ASSERT_TRUE(out->close());
}

}  // namespace cli_test
