#include "ramp/ramp_renderer.h"

#include "ramp/ramp_kernels.h"

namespace velkor {

RampEvaluatorHolder::RampEvaluatorHolder(std::unique_ptr<RampEvaluator> evaluator)
    : evaluator_(std::move(evaluator))
{
}

std::unique_ptr<RampEvaluatorHolder> RampEvaluatorHolder::clone() const
{
    return std::make_unique<RampEvaluatorHolder>(std::make_unique<RampEvaluator>(*evaluator_));
}

void RampEvaluatorHolder::copy_into(RampEvaluatorHolder& other) const
{
    *other.evaluator_ = *evaluator_;
}

RampRenderer::RampRenderer(const RenderRecord& record)
    : holder_(std::make_unique<RampEvaluatorHolder>(std::make_unique<RampEvaluator>(record)))
{
}

void RampRenderer::render_frame(const WorldView& input, const WorldView& output) const
{
    if (input.world == nullptr) return;
    render_area(input, output, PF_Rect{0, 0, input.world->width, input.world->height});
}

void RampRenderer::render_area(const WorldView& input, const WorldView& output,
                               const PF_Rect& rect) const
{
    render_ramp(holder_->get(), input, output, rect);
}

}  // namespace velkor
