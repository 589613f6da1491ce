// From the OpenFX host's world to the ramp engine's: the controls' values in
// canonical coordinates (origin bottom left, y up) become the settings the
// engine draws from (origin top left, y down, in pixels of the render), and an
// image's window becomes the engine's view of it.
//
// A canonical point (x, y) of a frame whose top edge is at H is the point
// (x, H - y) of the engine's frame; Direction keeps its meaning on screen
// (0 up, 90 right) because the engine's axis is measured in the same y-down
// frame. Points are scaled to the render and, like the other host's point
// controls, held on a grid of 1/65536 pixel, so that a frame rendered at any
// scale is the other host's frame at that downsample.
#pragma once

#include <cstdint>

#include "ofx/ofx_api.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_settings.h"
#include "ramp/world_view.h"

namespace velkor::ofx {

// The thirteen controls as the host holds them: choices as 0-based option
// indices, points in canonical coordinates, colours 0..1, alphas in percent.
struct RampControls {
    int type = 0;
    int controlled_by = 0;
    OfxPointD start_point{0, 0};
    OfxPointD end_point{0, 0};
    OfxPointD center{0, 0};
    double length = 0;
    double direction = 0;  // degrees
    double start_color[3]{};
    double end_color[3]{};
    double start_alpha = 0;  // percent
    double end_alpha = 0;
    int shape = 0;
    double power = 1;
};

// Where the frame lies and how it is rendered.
struct RenderGeometry {
    OfxRectD frame{0, 0, 0, 0};  // canonical
    OfxPointD render_scale{1, 1};
    double pixel_aspect = 1;
};

// The settings of the engine's frame in full pixels of the render: the frame's
// top-left pixel is (0, 0).
RampSettings settings_from(const RampControls& controls, const RenderGeometry& geometry);

// The frame's left and top edges in pixels of the render (the top edge is the
// first row above the frame).
int frame_left_pixel(const RenderGeometry& geometry);
int frame_top_pixel(const RenderGeometry& geometry);

// An image as the host hands it: bounds in pixels (bottom-left origin), the
// address of pixel (x1, y1), its row stride in bytes.
struct ImageMemory {
    void* data = nullptr;
    OfxRectI bounds{0, 0, 0, 0};
    int row_bytes = 0;
    std::size_t pixel_bytes = 0;
};

// `window` of `image` as the engine's top-down world: row 0 is the window's top
// row. The window must lie within the image's bounds.
PF_EffectWorld world_of(const ImageMemory& image, const OfxRectI& window);

// What the engine's `pow` callback needs: a PF_InData whose utilities hold the
// C library's pow. Shared, read only.
const PF_InData& engine_in_data();

}  // namespace velkor::ofx
