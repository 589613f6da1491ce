// The callable through which smart render hands bands of rows to the host's
// rendering threads. It owns the frame's evaluator for exactly one iteration.
#pragma once

#include <memory>

#include "host/host_interface.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/world_view.h"

namespace velkor {

// Owns one heap evaluator; copies are deep.
class RampEvaluatorHolder {
public:
    explicit RampEvaluatorHolder(std::unique_ptr<RampEvaluator> evaluator);

    std::unique_ptr<RampEvaluatorHolder> clone() const;
    void copy_into(RampEvaluatorHolder& other) const;
    RampEvaluator& get() { return *evaluator_; }
    const RampEvaluator& get() const { return *evaluator_; }

private:
    std::unique_ptr<RampEvaluator> evaluator_;
};

class RampRenderer {
public:
    // Builds the evaluator from the record; throws std::bad_alloc when memory
    // is short, in which case no renderer exists.
    explicit RampRenderer(const RenderRecord& record);

    // The whole input: (0, 0, input width, input height).
    void render_frame(const WorldView& input, const WorldView& output) const;

    // One band; safe to call from several threads at once for disjoint rows.
    void render_area(const WorldView& input, const WorldView& output, const PF_Rect& rect) const;

    const RampEvaluator& evaluator() const { return holder_->get(); }

private:
    std::unique_ptr<RampEvaluatorHolder> holder_;
};

}  // namespace velkor
