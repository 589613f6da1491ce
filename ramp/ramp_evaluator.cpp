#include "ramp/ramp_evaluator.h"

#include <cmath>

#include "params/param_table.h"
#include "ramp/kernel_parts.h"
#include "ramp/portable_math.h"
#include "ramp/ramp_shape.h"

namespace velkor {
namespace {

using kernel::Geometry;

// t for `n` pixels of row y from column x0, exactly as ramp_position computes it.
template <class Shape>
void ramp_positions_of(const Geometry& g, A_long x0, A_long y, A_long n, double* t)
{
    const double dy = static_cast<double>(y) - g.origin.y;
    for (A_long i = 0; i < n; ++i) {
        const double dx = static_cast<double>(x0 + i) - g.origin.x;
        t[i] = ramp_fraction(distance<Shape>(dx, dy, g.axis), g.ramp_length);
    }
}

// t' = pow(t, power) through the host, except where the result is exact
// without it: a Power of exactly 1 leaves t unchanged, pow(1, p) is 1 for every
// p but a NaN, and pow(+0, p) is +0 for every p > 0. A NaN Power goes to pow
// for every t: C makes pow(1, NaN) 1 only for a quiet NaN, and glibc answers a
// signalling one with NaN.
void shape_positions(kernel::HostPow host_pow, double power, A_long n, double* t)
{
    if (power == 1.0) return;
    A_long i = 0;
#if VELKOR_SSE2_KERNELS
    i = kernel::sse2::shape_positions(host_pow, power, n, t);
#endif
    const kernel::KnownPowers known(power);
    for (; i < n; ++i) {
        if (!known(t[i])) t[i] = host_pow(t[i], power);
    }
}

}  // namespace

KernelPath widest_kernel_path()
{
#if VELKOR_AVX2_KERNELS
    if (kernel::avx2::supported()) return KernelPath::avx2;
#endif
    return KernelPath::baseline;
}

KernelPath available_kernel_path(KernelPath path)
{
    return path == KernelPath::avx2 && widest_kernel_path() != KernelPath::avx2
               ? KernelPath::baseline
               : path;
}

RampEvaluator::RampEvaluator(const RenderRecord& context) : context_(context)
{
    const RampSettings& s = context_.settings;
    if (s.controlled_by == kControlledByTwoPoints) {
        origin_ = s.start_point;
        Vector2 v = s.end_point;
        v -= s.start_point;
        ramp_length_ = v.length();
        if (ramp_length_ < kMinRampLength) ramp_length_ = kMinRampLength;
        v.normalize();
        axis_ = v;
    } else if (s.controlled_by == kControlledByCenterAndLength) {
        origin_ = s.center;
        const double direction = s.direction;
        // The C libraries' sine and cosine differ between platforms in the last
        // bits; these give every build of the module the same axis.
        axis_ = {portable_sin(direction), -portable_cos(direction)};
        ramp_length_ = s.length;
        if (ramp_length_ < kMinRampLength) ramp_length_ = kMinRampLength;
    }
    // Any other placement keeps a zero origin and axis and the shortest ramp.
}

double RampEvaluator::ramp_position(A_long x, A_long y) const
{
    const double dx = static_cast<double>(x) - origin_.x;
    const double dy = static_cast<double>(y) - origin_.y;
    const double s = with_shape(context_.settings.shape, [&](auto shape) {
        return distance<decltype(shape)>(dx, dy, axis_);
    });
    return ramp_fraction(s, ramp_length_);
}

double RampEvaluator::shaped_position(A_long x, A_long y) const
{
    return context_.in_data->utils->ansi.pow(ramp_position(x, y), context_.settings.power);
}

void RampEvaluator::shaped_positions(A_long x0, A_long y, A_long n, double* t) const
{
    shaped_positions(x0, y, n, t, widest_kernel_path());
}

void RampEvaluator::shaped_positions(A_long x0, A_long y, A_long n, double* t,
                                     KernelPath path) const
{
    const Geometry g{origin_, axis_, ramp_length_};
    const A_long shape = context_.settings.shape;
    A_long done = 0;
#if VELKOR_AVX2_KERNELS
    if (available_kernel_path(path) == KernelPath::avx2) {
        done = kernel::avx2::ramp_positions(shape, g, x0, y, n, t);
    }
#else
    (void)path;
#endif
    with_shape(shape, [&](auto s) {
        ramp_positions_of<decltype(s)>(g, x0 + done, y, n - done, t + done);
    });
    // One load of the host's function pointer for the whole run.
    shape_positions(context_.in_data->utils->ansi.pow, context_.settings.power, n, t);
}

}  // namespace velkor
