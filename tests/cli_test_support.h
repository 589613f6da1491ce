// Running the built velkorramp as a process, reading its files back with
// OpenImageIO, and rendering the same frame in-process through the simulated
// host for comparison.
#pragma once

#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "simhost/session.h"

namespace cli_test {

namespace fs = std::filesystem;

struct ProcessResult {
    int exit_code = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How a started tool runs: signals it starts with ignored (as nohup does),
// resource limits, another user, where stdout goes.
struct Launch {
    std::vector<int> ignored_signals;
    std::vector<std::pair<int, rlim_t>> limits;  // {RLIMIT_FSIZE, bytes}, ...
    std::optional<uid_t> user;                   // with the group 65534
    std::string stdout_path;                     // default: a file the test reads
};

// How a process ended.
struct Ending {
    int exit_code = -1;  // -1 when it died by a signal
    int signal = 0;      // the signal that ended it, or 0
    std::string out;
    std::string err;
};

// True in builds whose tool runs under AddressSanitizer or ThreadSanitizer,
// which reserve terabytes of address space up front.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

// Each test gets an empty folder of its own, removed afterwards.
class ToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Under LeakSanitizer, the tool's runs know the leaks of the libraries it
        // uses (full stacks, so a library frame can be matched) and keep the
        // report of suppressed ones off stderr, whose lines the tests count.
        static const bool lsan_options_set = [] {
            const char* given = std::getenv("LSAN_OPTIONS");
            const std::string options = std::string(given != nullptr ? given : "") +
                                        ":suppressions=" VELKOR_LSAN_SUPPRESSIONS
                                        ":print_suppressions=0:fast_unwind_on_malloc=0";
            return setenv("LSAN_OPTIONS", options.c_str(), 1) == 0;
        }();
        EXPECT_TRUE(lsan_options_set);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("velkorramp-" + std::to_string(getpid()) + "-" +
                                            info->test_suite_name() + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path path(const std::string& name) const { return dir_ / name; }

    // velkorramp with these arguments, each passed as one word; `env` is
    // prepended to the command ("NAME=value ").
    ProcessResult run(const std::vector<std::string>& args, const std::string& env = "") const
    {
        std::string command = env + "'" + std::string(VELKORRAMP_PATH) + "'";
        for (const std::string& a : args) command += " '" + a + "'";
        const fs::path out = dir_ / ".stdout";
        const fs::path err = dir_ / ".stderr";
        command += " >'" + out.string() + "' 2>'" + err.string() + "'";
        const int status = std::system(command.c_str());
        ProcessResult result;
        result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = slurp(out);
        result.err = slurp(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }

    // Starts velkorramp directly (no shell between), so that the test can signal
    // it; finish() waits for it.
    pid_t start(const std::vector<std::string>& args, const Launch& launch = {}) const
    {
        std::vector<std::string> words{VELKORRAMP_PATH};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        const std::string out =
            launch.stdout_path.empty() ? (dir_ / ".stdout").string() : launch.stdout_path;
        const std::string err = (dir_ / ".stderr").string();
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid != 0) return pid;
        // The child: only calls that are safe between fork and exec.
        const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out_fd < 0 || err_fd < 0 || dup2(out_fd, 1) < 0 || dup2(err_fd, 2) < 0) _exit(120);
        // Whatever the test runner ignores or blocks, the tool starts as from a
        // plain shell, then with what the test asks.
        for (int s = 1; s < NSIG; ++s) {
            if (s != SIGKILL && s != SIGSTOP) std::signal(s, SIG_DFL);
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const int s : launch.ignored_signals) std::signal(s, SIG_IGN);
        // A core from a signal the test sends is not wanted.
        const struct rlimit no_core {
            0, 0
        };
        setrlimit(RLIMIT_CORE, &no_core);
        for (const auto& [resource, value] : launch.limits) {
            const struct rlimit limit {
                value, value
            };
            if (setrlimit(resource, &limit) != 0) _exit(121);
        }
        if (launch.user &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(*launch.user) != 0))
            _exit(122);
        execv(argv[0], argv.data());
        _exit(123);
    }

