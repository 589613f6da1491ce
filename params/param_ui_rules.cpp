#include "params/param_ui_rules.h"

#include "params/param_table.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

void add(UiPlan& plan, A_long index, bool disabled)
{
    plan.sends[plan.count++] = UiSend{index, disabled};
}

}  // namespace

UiPlan plan_ui_state(A_long type, A_long controlled_by, A_long shape)
{
    UiPlan plan;

    // Colours mean nothing when only alpha is drawn, and the alphas nothing
    // when only colour is.
    if (type == kTypeColor || type == kTypeAlpha || type == kTypeColorAndAlpha) {
        const bool colors_off = type == kTypeAlpha;
        const bool alphas_off = type == kTypeColor;
        add(plan, kParamStartColor, colors_off);
        add(plan, kParamEndColor, colors_off);
        add(plan, kParamStartAlpha, alphas_off);
        add(plan, kParamEndAlpha, alphas_off);
    }

    if (controlled_by == kControlledByTwoPoints) {
        add(plan, kParamStartPoint, false);
        add(plan, kParamEndPoint, false);
        add(plan, kParamCenter, true);
        add(plan, kParamLength, true);
        add(plan, kParamDirection, true);
    } else if (controlled_by == kControlledByCenterAndLength) {
        add(plan, kParamStartPoint, true);
        add(plan, kParamEndPoint, true);
        if (is_known_shape(shape)) {
            add(plan, kParamCenter, false);
            add(plan, kParamLength, false);
            // Direction means something only to a shape that measures along
            // the axis: a circle has none.
            add(plan, kParamDirection, !uses_axis(measure_of(shape)));
        }
    }
    return plan;
}

}  // namespace velkor
