// The suites the host serves through the basic suite's AcquireSuite: which name
// and version gets which function table, and how often each was acquired,
// released and refused, in total and per command (logged in the recorder).
// The tables' function pointers are filled in by the host.
#pragma once

#include <map>
#include <mutex>

#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/command_log.h"

namespace simhost {

// The error AcquireSuite returns for a suite it refuses ('S!Fd').
inline constexpr SPErr kSPSuiteNotFoundError = 0x53214664;

class SuiteTable {
public:
    explicit SuiteTable(CommandRecorder& recorder) : recorder_(recorder) {}

    // Serves the suite named by `key` unless `refused`; a suite the host does not
    // have is refused as well.
    SPErr acquire(const SuiteKey& key, bool refused, const void** suite);
    SPErr release(const SuiteKey& key);

    std::map<SuiteKey, SuiteCounts> totals() const;

    PF_HandleSuite1 handle{};
    AEGP_UtilitySuite3 utility{};
    PF_ParamUtilsSuite1 param_utils{};
    PF_WorldSuite2 world{};
    AEGP_IterateSuite1 aegp_iterate{};
    PF_Iterate8Suite1 iterate8{};

private:
    const void* find(const SuiteKey& key) const;

    CommandRecorder& recorder_;
    mutable std::mutex mutex_;
    std::map<SuiteKey, SuiteCounts> totals_;
};

}  // namespace simhost
