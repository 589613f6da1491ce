#include "cli/file_metadata.h"

#include <cstdio>

#include "cli/effect_run.h"
#include "host/project_version.h"

namespace velkorramp {

const std::string& tool_version()
{
    static const std::string version = std::string(velkor::kProjectVersionText) + " (build " +
                                       std::to_string(velkor::kProjectVersionBuild) + ")";
    return version;
}

std::string module_version_text(A_u_long word)
{
    const VersionWord version = unpack_version(word);
    return version.numbers() + " (build " + std::to_string(version.build) + ", " +
           version.stage_name() + ")";
}

std::string control_attribute(const ControlValue& value)
{
    std::string name = value.option.empty() ? value.control : value.option.substr(2);
    for (char& c : name) {
        if (c == ' ') c = '-';
    }
    return "velkorramp:" + name;
}

std::string provenance_description(const Provenance& provenance)
{
    std::string text = std::string("VelkorRamp frame by velkorramp ") + tool_version() +
                       ", module " + provenance.module + ", " + provenance.layer +
                       ", working colour space " + provenance.working_space + ":";
    for (std::size_t i = 0; i < provenance.controls.size(); ++i) {
        const ControlValue& c = provenance.controls[i];
        text += (i == 0 ? " " : "; ") + c.control + " " + c.value;
    }
    return text;
}

void record_provenance(OIIO::ImageSpec& spec, const Provenance& provenance)
{
    spec.attribute("Software", std::string("velkorramp ") + tool_version());
    spec.attribute("ImageDescription", provenance_description(provenance));
    spec.attribute("velkorramp:module", provenance.module);
    spec.attribute("velkorramp:layer", provenance.layer);
    for (const ControlValue& value : provenance.controls)
        spec.attribute(control_attribute(value), value.value);
    // A frame's file is the same bytes wherever and whenever it is written: an
    // empty DateTime makes the TIFF and OpenEXR writers leave out the time stamp
    // they add otherwise (RLA's writer dates its header whatever it is given).
    spec.attribute("DateTime", "");
}

}  // namespace velkorramp
