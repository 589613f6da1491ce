#include "ofx/controls.h"

#include <cctype>
#include <string_view>

#include "ofx/host_suites.h"
#include "params/param_ui_rules.h"

namespace velkor::ofx {
namespace {

constexpr double kFixedScale = 65536.0;

const ParamSpec& control_at(std::size_t slot) { return kParamTable[slot]; }

std::size_t slot_of(A_long index) { return static_cast<std::size_t>(index - kFirstControl); }

const char* ofx_type_of(const ParamSpec& control)
{
    switch (control.param_type) {
    case PF_Param_POPUP:
        return kOfxParamTypeChoice;
    case PF_Param_POINT:
        return kOfxParamTypeDouble2D;
    case PF_Param_COLOR:
        return kOfxParamTypeRGB;
    default:
        return kOfxParamTypeDouble;
    }
}

void set_range(OfxPropertySetHandle props, double min, double max, double display_min,
               double display_max)
{
    const OfxPropertySuiteV1& p = *suites().property;
    check(p.propSetDouble(props, kOfxParamPropMin, 0, min));
    check(p.propSetDouble(props, kOfxParamPropMax, 0, max));
    check(p.propSetDouble(props, kOfxParamPropDisplayMin, 0, display_min));
    check(p.propSetDouble(props, kOfxParamPropDisplayMax, 0, display_max));
}

void describe(const ParamSpec& control, OfxPropertySetHandle props)
{
    const OfxPropertySuiteV1& p = *suites().property;
    const std::string name = script_name(control.name);
    check(p.propSetString(props, kOfxPropLabel, 0, control.name));
    check(p.propSetString(props, kOfxParamPropScriptName, 0, name.c_str()));
    check(p.propSetInt(props, kOfxParamPropAnimates, 0, 1));
    switch (control.param_type) {
    case PF_Param_POPUP: {
        std::string_view choices = control.choices;
        for (int option = 0; !choices.empty(); ++option) {
            const std::size_t bar = choices.find('|');
            const std::string label(choices.substr(0, bar));
            check(p.propSetString(props, kOfxParamPropChoiceOption, option, label.c_str()));
            choices = bar == std::string_view::npos ? std::string_view{} : choices.substr(bar + 1);
        }
        check(p.propSetInt(props, kOfxParamPropDefault, 0, control.popup_default - 1));
        break;
    }
    case PF_Param_POINT:
        // The other host's defaults are percent of the layer from its top left;
        // normalised defaults run from the bottom left.
        check(p.propSetString(props, kOfxParamPropDoubleType, 0, kOfxParamDoubleTypeXYAbsolute));
        check(p.propSetString(props, kOfxParamPropDefaultCoordinateSystem, 0,
                              kOfxParamCoordinatesNormalised));
        check(p.propSetDouble(props, kOfxParamPropDefault, 0,
                              control.x_default / kFixedScale / 100.0));
        check(p.propSetDouble(props, kOfxParamPropDefault, 1,
                              1.0 - control.y_default / kFixedScale / 100.0));
        break;
    case PF_Param_FLOAT_SLIDER:
        check(p.propSetString(props, kOfxParamPropDoubleType, 0, kOfxParamDoubleTypePlain));
        set_range(props, control.valid_min, control.valid_max, control.slider_min,
                  control.slider_max);
        check(p.propSetDouble(props, kOfxParamPropDefault, 0, control.float_default));
        check(p.propSetInt(props, kOfxParamPropDigits, 0, control.precision));
        break;
    case PF_Param_ANGLE:
        check(p.propSetString(props, kOfxParamPropDoubleType, 0, kOfxParamDoubleTypeAngle));
        check(p.propSetDouble(props, kOfxParamPropDefault, 0, control.fixed_default / kFixedScale));
        break;
    case PF_Param_COLOR:
        check(p.propSetDouble(props, kOfxParamPropDefault, 0, control.color_default.red / 255.0));
        check(p.propSetDouble(props, kOfxParamPropDefault, 1, control.color_default.green / 255.0));
        check(p.propSetDouble(props, kOfxParamPropDefault, 2, control.color_default.blue / 255.0));
        break;
    case PF_Param_FIX_SLIDER:
        check(p.propSetString(props, kOfxParamPropDoubleType, 0, kOfxParamDoubleTypePlain));
        set_range(props, control.fixed_valid_min / kFixedScale,
                  control.fixed_valid_max / kFixedScale, control.fixed_slider_min / kFixedScale,
                  control.fixed_slider_max / kFixedScale);
        check(p.propSetDouble(props, kOfxParamPropDefault, 0, control.fixed_default / kFixedScale));
        check(p.propSetInt(props, kOfxParamPropDigits, 0, control.precision));
        break;
    default:
        break;
    }
}

int choice_at(OfxParamHandle h, OfxTime time)
{
    int v = 0;
    check(suites().param->paramGetValueAtTime(h, time, &v));
    return v;
}

double double_at(OfxParamHandle h, OfxTime time)
{
    double v = 0;
    check(suites().param->paramGetValueAtTime(h, time, &v));
    return v;
}

OfxPointD point_at(OfxParamHandle h, OfxTime time)
{
    OfxPointD v{0, 0};
    check(suites().param->paramGetValueAtTime(h, time, &v.x, &v.y));
    return v;
}

void rgb_at(OfxParamHandle h, OfxTime time, double (&rgb)[3])
{
    check(suites().param->paramGetValueAtTime(h, time, &rgb[0], &rgb[1], &rgb[2]));
}

}  // namespace

std::string script_name(const char* label)
{
    std::string name;
    bool word_start = false;
    for (const char* c = label; *c != '\0'; ++c) {
        const auto ch = static_cast<unsigned char>(*c);
        if (!std::isalnum(ch)) {
            word_start = !name.empty();
            continue;
        }
        name += static_cast<char>(name.empty() ? std::tolower(ch)
                                  : word_start ? std::toupper(ch)
                                               : ch);
        word_start = false;
    }
    return name;
}

void define_controls(OfxParamSetHandle params)
{
    for (const ParamSpec& control : kParamTable) {
        OfxPropertySetHandle props = nullptr;
        const std::string name = script_name(control.name);
        check(suites().param->paramDefine(params, ofx_type_of(control), name.c_str(), &props));
        describe(control, props);
    }
}

void fetch_controls(OfxParamSetHandle params, ControlHandles& handles)
{
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const std::string name = script_name(control_at(i).name);
        check(suites().param->paramGetHandle(params, name.c_str(), &handles[i], nullptr));
    }
}

