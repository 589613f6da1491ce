// Access to the host's suites.
//
// SuiteHandler is a per-command cache: a suite is acquired from the basic suite
// the first time it is asked for and every acquired suite is released when the
// handler goes out of scope, on return and during unwinding alike. A suite the
// host cannot supply throws the host error code PF_Err_BAD_CALLBACK_PARAM as a
// PF_Err; the entry point turns it into the command's result.
//
// acquire_aefx_suite / release_aefx_suite are the one-shot pair that fail by
// returning an error code and leaving a message for the host to show.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/host_interface.h"
#include "host/suite_ids.h"

namespace velkor {

// Throws PF_Err_BAD_CALLBACK_PARAM as a PF_Err.
[[noreturn]] void missing_suite_error();

class SuiteHandler {
public:
    // Throws at once when the host gave no basic suite.
    explicit SuiteHandler(SPBasicSuite* basic);
    ~SuiteHandler();

    SuiteHandler(const SuiteHandler&) = delete;
    SuiteHandler& operator=(const SuiteHandler&) = delete;

    // Any suite of the known table, acquired on first use; throws when the host
    // cannot supply it or the handler has no slot for it.
    const void* suite(const SuiteId& id);

    const PF_HandleSuite1& handle_suite();
    const AEGP_UtilitySuite3& utility_suite();
    const PF_ParamUtilsSuite1& param_utils_suite();
    const PF_WorldSuite2& world_suite();
    const AEGP_IterateSuite1& iterate_suite();
    const PF_Iterate8Suite1& iterate8_suite();

    static constexpr std::size_t kSlotCount = 106;

private:
    void release_all_suites() noexcept;

    SPBasicSuite* basic_;
    std::array<const void*, kSlotCount> slots_{};
};

// Acquires one suite; on failure sets PF_OutFlag_DISPLAY_ERROR_MESSAGE, leaves
// `message` (or a default) in return_msg and returns PF_Err_BAD_CALLBACK_PARAM.
PF_Err acquire_aefx_suite(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                          int32_t version, const char* message, const void** suite);

// Releases a suite taken with acquire_aefx_suite; reports only a missing basic
// suite, the same way.
PF_Err release_aefx_suite(const PF_InData* in_data, PF_OutData* out_data, const char* name,
                          int32_t version, const char* message);

}  // namespace velkor
