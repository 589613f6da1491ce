// The handlers that belong to the module as a whole: About, and the global data
// that lives from global setup to global set-down.
#include <cstring>

#include "host/commands.h"
#include "host/effect_identity.h"
#include "host/handle_ownership.h"
#include "host/suite_handler.h"

namespace velkor {

PF_Err about(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
             PF_LayerDef* /*output*/)
{
    if (in_data->utils == nullptr || in_data->utils->ansi.sprintf == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s, v%d.%d%d\r%s", kEffectName,
                                 kVersionMajor, kVersionMinor, kVersionBug, kMakerNotice);
    return PF_Err_NONE;
}

PF_Err global_setup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                    PF_LayerDef* /*output*/)
{
    // Reported before anything can fail, so the host knows the effect even when
    // the rest of set-up does not succeed.
    out_data->my_version = kVersionWord;
    out_data->out_flags = kGlobalOutFlags;
    out_data->out_flags2 = kGlobalOutFlags2;

    SuiteHandler suites(in_data->pica_basicP);
    const PF_HandleSuite1& handles = suites.handle_suite();

    OwnedHandle handle(handles, handles.host_new_handle(sizeof(GlobalData)));
    if (!handle) return PF_Err_INTERNAL_STRUCT_DAMAGED;

    PF_Err err = PF_Err_NONE;
    HandleLock lock(handles, handle.get());
    if (lock.address() != nullptr) {
        auto* global = static_cast<GlobalData*>(lock.address());
        err = suites.utility_suite().AEGP_RegisterWithAEGP(nullptr, kRegistrationName,
                                                           &global->plugin_id);
        if (err == PF_Err_NONE) out_data->global_data = handle.release();
    }
    // A handle that was not handed over (failed lock or registration) is
    // disposed when `handle` goes out of scope, after the lock is undone.
    return err;
}

PF_Err global_setdown(PF_InData* in_data)
{
    SuiteHandler suites(in_data->pica_basicP);
    if (in_data->global_data != nullptr)
        suites.handle_suite().host_dispose_handle(in_data->global_data);
    return PF_Err_NONE;
}

}  // namespace velkor
