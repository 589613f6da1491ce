#include "cli/keys_file.h"

#include <cerrno>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "cli/controls.h"
#include "cli/failure.h"
#include "cli/keyframes.h"
#include "cli/message_text.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

using Json = nlohmann::ordered_json;
using simhost::KeyInterpolation;
using simhost::KeySide;

// The numbers of a control's value and speed: x and y; red, green and blue; or one.
std::size_t numbers_of(PF_ParamType type)
{
    return type == PF_Param_POINT ? 2 : type == PF_Param_COLOR ? 3 : 1;
}

// Angles and percents are keyed in 16.16.
double keyed_unit(PF_ParamType type)
{
    return type == PF_Param_ANGLE || type == PF_Param_FIX_SLIDER ? 65536.0 : 1.0;
}

// Where a keyed value's number `n` (in the order the option takes them) is:
// a colour's alpha comes first.
std::size_t keyed_number(PF_ParamType type, std::size_t n)
{
    return type == PF_Param_COLOR ? n + 1 : n;
}

// A key's fields for one of its sides.
struct SideFields {
    const char* kind;
    const char* speed;
    const char* influence;
};
constexpr SideFields kIn{"in", "speed_in", "influence_in"};
constexpr SideFields kOut{"out", "speed_out", "influence_out"};

// A declared 32-bit float as the decimal it was written as (0.01, not 0.0099999998).
double declared_float(double value) { return std::stod(format_float(static_cast<float>(value))); }

// A value in the units the option takes.
Json value_json(const simhost::ParamInfo& p, const simhost::KeyValue& value)
{
    const auto& v = value.v;
    switch (p.type) {
    case PF_Param_POPUP:
        return static_cast<int>(v[0]);
    case PF_Param_POINT:
        return Json::array({v[0], v[1]});
    case PF_Param_COLOR:
        return value_text(p, value);  // "#RRGGBB"
    default:
        return v[0] / keyed_unit(p.type);
    }
}

Json default_json(const simhost::ParamInfo& p, int layer_width, int layer_height)
{
    const PF_ParamDef& def = p.declared;
    switch (p.type) {
    case PF_Param_POPUP:
        return def.u.pd.dephault;
    case PF_Param_POINT:
        return Json::array({def.u.td.x_dephault / 65536.0 / 100.0 * layer_width,
                            def.u.td.y_dephault / 65536.0 / 100.0 * layer_height});
    case PF_Param_FLOAT_SLIDER:
        return declared_float(def.u.fs_d.dephault);
    case PF_Param_FIX_SLIDER:
        return def.u.fd.dephault / 65536.0;
    case PF_Param_ANGLE:
        return def.u.ad.dephault / 65536.0;
    case PF_Param_COLOR:
        return default_text(p, layer_width, layer_height);  // "#RRGGBB"
    default:
        return nullptr;
    }
}

Json speed_json(const simhost::ParamInfo& p, const KeySide& side)
{
    const std::size_t count = numbers_of(p.type);
    Json speeds = Json::array();
    for (std::size_t n = 0; n < count; ++n) {
        speeds.push_back(side.speed[keyed_number(p.type, n)] / keyed_unit(p.type));
    }
    return count == 1 ? speeds[0] : speeds;
}

Json key_json(const simhost::ParamInfo& p, const simhost::Keyframe& key, A_long step)
{
    Json json{{"frame", key.time.value / step}, {"value", value_json(p, key.value)}};
    for (const auto& [side, fields] : {std::pair{&key.in, kIn}, std::pair{&key.out, kOut}}) {
        json[fields.kind] = interpolation_name(side->kind);
        if (side->kind == KeyInterpolation::bezier) {
            json[fields.speed] = speed_json(p, *side);
            json[fields.influence] = side->influence;
        }
    }
    return json;
}

// ------------------------------------------------------------------ reading

const std::set<std::string> kTopFields{"controls", "frame", "fps", "layer"};
const std::set<std::string> kControlFields{"name",    "option",  "type",  "valid",   "range",
                                           "choices", "default", "value", "enabled", "keys"};
const std::set<std::string> kKeyFields{"frame",    "value",        "in",        "out",
                                       "speed_in", "influence_in", "speed_out", "influence_out"};

std::string fields_text(const std::set<std::string>& fields)
{
    std::string text;
    for (const std::string& f : fields) text += (text.empty() ? "" : ", ") + f;
    return text;
}

// A failure's place in the file: `--keys "shot.json": "Power", key 2 (frame 12): `.
struct Place {
    std::string file;
    std::string control;  // "\"Power\"" or "controls[3]"
    int key = 0;          // 1-based, 0 for the control itself
    std::optional<long long> frame;

    [[noreturn]] void fail(const std::string& why) const
    {
        std::string where = "--keys " + in_quotes(file);
        if (!control.empty()) where += ": " + control;
        if (key > 0) where += ", key " + std::to_string(key);
        if (frame) where += " (frame " + std::to_string(*frame) + ")";
        usage_error(where + ": " + why);
    }
};

