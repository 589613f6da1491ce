// The command handlers the entry point dispatches to, one per answered command.
// Each returns 0 or a host error code; a suite the host cannot supply leaves a
// handler as a thrown PF_Err (see suite_handler.h).
#pragma once

#include "host/host_interface.h"

namespace velkor {

// The 4-byte block behind the global data handle.
struct GlobalData {
    AEGP_PluginID plugin_id;
};
static_assert(sizeof(GlobalData) == 4);

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output);
PF_Err global_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output);
PF_Err global_setdown(PF_InData* in_data);
PF_Err params_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                    PF_LayerDef* output);
PF_Err update_params_ui(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                        PF_LayerDef* output);
PF_Err smart_pre_render(PF_InData* in_data, PF_OutData* out_data, PF_PreRenderExtra* extra);
PF_Err smart_render(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra);

}  // namespace velkor
