// What the shading kernels' inner loops share between the baseline x86-64 code
// and the wider AVX2 versions chosen at run time. Internal to ramp/.
#pragma once

#include "host/host_interface.h"
#include "ramp/ramp_types.h"

// AVX2 loops are built where GCC can target them per function and the processor
// can be asked at run time (x86-64 Linux and mingw-w64 alike). Elsewhere only
// the baseline loops exist.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELKOR_AVX2_KERNELS 1
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

#if VELKOR_AVX2_KERNELS
// Four pixels to a vector. Each loop does the whole groups of four of a run
// and returns how many pixels that was; the baseline loop in ramp_kernels.cpp
// finishes the rest. Each gives exactly the bits of its baseline counterpart:
// the same float64 operations in the same order, the same selects for the
// clamps, no contraction. Callers make sure the processor has AVX2
// (supported()) before calling any of them.
namespace avx2 {

bool supported();

// t of pixels of row y from column x0 for "Linear", "Linear 2" or "Radial";
// 0 (nothing done) for any other shape.
A_long ramp_positions(A_long shape, const Geometry& g, A_long x0, A_long y, A_long n, double* t);

// Ramp colours of values of t', converted to the depth, alpha 0.
A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_Pixel* color);
A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_Pixel16* color);
A_long ramp_colors(const Blend& b, const double* t, A_long n, PF_PixelFloat* color);

// out[i] = color[i] with the alpha of in[i]: "Color", one ramp value per pixel.
A_long keep_input_alpha(const PF_Pixel* in, PF_Pixel* out, A_long n, const PF_Pixel* color);
A_long keep_input_alpha(const PF_Pixel16* in, PF_Pixel16* out, A_long n, const PF_Pixel16* color);
A_long keep_input_alpha(const PF_PixelFloat* in, PF_PixelFloat* out, A_long n,
                        const PF_PixelFloat* color);

// out[i] = color[i] (or in[i] where color is null) with the alpha of in[i]
// scaled by alpha_factor[i]: "Alpha" and "Color & Alpha", one ramp value per
// pixel.
A_long scale_alpha(const PF_Pixel* in, PF_Pixel* out, A_long n, const PF_Pixel* color,
                   const double* alpha_factor);
A_long scale_alpha(const PF_Pixel16* in, PF_Pixel16* out, A_long n, const PF_Pixel16* color,
                   const double* alpha_factor);
A_long scale_alpha(const PF_PixelFloat* in, PF_PixelFloat* out, A_long n,
                   const PF_PixelFloat* color, const double* alpha_factor);

}  // namespace avx2
#endif

}  // namespace velkor::kernel
