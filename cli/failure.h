// How the renderer fails: every failure is one line for stderr and an exit
// code that says which kind of thing went wrong, so scripts can tell a typo
// from a broken module without parsing text.
#pragma once

#include <stdexcept>
#include <string>
#include <system_error>

namespace velkorramp {

enum class ExitCode : int {
    ok = 0,
    internal = 1,      // something the tool did not expect
    usage = 2,         // unknown option, malformed or out-of-range value
    input = 3,         // the input image cannot be read
    output = 4,        // the output file cannot be written
    module_load = 5,   // the module does not load or has no entry point
    module_error = 6,  // the module answered a command with an error code
    memory = 7,        // the frame needs more memory than there is, or an allocation failed
    // Done, with --skip-existing: every frame's file is whole, and this run
    // left some (8) or all (9) of them as it found them.
    some_skipped = 8,
    all_skipped = 9,
};

class Failure : public std::runtime_error {
public:
    Failure(ExitCode code, const std::string& line) : std::runtime_error(line), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

[[noreturn]] inline void fail(ExitCode code, const std::string& line) { throw Failure(code, line); }
// The system's own words for an errno value ("No space left on device").
inline std::string system_reason(int error_number)
{
    return std::generic_category().message(error_number);
}

[[noreturn]] inline void usage_error(const std::string& line)
{
    throw Failure(ExitCode::usage, line);
}

}  // namespace velkorramp
