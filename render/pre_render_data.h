// What smart pre-render leaves with the host for the smart render of the same
// frame: the settings handle, plus the basic suite through which the deleter
// reaches the handle suite again. The host calls the deleter with nothing but
// this pointer, whether or not a smart render follows.
#pragma once

#include <memory>

#include "host/host_interface.h"

namespace velkor {

struct PreRenderData {
    SPBasicSuite* basic;
    PF_Handle settings_handle;  // holds one RampSettings; unlocked between commands
};

// Registered as the output's delete_pre_render_data_func. Disposes the handle
// through a freshly acquired handle suite, then frees the block. Never throws.
void delete_pre_render_data(void* pre_render_data);

// The data named in the pre-render output, with its deleter, for as long as the
// pre-render runs. Unless the pre-render succeeds and keeps it, the output is
// cleared again and the block freed when this goes out of scope: hosts differ
// in whether they call the deleter after a failed command, so a failed
// pre-render leaves them nothing to delete. The settings handle itself stays
// with whoever owns it (the pre-render disposes it on failure).
class PreRenderHandover {
public:
    PreRenderHandover(PF_PreRenderOutput& output, std::unique_ptr<PreRenderData> data);
    ~PreRenderHandover();
    PreRenderHandover(const PreRenderHandover&) = delete;
    PreRenderHandover& operator=(const PreRenderHandover&) = delete;

    // The pre-render succeeded: from now on the host owns the block through the deleter.
    void keep() { data_.release(); }

private:
    PF_PreRenderOutput& output_;
    std::unique_ptr<PreRenderData> data_;
};

}  // namespace velkor
