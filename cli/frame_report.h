// What -v says of each written frame, and the record of how a frame was made
// that travels with it from its render to its file's name.
#pragma once

#include <memory>
#include <string>

#include "cli/render_pipeline.h"
#include "cli/render_plan.h"
#include "cli/write_settings.h"

namespace velkorramp {

// What a frame's file says about itself, and how long each step took.
struct FrameRecord {
    FrameWindows windows;
    Provenance provenance;
    std::shared_ptr<const CarriedData> carried;  // what the frame's input brings beyond RGBA
    bool loses_16bit_codes = false;              // its input, through the host's 16-bit scale
    int width = 0;                               // the frame rendered
    int height = 0;
    int bands = 0;  // the host's iterations for the first band split
    double read_seconds = 0;
    double render_seconds = 0;
    double write_seconds = 0;
};

// The layer as a file's record names it: "\"plate.exr\" (1920x1080)" or
// "1920x1080 solid layer of 0,0,0,1".
std::string layer_text(const RenderRequest& request, const RenderPlan& plan);

// What -v prints for a written frame: what was rendered; for the run's first
// frame also how it was written, the controls' values and the time each step
// took (a sequence's later frames are one line each; their files record their
// own values).
std::string report_text(const RenderRequest& request, const RenderPlan& plan, const FrameFile& file,
                        const WriteSettings& settings, const FrameRecord& record);

}  // namespace velkorramp
