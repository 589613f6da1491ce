#include "params/param_table.h"

namespace velkor {

const ParamSpec* find_param_spec(A_long index)
{
    if (index < kFirstControl || index > kLastControl) return nullptr;
    return &kParamTable[static_cast<std::size_t>(index - kFirstControl)];
}

void fill_param_def(const ParamSpec& spec, CopyNameFunc copy_name, PF_ParamDef& def)
{
    def.flags = kParamFlags;
    def.param_type = spec.param_type;
    copy_name(def.name, spec.name);

    switch (spec.param_type) {
    case PF_Param_POPUP:
        def.u.pd.value = spec.popup_default;
        def.u.pd.num_choices = spec.num_choices;
        def.u.pd.dephault = spec.popup_default;
        def.u.pd.u.namesptr = spec.choices;
        break;
    case PF_Param_POINT:
        def.u.td.x_value = def.u.td.x_dephault = spec.x_default;
        def.u.td.y_value = def.u.td.y_dephault = spec.y_default;
        def.u.td.restrict_bounds = 0;
        break;
    case PF_Param_FLOAT_SLIDER:
        def.u.fs_d.valid_min = spec.valid_min;
        def.u.fs_d.valid_max = spec.valid_max;
        def.u.fs_d.slider_min = spec.slider_min;
        def.u.fs_d.slider_max = spec.slider_max;
        def.u.fs_d.value = spec.float_default;
        def.u.fs_d.dephault = spec.float_default;
        def.u.fs_d.precision = spec.precision;
        def.u.fs_d.display_flags = spec.display_flags;
        def.u.fs_d.curve_tolerance = spec.curve_tolerance;
        break;
    case PF_Param_ANGLE:
        def.u.ad.value = def.u.ad.dephault = spec.fixed_default;
        break;
    case PF_Param_COLOR:
        def.u.cd.value = def.u.cd.dephault = spec.color_default;
        break;
    case PF_Param_FIX_SLIDER:
        def.u.fd.valid_min = spec.fixed_valid_min;
        def.u.fd.valid_max = spec.fixed_valid_max;
        def.u.fd.slider_min = spec.fixed_slider_min;
        def.u.fd.slider_max = spec.fixed_slider_max;
        def.u.fd.value = def.u.fd.dephault = spec.fixed_default;
        def.u.fd.precision = spec.precision;
        def.u.fd.display_flags = spec.display_flags;
        break;
    default:
        break;
    }

    def.uu.id = spec.index;
}

}  // namespace velkor
