#include "cli/controls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/failure.h"
#include "cli/message_text.h"
#include "cli/keyframes.h"
#include "cli/keys_file.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

// Points (layer pixels) and angles (degrees) travel as 16.16 fixed point, so a
// value is rounded to the nearest 1/65536 and must then fit in 32 bits. The
// check is on the rounded value: 32767.999999 passes "less than 32768" but
// rounds to 2^31, which would wrap to -32768. The bound is kept symmetric,
// strictly inside +-32768 once rounded.
constexpr double kFixedOne = 65536.0;
constexpr double kLargestFixed = 2147483647.0;  // 2^31 - 1

bool fits_fixed(double value)
{
    const double fixed = std::round(value * kFixedOne);  // rounding as the host's lround
    return fixed >= -kLargestFixed && fixed <= kLargestFixed;
}

// The docs write British words; the module's choices are American.
std::string american(const std::string& word)
{
    if (word == "colour") return "color";
    if (word == "centre") return "center";
    return word;
}

std::string hex_byte(unsigned value)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    return {kHex[value >> 4 & 15], kHex[value & 15]};
}

std::vector<std::string> words_of(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty()) {
            words.push_back(american(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(american(word));
    return words;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words) text += w;
    return text;
}

bool all_digits(std::string_view text)
{
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return !text.empty();
}

// Text with digits and no letters is meant as a choice number ("3", "-1",
// "2.0"); only a plain whole number names a choice.
bool looks_numeric(std::string_view text)
{
    bool digit = false;
    for (const char c : text) {
        if (std::isalpha(static_cast<unsigned char>(c))) return false;
        digit = digit || std::isdigit(static_cast<unsigned char>(c));
    }
    return digit;
}

std::string_view without_spaces_around(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::string named(const simhost::ParamInfo& param) { return in_quotes(param.name); }

std::string choices_text(const simhost::ParamInfo& param)
{
    std::string text;
    for (std::size_t i = 0; i < param.choices.size(); ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(i + 1) + " " + in_quotes(param.choices[i]) + " (" +
                choice_word(param.choices[i]) + ")";
    }
    return text;
}

// Float sliders declare their ranges as 32-bit floats; print those, not their
// widened doubles ("0.01", not "0.009999999776").
std::string float_range(double low, double high)
{
    return format_float(static_cast<float>(low)) + " to " + format_float(static_cast<float>(high));
}

std::string fixed_text(PF_Fixed value) { return format_number(value / 65536.0); }

[[noreturn]] void out_of_range(const ControlOption& option, const simhost::ParamInfo& param,
                               std::string_view text)
{
    usage_error(std::string(option.option) + ": " + named(param) + " accepts " +
                valid_range_text(param) + "; " + std::string(text) + " is outside that range");
}

void check(const ControlOption& option, const simhost::Status& status)
{
    if (!status) usage_error(std::string(option.option) + ": " + status.message);
}

}  // namespace

const ControlOption* option_for_control(std::string_view control)
{
    for (const ControlOption& option : kControlOptions) {
        if (control == option.control) return &option;
    }
    return nullptr;
}

const ControlOption* find_control_option(std::string_view name)
{
    for (const ControlOption& option : kControlOptions) {
        if (name == option.option) return &option;
    }
    return nullptr;
}

std::string choice_word(std::string_view choice)
{
    std::string word;
    for (const std::string& part : words_of(choice)) {
        if (!word.empty() && !all_digits(part)) word += '-';
        word += part;
    }
    return word;
}

int match_choice(const std::vector<std::string>& choices, std::string_view text)
{
    const int count = static_cast<int>(choices.size());
    const std::string_view bare = without_spaces_around(text);
    if (looks_numeric(bare)) {
        long long number = 0;
        if (!all_digits(bare) || bare.size() > 3 || !read_whole(bare, number)) return 0;
        return number >= 1 && number <= count ? static_cast<int>(number) : 0;
    }
    const std::vector<std::string> given = words_of(text);
    if (given.empty()) return 0;
    const std::string flat = joined(given);
    for (int i = 0; i < count; ++i) {
        if (joined(words_of(choices[static_cast<std::size_t>(i)])) == flat) return i + 1;
    }
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const std::vector<std::string> own = words_of(choices[static_cast<std::size_t>(i)]);
        bool all = true;
        for (const std::string& w : given) {
            bool present = false;
            for (const std::string& o : own) present = present || o == w;
            all = all && present;
        }
        if (all) {
            if (found != 0) return 0;
            found = i + 1;
        }
    }
    return found;
}

const char* value_form(PF_ParamType type)
{
    switch (type) {
    case PF_Param_POPUP:
        return "CHOICE";
    case PF_Param_POINT:
        return "X,Y";
    case PF_Param_ANGLE:
        return "DEGREES";
    case PF_Param_COLOR:
        return "COLOR";
    default:
        return "NUMBER";
    }
}

