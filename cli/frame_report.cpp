#include "cli/frame_report.h"

#include <cstdio>

namespace velkorramp {

namespace {

std::string colour_text(const ColorValue& c)
{
    return format_number(c.red) + "," + format_number(c.green) + "," + format_number(c.blue) + "," +
           format_number(c.alpha);
}

std::string size_text(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string factor_text(const Factor& factor)
{
    return std::to_string(factor.num) + "/" + std::to_string(factor.den);
}

}  // namespace

std::string layer_text(const RenderRequest& request, const RenderPlan& plan)
{
    const std::string size = size_text(plan.layer_width, plan.layer_height);
    if (!request.input) return size + " solid layer of " + colour_text(request.fill);
    const std::string name = request.input->pattern() == "-" ? std::string("standard input")
                                                             : request.input->pattern().string();
    return "\"" + name + "\" (" + size + ")";
}

std::string report_text(const RenderRequest& request, const RenderPlan& plan, const FrameFile& file,
                        const WriteSettings& settings, const FrameRecord& record)
{
    const std::string which =
        plan.frames.size() > 1 ? " (frame " + std::to_string(file.frame) + ")" : std::string();
    std::string text = "rendered " + file.path.string() + which + ": " +
                       size_text(record.width, record.height) + ", " + plan.depth.text() +
                       ", from " + article_for(plan.layer_width) + " " +
                       size_text(plan.layer_width, plan.layer_height) + " layer at downsample " +
                       factor_text(request.downsample.x) + "," + factor_text(request.downsample.y) +
                       "; host threads " + std::to_string(request.threads) + ", bands " +
                       std::to_string(record.bands) + "; module " + request.module.string() + "\n";
    if (file.index > 0) return text;
    text += "written as " + settings.format.name + ", " + depth_text(settings.depth) + ", " +
            (settings.format.has_alpha()
                 ? (settings.premultiplied ? "premultiplied alpha" : "straight alpha")
                 : (settings.premultiplied ? "no alpha (over black)" : "no alpha")) +
            ", colour space " + settings.colour_space + " (working space " + plan.working_space +
            ")" +
            (settings.compression ? ", compression " + settings.compression->attribute()
                                  : std::string()) +
            "\n";
    for (const ControlValue& c : record.provenance.controls) {
        text += "  " + c.control + (c.option.empty() ? "" : " (" + c.option + ")") + ": " +
                c.value + "\n";
    }
    char timings[128];
    std::snprintf(timings, sizeof timings, "times: read %.3f s, render %.3f s, write %.3f s\n",
                  record.read_seconds, record.render_seconds, record.write_seconds);
    return text + timings;
}

}  // namespace velkorramp
