// How the renderer fails: every failure is one line for stderr and an exit
// code that says which kind of thing went wrong, so scripts can tell a typo
// from a broken module without parsing text.
#pragma once

#include <stdexcept>
#include <string>

namespace velkorramp {

enum class ExitCode : int {
    ok = 0,
    internal = 1,       // something the tool did not expect
    usage = 2,          // unknown option, malformed or out-of-range value
    input = 3,          // the input image cannot be read
    output = 4,         // the output file cannot be written
    module_load = 5,    // the module does not load or has no entry point
    module_error = 6,   // the module answered a command with an error code
};

class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& line) : std::runtime_error(line), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

[[noreturn]] inline void fail(ExitCode code, const std::string& line) { throw Failure(code, line); }
[[noreturn]] inline void usage_error(const std::string& line) { throw Failure(ExitCode::usage, line); }

}  // namespace velkorramp
