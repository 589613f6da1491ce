// The render command: the request read, the plan made, then the frames
// rendered in the host's order and handed to the writers (render_pipeline.h).
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace velkorramp {

// Runs `velkorramp render ARGS...`; notes go to `err`, the -v report to `out`
// (to `err` when the frame goes to standard output).
int render_command(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace velkorramp
