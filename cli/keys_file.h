// Controls' keys as JSON: read by --keys FILE.json, written by params --json,
// so a pipeline can generate, inspect and round-trip an animation. The schema
// is in cli/README.md ("Keys files"): an object whose "controls" array names
// each control by its declared name, with its keys (frame, value, in and out
// interpolations, speeds, influences); params --json adds what it knows of
// each control (option, type, range, default, value at the frame, enabled),
// which a reader accepts and ignores.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "cli/options.h"
#include "simhost/session.h"

namespace velkorramp {

inline constexpr OptionSpec kKeysOption{
    "--keys", nullptr, "FILE.json",
    "controls' keys from a file (as params --json writes); options override it control by "
    "control"};

// Keys every control the file lists, each value and side checked as the
// command line checks it; a control listed with keys loses any it had. A
// file that cannot be read or is malformed is a usage failure, one line naming
// the file, the control and the key.
void apply_keys_file(simhost::Session& session, const std::filesystem::path& file);

// What params --json writes: the frame, rate and layer, and every declared
// control with its option, type, range, default, value at `frame` and whether
// `enabled` says the module enables it, with its keys when it has any.
struct JsonContext {
    int frame = 1;
    std::string rate;  // "24", "30000/1001"
    int layer_width = 1920;
    int layer_height = 1080;
    std::function<bool(int)> enabled;
};
std::string params_json(const simhost::Session& session, const JsonContext& context);

}  // namespace velkorramp
