// Declares the thirteen controls to the host, in index order, from the table.
#include <cstring>

#include "host/commands.h"
#include "params/param_table.h"

namespace velkor {

PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                    PF_LayerDef* /*output*/)
{
    if (in_data->utils == nullptr || in_data->utils->ansi.strcpy == nullptr ||
        in_data->inter.add_param == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    PF_ParamDef def;
    for (const ParamSpec& control : kParamTable) {
        std::memset(&def, 0, sizeof def);
        fill_param_def(control, in_data->utils->ansi.strcpy, def);
        // Index -1 appends after the last control declared.
        const PF_Err err = in_data->inter.add_param(in_data->effect_ref, -1, &def);
        if (err != PF_Err_NONE) return err;
    }
    out_data->num_params = kParamCount;
    return PF_Err_NONE;
}

}  // namespace velkor
