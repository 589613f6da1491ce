#include "hostcheck/host_check.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "hostcheck/frame_file.h"
#include "hostcheck/module_file.h"
#include "hostcheck/pipl_reader.h"
#include "hostcheck/ramp_cases.h"
#include "simhost/session.h"

namespace velkor::hostcheck {
namespace {

constexpr const char* kFrameExtension = ".frame";

class CheckFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void require(bool ok, const std::string& what)
{
    if (!ok) throw CheckFailure(what);
}

void require_ok(PF_Err err, const std::string& what)
{
    require(err == PF_Err_NONE, what + " returned " + simhost::error_name(err));
}

void require_ok(const simhost::Status& status) { require(status.ok, status.message); }

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::vector<std::uint8_t> read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    require(static_cast<bool>(in), "cannot open " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int param_index(const simhost::Session& session, const char* name)
{
    const int index = session.find_param(name);
    require(index > 0, std::string("the module declared no control \"") + name + "\"");
    return index;
}

void apply(simhost::Session& session, const RampCase& c)
{
    const auto point = [&](const char* name, PointValue p) {
        require_ok(session.set_point(param_index(session, name), p.x, p.y));
    };
    require_ok(session.set_popup(param_index(session, "Type"), c.type));
    require_ok(session.set_popup(param_index(session, "Controlled By"), c.controlled_by));
    point("Start of Ramp", c.start);
    point("End of Ramp", c.end);
    point("Center", c.center);
    require_ok(session.set_float(param_index(session, "Length"), c.length));
    require_ok(session.set_angle(param_index(session, "Direction"), c.direction));
    require_ok(session.set_color(param_index(session, "Start Color"), c.start_color));
    require_ok(session.set_color(param_index(session, "End Color"), c.end_color));
    require_ok(session.set_percent(param_index(session, "Start Alpha"), c.start_alpha));
    require_ok(session.set_percent(param_index(session, "End Alpha"), c.end_alpha));
    require_ok(session.set_popup(param_index(session, "Shape"), c.shape));
    require_ok(session.set_float(param_index(session, "Power"), c.power));
}

// A layer whose every channel varies, so "Alpha" and "Color & Alpha" have
// something to scale. Plain ratios: the same bits on every build.
simhost::World input_layer(PF_PixelFormat format)
{
    simhost::WorldSpec world_spec;
    world_spec.width = kLayerWidth;
    world_spec.height = kLayerHeight;
    world_spec.format = format;
    simhost::World layer(world_spec);
    layer.fill_with([](int x, int y) {
        return simhost::ColorF{((x * 7 + y * 3) % 11) / 10.0, x / (kLayerWidth - 1.0),
                               y / (kLayerHeight - 1.0), ((x ^ y) & 15) / 15.0};
    });
    return layer;
}

Frame frame_of(const simhost::World& world)
{
    Frame frame;
    frame.width = static_cast<std::uint32_t>(world.width());
    frame.height = static_cast<std::uint32_t>(world.height());
    frame.pixel_bytes = static_cast<std::uint32_t>(world.pixel_bytes());
    frame.format = static_cast<std::uint32_t>(world.format());
    const std::size_t row_bytes = frame.width * std::size_t{frame.pixel_bytes};
    for (int y = 0; y < world.height(); ++y)
        frame.pixels.insert(frame.pixels.end(), world.row(y), world.row(y) + row_bytes);
    return frame;
}

std::set<std::string> frame_names(const std::filesystem::path& dir)
{
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error))
        if (entry.is_regular_file() && entry.path().extension() == kFrameExtension)
            names.insert(entry.path().filename().string());
    require(!error, "cannot list " + dir.string() + ": " + error.message());
    return names;
}

void remove_frames(const std::filesystem::path& dir)
{
    std::error_code ignored;
    for (const std::string& name : frame_names(dir)) std::filesystem::remove(dir / name, ignored);
}

void run(const RunOptions& options, std::ostream& log)
{
    const std::vector<std::uint8_t> list = options.pipl_file
                                               ? read_file(*options.pipl_file)
                                               : read_registration_resource(options.module);
    const pipl::Registration registration = pipl::read_registration(list);
    log << "registration: \"" << registration.name << "\" in \"" << registration.category
        << "\", match name \"" << registration.match_name << "\", entry point "
        << registration.entry_point << ", version " << hex(registration.version) << ", flags "
        << hex(static_cast<std::uint32_t>(registration.out_flags)) << " "
        << hex(static_cast<std::uint32_t>(registration.out_flags2)) << " (" << list.size()
        << " bytes)\n";

    const LoadedModule code(options.module, registration.entry_point);
    simhost::Session session;
    session.config().layer_width = kLayerWidth;
    session.config().layer_height = kLayerHeight;
    require_ok(session.load(options.module.string()));
    require(session.host().entry() == code.entry(),
            "the host drives another function than the export \"" + registration.entry_point +
                "\"");

    const simhost::AboutResult about = session.about();
    require_ok(about.err, "PF_Cmd_ABOUT");
    require(about.text.rfind(registration.name + ", v", 0) == 0,
            "the About text \"" + about.text + "\" does not start with the registered name");

    require_ok(session.global_setup(), "PF_Cmd_GLOBAL_SETUP");
    const PF_OutData& out = session.last_out_data();
    require(out.my_version == registration.version,
            "global setup reports version " + hex(out.my_version) + ", the property list " +
                hex(registration.version));
    require(out.out_flags == registration.out_flags,
            "global setup reports out_flags " + hex(static_cast<std::uint32_t>(out.out_flags)) +
                ", the property list " + hex(static_cast<std::uint32_t>(registration.out_flags)));
    require(out.out_flags2 == registration.out_flags2,
            "global setup reports out_flags2 " + hex(static_cast<std::uint32_t>(out.out_flags2)) +
                ", the property list " + hex(static_cast<std::uint32_t>(registration.out_flags2)));

    require_ok(session.params_setup(), "PF_Cmd_PARAMS_SETUP");
    require_ok(session.update_params_ui(), "PF_Cmd_UPDATE_PARAMS_UI");

    std::filesystem::create_directories(options.frames_dir);
    remove_frames(options.frames_dir);
    int frames = 0;
    for (const RampCase& ramp : ramp_cases()) {
        apply(session, ramp);
        require_ok(session.update_params_ui(),
                   std::string("PF_Cmd_UPDATE_PARAMS_UI for ") + ramp.name);
        for (const int bits : {8, 16, 32}) {
            const PF_PixelFormat format = simhost::argb_format_for_depth(bits);
            const std::string suffix = std::to_string(bits);
            const simhost::World layer = input_layer(format);
            simhost::RenderOptions render;
            render.format = format;
            render.input = &layer;
            const simhost::RenderResult result = session.render(render);
            const std::string label = std::string(ramp.name) + " at " + suffix + " bits";
            require_ok(result.pre_render_err, "PF_Cmd_SMART_PRE_RENDER of " + label);
            require_ok(result.err, "PF_Cmd_SMART_RENDER of " + label);
            write_frame(options.frames_dir /
                            (std::string(ramp.name) + "-" + suffix + kFrameExtension),
                        frame_of(result.output));
            ++frames;
        }
    }

    require_ok(session.global_setdown(), "PF_Cmd_GLOBAL_SETDOWN");
    const simhost::Accounting accounting = session.accounting();
    require(accounting.balanced(),
            "the host's accounting does not balance:\n" + accounting.unbalanced());
    log << "rendered " << frames << " frames of " << kLayerWidth << "x" << kLayerHeight << " into "
        << options.frames_dir.string() << "; accounting balanced\n";
}

}  // namespace

