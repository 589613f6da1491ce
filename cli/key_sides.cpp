#include "cli/key_sides.h"

#include <array>

#include "cli/values.h"

namespace velkorramp {

using simhost::KeyInterpolation;
using simhost::KeySide;

const char* const kKeySideForms =
    ":ease, :ease-in, :ease-out, :hold, :linear (the default) or "
    ":bezier=SPEED_IN/INFLUENCE_IN/SPEED_OUT/INFLUENCE_OUT with speeds in the control's units a "
    "second and influences in percent, more than 0 and at most 100";

namespace {

std::optional<KeySides> bezier_sides(std::string_view numbers)
{
    std::array<double, 4> given{};
    std::size_t count = 0;
    for (;;) {
        const std::size_t slash = numbers.find('/');
        if (count == given.size() || !read_number(numbers.substr(0, slash), given[count])) {
            return std::nullopt;
        }
        ++count;
        if (slash == std::string_view::npos) break;
        numbers.remove_prefix(slash + 1);
    }
    const auto side = [](double speed, double influence) -> std::optional<KeySide> {
        if (!(influence > 0.0 && influence <= 100.0)) return std::nullopt;
        return KeySide{KeyInterpolation::bezier, {speed, speed, speed, speed}, influence};
    };
    if (count != given.size()) return std::nullopt;
    const std::optional<KeySide> in = side(given[0], given[1]);
    const std::optional<KeySide> out = side(given[2], given[3]);
    if (!in || !out) return std::nullopt;
    return KeySides{*in, *out};
}

}  // namespace

std::optional<KeySides> parse_key_sides(std::string_view text)
{
    constexpr std::string_view bezier = "bezier=";
    if (text.substr(0, bezier.size()) == bezier) return bezier_sides(text.substr(bezier.size()));
    if (text == "linear") return KeySides{};
    if (text == "ease") return KeySides{simhost::kEasyEase, simhost::kEasyEase};
    if (text == "ease-in") return KeySides{simhost::kEasyEase, {}};
    if (text == "ease-out") return KeySides{{}, simhost::kEasyEase};
    if (text == "hold") return KeySides{{}, simhost::kHold};
    return std::nullopt;
}

const char* interpolation_name(KeyInterpolation kind)
{
    switch (kind) {
    case KeyInterpolation::hold:
        return "hold";
    case KeyInterpolation::bezier:
        return "bezier";
    default:
        return "linear";
    }
}

std::optional<KeyInterpolation> interpolation_named(std::string_view name)
{
    for (const KeyInterpolation kind :
         {KeyInterpolation::linear, KeyInterpolation::hold, KeyInterpolation::bezier}) {
        if (name == interpolation_name(kind)) return kind;
    }
    return std::nullopt;
}

}  // namespace velkorramp
