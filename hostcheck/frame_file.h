// Rendered frames as files, so that frames from two builds of the module (the
// Linux one and the Windows one under Wine) can be compared bit for bit.
//
// File layout, little-endian: the 8 bytes "VKFRAME1", then 32-bit width,
// height, bytes per pixel and pixel format code, then the pixel bytes row by
// row from the top, without row padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace velkor::hostcheck {

class FrameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Frame {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixel_bytes = 0;  // 4, 8 or 16
    std::uint32_t format = 0;       // the host's pixel format code
    std::vector<std::uint8_t> pixels;

    bool operator==(const Frame&) const = default;
};

// Written to a temporary name and renamed, so a file is whole or absent.
void write_frame(const std::filesystem::path& path, const Frame& frame);
// Refuses a file that is short, long, or not a frame.
Frame read_frame(const std::filesystem::path& path);

struct FrameComparison {
    bool same_shape = false;           // size, pixel size and format agree
    std::size_t pixels_differing = 0;  // pixels with any byte different
    std::uint32_t first_x = 0;         // the first differing pixel, row by row
    std::uint32_t first_y = 0;

    bool identical() const { return same_shape && pixels_differing == 0; }
    std::string describe() const;
};

FrameComparison compare_frames(const Frame& a, const Frame& b);

}  // namespace velkor::hostcheck
