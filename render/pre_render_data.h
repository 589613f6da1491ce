// What smart pre-render leaves with the host for the smart render of the same
// frame: the settings handle, plus the basic suite through which the deleter
// reaches the handle suite again. The host calls the deleter with nothing but
// this pointer, whether or not a smart render follows.
#pragma once

#include "host/host_interface.h"

namespace velkor {

struct PreRenderData {
    SPBasicSuite* basic;
    PF_Handle settings_handle;  // holds one RampSettings; unlocked between commands
};

// Registered as the output's delete_pre_render_data_func. Disposes the handle
// through a freshly acquired handle suite, then frees the block. Never throws.
void delete_pre_render_data(void* pre_render_data);

}  // namespace velkor
