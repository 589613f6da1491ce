#include "params/param_table.h"

namespace velkor {

const ParamSpec* find_param_spec(A_long index)
{
    if (index < kFirstControl || index > kLastControl) return nullptr;
    return &kParamTable[static_cast<std::size_t>(index - kFirstControl)];
}

void fill_param_def(const ParamSpec& control, CopyNameFunc copy_name, PF_ParamDef& def)
{
    def.flags = kParamFlags;
    def.param_type = control.param_type;
    copy_name(def.name, control.name);

    switch (control.param_type) {
    case PF_Param_POPUP:
        def.u.pd.value = control.popup_default;
        def.u.pd.num_choices = control.num_choices;
        def.u.pd.dephault = control.popup_default;
        def.u.pd.u.namesptr = control.choices;
        break;
    case PF_Param_POINT:
        def.u.td.x_value = def.u.td.x_dephault = control.x_default;
        def.u.td.y_value = def.u.td.y_dephault = control.y_default;
        def.u.td.restrict_bounds = 0;
        break;
    case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.valid_min = control.valid_min;
        def.u.fs_d.valid_max = control.valid_max;
        def.u.fs_d.slider_min = control.slider_min;
        def.u.fs_d.slider_max = control.slider_max;
        def.u.fs_d.value = control.float_default;
        def.u.fs_d.dephault = control.float_default;
        def.u.fs_d.precision = control.precision;
        def.u.fs_d.display_flags = control.display_flags;
        def.u.fs_d.curve_tolerance = control.curve_tolerance;
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = def.u.ad.dephault = control.fixed_default;
        break;
    case PF_Param_COLOR:
        def.u.cd.value = def.u.cd.dephault = control.color_default;
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.valid_min = control.fixed_valid_min;
        def.u.fd.valid_max = control.fixed_valid_max;
        def.u.fd.slider_min = control.fixed_slider_min;
        def.u.fd.slider_max = control.fixed_slider_max;
        def.u.fd.value = def.u.fd.dephault = control.fixed_default;
        def.u.fd.precision = control.precision;
        def.u.fd.display_flags = control.display_flags;
        break;
    default:
        break;
    }

    def.uu.id = control.index;
}

}  // namespace velkor
