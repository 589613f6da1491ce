// The exported entry point: one table from command to handler, and the one place
// where anything a handler throws becomes a host error code. Nothing unwinds
// into the host.
#include "host/entry.h"

#include <new>

#include "host/commands.h"

namespace velkor {
namespace {

PF_Err dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra)
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
        return about(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP:
        return global_setup(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETDOWN:
        return global_setdown(in_data);
    case PF_Cmd_PARAMS_SETUP:
        return params_setup(in_data, out_data, params, output);
    case PF_Cmd_UPDATE_PARAMS_UI:
        return update_params_ui(in_data, out_data, params, output);
    case PF_Cmd_SMART_PRE_RENDER:
        return smart_pre_render(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
        return smart_render(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
    default:
        // Everything else, the plain render command included: this effect
        // renders only through the smart-render pair.
        return PF_Err_NONE;
    }
}

bool is_answered(PF_Cmd cmd)
{
    switch (cmd) {
    case PF_Cmd_ABOUT:
    case PF_Cmd_GLOBAL_SETUP:
    case PF_Cmd_GLOBAL_SETDOWN:
    case PF_Cmd_PARAMS_SETUP:
    case PF_Cmd_UPDATE_PARAMS_UI:
    case PF_Cmd_SMART_PRE_RENDER:
    case PF_Cmd_SMART_RENDER:
        return true;
    default:
        return false;
    }
}

}  // namespace
}  // namespace velkor

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra)
{
    // Every answered command reads the host's records; without them there is
    // nothing to answer safely.
    if (velkor::is_answered(cmd) && (in_data == nullptr || out_data == nullptr)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    PF_Err result = PF_Err_NONE;
    try {
        result = velkor::dispatch(cmd, in_data, out_data, params, output, extra);
    } catch (const PF_Err& thrown) {
        result = thrown;
    } catch (const std::bad_alloc&) {
        result = PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        result = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    return result;
}