void check_fields(const Json& object, const std::set<std::string>& allowed, const Place& place)
{
    for (const auto& item : object.items()) {
        if (!allowed.count(item.key())) {
            place.fail("unknown field " + in_quotes(item.key()) + "; the fields are " +
                       fields_text(allowed));
        }
    }
}

std::string number_text(const Json& number)
{
    std::string text = format_number(number.get<double>());
    // 1.0 keeps its decimal point: a colour of 0.0 to 1.0 floats says so by it.
    if (number.is_number_float() && text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

// A value in the option's own text: a string as it is, a number, or numbers
// joined by commas.
std::optional<std::string> value_text_of(const Json& value)
{
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number()) return number_text(value);
    if (!value.is_array() || value.empty()) return std::nullopt;
    std::string text;
    for (const Json& number : value) {
        if (!number.is_number()) return std::nullopt;
        text += (text.empty() ? "" : ",") + number_text(number);
    }
    return text;
}

KeySide read_side(const Json& key, const SideFields& fields, PF_ParamType type, const Place& place)
{
    const std::string kind_field = fields.kind;
    const std::string speed_field = fields.speed;
    const std::string influence_field = fields.influence;
    KeySide side;
    if (const auto kind = key.find(kind_field); kind != key.end()) {
        const auto named =
            kind->is_string() ? interpolation_named(kind->get<std::string>()) : std::nullopt;
        if (!named)
            place.fail(in_quotes(kind_field) + " is none of \"linear\", \"hold\", \"bezier\"");
        side.kind = *named;
    }
    const bool bezier = side.kind == KeyInterpolation::bezier;
    for (const std::string& field : {speed_field, influence_field}) {
        if (key.contains(field) && !bezier) {
            place.fail(in_quotes(field) + " is for a \"bezier\" side; " + in_quotes(kind_field) +
                       " is " + in_quotes(interpolation_name(side.kind)));
        }
    }
    if (const auto speed = key.find(speed_field); speed != key.end()) {
        const std::size_t count = numbers_of(type);
        const bool one = speed->is_number();
        const bool all =
            speed->is_array() && speed->size() == count &&
            std::all_of(speed->begin(), speed->end(), [](const Json& n) { return n.is_number(); });
        if (!one && !all) {
            place.fail(in_quotes(speed_field) + " is not a number" +
                       (count > 1 ? " or an array of " + std::to_string(count) + " numbers" : "") +
                       " (the control's units a second)");
        }
        for (std::size_t n = 0; n < side.speed.size(); ++n) {
            side.speed[n] = (one ? *speed : (*speed)[std::min(n, count - 1)]).get<double>();
        }
    }
    if (const auto influence = key.find(influence_field); influence != key.end()) {
        const double percent = influence->is_number() ? influence->get<double>() : 0.0;
        if (!(percent > 0.0 && percent <= 100.0)) {
            place.fail(in_quotes(influence_field) +
                       " is not a number more than 0 and at most 100 (percent)");
        }
        side.influence = percent;
    }
    return side;
}

KeyText read_key(const Json& key, PF_ParamType type, int largest, Place& place)
{
    if (!key.is_object()) place.fail("is not an object with a \"frame\" and a \"value\"");
    check_fields(key, kKeyFields, place);
    const auto frame = key.find("frame");
    const bool whole =
        frame != key.end() && frame->is_number_integer() &&
        (frame->is_number_unsigned()
             ? frame->get<std::uint64_t>() <= static_cast<std::uint64_t>(largest)
             : frame->get<long long>() >= -largest && frame->get<long long>() <= largest);
    if (!whole) {
        place.fail("\"frame\" is not a whole number from " + std::to_string(-largest) + " to " +
                   std::to_string(largest));
    }
    place.frame = frame->get<long long>();
    const auto value = key.find("value");
    const std::optional<std::string> text =
        value != key.end() ? value_text_of(*value) : std::nullopt;
    if (!text) {
        place.fail(
            "\"value\" is not a number, a string or an array of numbers, as the option "
            "takes it");
    }
    return KeyText{*text, static_cast<int>(*place.frame),
                   KeySides{read_side(key, kIn, type, place), read_side(key, kOut, type, place)}};
}

std::string control_names()
{
    std::string text;
    for (const ControlOption& option : kControlOptions) {
        text += (text.empty() ? "" : ", ") + in_quotes(option.control);
    }
    return text;
}

struct FileControl {
    const ControlOption* option;
    std::vector<KeyText> keys;
    std::string name;
};

std::vector<FileControl> read_controls(simhost::Session& session, const Json& root,
                                       const std::string& file)
{
    Place place{file, "", 0, std::nullopt};
    if (!root.is_object() || !root.contains("controls") || !root["controls"].is_array()) {
        place.fail("is not an object with a \"controls\" array");
    }
    check_fields(root, kTopFields, place);
    const int largest = largest_key_frame(session);
    std::vector<FileControl> controls;
    std::set<std::string> seen;
    int number = 0;
    for (const Json& control : root["controls"]) {
        place = Place{file, "controls[" + std::to_string(number++) + "]", 0, std::nullopt};
        if (!control.is_object() || !control.contains("name") || !control["name"].is_string())
            place.fail("is not an object with a \"name\"");
        const std::string name = control["name"].get<std::string>();
        place.control = in_quotes(name);
        const ControlOption* option = option_for_control(name);
        if (option == nullptr || session.find_param(name) < 0)
            place.fail("names no control; the controls are " + control_names());
        if (!seen.insert(name).second) place.fail("is listed twice");
        check_fields(control, kControlFields, place);
        if (!control.contains("keys")) continue;
        const Json& keys = control["keys"];
        if (!keys.is_array() || keys.empty()) place.fail("\"keys\" is not an array of keys");
        const PF_ParamType type = session.param(session.find_param(name))->type;
        FileControl read{option, {}, place.control};
        std::set<int> frames;
        for (const Json& key : keys) {
            Place at = place;
            at.key = static_cast<int>(read.keys.size()) + 1;
            read.keys.push_back(read_key(key, type, largest, at));
            if (!frames.insert(read.keys.back().frame).second) at.fail("repeats a frame");
        }
        controls.push_back(std::move(read));
    }
    return controls;
}

}  // namespace