int run_host_check(const RunOptions& options, std::ostream& log)
{
    try {
        run(options, log);
        return 0;
    } catch (const std::exception& error) {
        log << "host check failed: " << error.what() << "\n";
    }
    try {
        if (std::filesystem::is_directory(options.frames_dir)) remove_frames(options.frames_dir);
    } catch (const std::exception& error) {
        log << "and its frames could not be removed: " << error.what() << "\n";
    }
    return 1;
}

int compare_frame_dirs(const std::filesystem::path& a, const std::filesystem::path& b,
                       std::ostream& log)
{
    try {
        const std::set<std::string> in_a = frame_names(a);
        const std::set<std::string> in_b = frame_names(b);
        require(!in_a.empty(), a.string() + " holds no frames");
        int failures = 0;
        for (const std::string& name : in_a) {
            if (!in_b.count(name)) {
                log << name << ": only in " << a.string() << "\n";
                ++failures;
                continue;
            }
            const FrameComparison comparison =
                compare_frames(read_frame(a / name), read_frame(b / name));
            log << name << ": " << comparison.describe() << "\n";
            failures += comparison.identical() ? 0 : 1;
        }
        for (const std::string& name : in_b) {
            if (!in_a.count(name)) {
                log << name << ": only in " << b.string() << "\n";
                ++failures;
            }
        }
        log << in_a.size() << " frames compared, " << failures << " differ or are missing\n";
        return failures == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        log << "frame comparison failed: " << error.what() << "\n";
        return 1;
    }
}

}  // namespace velkor::hostcheck