std::string valid_range_text(const simhost::ParamInfo& param)
{
    switch (param.type) {
    case PF_Param_POPUP:
        return "the choices " + choices_text(param);
    case PF_Param_POINT:
        return "X,Y in layer pixels (or percent of the layer, 50%,50%), each greater than -32768 and less than "
               "32768 once rounded to 1/65536";
    case PF_Param_FLOAT_SLIDER:
        return float_range(param.valid_min, param.valid_max);
    case PF_Param_FIX_SLIDER:
        return format_number(param.valid_min) + " to " + format_number(param.valid_max) +
               (param.shown_as_percent() ? " %" : "");
    case PF_Param_ANGLE:
        if (param.has_range) {
            return format_number(param.valid_min) + " to " + format_number(param.valid_max) +
                   " degrees";
        }
        return "degrees greater than -32768 and less than 32768 once rounded to 1/65536";
    case PF_Param_COLOR:
        return "#RGB, #RRGGBB or R,G,B with each channel 0 to 255, or 0.0 to 1.0 with a decimal point";
    default:
        return "nothing this tool can set";
    }
}

std::string default_text(const simhost::ParamInfo& param, int layer_width, int layer_height)
{
    const PF_ParamDef& def = param.declared;
    switch (param.type) {
    case PF_Param_POPUP: {
        const int choice = def.u.pd.dephault;
        const bool known = choice >= 1 && choice <= static_cast<int>(param.choices.size());
        return std::to_string(choice) +
               (known ? " " + in_quotes(param.choices[static_cast<std::size_t>(choice - 1)])
                      : std::string());
    }
    case PF_Param_POINT: {
        const double px = def.u.td.x_dephault / 65536.0;
        const double py = def.u.td.y_dephault / 65536.0;
        return format_number(px) + " %," + format_number(py) + " % of the layer (" +
               format_number(px / 100.0 * layer_width) + "," +
               format_number(py / 100.0 * layer_height) + " on " + std::to_string(layer_width) +
               "x" + std::to_string(layer_height) + ")";
    }
    case PF_Param_FLOAT_SLIDER:
        return format_float(def.u.fs_d.dephault);
    case PF_Param_FIX_SLIDER:
        return fixed_text(def.u.fd.dephault) + (param.shown_as_percent() ? " %" : "");
    case PF_Param_ANGLE:
        return fixed_text(def.u.ad.dephault) + " degrees";
    case PF_Param_COLOR: {
        char text[16];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", def.u.cd.dephault.red,
                      def.u.cd.dephault.green, def.u.cd.dephault.blue);
        return text;
    }
    default:
        return "-";
    }
}

namespace {

// The number of a text that may end in '%', and whether it did.
double percent_or_number(const ControlOption& option, std::string_view text, bool& percent)
{
    const std::string_view bare = without_spaces_around(text);
    percent = !bare.empty() && bare.back() == '%';
    return parse_number(option.option, percent ? bare.substr(0, bare.size() - 1) : text);
}

// A colour written as whole numbers all 0 or 1: the 0..1 habit, read as 0..255.
bool looks_like_unit_colour(std::string_view text)
{
    if (text.find_first_of(".#fF") != std::string_view::npos) return false;
    bool one = false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view part = without_spaces_around(text.substr(start, comma - start));
        if (part != "0" && part != "1") return false;
        one = one || part == "1";
        if (comma == text.size()) return one;
        start = comma + 1;
    }
}

// "0.5" for an alpha is 0.5 %: say so, and how to write a half.
void note_fraction(std::ostream& notes, const std::string& note, double v)
{
    notes << note << "is " << format_number(v) << " %, as alphas are percent; for "
          << format_number(v * 100) << " % write " << format_number(v * 100) << "\n";
}

// "1,1,1" is #010101: say so, and how to write the 0..1 colour.
void note_unit_colour(std::ostream& notes, const std::string& note, const Rgba8& c)
{
    notes << note << "is 0-255 values (#" << hex_byte(c.red) << hex_byte(c.green)
          << hex_byte(c.blue) << "); for 0-1 values write them with a decimal point ("
          << (c.red ? "1.0" : "0.0") << "," << (c.green ? "1.0" : "0.0") << ","
          << (c.blue ? "1.0" : "0.0") << ")\n";
}

