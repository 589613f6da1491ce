// What the simulated host counts while a module runs: suites acquired and
// released (per command and in total), handles and their lock depth, parameters
// and layers checked out and in, pre-render data created and deleted, and every
// protocol violation it noticed. A snapshot is taken with Host::accounting().
#pragma once

#include <compare>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "host/host_interface.h"

namespace simhost {

struct SuiteKey {
    std::string name;
    int version = 0;
    auto operator<=>(const SuiteKey&) const = default;
    std::string text() const { return "\"" + name + "\" " + std::to_string(version); }
};

struct SuiteCounts {
    int acquired = 0;  // successful AcquireSuite calls
    int released = 0;  // ReleaseSuite calls matching an acquisition
    int refused = 0;   // AcquireSuite calls the host refused
};

// The suites of one module call (a command, or the host's call of the
// pre-render data deleter).
struct CommandLog {
    std::string label;  // "PF_Cmd_SMART_RENDER", "delete_pre_render_data", ...
    PF_Cmd cmd = -1;    // the selector, or -1 for the deleter
    PF_Err result = 0;
    std::map<SuiteKey, SuiteCounts> suites;
    // In call order: suites ("acquire \"PF Handle Suite\" 2", "release ...",
    // "refuse ..."), handles ("host_new_handle 164", "host_lock_handle",
    // "host_unlock_handle", "host_dispose_handle") and the other host calls by
    // name ("AEGP_RegisterWithAEGP", "checkout_layer_pixels", "checkout_output", ...).
    std::vector<std::string> events;

    bool balanced() const;
    int acquired(const std::string& name, int version) const;
    int released(const std::string& name, int version) const;
    int refused(const std::string& name, int version) const;
};

struct HandleState {
    std::size_t size = 0;
    int lock_depth = 0;
    bool held_as_global_data = false;  // the host keeps it between global setup and set-down
};

struct Accounting {
    std::map<SuiteKey, SuiteCounts> suites;  // over the host's whole life
    std::vector<CommandLog> commands;        // in call order

    int handles_created = 0;
    int handles_disposed = 0;
    int lock_calls = 0;  // successful locks
    int unlock_calls = 0;
    std::vector<HandleState> live_handles;

    int params_checked_out = 0;
    int params_checked_in = 0;
    std::vector<int> params_outstanding;  // indices still checked out

    int layers_checked_out = 0;        // checkout_layer in pre-render (released by the host)
    int layer_pixels_checked_out = 0;  // checkout_layer_pixels in smart render
    int layer_pixels_checked_in = 0;   // checked in by the module
    int layer_pixels_still_out_at_frame_end =
        0;  // released by the host when the smart render ended

    int pre_render_data_created = 0;
    int pre_render_data_deleted = 0;
    int pre_render_data_without_deleter = 0;
    int pre_render_data_dropped =
        0;  // let go after a failed pre-render without calling the deleter

    // Commands open at one time, at most (frames rendered side by side).
    int peak_commands_in_flight = 0;
    int peak_smart_renders_in_flight = 0;
    bool pre_render_beside_render =
        false;  // a pre-render ran while another frame's smart render did

    std::vector<std::string> violations;  // protocol errors noticed by the host

    // Nothing is left: every suite released within its command, no handle alive
    // but the global data the host holds (unlocked), no lock held, every parameter
    // and layer-pixel checkout checked in by the module, all pre-render data
    // deleted, and no violation (a failed command that left behind what it made
    // is one).
    bool balanced() const;
    // "" when balanced(), else one line per thing left over.
    std::string unbalanced() const;

    int acquired(const std::string& name, int version) const;
    int released(const std::string& name, int version) const;
    int refused(const std::string& name, int version) const;
    int locked_handles() const;
};

}  // namespace simhost
