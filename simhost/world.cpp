#include "simhost/world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace simhost {

int bytes_per_pixel(PF_PixelFormat format)
{
    const velkor::PixelFormatInfo* info = velkor::pixel_format_info(format);
    return info != nullptr ? info->pixel_bytes : 0;
}

int bit_depth(PF_PixelFormat format)
{
    const velkor::PixelFormatInfo* info = velkor::pixel_format_info(format);
    return info != nullptr ? info->bits : 0;
}

bool is_bgra(PF_PixelFormat format)
{
    const velkor::PixelFormatInfo* info = velkor::pixel_format_info(format);
    return info != nullptr && info->bgra;
}

std::string pixel_format_name(PF_PixelFormat format)
{
    if (const velkor::PixelFormatInfo* info = velkor::pixel_format_info(format)) {
        return info->name;
    }
    if (format == PF_PixelFormat_INVALID) {
        return "INVALID";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(format));
    return text;
}

World::World(const WorldSpec& world_spec) : spec_(world_spec) { build(); }

World::World(const World& other)
    : spec_(other.spec_),
      pixel_bytes_(other.pixel_bytes_),
      storage_(other.storage_),
      row0_offset_(other.row0_offset_),
      world_(other.world_)
{
    rebind();
}

World& World::operator=(const World& other)
{
    if (this != &other) {
        spec_ = other.spec_;
        pixel_bytes_ = other.pixel_bytes_;
        storage_ = other.storage_;
        row0_offset_ = other.row0_offset_;
        world_ = other.world_;
        rebind();
    }
    return *this;
}

World::World(World&& other) noexcept
    : spec_(other.spec_),
      pixel_bytes_(other.pixel_bytes_),
      storage_(std::move(other.storage_)),
      row0_offset_(other.row0_offset_),
      world_(other.world_)
{
    rebind();
}

World& World::operator=(World&& other) noexcept
{
    if (this != &other) {
        spec_ = other.spec_;
        pixel_bytes_ = other.pixel_bytes_;
        storage_ = std::move(other.storage_);
        row0_offset_ = other.row0_offset_;
        world_ = other.world_;
        rebind();
    }
    return *this;
}

void World::build()
{
    spec_.width = std::max(spec_.width, 0);
    spec_.height = std::max(spec_.height, 0);
    spec_.row_padding = std::max(spec_.row_padding, 0);
    pixel_bytes_ = bytes_per_pixel(spec_.format);
    if (pixel_bytes_ == 0) {
        pixel_bytes_ = std::max(spec_.unknown_format_pixel_bytes, 1);
    }
    const std::size_t stride =
        static_cast<std::size_t>(spec_.width) * pixel_bytes_ + spec_.row_padding;
    storage_.assign(2 * kGuardBytes + stride * spec_.height, kGuardByte);
    row0_offset_ = kGuardBytes;
    if (spec_.bottom_up && spec_.height > 0) {
        row0_offset_ = kGuardBytes + stride * (spec_.height - 1);
    }
    world_ = PF_EffectWorld{};
    world_.rowbytes = static_cast<A_long>(spec_.bottom_up ? -static_cast<std::ptrdiff_t>(stride)
                                                          : static_cast<std::ptrdiff_t>(stride));
    world_.width = spec_.width;
    world_.height = spec_.height;
    world_.extent_hint = PF_LRect{0, 0, spec_.width, spec_.height};
    world_.pix_aspect_ratio = PF_RationalScale{1, 1};
    world_.origin_x = spec_.origin_x;
    world_.origin_y = spec_.origin_y;
    rebind();
    fill_bytes(0);
}

void World::rebind()
{
    world_.data = reinterpret_cast<PF_PixelPtr>(storage_.data() + row0_offset_);
}

std::uint8_t* World::row(int y)
{
    return storage_.data() + row0_offset_ + static_cast<std::ptrdiff_t>(y) * world_.rowbytes;
}

const std::uint8_t* World::row(int y) const
{
    return storage_.data() + row0_offset_ + static_cast<std::ptrdiff_t>(y) * world_.rowbytes;
}

void World::fill_bytes(std::uint8_t byte)
{
    const std::size_t bytes = static_cast<std::size_t>(spec_.width) * pixel_bytes_;
    for (int y = 0; y < spec_.height; ++y) {
        std::memset(row(y), byte, bytes);
    }
}

