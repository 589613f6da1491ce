// The thirteen controls checked out at the command's time, each checked back in
// when the scope ends, on success and failure alike.
#pragma once

#include "host/host_interface.h"
#include "ramp/ramp_settings.h"

namespace velkor {

class ParamCheckout {
public:
    explicit ParamCheckout(const PF_InData& in_data);
    ~ParamCheckout();
    ParamCheckout(const ParamCheckout&) = delete;
    ParamCheckout& operator=(const ParamCheckout&) = delete;

    // Checks out controls 1 to 13 in order; the first failure stops the loop
    // and is returned.
    PF_Err checkout_all();

    const ParamValues& values() const { return values_; }

private:
    const PF_InData& in_data_;
    ParamValues values_;
    A_long checked_out_ = 0;  // controls 1..checked_out_ are out
};

}  // namespace velkor
