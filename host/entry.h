// The module's one exported function, as the host calls it.
#pragma once

#include "host/host_interface.h"

#if defined(_WIN32)
#define VELKOR_EXPORT __declspec(dllexport)
#else
#define VELKOR_EXPORT __attribute__((visibility("default")))
#endif

// Answers one host command. `params` is the host's parameter array (index 0 is
// the input layer), `extra` a command-specific record. Never lets an exception
// reach the host; returns 0 or a host error code.
extern "C" VELKOR_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                               PF_ParamDef* params[], PF_LayerDef* output,
                                               void* extra);

// The same signature as a pointer type, for hosts that look the symbol up.
typedef PF_Err (*EntryPointFuncPtr)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                    PF_ParamDef* params[], PF_LayerDef* output, void* extra);
