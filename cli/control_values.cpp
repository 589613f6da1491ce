#include "cli/control_values.h"

#include <cstdio>

#include "cli/controls.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

std::string fixed_text(PF_Fixed value) { return format_number(value / 65536.0); }

std::string shown_value(const simhost::ParamInfo& param, const simhost::KeyValue& value)
{
    const auto& v = value.v;
    switch (param.type) {
    case PF_Param_POPUP: {
        const int choice = static_cast<int>(v[0]);
        const bool known = choice >= 1 && choice <= static_cast<int>(param.choices.size());
        return known ? param.choices[static_cast<std::size_t>(choice - 1)] : std::to_string(choice);
    }
    case PF_Param_POINT:
        return format_number(v[0]) + "," + format_number(v[1]);
    case PF_Param_FLOAT_SLIDER:
        return format_number(v[0]);
    case PF_Param_FIX_SLIDER:
        return fixed_text(static_cast<PF_Fixed>(v[0])) + (param.shown_as_percent() ? " %" : "");
    case PF_Param_ANGLE:
        return fixed_text(static_cast<PF_Fixed>(v[0])) + " degrees";
    case PF_Param_COLOR: {
        char text[16];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(v[1]), static_cast<unsigned>(v[2]),
                      static_cast<unsigned>(v[3]));
        return text;
    }
    default:
        return "-";
    }
}

}  // namespace

std::vector<ControlValue> control_values(const simhost::Session& session, const simhost::KeyTime& at)
{
    std::vector<ControlValue> values;
    for (const simhost::ParamInfo& param : session.params()) {
        if (param.type == PF_Param_LAYER) continue;
        const ControlOption* option = option_for_control(param.name);
        values.push_back(ControlValue{option != nullptr ? option->option : "", param.name, shown_value(param, session.value_at(param.index, at))});
    }
    return values;
}

}  // namespace velkorramp