namespace {

template <class T>
T to_channel(double v, double maximum)
{
    double scaled = v * maximum + 0.5;
    if (scaled < 0.0) {
        scaled = 0.0;
    } else if (scaled > maximum) {
        scaled = maximum;
    }
    return static_cast<T>(scaled);
}

}  // namespace

void World::store(int x, int y, const ColorF& color)
{
    const bool bgra = is_bgra(spec_.format);
    const double in_order[4] = {bgra ? color.blue : color.alpha, bgra ? color.green : color.red,
                                bgra ? color.red : color.green, bgra ? color.alpha : color.blue};
    std::uint8_t* p = pixel_address(x, y);
    switch (bit_depth(spec_.format)) {
    case 8:
        for (int c = 0; c < 4; ++c) {
            p[c] = to_channel<std::uint8_t>(in_order[c], 255.0);
        }
        break;
    case 16:
        for (int c = 0; c < 4; ++c) {
            const std::uint16_t v = to_channel<std::uint16_t>(in_order[c], 32768.0);
            std::memcpy(p + 2 * c, &v, 2);
        }
        break;
    case 32:
        for (int c = 0; c < 4; ++c) {
            const float v = static_cast<float>(in_order[c]);
            std::memcpy(p + 4 * c, &v, 4);
        }
        break;
    default:
        std::memset(p, 0, static_cast<std::size_t>(pixel_bytes_));
        break;
    }
}

void World::fill(const ColorF& color)
{
    fill_with([&](int, int) { return color; });
}

bool World::same_pixels(const World& other) const { return first_difference(other).empty(); }

std::string World::first_difference(const World& other) const
{
    if (spec_.width != other.spec_.width || spec_.height != other.spec_.height) {
        return "sizes differ: " + std::to_string(spec_.width) + "x" + std::to_string(spec_.height) +
               " versus " + std::to_string(other.spec_.width) + "x" +
               std::to_string(other.spec_.height);
    }
    if (pixel_bytes_ != other.pixel_bytes_) {
        return "pixel sizes differ: " + std::to_string(pixel_bytes_) + " versus " +
               std::to_string(other.pixel_bytes_) + " bytes";
    }
    for (int y = 0; y < spec_.height; ++y) {
        for (int x = 0; x < spec_.width; ++x) {
            const std::uint8_t* a = pixel_address(x, y);
            const std::uint8_t* b = other.pixel_address(x, y);
            if (std::memcmp(a, b, static_cast<std::size_t>(pixel_bytes_)) != 0) {
                std::string text = "first difference at pixel (" + std::to_string(x) + ", " +
                                   std::to_string(y) + "): bytes";
                char hex[8];
                for (int i = 0; i < pixel_bytes_; ++i) {
                    std::snprintf(hex, sizeof hex, " %02X", a[i]);
                    text += hex;
                }
                text += " versus";
                for (int i = 0; i < pixel_bytes_; ++i) {
                    std::snprintf(hex, sizeof hex, " %02X", b[i]);
                    text += hex;
                }
                return text;
            }
        }
    }
    return {};
}

bool World::guards_intact() const
{
    const auto is_guard = [](std::uint8_t b) { return b == kGuardByte; };
    if (!std::all_of(storage_.begin(), storage_.begin() + kGuardBytes, is_guard) ||
        !std::all_of(storage_.end() - kGuardBytes, storage_.end(), is_guard)) {
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(spec_.width) * pixel_bytes_;
    for (int y = 0; y < spec_.height; ++y) {
        const std::uint8_t* pad = row(y) + bytes;
        if (!std::all_of(pad, pad + spec_.row_padding, is_guard)) {
            return false;
        }
    }
    return true;
}

std::vector<int> World::rows_differing_from(const World& other) const
{
    std::vector<int> rows;
    const std::size_t bytes = static_cast<std::size_t>(spec_.width) * pixel_bytes_;
    const int height = std::min(spec_.height, other.spec_.height);
    for (int y = 0; y < height; ++y) {
        if (std::memcmp(row(y), other.row(y), bytes) != 0) {
            rows.push_back(y);
        }
    }
    return rows;
}

}  // namespace simhost
