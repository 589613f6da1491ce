// What made a file, recorded in it: the tool and its version, the module and
// the version it reported in global setup, the layer, and every control's
// value. Each format keeps what it can:
//   - "Software": the tool and its version, "velkorramp 1.0.0 (build 1)" (PNG,
//     TIFF, OpenEXR, JPEG, DPX);
//   - "ImageDescription": one readable line with the module and every control;
//   - one "velkorramp:NAME" attribute per control and "velkorramp:module",
//     where the format holds named text (PNG text chunks, OpenEXR attributes).
#pragma once

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

#include "cli/control_values.h"
#include "host/host_interface.h"

namespace velkorramp {

// "1.0.0 (build 1)": this tool's version, the one string --version, Software
// and the description all give.
const std::string& tool_version();
// "1.0.0 (build 1, release)": a packed version word as the host unpacks it
// (version, subversion, bug version, build, stage), in --version and in files.
std::string module_version_text(A_u_long version_word);

struct Provenance {
    std::string module;  // "VelkorRamp.so 1.0.0 (build 1, release)"
    std::string layer;   // "1920x1080 solid layer", "photo.exr (1920x1080)"
    std::vector<ControlValue> controls;
    std::string working_space;  // the colour space the frame was computed in
};

// The attribute a control's value is recorded under: "velkorramp:start-color".
std::string control_attribute(const ControlValue& value);
// "VelkorRamp frame by velkorramp 1.0.0 (build 1), module ..., ...: Type \"Color\", ..."
std::string provenance_description(const Provenance& provenance);
// Sets "Software", "ImageDescription" and the per-control attributes.
void record_provenance(OIIO::ImageSpec& spec, const Provenance& provenance);

}  // namespace velkorramp
