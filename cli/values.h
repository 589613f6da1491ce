// Option values as a user types them: numbers, coordinate pairs, sizes, colours
// and proxy factors. Each parser takes the option's name so that its one-line
// message says where the bad text came from and what would have been valid.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/frame_depth.h"

namespace velkorramp {

struct PointValue {
    double x = 0;
    double y = 0;
};

struct SizeValue {
    int width = 0;
    int height = 0;
};

// A colour as 0..255 per channel, the way the host's colour controls hold it.
struct Rgba8 {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;
};

// A colour as 0..1 per channel, as given: from 0..255 values divided by 255, or
// from float values as they are.
struct ColorValue {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

// The host's downsample factor along one axis, num/den with 1 <= num <= den.
struct Factor {
    int num = 1;
    int den = 1;
};

struct Downsample {
    Factor x;
    Factor y;
};

inline constexpr int kMaxLayerSide = 30000;
inline constexpr int kMaxThreads = 256;
inline constexpr int kMaxOrigin = 30000;
inline constexpr int kMaxDownsampleDenominator = 1000;
inline constexpr std::uint64_t kMinMemoryLimit = std::uint64_t{1} << 20;  // 1M
inline constexpr std::uint64_t kMaxMemoryLimit = std::uint64_t{1} << 50;  // 1024T

// A whole number filling all of `text`, optionally signed ("12", "+3", "-40"),
// within long long; false for anything else.
bool read_whole(std::string_view text, long long& value);
// True with the number when all of `text` (spaces around it aside) is a finite
// decimal number.
bool read_number(std::string_view text, double& value);
// A finite decimal number ("12", "-0.5", "1e3").
double parse_number(std::string_view option, std::string_view text);
// "X,Y", two finite numbers.
PointValue parse_point(std::string_view option, std::string_view text);
// "X,Y" where each coordinate may also be a percentage of the layer's side:
// "25%,50%" on a 1920x1080 layer is 480,540.
PointValue parse_layer_point(std::string_view option, std::string_view text, int layer_width,
                             int layer_height);
// "X,Y", two whole numbers within +-kMaxOrigin.
void parse_origin(std::string_view option, std::string_view text, int& x, int& y);
// "WxH", each side 1..kMaxLayerSide.
SizeValue parse_size(std::string_view option, std::string_view text);
// "#RGB", "#RRGGBB" or "R,G,B", and with `with_alpha` also "#RRGGBBAA" or
// "R,G,B,A". R,G,B are whole numbers 0..255, or numbers 0..1 when any has a
// decimal point or an "f" suffix ("1.0,0.5,0", "1f,0f,0f"). Without an alpha
// the colour is opaque.
ColorValue parse_color_value(std::string_view option, std::string_view text, bool with_alpha);
// The same, as 0..255 per channel (float values v * 255 + 0.5 truncated).
Rgba8 parse_color(std::string_view option, std::string_view text, bool with_alpha);
// "N/D" for both axes or "N/D,N/D" for horizontal then vertical.
Downsample parse_downsample(std::string_view option, std::string_view text);
// 8, 16 or 32.
FrameDepth parse_depth(std::string_view option, std::string_view text);
// 1..kMaxThreads, or 0 for every core.
int parse_threads(std::string_view option, std::string_view text);
// A number of bytes, whole or with K, M, G or T (powers of 1024, "iB" or "B"
// after them allowed): "8G", "1.5G", "512MiB", "1048576". kMinMemoryLimit to
// kMaxMemoryLimit.
std::uint64_t parse_memory_size(std::string_view option, std::string_view text);

// "a" or "an", as the number is read aloud: "an 8-bit", "an 11x11", "a 16-bit".
const char* article_for(long long number);

// The shortest decimal text that reads back as `value` ("0.01", "300", "-2.5").
std::string format_number(double value);
// The same for a value the module declared as a 32-bit float: 0.01f prints "0.01".
std::string format_float(float value);

}  // namespace velkorramp
