// The names and versions of the suites this effect asks its host for, written
// once: the module acquires them by these, and the simulated host serves them
// by these.
#pragma once

#include <cstdint>

namespace velkor {

struct SuiteId {
    const char* name;
    int32_t version;
};

inline constexpr SuiteId kHandleSuite{"PF Handle Suite", 2};
inline constexpr SuiteId kUtilitySuite{"AEGP Utility Suite", 7};
inline constexpr SuiteId kParamUtilsSuite{"PF Param Utils Suite", 2};
inline constexpr SuiteId kWorldSuite{"PF World Suite", 2};
inline constexpr SuiteId kIterateSuite{"AEGP Iterate Suite", 1};
inline constexpr SuiteId kIterate8Suite{"PF Iterate8 Suite", 1};

}  // namespace velkor
