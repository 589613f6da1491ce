#include "render/param_checkout.h"

#include <cstring>

namespace velkor {

ParamCheckout::ParamCheckout(const PF_InData& in_data) : in_data_(in_data)
{
    std::memset(values_.data(), 0, sizeof(PF_ParamDef) * values_.size());
}

ParamCheckout::~ParamCheckout()
{
    if (in_data_.inter.checkin_param == nullptr) return;
    for (A_long i = kFirstControl; i < kFirstControl + checked_out_; ++i) {
        in_data_.inter.checkin_param(in_data_.effect_ref, &values_[i]);
    }
}

PF_Err ParamCheckout::checkout_all()
{
    if (in_data_.inter.checkout_param == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
    for (A_long i = kFirstControl; i <= kLastControl; ++i) {
        const PF_Err err =
            in_data_.inter.checkout_param(in_data_.effect_ref, i, in_data_.current_time,
                                          in_data_.time_step, in_data_.time_scale, &values_[i]);
        if (err != PF_Err_NONE) return err;
        ++checked_out_;
    }
    return PF_Err_NONE;
}

}  // namespace velkor
