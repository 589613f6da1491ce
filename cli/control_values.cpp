#include "cli/control_values.h"

#include "cli/controls.h"

namespace velkorramp {

namespace {

// A choice by its name alone, as the host shows it; every other value as
// `params` shows it.
std::string shown_value(const simhost::ParamInfo& param, const simhost::KeyValue& value)
{
    if (param.type != PF_Param_POPUP) return value_text(param, value);
    const int choice = static_cast<int>(value.v[0]);
    const bool known = choice >= 1 && choice <= static_cast<int>(param.choices.size());
    return known ? param.choices[static_cast<std::size_t>(choice - 1)] : std::to_string(choice);
}

}  // namespace

std::vector<ControlValue> control_values(const simhost::Session& session,
                                         const simhost::KeyTime& at)
{
    std::vector<ControlValue> values;
    for (const simhost::ParamInfo& param : session.params()) {
        if (param.type == PF_Param_LAYER) continue;
        const ControlOption* option = option_for_control(param.name);
        values.push_back(ControlValue{option != nullptr ? option->option : "", param.name,
                                      shown_value(param, session.value_at(param.index, at))});
    }
    return values;
}

}  // namespace velkorramp
