#include "hostcheck/frame_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace velkor::hostcheck {
namespace {

constexpr std::array<char, 8> kMagic = {'V', 'K', 'F', 'R', 'A', 'M', 'E', '1'};
constexpr std::size_t kHeaderSize = 24;
// Large enough for any frame the checks render, small enough to refuse nonsense.
constexpr std::uint64_t kMaxPixelBytes = 1ull << 30;
constexpr std::uint32_t kMaxSide = 1u << 16;
constexpr std::uint32_t kMaxPixelSize = 16;

void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at)
{
    return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8 |
           static_cast<std::uint32_t>(in[at + 2]) << 16 |
           static_cast<std::uint32_t>(in[at + 3]) << 24;
}

std::uint64_t expected_pixel_bytes(const Frame& frame)
{
    return std::uint64_t{frame.width} * frame.height * frame.pixel_bytes;
}

}  // namespace

void write_frame(const std::filesystem::path& path, const Frame& frame)
{
    if (expected_pixel_bytes(frame) != frame.pixels.size())
        throw FrameError("frame for " + path.string() + " holds " +
                         std::to_string(frame.pixels.size()) + " pixel bytes, its size says " +
                         std::to_string(expected_pixel_bytes(frame)));
    std::vector<std::uint8_t> bytes(kMagic.begin(), kMagic.end());
    put32(bytes, frame.width);
    put32(bytes, frame.height);
    put32(bytes, frame.pixel_bytes);
    put32(bytes, frame.format);
    bytes.insert(bytes.end(), frame.pixels.begin(), frame.pixels.end());

    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            throw FrameError("cannot write " + partial.string());
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw FrameError("cannot rename " + partial.string() + " to " + path.string() + ": " +
                         error.message());
    }
}

Frame read_frame(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FrameError("cannot open " + path.string());
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    if (bytes.size() < kHeaderSize || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        throw FrameError(path.string() + " is not a frame file");
    Frame frame;
    frame.width = get32(bytes, 8);
    frame.height = get32(bytes, 12);
    frame.pixel_bytes = get32(bytes, 16);
    frame.format = get32(bytes, 20);
    // Each factor is bounded first, so the product cannot wrap.
    const bool plausible = frame.width <= kMaxSide && frame.height <= kMaxSide &&
                           frame.pixel_bytes > 0 && frame.pixel_bytes <= kMaxPixelSize;
    const std::uint64_t size = plausible ? expected_pixel_bytes(frame) : 0;
    if (!plausible || size > kMaxPixelBytes || bytes.size() - kHeaderSize != size)
        throw FrameError(path.string() + ": a " + std::to_string(frame.width) + "x" +
                         std::to_string(frame.height) + " frame of " +
                         std::to_string(frame.pixel_bytes) + "-byte pixels needs " +
                         std::to_string(size) + " pixel bytes, the file has " +
                         std::to_string(bytes.size() - kHeaderSize));
    frame.pixels.assign(bytes.begin() + kHeaderSize, bytes.end());
    return frame;
}

FrameComparison compare_frames(const Frame& a, const Frame& b)
{
    FrameComparison result;
    result.same_shape = a.width == b.width && a.height == b.height &&
                        a.pixel_bytes == b.pixel_bytes && a.format == b.format &&
                        a.pixels.size() == b.pixels.size();
    if (!result.same_shape) return result;
    for (std::size_t pixel = 0; pixel * a.pixel_bytes < a.pixels.size(); ++pixel) {
        const std::size_t at = pixel * a.pixel_bytes;
        if (std::memcmp(&a.pixels[at], &b.pixels[at], a.pixel_bytes) == 0) continue;
        if (result.pixels_differing++ == 0) {
            result.first_x = static_cast<std::uint32_t>(pixel % a.width);
            result.first_y = static_cast<std::uint32_t>(pixel / a.width);
        }
    }
    return result;
}

std::string FrameComparison::describe() const
{
    if (!same_shape) return "frames differ in size or pixel format";
    if (pixels_differing == 0) return "identical";
    return std::to_string(pixels_differing) + " pixels differ, the first at (" +
           std::to_string(first_x) + ", " + std::to_string(first_y) + ")";
}

}  // namespace velkor::hostcheck
