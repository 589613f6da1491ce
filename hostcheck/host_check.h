// The host check: what the host does with an effect module from finding it to
// unloading it, with every answer checked, and the comparison of the frames
// that two builds of the module rendered.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace velkor::hostcheck {

struct RunOptions {
    std::filesystem::path module;
    // The property list, where the module carries none as a resource.
    std::optional<std::filesystem::path> pipl_file;
    // Receives one frame file per case and depth: <case>-<8|16|32>.frame.
    std::filesystem::path frames_dir;
};

// Reads the registration, loads the module by the entry point it names, checks
// the version and flags against global setup, runs about, global setup,
// parameter setup, UI update, pre-render and smart render of every case at 8,
// 16 and float, and set-down, then checks that the host's accounting balances.
// Returns 0, or 1 after saying on `log` what failed (the frames of a failed run
// are removed).
int run_host_check(const RunOptions& options, std::ostream& log);

// Compares the frames of two runs, file by file. Returns 0 when both hold the
// same frames with the same bytes, else 1 after listing every difference.
int compare_frame_dirs(const std::filesystem::path& a, const std::filesystem::path& b,
                       std::ostream& log);

}  // namespace velkor::hostcheck