    Ending finish(pid_t pid) const
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        Ending ending;
        if (WIFEXITED(status)) ending.exit_code = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) ending.signal = WTERMSIG(status);
        ending.out = slurp(dir_ / ".stdout");
        ending.err = slurp(dir_ / ".stderr");
        fs::remove(dir_ / ".stdout");
        fs::remove(dir_ / ".stderr");
        return ending;
    }

    Ending launch(const std::vector<std::string>& args, const Launch& how = {}) const
    {
        return finish(start(args, how));
    }

    // Whether the tool runs as user `user` from where it was built (its folder
    // may be closed to other users); makes the test folder open to everyone.
    bool runs_as(uid_t user) const
    {
        fs::permissions(dir_, fs::perms::all, fs::perm_options::add);
        Launch as_user;
        as_user.user = user;
        as_user.stdout_path = "/dev/null";
        return launch({"about"}, as_user).exit_code == 0;
    }

    // Files in the test's folder other than the runner's own.
    std::vector<std::string> files() const { return files_in(dir_); }

    static std::vector<std::string> files_in(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name != ".stdout" && name != ".stderr") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

// An image file as stored: size, channels and samples in the file's own type.
struct FileImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    OIIO::TypeDesc format;
    std::vector<std::uint8_t> u8;
    std::vector<std::uint16_t> u16;
    std::vector<float> f32;
};

inline FileImage read_file(const fs::path& path)
{
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    FileImage image;
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return image;
    }
    const OIIO::ImageSpec image_spec = in->spec_dimensions(0);
    image.width = image_spec.width;
    image.height = image_spec.height;
    image.channels = image_spec.nchannels;
    image.format = image_spec.format;
    const std::size_t n =
        static_cast<std::size_t>(image_spec.width) * image_spec.height * image_spec.nchannels;
    bool ok = false;
    if (image_spec.format == OIIO::TypeDesc::UINT8) {
        image.u8.resize(n);
        ok = in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::UINT8, image.u8.data());
    } else if (image_spec.format == OIIO::TypeDesc::UINT16) {
        image.u16.resize(n);
        ok =
            in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::UINT16, image.u16.data());
    } else {
        image.f32.resize(n);
        ok = in->read_image(0, 0, 0, image_spec.nchannels, OIIO::TypeDesc::FLOAT, image.f32.data());
    }
    EXPECT_TRUE(ok) << in->geterror();
    return image;
}

// The header of an image file as OpenImageIO reads it, with its metadata.
inline OIIO::ImageSpec read_spec(const fs::path& path)
{
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path << ": " << OIIO::geterror();
        return {};
    }
    return in->spec();
}

// Writes samples of the header's type with its windows and attributes, as
// straight alpha where the format has a choice.
template <class Sample>
void write_file(const fs::path& path, OIIO::ImageSpec image_spec,
                const std::vector<Sample>& samples)
{
    const OIIO::TypeDesc type = image_spec.format;
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out);
    image_spec.attribute("oiio:UnassociatedAlpha", 1);
    ASSERT_TRUE(out->open(path.string(), image_spec)) << out->geterror();
    ASSERT_TRUE(out->write_image(type, samples.data())) << out->geterror();
    ASSERT_TRUE(out->close());
}

// The same for a plain image of one sample type.
template <class Sample>
void write_file(const fs::path& path, int width, int height, int channels, OIIO::TypeDesc type,
                const std::vector<Sample>& samples)
{
    write_file(path, OIIO::ImageSpec(width, height, channels, type), samples);
}

// The frame the simulated host renders in-process with the same module, layer
// size and control values (set by `controls`).
inline simhost::RenderResult reference_render(
    int layer_width, int layer_height, const std::function<void(simhost::Session&)>& controls,
    const simhost::RenderOptions& options)
{
    simhost::Session session;
    session.config().layer_width = layer_width;
    session.config().layer_height = layer_height;
    EXPECT_TRUE(session.load(VELKOR_MODULE_PATH));
    EXPECT_EQ(session.global_setup(), PF_Err_NONE);
    EXPECT_EQ(session.params_setup(), PF_Err_NONE);
    if (controls) controls(session);
    EXPECT_EQ(session.update_params_ui(), PF_Err_NONE);
    simhost::RenderResult result = session.render(options);
    EXPECT_EQ(result.err, PF_Err_NONE);
    EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
    return result;
}

inline simhost::RenderOptions solid(int width, int height, PF_PixelFormat format,
                                    simhost::ColorF color = {1, 0, 0, 0})
{
    simhost::RenderOptions options;
    options.format = format;
    options.solid = simhost::SolidLayer{width, height, color};
    return options;
}

}  // namespace cli_test