RampControls read_controls(const ControlHandles& h, OfxTime time)
{
    const auto at = [&](A_long index) { return h[slot_of(index)]; };
    RampControls c;
    c.type = choice_at(at(kParamType), time);
    c.controlled_by = choice_at(at(kParamControlledBy), time);
    c.start_point = point_at(at(kParamStartPoint), time);
    c.end_point = point_at(at(kParamEndPoint), time);
    c.center = point_at(at(kParamCenter), time);
    c.length = double_at(at(kParamLength), time);
    c.direction = double_at(at(kParamDirection), time);
    rgb_at(at(kParamStartColor), time, c.start_color);
    rgb_at(at(kParamEndColor), time, c.end_color);
    c.start_alpha = double_at(at(kParamStartAlpha), time);
    c.end_alpha = double_at(at(kParamEndAlpha), time);
    c.shape = choice_at(at(kParamShape), time);
    c.power = double_at(at(kParamPower), time);
    return c;
}

void apply_enabling_rules(const ControlHandles& h, OfxTime time)
{
    const auto at = [&](A_long index) { return h[slot_of(index)]; };
    const UiPlan plan = plan_ui_state(choice_at(at(kParamType), time) + 1,
                                      choice_at(at(kParamControlledBy), time) + 1,
                                      choice_at(at(kParamShape), time) + 1);
    for (std::size_t i = 0; i < plan.count; ++i) {
        OfxPropertySetHandle props = nullptr;
        check(suites().param->paramGetPropertySet(at(plan.sends[i].index), &props));
        check(suites().property->propSetInt(props, kOfxParamPropEnabled, 0,
                                            plan.sends[i].disabled ? 0 : 1));
    }
}

}  // namespace velkor::ofx
