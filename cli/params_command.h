// The params command: the controls as the module declares them, their values
// at a frame and whether the module's UI update enables them there.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli/options.h"

namespace velkorramp {

std::vector<OptionSpec> params_options();

// Runs `velkorramp params ARGS...`, printing to `out`.
int params_command(std::span<const std::string> args, std::ostream& out);

}  // namespace velkorramp