// One value, for all time or as the key at `at`.
void apply_value(simhost::Session& session, const ControlOption& option, std::string_view text,
                 const std::optional<simhost::KeyTime>& at, std::ostream* notes)
{
    const std::string note =
        std::string("velkorramp: note: ") + option.option + " " + std::string(text) + " ";
    const int index = session.find_param(option.control);
    if (index < 0) {
        fail(ExitCode::module_error, std::string("the module declares no control named ") +
                                         in_quotes(option.control) + " (set by " + option.option +
                                         ")");
    }
    const simhost::ParamInfo& param = *session.param(index);
    const std::string where = std::string(option.option) + ": ";
    switch (param.type) {
    case PF_Param_POPUP: {
        const int choice = match_choice(param.choices, text);
        if (choice == 0) {
            std::vector<std::string> words;
            for (const std::string& c : param.choices) words.push_back(choice_word(c));
            const std::vector<std::string_view> candidates(words.begin(), words.end());
            const std::string nearest = nearest_word(american(std::string(text)), candidates);
            usage_error(where + in_quotes(text) + " is not a choice of " + named(param) +
                        (nearest.empty() ? "" : " (did you mean " + nearest + "?)") + "; use " +
                        choices_text(param));
        }
        check(option, session.set_popup(index, choice, at));
        return;
    }
    case PF_Param_POINT: {
        const PointValue p = parse_layer_point(option.option, text, session.config().layer_width,
                                               session.config().layer_height);
        if (!fits_fixed(p.x) || !fits_fixed(p.y)) out_of_range(option, param, text);
        check(option, session.set_point(index, p.x, p.y, at));
        return;
    }
    case PF_Param_FLOAT_SLIDER: {
        bool percent = false;
        double v = percent_or_number(option, text, percent);
        // Length in percent is of the layer's width, the side a horizontal ramp crosses.
        if (percent && std::string_view(option.option) == "--length")
            v = v * session.config().layer_width / 100.0;
        else if (percent)
            v = parse_number(option.option, text);
        if (!(v >= param.valid_min && v <= param.valid_max)) out_of_range(option, param, text);
        check(option, session.set_float(index, v, at));
        return;
    }
    case PF_Param_FIX_SLIDER: {
        bool percent = false;
        const double v = param.shown_as_percent() ? percent_or_number(option, text, percent)
                                                  : parse_number(option.option, text);
        if (!fits_fixed(v) || !(v >= param.valid_min && v <= param.valid_max))
            out_of_range(option, param, text);
        if (notes != nullptr && param.shown_as_percent() && !percent && v > 0 && v < 1)
            note_fraction(*notes, note, v);
        check(option, session.set_percent(index, v, at));
        return;
    }
    case PF_Param_ANGLE: {
        const double v = parse_number(option.option, text);
        const bool inside =
            fits_fixed(v) && (!param.has_range || (v >= param.valid_min && v <= param.valid_max));
        if (!inside) out_of_range(option, param, text);
        check(option, session.set_angle(index, v, at));
        return;
    }
    case PF_Param_COLOR: {
        const Rgba8 c = parse_color(option.option, text, false);
        if (notes != nullptr && looks_like_unit_colour(text)) note_unit_colour(*notes, note, c);
        // The colour control has no alpha of its own to set; keep the declared one.
        const PF_Pixel value{param.declared.u.cd.dephault.alpha, c.red, c.green, c.blue};
        check(option, session.set_color(index, value, at));
        return;
    }
    default:
        fail(ExitCode::module_error, where + named(param) + " is declared as a " +
                                         simhost::param_type_name(param.type) +
                                         ", which this tool cannot set");
    }
}

}  // namespace

int largest_key_frame(simhost::Session& session)
{
    // Frames whose time fits the host's 32-bit clock at its time step.
    const int step = std::max<A_long>(session.config().time_step, 1);
    return static_cast<int>(2147483647 / step);
}

void apply_key(simhost::Session& session, const ControlOption& option, const KeyText& key,
               std::ostream* notes)
{
    const simhost::KeyTime at = session.frame_time(key.frame);
    apply_value(session, option, key.value, at, notes);
    check(option, session.set_key_sides(session.find_param(option.control), at, key.sides.in,
                                        key.sides.out));
}

void apply_control(simhost::Session& session, const ControlOption& option, std::string_view text,
                   std::ostream* notes)
{
    if (!is_keyed(text)) {
        apply_value(session, option, text, std::nullopt, notes);
        return;
    }
    // The keys replace any the control had (from a keys file, or the same option
    // given before).
    const std::vector<KeyText> keys = parse_keys(option.option, text, largest_key_frame(session));
    session.host().clear_keys(session.find_param(option.control));
    for (const KeyText& key : keys) {
        apply_key(session, option, key, notes);
    }
}

std::string value_text(const simhost::ParamInfo& param, const simhost::KeyValue& value)
{
    const auto& v = value.v;
    switch (param.type) {
    case PF_Param_POPUP: {
        const int choice = static_cast<int>(v[0]);
        const bool known = choice >= 1 && choice <= static_cast<int>(param.choices.size());
        return std::to_string(choice) +
               (known ? " " + in_quotes(param.choices[static_cast<std::size_t>(choice - 1)])
                      : std::string());
    }
    case PF_Param_POINT:
        return format_number(v[0]) + "," + format_number(v[1]);
    case PF_Param_FLOAT_SLIDER:
        return format_number(v[0]);
    case PF_Param_FIX_SLIDER:
        return format_number(v[0] / 65536.0) + (param.shown_as_percent() ? " %" : "");
    case PF_Param_ANGLE:
        return format_number(v[0] / 65536.0) + " degrees";
    case PF_Param_COLOR: {
        char text[16];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(v[1]),
                      static_cast<unsigned>(v[2]), static_cast<unsigned>(v[3]));
        return text;
    }
    default:
        return "-";
    }
}

void apply_controls(simhost::Session& session, const ParsedOptions& options, std::ostream* notes)
{
    if (const std::string* file = options.find("--keys")) apply_keys_file(session, *file);
    for (const auto& [name, value] : options.all()) {
        if (const ControlOption* control = find_control_option(name))
            apply_control(session, *control, value, notes);
    }
}

}  // namespace velkorramp
