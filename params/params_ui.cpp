// Greys out the controls that the current choices make meaningless, on every
// UI update the host sends, through copies of the host's records.
#include <array>
#include <cstring>

#include "host/commands.h"
#include "host/suite_handler.h"
#include "params/param_table.h"
#include "params/param_ui_rules.h"

namespace velkor {
namespace {

using ParamCopies = std::array<PF_ParamDef, kParamCount>;

bool has_all_params(PF_ParamDef* const params[])
{
    if (params == nullptr) return false;
    for (A_long i = kFirstControl; i <= kLastControl; ++i) {
        if (params[i] == nullptr) return false;
    }
    return true;
}

// Only the controls that may be sent are copied; the host's own records are
// never written.
void copy_ui_params(PF_ParamDef* const params[], ParamCopies& param_copies)
{
    std::memset(param_copies.data(), 0, sizeof(PF_ParamDef) * param_copies.size());
    for (A_long i = kParamStartPoint; i <= kParamEndAlpha; ++i) param_copies[i] = *params[i];
}

PF_Err set_param_disabled(A_long index, bool disabled, ParamCopies& param_copies,
                          SuiteHandler& suites, const PF_InData* in_data)
{
    PF_ParamDef& copy = param_copies[index];
    if (disabled) {
        copy.ui_flags |= PF_PUI_DISABLED;
    } else {
        copy.ui_flags &= ~PF_PUI_DISABLED;
    }
    return suites.param_utils_suite().PF_UpdateParamUI(in_data->effect_ref, index, &copy);
}

}  // namespace

PF_Err update_params_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* /*output*/)
{
    if (!has_all_params(params)) return PF_Err_BAD_CALLBACK_PARAM;

    SuiteHandler suites(in_data->pica_basicP);
    ParamCopies param_copies;
    copy_ui_params(params, param_copies);

    const A_long type = params[kParamType]->u.pd.value;
    const A_long shape = params[kParamShape]->u.pd.value;
    const A_long controlled_by = params[kParamControlledBy]->u.pd.value;
    const UiPlan plan = plan_ui_state(type, controlled_by, shape);
    PF_Err err = PF_Err_NONE;
    for (std::size_t i = 0; i < plan.count && err == PF_Err_NONE; ++i) {
        err = set_param_disabled(plan.sends[i].index, plan.sends[i].disabled, param_copies, suites,
                                 in_data);
    }

    out_data->out_flags |= PF_OutFlag_REFRESH_UI;
    return err;
}

}  // namespace velkor
