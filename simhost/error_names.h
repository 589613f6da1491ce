// The host's names for its error codes and command selectors, for messages.
#pragma once

#include <string>

#include "host/host_interface.h"

namespace simhost {

// "PF_Err_NONE", "PF_Err_OUT_OF_MEMORY", "PF_Err_BAD_CALLBACK_PARAM", ...; a code the
// host does not name gives "error <n>".
std::string error_name(PF_Err err);
// "PF_Cmd_SMART_RENDER", ...; an unknown selector gives "command <n>".
std::string command_name(PF_Cmd cmd);

}  // namespace simhost
