// Which controls mean something under the current choices. Pure: the handler
// in params_ui.cpp sends what these rules decide.
#pragma once

#include <array>
#include <cstddef>

#include "host/host_interface.h"

namespace velkor {

struct UiSend {
    A_long index;
    bool disabled;
};

// The controls to send, in sending order, with their state. Popup values
// outside the listed choices send nothing for the controls they decide.
struct UiPlan {
    std::array<UiSend, 9> sends{};
    std::size_t count = 0;
};

UiPlan plan_ui_state(A_long type, A_long controlled_by, A_long shape);

}  // namespace velkor