void apply_keys_file(simhost::Session& session, const std::filesystem::path& path)
{
    const std::string file = path.string();
    std::error_code ec;
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream text;
    if (stream && !std::filesystem::is_directory(path, ec)) text << stream.rdbuf();
    if (!stream || stream.bad() || std::filesystem::is_directory(path, ec)) {
        const int reason = std::filesystem::is_directory(path, ec) ? EISDIR : errno;
        usage_error("--keys: cannot read " + in_quotes(file) + ": " + system_reason(reason));
    }
    Json root;
    try {
        root = Json::parse(text.str());
    } catch (const Json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 9: ...;
        // last read: '...'", without the library's tag and the bytes it read.
        std::string what = e.what();
        const std::size_t bracket = what.find("] ");
        if (bracket != std::string::npos) what.erase(0, bracket + 2);
        what = what.substr(0, what.find("; last read"));
        usage_error("--keys " + in_quotes(file) + ": not JSON: " + what);
    }
    for (const FileControl& control : read_controls(session, root, file)) {
        const int index = session.find_param(control.option->control);
        session.host().clear_keys(index);
        int number = 0;
        for (const KeyText& key : control.keys) {
            ++number;
            try {
                apply_key(session, *control.option, key);
            } catch (const Failure& failure) {
                // The option's own message, without the option's name.
                std::string why = failure.what();
                const std::string option = std::string(control.option->option) + ": ";
                if (why.rfind(option, 0) == 0) why.erase(0, option.size());
                Place{file, control.name, number, key.frame}.fail(why);
            }
        }
    }
}

std::string params_json(const simhost::Session& session, const JsonContext& context)
{
    Json controls = Json::array();
    const simhost::KeyTime now = session.frame_time(context.frame);
    const A_long step = std::max<A_long>(session.frame_time(1).value, 1);
    const simhost::ParamValues values = session.param_values();
    for (const simhost::ParamInfo& p : session.params()) {
        const ControlOption* option = option_for_control(p.name);
        Json control{{"name", p.name},
                     {"option", option != nullptr ? Json(option->option) : Json(nullptr)},
                     {"type", simhost::param_type_name(p.type)},
                     {"valid", valid_range_text(p)}};
        if (p.type == PF_Param_POPUP) {
            control["choices"] = p.choices;
        } else if (p.type == PF_Param_FLOAT_SLIDER) {
            control["range"] = {{"min", declared_float(p.valid_min)},
                                {"max", declared_float(p.valid_max)}};
        } else if (p.has_range) {
            control["range"] = {{"min", p.valid_min}, {"max", p.valid_max}};
        }
        control["default"] = default_json(p, context.layer_width, context.layer_height);
        control["value"] = value_json(p, session.value_at(p.index, now));
        control["enabled"] = context.enabled(p.index);
        if (const auto keyed = values.keys.find(p.index);
            keyed != values.keys.end() && !keyed->second.empty()) {
            Json keys = Json::array();
            for (const simhost::Keyframe& key : keyed->second)
                keys.push_back(key_json(p, key, step));
            control["keys"] = keys;
        }
        controls.push_back(control);
    }
    const Json root{{"frame", context.frame},
                    {"fps", context.rate},
                    {"layer", {context.layer_width, context.layer_height}},
                    {"controls", controls}};
    return root.dump(2) + "\n";
}

}  // namespace velkorramp
