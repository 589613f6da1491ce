// Ramp geometry of one frame: where each pixel lies along the ramp.
//
// The evaluator turns the settings into an origin, a unit axis and a ramp
// length, and maps pixel (x, y) to t in 0..1, bent by the power curve through
// the host's `pow`, for one pixel or a run of a row. It draws nothing: the
// kernels (ramp_kernels.h) shade pixels from its t. It is built once per
// render, before any rendering thread starts, and only read afterwards, so
// bands may use it concurrently.
#pragma once

#include "host/host_interface.h"
#include "ramp/ramp_settings.h"
#include "ramp/ramp_types.h"

namespace velkor {

// What a render draws from: the smart-render call's PF_InData (for `pow`) and
// a copy of the settings already moved into the buffers' pixel grid.
struct RenderRecord {
    const PF_InData* in_data;
    RampSettings settings;
};

// The instruction sets the fast kernels can use. Every path draws the same bits.
enum class KernelPath {
    baseline,  // x86-64's own SSE2, or plain C++ elsewhere
    avx2,      // four float64 to a vector, where the processor has AVX2
};

// The widest path this processor runs; asked once.
KernelPath widest_kernel_path();
// `path`, or the baseline where the processor lacks it: a path the processor
// lacks is never taken.
KernelPath available_kernel_path(KernelPath path);

// The shortest ramp; keeps t finite when the two points coincide or Length is 0.
inline constexpr double kMinRampLength = 1e-6;

class RampEvaluator {
public:
    // `context.in_data->utils->ansi.pow` must be callable while the evaluator
    // is asked for shaped positions; callers check that before building one.
    explicit RampEvaluator(const RenderRecord& context);

    // t of pixel (x, y), clamped to 0..1. The pixel's position is its integer
    // column and row, with no half-pixel offset.
    double ramp_position(A_long x, A_long y) const;

    // ramp_position raised to the power control through the host's `pow`.
    double shaped_position(A_long x, A_long y) const;

    // shaped_position of the `n` pixels of row y from column x0, into t: the
    // same bits, with the shape chosen once and `pow` called only where its
    // result is not already exact (a Power of 1, t of exactly 0 or 1).
    void shaped_positions(A_long x0, A_long y, A_long n, double* t) const;
    // The same through the loops of one path (the baseline one where the
    // processor lacks the path asked for).
    void shaped_positions(A_long x0, A_long y, A_long n, double* t, KernelPath path) const;

    const RenderRecord& context() const { return context_; }
    const RampSettings& settings() const { return context_.settings; }
    double ramp_length() const { return ramp_length_; }
    const Vector2& origin() const { return origin_; }
    const Vector2& axis() const { return axis_; }

private:
    RenderRecord context_;
    double ramp_length_ = kMinRampLength;
    Vector2 origin_{0.0, 0.0};
    Vector2 axis_{0.0, 0.0};
};

}  // namespace velkor
