#include "simhost/fault_plan.h"

#include <algorithm>

namespace simhost {

const char* call_kind_name(CallKind kind)
{
    switch (kind) {
    case CallKind::add_param:
        return "add_param";
    case CallKind::checkout_param:
        return "checkout_param";
    case CallKind::checkin_param:
        return "checkin_param";
    case CallKind::checkout_layer:
        return "checkout_layer";
    case CallKind::checkout_layer_pixels:
        return "checkout_layer_pixels";
    case CallKind::checkin_layer_pixels:
        return "checkin_layer_pixels";
    case CallKind::checkout_output:
        return "checkout_output";
    case CallKind::update_param_ui:
        return "PF_UpdateParamUI";
    case CallKind::register_with_aegp:
        return "AEGP_RegisterWithAEGP";
    case CallKind::get_pixel_format:
        return "PF_GetPixelFormat";
    case CallKind::get_num_threads:
        return "AEGP_GetNumThreads";
    case CallKind::iterate_generic:
        return "iterate_generic";
    case CallKind::new_handle:
        return "host_new_handle";
    case CallKind::lock_handle:
        return "host_lock_handle";
    case CallKind::count:
        break;
    }
    return "?";
}

PF_Err FaultPlan::record(CallKind kind)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int count = ++counts_[static_cast<std::size_t>(kind)];
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->kind == kind && (count == it->at || (it->persistent && count > it->at))) {
            const PF_Err code = it->code;
            if (!it->persistent) {
                faults_.erase(it);
            }
            return code == PF_Err_NONE ? PF_Err_INTERNAL_STRUCT_DAMAGED : code;
        }
    }
    return PF_Err_NONE;
}

void FaultPlan::fail(CallKind kind, int nth, PF_Err code, bool persistent)
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(
        Fault{kind, counts_[static_cast<std::size_t>(kind)] + std::max(nth, 1), code, persistent});
}

int FaultPlan::count(CallKind kind) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_[static_cast<std::size_t>(kind)];
}

void FaultPlan::refuse_suite(const SuiteKey& key)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.insert(key);
}

bool FaultPlan::refuses(const SuiteKey& key) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return refused_.count(key) != 0;
}

void FaultPlan::set_null_input_world(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    null_input_world_ = on;
}

void FaultPlan::set_null_output_world(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    null_output_world_ = on;
}

bool FaultPlan::null_input_world() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return null_input_world_;
}

bool FaultPlan::null_output_world() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return null_output_world_;
}

void FaultPlan::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    refused_.clear();
    null_input_world_ = false;
    null_output_world_ = false;
}

}  // namespace simhost
