#include "cli/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "cli/failure.h"
#include "cli/values.h"

namespace velkorramp {

namespace {

constexpr std::uint64_t kUnknown = std::numeric_limits<std::uint64_t>::max();

// The first number in a file ("max" or nothing readable gives kUnknown).
std::uint64_t number_in(const char* path)
{
    std::ifstream in(path);
    std::uint64_t value = 0;
    return in >> value ? value : kUnknown;
}

// A "Name:   123 kB" line of a /proc file, in bytes.
std::uint64_t proc_kib(const char* path, const std::string& name)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) != 0) continue;
        std::istringstream fields(line.substr(name.size() + 1));
        std::uint64_t kib = 0;
        if (fields >> kib) return kib * 1024;
    }
    return kUnknown;
}

// Room left under a limit, given what is already used.
std::uint64_t room(std::uint64_t limit, std::uint64_t used)
{
    if (limit == kUnknown) return kUnknown;
    if (used == kUnknown) return limit;
    return limit > used ? limit - used : 0;
}

std::uint64_t rlimit_room(int resource, const char* status_field)
{
    struct rlimit limit {};
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
    return room(static_cast<std::uint64_t>(limit.rlim_cur),
                proc_kib("/proc/self/status", status_field));
}

std::uint64_t cgroup_room()
{
    // cgroup v2, then v1; "max" and v1's huge "unlimited" both mean no limit.
    std::uint64_t limit = number_in("/sys/fs/cgroup/memory.max");
    std::uint64_t used = number_in("/sys/fs/cgroup/memory.current");
    if (limit == kUnknown) {
        limit = number_in("/sys/fs/cgroup/memory/memory.limit_in_bytes");
        used = number_in("/sys/fs/cgroup/memory/memory.usage_in_bytes");
    }
    if (limit >= (std::uint64_t{1} << 60)) return kUnknown;
    return room(limit, used);
}

std::uint64_t frame_bytes(const FramePlan& plan)
{
    return static_cast<std::uint64_t>(plan.width) * static_cast<std::uint64_t>(plan.height) *
           plan.depth.pixel_bytes();
}

}  // namespace

MemoryBudget machine_memory_budget()
{
    MemoryBudget budget{kUnknown, "available memory"};
    const std::array<std::pair<std::uint64_t, const char*>, 4> bounds{{
        {proc_kib("/proc/meminfo", "MemAvailable"), "available memory"},
        {cgroup_room(), "the memory cgroup's remaining room"},
        {rlimit_room(RLIMIT_AS, "VmSize"), "the address-space limit (ulimit -v)"},
        {rlimit_room(RLIMIT_DATA, "VmData"), "the data-size limit (ulimit -d)"},
    }};
    for (const auto& [bytes, source] : bounds) {
        if (bytes < budget.bytes) budget = MemoryBudget{bytes, source};
    }
    if (budget.bytes == kUnknown) {
        // Nothing says; the physical memory is the most there can be.
        const long pages = ::sysconf(_SC_PHYS_PAGES);
        const long page = ::sysconf(_SC_PAGESIZE);
        budget = MemoryBudget{pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) *
                                                          static_cast<std::uint64_t>(page)
                                                    : kUnknown,
                              "physical memory"};
    }
    return budget;
}

int write_band_rows(int width, FrameDepth depth)
{
    const std::uint64_t row = static_cast<std::uint64_t>(std::max(width, 1)) * depth.pixel_bytes();
    return static_cast<int>(
        std::clamp<std::uint64_t>(((std::uint64_t{1} << 20) / row) / 16 * 16, 16, 4096));
}

std::uint64_t frame_memory_need(const FramePlan& plan)
{
    const std::uint64_t frame = frame_bytes(plan);
    // A band is never more rows than the frame has.
    const std::uint64_t band_rows = static_cast<std::uint64_t>(
        std::min(write_band_rows(plan.width, plan.depth), std::max(plan.height, 1)));
    const std::uint64_t band =
        band_rows * static_cast<std::uint64_t>(std::max(plan.width, 1)) * plan.depth.pixel_bytes();
    const std::uint64_t outputs =
        static_cast<std::uint64_t>(std::max(plan.outputs_held, 1)) * frame +
        static_cast<std::uint64_t>(std::max(plan.writers, 1)) * band;
    const std::uint64_t steady = frame + outputs;
    if (!plan.from_file) return steady;
    const std::uint64_t reading = plan.file_rgba_bytes + std::max(plan.file_band_bytes, frame) +
                                  (plan.input_per_frame ? outputs : 0);
    return std::max(steady, reading);
}

std::string byte_text(std::uint64_t bytes)
{
    static constexpr std::array<const char*, 5> kUnits{"KiB", "MiB", "GiB", "TiB", "PiB"};
    if (bytes < 1024) return std::to_string(bytes) + " bytes";
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < kUnits.size()) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 100.0 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

std::string frame_need_text(const FramePlan& plan)
{
    return std::string(article_for(plan.width)) + " " + std::to_string(plan.width) + "x" +
           std::to_string(plan.height) + " " + plan.depth.text() + " frame from " +
           (plan.from_file ? "an input file" : "a solid layer") + " needs about " +
           byte_text(frame_memory_need(plan)) + " of memory";
}

void check_frame_fits(const FramePlan& plan, const MemoryBudget& budget)
{
    if (frame_memory_need(plan) <= budget.bytes) return;
    const bool chosen = budget.source == "--memory-limit";
    fail(ExitCode::memory, frame_need_text(plan) + "; " + budget.source + " allows " +
                               byte_text(budget.bytes) +
                               (chosen ? "" : " (--memory-limit sets another budget)"));
}

}  // namespace velkorramp
