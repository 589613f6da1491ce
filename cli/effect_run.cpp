#include "cli/effect_run.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <system_error>

#include "cli/failure.h"
#include "cli/message_text.h"

#if defined(__linux__)
#include <unistd.h>
#endif

namespace velkorramp {

namespace fs = std::filesystem;

namespace {

fs::path executable_folder()
{
#if defined(__linux__)
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    return {};
}

// A Windows module starts with "MZ" and has "PE\0\0" where its header says.
bool windows_module(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char head[64] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof head) || head[0] != 'M' || head[1] != 'Z')
        return false;
    const std::uint32_t pe =
        head[60] | head[61] << 8 | head[62] << 16 | static_cast<std::uint32_t>(head[63]) << 24;
    char signature[4] = {};
    in.seekg(pe);
    return in.read(signature, 4) && std::string(signature, 4) == std::string("PE\0\0", 4);
}

}  // namespace

void fail_module_load(const fs::path& module, const std::string& reason)
{
    const std::string path = module.string();
    const std::string why =
        windows_module(module)
            ? "it is a Windows module (a PE file, as the host loads); this tool runs the "
              "module built for this system (" VELKOR_MODULE_FILE_NAME ")"
            : joined_lines(reason);
    fail(ExitCode::module_load, why.find(path) != std::string::npos
                                    ? "cannot load module: " + why
                                    : "cannot load module \"" + path + "\": " + why);
}

const char* VersionWord::stage_name() const
{
    constexpr const char* kStages[] = {"develop", "alpha", "beta", "release"};
    return kStages[stage & 0x3u];
}

std::string VersionWord::numbers() const
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(bug);
}

VersionWord unpack_version(A_u_long word)
{
    return VersionWord{(word >> 26 & 0xFu) << 3 | (word >> 19 & 0x7u), word >> 15 & 0xFu,
                       word >> 11 & 0xFu, word >> 9 & 0x3u, word & 0x1FFu};
}

fs::path default_module_path()
{
    // Installed (or laid out so by the build), else copied beside the tool by
    // hand; when neither is there, the installed place is named in the error.
    const fs::path folder = executable_folder();
    const fs::path installed =
        (folder / VELKOR_INSTALLED_MODULE_DIR / VELKOR_MODULE_FILE_NAME).lexically_normal();
    const fs::path beside = folder / VELKOR_MODULE_FILE_NAME;
    std::error_code ec;
    if (!fs::is_regular_file(installed, ec) && fs::is_regular_file(beside, ec)) return beside;
    return installed;
}

fs::path module_path(const ParsedOptions& options)
{
    const std::string* given = options.find("--module");
    return given != nullptr ? fs::path(*given) : default_module_path();
}

EffectRun::EffectRun(const RunSettings& settings)
{
    session_.config().layer_width = settings.layer_width;
    session_.config().layer_height = settings.layer_height;
    if (const simhost::Status st = session_.load(settings.module.string()); !st)
        fail_module_load(settings.module, st.message);
    const PF_Err setup = session_.global_setup();
    check(setup, PF_Cmd_GLOBAL_SETUP, session_.last_out_data().return_msg);
    module_version_ = session_.last_out_data().my_version;
    set_up_ = true;
    check(session_.params_setup(), PF_Cmd_PARAMS_SETUP, session_.last_out_data().return_msg);
}

EffectRun::~EffectRun()
{
    if (set_up_) session_.global_setdown();
}

void EffectRun::finish()
{
    if (!set_up_) return;
    set_up_ = false;
    check(session_.global_setdown(), PF_Cmd_GLOBAL_SETDOWN, session_.last_out_data().return_msg);
}

void EffectRun::check(PF_Err err, PF_Cmd cmd, const std::string& message) const
{
    if (err == PF_Err_NONE) return;
    std::string line = "the module failed " + simhost::command_name(cmd) + " with " +
                       simhost::error_name(err) + " (" + std::to_string(err) + ")";
    if (!message.empty()) line += ": " + joined_lines(message);
    fail(ExitCode::module_error, line);
}

void EffectRun::update_params_ui()
{
    check(session_.update_params_ui(), PF_Cmd_UPDATE_PARAMS_UI,
          session_.last_out_data().return_msg);
}

bool EffectRun::disabled(int index) const
{
    bool state = false;
    for (const simhost::UpdateParamUiCall& call : session_.ui_updates()) {
        if (call.index == index && call.result == PF_Err_NONE)
            state = (call.def.ui_flags & PF_PUI_DISABLED) != 0;
    }
    return state;
}

bool EffectRun::sent(int index) const
{
    return std::any_of(session_.ui_updates().begin(), session_.ui_updates().end(),
                       [index](const simhost::UpdateParamUiCall& call) {
                           return call.index == index;
                       });
}

simhost::RenderResult EffectRun::render(const simhost::RenderOptions& options)
{
    simhost::RenderResult result = session_.render(options);
    const PF_Cmd cmd =
        result.pre_render_err != PF_Err_NONE ? PF_Cmd_SMART_PRE_RENDER : PF_Cmd_SMART_RENDER;
    check(result.err, cmd, result.return_msg);
    return result;
}

std::string EffectRun::about()
{
    const simhost::AboutResult result = session_.about();
    check(result.err, PF_Cmd_ABOUT, result.text);
    std::string text = result.text;
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

}  // namespace velkorramp
