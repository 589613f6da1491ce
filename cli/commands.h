// The tool's subcommands: render, params, about, and the help for each.
#pragma once

#include <filesystem>
#include <ostream>
#include <span>
#include <string>

namespace velkorramp {

// Runs `velkorramp ARGS...` (without the program name). Prints to `out`, and on
// failure one line to `err`; returns the process exit code (failure.h).
int run_command_line(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The help of `render` (with the controls as `module` declares them) and of
// `params`.
std::string render_help(const std::filesystem::path& module);
std::string params_help();

}  // namespace velkorramp
