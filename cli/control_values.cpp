#include "cli/control_values.h"

#include <cstdio>

#include "cli/controls.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

std::string fixed_text(PF_Fixed value) { return format_number(value / 65536.0); }

std::string value_text(simhost::Session& session, const simhost::ParamInfo& param)
{
    const PF_ParamDef& def = session.host().param_records()[static_cast<std::size_t>(param.index)];
    switch (param.type) {
    case PF_Param_POPUP: {
        const int choice = def.u.pd.value;
        const bool known = choice >= 1 && choice <= static_cast<int>(param.choices.size());
        return known ? param.choices[static_cast<std::size_t>(choice - 1)] : std::to_string(choice);
    }
    case PF_Param_POINT: {
        const auto [x, y] = session.host().point_value(param.index);
        return format_number(x) + "," + format_number(y);
    }
    case PF_Param_FLOAT_SLIDER:
        return format_number(def.u.fs_d.value);
    case PF_Param_FIX_SLIDER:
        return fixed_text(def.u.fd.value) + (param.shown_as_percent() ? " %" : "");
    case PF_Param_ANGLE:
        return fixed_text(def.u.ad.value) + " degrees";
    case PF_Param_COLOR: {
        char text[16];
        std::snprintf(text, sizeof text, "#%02X%02X%02X", def.u.cd.value.red, def.u.cd.value.green,
                      def.u.cd.value.blue);
        return text;
    }
    default:
        return "-";
    }
}

}  // namespace

std::vector<ControlValue> control_values(simhost::Session& session)
{
    std::vector<ControlValue> values;
    for (const simhost::ParamInfo& param : session.params()) {
        if (param.type == PF_Param_LAYER) continue;
        const ControlOption* option = option_for_control(param.name);
        values.push_back(ControlValue{option != nullptr ? option->option : "", param.name, value_text(session, param)});
    }
    return values;
}

}  // namespace velkorramp
