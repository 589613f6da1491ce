// The shading kernels: pixels from the evaluator's t, one loop body for every
// pixel type. Rows are addressed through their signed byte stride, so padded
// rows and bottom-up worlds (negative rowbytes) need no copy. Nothing here
// allocates or touches a host suite; the only host call is `pow`, through the
// evaluator.
#pragma once

#include "host/host_interface.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/world_view.h"

namespace velkor {

// How the fast kernels store the output's pixels; every choice draws the same
// bits.
enum class OutputStores {
    by_size,    // past the caches for an output larger than they hold, else through them
    cached,     // through the caches
    streaming,  // past the caches wherever the path's loops can (the AVX2 ones)
};

// Draws `rect` of `output` from `input` with the evaluator's ramp: nothing when
// the worlds differ in size, when the depth class is none, or when either
// world's memory cannot be addressed as pixels of that depth (is_drawable() in
// pixel_traits.h). Uses the widest kernel path of the processor.
void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect);
// The same through one path (the baseline one where the processor lacks it)
// and with the output's stores chosen.
void render_ramp(const RampEvaluator& evaluator, const WorldView& input, const WorldView& output,
                 const PF_Rect& rect, KernelPath path, OutputStores stores = OutputStores::by_size);

// The straightforward path: one evaluator query, with its host `pow` call, per
// pixel. The fast kernels behind render_ramp() are proven bit-identical to it.
void render_ramp_reference(const RampEvaluator& evaluator, const WorldView& input,
                           const WorldView& output, const PF_Rect& rect);

}  // namespace velkor
