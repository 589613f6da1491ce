// The failures a test asks the host to inject: the nth call of a kind failing
// with a chosen code, suites refused, checkouts that succeed with a null world.
// It also counts every call of each kind, failed ones included.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <set>
#include <vector>

#include "host/host_interface.h"
#include "simhost/accounting.h"

namespace simhost {

// The host calls that failure injection can target.
enum class CallKind : int {
    add_param,
    checkout_param,
    checkin_param,
    checkout_layer,
    checkout_layer_pixels,
    checkin_layer_pixels,
    checkout_output,
    update_param_ui,     // PF_UpdateParamUI
    register_with_aegp,  // AEGP_RegisterWithAEGP
    get_pixel_format,    // PF_GetPixelFormat
    get_num_threads,     // AEGP_GetNumThreads
    iterate_generic,
    new_handle,   // an injected failure returns a null handle
    lock_handle,  // an injected failure returns a null address
    count
};
const char* call_kind_name(CallKind kind);

class FaultPlan {
public:
    // Counts a call of `kind`; returns the code injected for it, or PF_Err_NONE.
    PF_Err record(CallKind kind);
    // The nth call of `kind` from now on (1-based) fails with `code`; with
    // `persistent`, every later one too.
    void fail(CallKind kind, int nth, PF_Err code, bool persistent);
    int count(CallKind kind) const;

    void refuse_suite(const SuiteKey& key);
    bool refuses(const SuiteKey& key) const;

    void set_null_input_world(bool on);
    void set_null_output_world(bool on);
    bool null_input_world() const;
    bool null_output_world() const;

    // Forgets every planned failure, refused suite and null world; counts stay.
    void clear();

private:
    struct Fault {
        CallKind kind;
        int at;  // fires when the call count reaches this
        PF_Err code;
        bool persistent;
    };

    mutable std::mutex mutex_;
    std::array<int, static_cast<std::size_t>(CallKind::count)> counts_{};
    std::vector<Fault> faults_;
    std::set<SuiteKey> refused_;
    bool null_input_world_ = false;
    bool null_output_world_ = false;
};

}  // namespace simhost
