// The ramp over pixels that are not square. The engine measures distances in
// buffer pixels, so at a pixel aspect ratio other than 1 its circle would be an
// ellipse on screen. Here every distance is measured in square units (the
// height of a pixel): a pixel's column is stretched by the aspect ratio before
// the engine's own shape, clamp, power and pixel conversions are applied, so a
// circle stays a circle as the host shows the frame.
#pragma once

#include "ramp/ramp_evaluator.h"
#include "ramp/world_view.h"

namespace velkor::ofx {

class AspectRamp {
public:
    // `evaluator` is built from settings in square units; (column_offset,
    // row_offset) is the window's top-left pixel counted from the frame's.
    AspectRamp(const RampEvaluator& evaluator, double pixel_aspect, A_long column_offset,
               A_long row_offset);

    // Rows top..bottom - 1 of `output` from `input` (worlds of the same size
    // and depth class).
    void render_rows(const WorldView& input, const WorldView& output, A_long top,
                     A_long bottom) const;

private:
    const RampEvaluator& evaluator_;
    double pixel_aspect_;
    A_long column_offset_;
    A_long row_offset_;
};

}  // namespace velkor::ofx
