#include "cli/values.h"

#include <algorithm>
#include <array>
#include <thread>
#include <cctype>
#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

#include "cli/failure.h"
#include "cli/message_text.h"

namespace velkorramp {

namespace {

std::string prefix(std::string_view option) { return std::string(option) + ": "; }

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

// Whole text must be a finite number; from_chars alone would accept "inf" and
// stop silently at the first stray character.
bool read_number(std::string_view text, double& value)
{
    text = trimmed(text);
    if (text.empty()) return false;
    const char* first = text.data();
    if (*first == '+') ++first;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    return ec == std::errc{} && end == last && std::isfinite(value);
}

namespace {

bool read_int(std::string_view text, long long& value) { return read_whole(trimmed(text), value); }

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool read_whole(std::string_view text, long long& value)
{
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc{} && end == last;
}

double parse_number(std::string_view option, std::string_view text)
{
    double value = 0;
    if (!read_number(text, value)) {
        usage_error(prefix(option) + in_quotes(text) + " is not a number");
    }
    return value;
}

PointValue parse_point(std::string_view option, std::string_view text)
{
    const auto parts = split(text, ',');
    PointValue point;
    if (parts.size() != 2 || !read_number(parts[0], point.x) || !read_number(parts[1], point.y)) {
        usage_error(prefix(option) + in_quotes(text) +
                    " is not X,Y (two numbers in layer pixels, e.g. 960,540)");
    }
    return point;
}

PointValue parse_layer_point(std::string_view option, std::string_view text, int layer_width,
                             int layer_height)
{
    const auto parts = split(text, ',');
    PointValue point;
    const auto coordinate = [](std::string_view part, int side, double& value) {
        part = trimmed(part);
        if (!part.empty() && part.back() == '%') {
            double percent = 0;
            if (!read_number(part.substr(0, part.size() - 1), percent)) return false;
            value = percent / 100.0 * side;
            return true;
        }
        return read_number(part, value);
    };
    if (parts.size() != 2 || !coordinate(parts[0], layer_width, point.x) ||
        !coordinate(parts[1], layer_height, point.y)) {
        usage_error(
            prefix(option) + in_quotes(text) +
            " is not X,Y (two numbers in layer pixels, e.g. 960,540, or percent of the layer, e.g. 50%,50%)");
    }
    return point;
}

void parse_origin(std::string_view option, std::string_view text, int& x, int& y)
{
    const auto parts = split(text, ',');
    long long vx = 0;
    long long vy = 0;
    if (parts.size() != 2 || !read_int(parts[0], vx) || !read_int(parts[1], vy)) {
        usage_error(prefix(option) + in_quotes(text) +
                    " is not X,Y (two whole numbers of pixels, e.g. 100,50)");
    }
    if (vx < -kMaxOrigin || vx > kMaxOrigin || vy < -kMaxOrigin || vy > kMaxOrigin) {
        usage_error(prefix(option) + in_quotes(text) +
                    " is outside the valid range: each coordinate " + std::to_string(-kMaxOrigin) +
                    " to " + std::to_string(kMaxOrigin));
    }
    x = static_cast<int>(vx);
    y = static_cast<int>(vy);
}

SizeValue parse_size(std::string_view option, std::string_view text)
{
    std::vector<std::string_view> parts = split(text, 'x');
    if (parts.size() != 2) parts = split(text, 'X');
    long long w = 0;
    long long h = 0;
    if (parts.size() != 2 || !read_int(parts[0], w) || !read_int(parts[1], h)) {
        usage_error(prefix(option) + in_quotes(text) + " is not WxH (e.g. 1920x1080)");
    }
    if (w < 1 || w > kMaxLayerSide || h < 1 || h > kMaxLayerSide) {
        usage_error(prefix(option) + in_quotes(text) +
                    " is outside the valid range: width and height 1 to " +
                    std::to_string(kMaxLayerSide));
    }
    return SizeValue{static_cast<int>(w), static_cast<int>(h)};
}

ColorValue parse_color_value(std::string_view option, std::string_view text, bool with_alpha)
{
    const std::string forms = std::string(with_alpha ? "#RGB, #RRGGBB, #RRGGBBAA, R,G,B or R,G,B,A"
                                                     : "#RGB, #RRGGBB or R,G,B") +
                              " with each channel 0 to 255, or 0.0 to 1.0 with a decimal point";
    std::array<double, 4> channels{0, 0, 0, 1};
    std::size_t count = 0;
    text = trimmed(text);
    if (!text.empty() && text.front() == '#') {
        const std::string_view hex = text.substr(1);
        // #RGB stands for #RRGGBB.
        const bool short_form = hex.size() == 3;
        if (short_form || hex.size() == 6 || (with_alpha && hex.size() == 8)) {
            count = short_form ? 3 : hex.size() / 2;
            for (std::size_t i = 0; i < count; ++i) {
                const int high = hex_digit(hex[short_form ? i : 2 * i]);
                const int low = hex_digit(hex[short_form ? i : 2 * i + 1]);
                if (high < 0 || low < 0) {
                    count = 0;
                    break;
                }
                channels[i] = (high * 16 + low) / 255.0;
            }
        }
    } else {
        const auto parts = split(text, ',');
        if (parts.size() == 3 || (with_alpha && parts.size() == 4)) {
            // Floats when any channel has a decimal point or an "f" suffix.
            bool floats = false;
            for (const std::string_view part : parts) {
                const std::string_view p = trimmed(part);
                floats = floats || p.find('.') != std::string_view::npos ||
                         (!p.empty() && (p.back() == 'f' || p.back() == 'F'));
            }
            count = parts.size();
            for (std::size_t i = 0; i < count; ++i) {
                std::string_view p = trimmed(parts[i]);
                if (!p.empty() && (p.back() == 'f' || p.back() == 'F')) p.remove_suffix(1);
                double v = 0;
                long long whole = 0;
                const bool ok = floats ? read_number(p, v) : read_int(p, whole);
                if (!ok) {
                    count = 0;
                    break;
                }
                if (floats ? !(v >= 0.0 && v <= 1.0) : whole < 0 || whole > 255) {
                    usage_error(prefix(option) + in_quotes(text) +
                                " is outside the valid range: " + forms);
                }
                channels[i] = floats ? v : whole / 255.0;
            }
        }
    }
    if (count == 0) {
        usage_error(prefix(option) + in_quotes(text) + " is not a colour: use " + forms);
    }
    return ColorValue{channels[0], channels[1], channels[2], channels[3]};
}

Rgba8 parse_color(std::string_view option, std::string_view text, bool with_alpha)
{
    const ColorValue c = parse_color_value(option, text, with_alpha);
    const auto byte = [](double v) { return static_cast<std::uint8_t>(v * 255.0 + 0.5); };
    return Rgba8{byte(c.red), byte(c.green), byte(c.blue), byte(c.alpha)};
}

Downsample parse_downsample(std::string_view option, std::string_view text)
{
    const std::string valid =
        "N/D with 1 <= N <= D <= " + std::to_string(kMaxDownsampleDenominator) +
        " (e.g. 1/2), or N/D,N/D for horizontal and vertical";
    const auto axes = split(text, ',');
    if (axes.size() > 2) {
        usage_error(prefix(option) + in_quotes(text) + " is not " + valid);
    }
    std::array<Factor, 2> factors;
    for (std::size_t i = 0; i < axes.size(); ++i) {
        const auto parts = split(axes[i], '/');
        long long num = 0;
        long long den = 0;
        if (parts.size() != 2 || !read_int(parts[0], num) || !read_int(parts[1], den)) {
            usage_error(prefix(option) + in_quotes(text) + " is not " + valid);
        }
        if (num < 1 || den < num || den > kMaxDownsampleDenominator) {
            usage_error(prefix(option) + in_quotes(text) + " is outside the valid range: " + valid);
        }
        factors[i] = Factor{static_cast<int>(num), static_cast<int>(den)};
    }
    if (axes.size() == 1) factors[1] = factors[0];
    return Downsample{factors[0], factors[1]};
}

FrameDepth parse_depth(std::string_view option, std::string_view text)
{
    long long v = 0;
    if (!read_int(text, v) || (v != 8 && v != 16 && v != 32)) {
        usage_error(prefix(option) + in_quotes(text) + " is not a depth: use 8, 16 or 32");
    }
    return FrameDepth(static_cast<int>(v));
}

int parse_threads(std::string_view option, std::string_view text)
{
    long long v = 0;
    if (!read_int(text, v)) {
        usage_error(prefix(option) + in_quotes(text) + " is not a whole number of threads");
    }
    if (v < 0 || v > kMaxThreads) {
        usage_error(prefix(option) + in_quotes(text) +
                    " is outside the valid range: 0 (all cores) to " + std::to_string(kMaxThreads) +
                    " threads");
    }
    // 0 is every core, as oiiotool and ffmpeg read it.
    if (v == 0)
        return static_cast<int>(
            std::clamp(std::thread::hardware_concurrency(), 1u, unsigned{kMaxThreads}));
    return static_cast<int>(v);
}

std::uint64_t parse_memory_size(std::string_view option, std::string_view text)
{
    const std::string valid =
        "a size from 1M to 1024T, e.g. 512M or 8G (K, M, G, T are powers of 1024)";
    std::string_view number = trimmed(text);
    int power = 0;
    for (const std::string_view unit : {"iB", "B"}) {
        if (number.size() > unit.size() && number.substr(number.size() - unit.size()) == unit) {
            number.remove_suffix(unit.size());
            break;
        }
    }
    if (!number.empty()) {
        static constexpr std::string_view kUnits = "KMGT";
        const std::size_t unit =
            kUnits.find(static_cast<char>(std::toupper(static_cast<unsigned char>(number.back()))));
        if (unit != std::string_view::npos) {
            power = static_cast<int>(unit) + 1;
            number.remove_suffix(1);
        }
    }
    double value = 0;
    if (!read_number(number, value) || value < 0) {
        usage_error(prefix(option) + in_quotes(text) + " is not " + valid);
    }
    const double bytes = std::floor(std::ldexp(value, 10 * power));
    if (!(bytes >= static_cast<double>(kMinMemoryLimit) &&
          bytes <= static_cast<double>(kMaxMemoryLimit))) {
        usage_error(prefix(option) + in_quotes(text) + " is outside the valid range: " + valid);
    }
    return static_cast<std::uint64_t>(bytes);
}

const char* article_for(long long number)
{
    // Read in groups of three digits: only the leading group is heard first.
    long long leading = number < 0 ? -number : number;
    while (leading >= 1000) leading /= 1000;
    long long first = leading;
    while (first >= 10) first /= 10;
    return first == 8 || leading == 11 || leading == 18 ? "an" : "a";
}

std::string format_number(double value)
{
    std::array<char, 64> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} ? std::string(text.data(), end) : std::string("?");
}

std::string format_float(float value)
{
    std::array<char, 64> text{};
    const auto [end, ec] = std::to_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} ? std::string(text.data(), end) : std::string("?");
}

}  // namespace velkorramp
