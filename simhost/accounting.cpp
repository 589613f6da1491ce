#include "simhost/accounting.h"

#include <sstream>

namespace simhost {

namespace {

int count_of(const std::map<SuiteKey, SuiteCounts>& suites, const std::string& name, int version,
             int SuiteCounts::*field)
{
    const auto it = suites.find(SuiteKey{name, version});
    return it == suites.end() ? 0 : it->second.*field;
}

}  // namespace

bool CommandLog::balanced() const
{
    for (const auto& [key, counts] : suites) {
        if (counts.acquired != counts.released) {
            return false;
        }
    }
    return true;
}

int CommandLog::acquired(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::acquired);
}

int CommandLog::released(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::released);
}

int CommandLog::refused(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::refused);
}

int Accounting::acquired(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::acquired);
}

int Accounting::released(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::released);
}

int Accounting::refused(const std::string& name, int version) const
{
    return count_of(suites, name, version, &SuiteCounts::refused);
}

int Accounting::locked_handles() const
{
    int locked = 0;
    for (const HandleState& h : live_handles) {
        locked += h.lock_depth > 0 ? 1 : 0;
    }
    return locked;
}

bool Accounting::balanced() const { return unbalanced().empty(); }

std::string Accounting::unbalanced() const
{
    std::ostringstream out;
    for (const auto& [key, counts] : suites) {
        if (counts.acquired != counts.released) {
            out << "suite " << key.text() << ": acquired " << counts.acquired << ", released "
                << counts.released << "\n";
        }
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const CommandLog& c = commands[i];
        for (const auto& [key, counts] : c.suites) {
            if (counts.acquired != counts.released) {
                out << "call #" << i << " " << c.label << ": suite " << key.text() << " acquired "
                    << counts.acquired << ", released " << counts.released << " within the call\n";
            }
        }
    }
    for (const HandleState& h : live_handles) {
        if (!h.held_as_global_data) {
            out << "handle of " << h.size << " bytes still alive (lock depth " << h.lock_depth
                << ")\n";
        } else if (h.lock_depth != 0) {
            out << "global data handle of " << h.size << " bytes left locked (depth "
                << h.lock_depth << ")\n";
        }
    }
    if (!params_outstanding.empty()) {
        out << "parameters still checked out:";
        for (int index : params_outstanding) {
            out << " " << index;
        }
        out << " (" << params_checked_out << " checkouts, " << params_checked_in << " checkins)\n";
    }
    if (layer_pixels_still_out_at_frame_end != 0) {
        out << layer_pixels_still_out_at_frame_end
            << " layer-pixel checkout(s) not checked in by the module, released by the host at frame end\n";
    }
    if (pre_render_data_created != pre_render_data_deleted) {
        out << "pre-render data: created " << pre_render_data_created << ", deleted "
            << pre_render_data_deleted << "\n";
    }
    if (pre_render_data_without_deleter != 0) {
        out << pre_render_data_without_deleter << " pre-render data block(s) without a deleter\n";
    }
    for (const std::string& v : violations) {
        out << "violation: " << v << "\n";
    }
    return out.str();
}

}  // namespace simhost
