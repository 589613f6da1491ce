// What the shading kernels' inner loops share between the portable code and
// the vector loops: the baseline x86-64 ones (SSE2, kernels_sse2.cpp) and the
// wider AVX2 ones chosen at run time (kernels_avx2.cpp). Internal to ramp/.
//
// Each vector loop does the whole vectors of a run and returns how many pixels
// that was; the next narrower loop finishes the rest, down to the portable
// one. Each gives exactly the bits of the portable loop: the same float64
// operations in the same order, the same selects for the clamps, no
// contraction. Channels are placed where the pixel traits say.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "host/host_interface.h"
#include "ramp/pixel_traits.h"
#include "ramp/ramp_types.h"

// x86-64 always has SSE2; the baseline loops use it there (Linux and
// mingw-w64 alike) and are plain C++ elsewhere.
#if defined(__SSE2__) || defined(_M_X64)
#define VELKOR_SSE2_KERNELS 1
#else
#define VELKOR_SSE2_KERNELS 0
#endif

// AVX2 loops are built where GCC can target them per function and the processor
// can be asked at run time (x86-64 Linux and mingw-w64 alike). Elsewhere only
// the baseline loops exist.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELKOR_AVX2_KERNELS 1
// On the declarations of the AVX2 loops: a template takes its target from its
// first declaration, which is this one.
#define VELKOR_AVX2_TARGET __attribute__((target("avx2")))
#else
#define VELKOR_AVX2_KERNELS 0
#endif

namespace velkor::kernel {

// The evaluator's geometry, as the loops read it.
struct Geometry {
    Vector2 origin;
    Vector2 axis;
    double ramp_length;
};

// Per-call constants of the blend.
struct Blend {
    Color4 start_color;
    Color4 color_delta;
    double start_alpha;
    double alpha_delta;
};

using HostPow = A_FpLong (*)(A_FpLong, A_FpLong);

// The values of t whose power is exact without `pow` (see shape_positions in
// ramp_evaluator.cpp), compared as bit patterns: exactly 1.0 unless the power
// is a NaN, and exactly +0 when the power is positive (a -0 goes to pow,
// whose result's sign depends on the power). A NaN pattern stands for "none":
// no t is a NaN.
struct KnownPowers {
    static constexpr std::uint64_t kNone = ~0ull;
    std::uint64_t fixed_one;
    std::uint64_t fixed_zero;

    explicit KnownPowers(double power)
        : fixed_one(power == power ? 0x3FF0000000000000ull : kNone),
          fixed_zero(power > 0.0 ? 0ull : kNone)
    {
    }
    bool operator()(double v) const
    {
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
        return (bits == fixed_one) | (bits == fixed_zero);
    }
};

#if VELKOR_SSE2_KERNELS
// Two float64 to a vector.
namespace sse2 {

// t' = pow(t, power) for whole groups of four values of t, with the same skips
// as the portable loop (a value whose power is exact without `pow`); `power`
// is not 1.
A_long shape_positions(HostPow host_pow, double power, A_long n, double* t);

// Ramp colours of values of t', converted to the depth, alpha 0.
template <class Traits>
A_long ramp_colors(const Blend& b, const double* t, A_long n, typename Traits::Pixel* color);

}  // namespace sse2
#endif

#if VELKOR_AVX2_KERNELS
// Four float64 to a vector. Callers make sure the processor has AVX2
// (supported()) before calling any of them.
namespace avx2 {

bool supported();

// t of pixels of row y from column x0 for the shape of popup value `shape`; 0
// (nothing done) for a shape whose measure these loops do not know.
A_long ramp_positions(A_long shape, const Geometry& g, A_long x0, A_long y, A_long n, double* t);

// Ramp colours of values of t', converted to the depth, alpha 0.
template <class Traits>
VELKOR_AVX2_TARGET A_long ramp_colors(const Blend& b, const double* t, A_long n,
                                      typename Traits::Pixel* color);

// The shading loops below store their pixels through the caches, or with
// kStream past them (non-temporal stores), which needs `out` on a
// kStreamAlignment boundary; end_streaming() then makes those stores visible
// to every thread, before the render that made them returns.
inline constexpr std::size_t kStreamAlignment = 32;
void end_streaming();

// out[i] = color[i] with the alpha of in[i]: "Color", one ramp value per pixel.
template <class Traits, bool kStream>
VELKOR_AVX2_TARGET A_long keep_input_alpha(const typename Traits::Pixel* in,
                                           typename Traits::Pixel* out, A_long n,
                                           const typename Traits::Pixel* color);

// out[i] = color[i] (or in[i] where color is null) with the alpha of in[i]
// scaled by alpha_factor[i]: "Alpha" and "Color & Alpha", one ramp value per
// pixel.
template <class Traits, bool kStream>
VELKOR_AVX2_TARGET A_long scale_alpha(const typename Traits::Pixel* in, typename Traits::Pixel* out,
                                      A_long n, const typename Traits::Pixel* color,
                                      const double* alpha_factor);

}  // namespace avx2
#endif

}  // namespace velkor::kernel
