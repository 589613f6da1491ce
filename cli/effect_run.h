// One run of the effect in the simulated host, in the host's order: load the
// module, global setup, parameter setup, then whatever the command needs (values,
// UI update, a frame), and global set-down when the run ends, even on failure.
// Every error code the module returns becomes a module failure naming the
// command, the host's name for the code and the module's message, if any.
#pragma once

#include <filesystem>
#include <string>

#include "cli/options.h"
#include "simhost/session.h"

namespace velkorramp {

// The module the tool loads when --module is not given: the one beside the
// executable, else the one this build produced.
std::filesystem::path default_module_path();

inline constexpr OptionSpec kModuleOption{
    "--module", nullptr, "PATH",
    "the effect module to load (default: the one built with the tool)"};
// The module --module names, else the default one.
std::filesystem::path module_path(const ParsedOptions& options);

// A module failure for a module that did not load: the loader's reason as one
// line (which usually names the file already), or why a Windows module cannot.
[[noreturn]] void fail_module_load(const std::filesystem::path& module, const std::string& reason);

// The host's packed version word, unpacked (pack_version in
// host/effect_identity.h packs it).
struct VersionWord {
    A_u_long major = 0;
    A_u_long minor = 0;
    A_u_long bug = 0;
    A_u_long stage = 0;  // PF_Stage_DEVELOP .. PF_Stage_RELEASE
    A_u_long build = 0;
    // "develop", "alpha", "beta", "release", as the host names the stages.
    const char* stage_name() const;
    // "1.0.0"
    std::string numbers() const;
};
VersionWord unpack_version(A_u_long word);

struct RunSettings {
    std::filesystem::path module;
    int layer_width = 1920;  // point defaults are percent of the layer
    int layer_height = 1080;
};

class EffectRun {
public:
    // Loads the module and sends global setup and parameter setup.
    explicit EffectRun(const RunSettings& settings);
    ~EffectRun();
    EffectRun(const EffectRun&) = delete;
    EffectRun& operator=(const EffectRun&) = delete;

    simhost::Session& session() { return session_; }

    void update_params_ui();
    // True when the module's last UI update disabled the control at `index`.
    bool disabled(int index) const;
    // Whether the last UI update sent the control at all.
    bool sent(int index) const;

    simhost::RenderResult render(const simhost::RenderOptions& options);
    // The version word the module reported in global setup.
    A_u_long module_version() const { return module_version_; }
    std::string about();

    // Sends global set-down now, failing on its error; otherwise the destructor
    // sends it and ignores the result.
    void finish();

private:
    void check(PF_Err err, PF_Cmd cmd, const std::string& message) const;

    simhost::Session session_;
    bool set_up_ = false;
    A_u_long module_version_ = 0;
};

}  // namespace velkorramp
