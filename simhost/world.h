// Effect worlds as the simulated host makes them: 8-bit, 16-bit and float pixels
// in any of the host's pixel formats, with chosen row padding, top-down or
// bottom-up storage (negative rowbytes: `data` points at row 0 and later rows lie
// at lower addresses), and an origin. The host owns the memory; the module only
// ever sees the PF_EffectWorld record.
//
// Guard bytes surround the pixel storage and fill the row padding, so a test can
// prove that nothing was written outside the pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "host/pixel_formats.h"

namespace simhost {

using velkor::argb_format_for_depth;
using velkor::kPixelFormatBGRA128;

// Bytes per pixel of a format: 4, 8 or 16; 0 for a format the host does not know.
int bytes_per_pixel(PF_PixelFormat format);
// 8, 16 or 32 (float); 0 for a format the host does not know.
int bit_depth(PF_PixelFormat format);
// True for the two formats whose memory order is blue, green, red, alpha.
bool is_bgra(PF_PixelFormat format);
// "ARGB32", "BGRA32", "ARGB64", "ARGB128", "BGRA128" or the code in hex.
std::string pixel_format_name(PF_PixelFormat format);

// A colour in 0..1 per channel (float worlds take it unclamped).
struct ColorF {
    double alpha = 1.0;
    double red = 1.0;
    double green = 1.0;
    double blue = 1.0;
};

struct WorldSpec {
    int width = 0;
    int height = 0;
    PF_PixelFormat format = PF_PixelFormat_ARGB32;
    int row_padding = 0;     // extra bytes at the end of every row
    bool bottom_up = false;  // negative rowbytes
    int origin_x = 0;
    int origin_y = 0;
    // Pixel size for a format the host does not know (bytes_per_pixel() is 0).
    int unknown_format_pixel_bytes = 4;
};

class World {
public:
    World() : World(WorldSpec{}) {}
    explicit World(const WorldSpec& world_spec);
    World(const World& other);
    World& operator=(const World& other);
    World(World&& other) noexcept;
    World& operator=(World&& other) noexcept;
    ~World() = default;

    PF_EffectWorld* effect_world() { return &world_; }
    const PF_EffectWorld* effect_world() const { return &world_; }
    const WorldSpec& world_spec() const { return spec_; }
    PF_PixelFormat format() const { return spec_.format; }
    int width() const { return spec_.width; }
    int height() const { return spec_.height; }
    int rowbytes() const { return world_.rowbytes; }
    int pixel_bytes() const { return pixel_bytes_; }

    std::uint8_t* row(int y);
    const std::uint8_t* row(int y) const;
    std::uint8_t* pixel_address(int x, int y)
    {
        return row(y) + static_cast<std::ptrdiff_t>(x) * pixel_bytes_;
    }
    const std::uint8_t* pixel_address(int x, int y) const
    {
        return row(y) + static_cast<std::ptrdiff_t>(x) * pixel_bytes_;
    }

    // The pixel as the module's kernels see it: PF_Pixel, PF_Pixel16 or PF_PixelFloat
    // laid over memory, whatever the format's channel order.
    template <class Pixel>
    Pixel& at(int x, int y)
    {
        return *reinterpret_cast<Pixel*>(pixel_address(x, y));
    }
    template <class Pixel>
    const Pixel& at(int x, int y) const
    {
        return *reinterpret_cast<const Pixel*>(pixel_address(x, y));
    }

    // Sets every byte of every pixel (not the padding) to `byte`.
    void fill_bytes(std::uint8_t byte);
    // Fills with a colour in the format's own channel order (BGRA formats store
    // blue, green, red, alpha). 8-bit: v * 255 + 0.5 clamped and truncated; 16-bit:
    // v * 32768 + 0.5; float: the nearest float.
    void fill(const ColorF& color);
    // Fills every pixel from a function of (x, y).
    template <class Fn>
    void fill_with(Fn&& fn)
    {
        for (int y = 0; y < spec_.height; ++y) {
            for (int x = 0; x < spec_.width; ++x) {
                store(x, y, fn(x, y));
            }
        }
    }
    void store(int x, int y, const ColorF& color);

    // Pixel bytes equal (padding and guards not compared); formats and sizes must match.
    bool same_pixels(const World& other) const;
    // "" when same_pixels(), else where and how the first difference lies.
    std::string first_difference(const World& other) const;
    // True while the row padding and the guards before and after the storage hold
    // their pattern.
    bool guards_intact() const;
    // Rows whose pixel bytes differ from `other`'s (same size and format).
    std::vector<int> rows_differing_from(const World& other) const;

    static constexpr std::uint8_t kGuardByte = 0x5A;
    static constexpr std::size_t kGuardBytes = 64;

private:
    void build();
    void rebind();

    WorldSpec spec_;
    int pixel_bytes_ = 4;
    std::vector<std::uint8_t> storage_;
    std::size_t row0_offset_ = 0;
    PF_EffectWorld world_{};
};

}  // namespace simhost
