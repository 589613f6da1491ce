// Stand-in effect modules for the renderer's failure paths. Built twice: once
// with an entry point that answers every command with success except the one
// named by the environment variable VELKOR_FIXTURE_FAIL (a command number),
// which fails with PF_Err_OUT_OF_MEMORY and a message; once (with
// CLI_FIXTURE_WITHOUT_ENTRY) exporting no entry point at all.
#include <cstdio>
#include <cstdlib>

#include "host/entry.h"

#if defined(CLI_FIXTURE_WITHOUT_ENTRY)

extern "C" VELKOR_EXPORT int not_the_entry_point(int x) { return x; }

#else

extern "C" VELKOR_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData*, PF_OutData* out_data,
                                               PF_ParamDef*[], PF_LayerDef*, void*)
{
    const char* failing = std::getenv("VELKOR_FIXTURE_FAIL");
    if (failing != nullptr && std::atoi(failing) == cmd) {
        std::snprintf(out_data->return_msg, sizeof out_data->return_msg,
                      "fixture refused command %d", cmd);
        out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
        return PF_Err_OUT_OF_MEMORY;
    }
    if (cmd == PF_Cmd_PARAMS_SETUP) out_data->num_params = 1;
    return PF_Err_NONE;
}

#endif
