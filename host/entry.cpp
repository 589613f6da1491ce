// The exported entry point: one table of the commands this effect answers, each
// with its handler and the host records it cannot do without, and the one place
// where anything a handler throws becomes a host error code. Nothing unwinds
// into the host.
#include "host/entry.h"

#include <new>

#include "host/commands.h"

namespace velkor {
namespace {

// The host's records for one call, as the entry point received them.
struct Records {
    PF_InData* in_data;
    PF_OutData* out_data;
    PF_ParamDef** params;
    PF_LayerDef* output;
    void* extra;
};

// Records a command cannot be answered without: the entry point refuses the
// command when the host passes any of them null, before the handler runs.
// Handlers check their command's own `extra` record themselves.
enum Needs : unsigned {
    kInData = 1u << 0,
    kOutData = 1u << 1,
};

struct Command {
    PF_Cmd cmd;
    unsigned needs;
    PF_Err (*handle)(const Records& r);
};

// Every command this effect answers. Anything else, the plain render command
// included, is answered with 0 and no work: this effect renders only through
// the smart-render pair.
constexpr Command kCommands[] = {
    {PF_Cmd_ABOUT, kInData | kOutData,
     [](const Records& r) { return about(r.in_data, r.out_data, r.params, r.output); }},
    {PF_Cmd_GLOBAL_SETUP, kInData | kOutData,
     [](const Records& r) { return global_setup(r.in_data, r.out_data, r.params, r.output); }},
    {PF_Cmd_GLOBAL_SETDOWN, kInData | kOutData, [](const Records& r) { return global_setdown(r.in_data); }},
    {PF_Cmd_PARAMS_SETUP, kInData | kOutData,
     [](const Records& r) { return params_setup(r.in_data, r.out_data, r.params, r.output); }},
    {PF_Cmd_UPDATE_PARAMS_UI, kInData | kOutData,
     [](const Records& r) { return update_params_ui(r.in_data, r.out_data, r.params, r.output); }},
    {PF_Cmd_SMART_PRE_RENDER, kInData | kOutData,
     [](const Records& r) {
         return smart_pre_render(r.in_data, r.out_data, static_cast<PF_PreRenderExtra*>(r.extra));
     }},
    {PF_Cmd_SMART_RENDER, kInData | kOutData,
     [](const Records& r) {
         return smart_render(r.in_data, r.out_data, static_cast<PF_SmartRenderExtra*>(r.extra));
     }},
};

const Command* find_command(PF_Cmd cmd)
{
    for (const Command& command : kCommands) {
        if (command.cmd == cmd) {
            return &command;
        }
    }
    return nullptr;
}

bool has_records(const Command& command, const Records& r)
{
    return ((command.needs & kInData) == 0 || r.in_data != nullptr) &&
           ((command.needs & kOutData) == 0 || r.out_data != nullptr);
}

}  // namespace
}  // namespace velkor

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra)
{
    const velkor::Command* command = velkor::find_command(cmd);
    if (command == nullptr) {
        return PF_Err_NONE;
    }
    const velkor::Records records{in_data, out_data, params, output, extra};
    if (!velkor::has_records(*command, records)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }

    PF_Err result = PF_Err_NONE;
    try {
        result = command->handle(records);
    } catch (const PF_Err& thrown) {
        result = thrown;
    } catch (const std::bad_alloc&) {
        result = PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        result = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    return result;
}
