// The tool's writes, run as a process: a write that fails says why, names the
// user's path, keeps the file it would have replaced and leaves nothing else;
// a signal during the write removes the partial file and the process dies by
// that signal; ignored signals stay ignored; output to stdout is checked.
#include <sys/mount.h>

#include <chrono>
#include <random>
#include <thread>

#include "cli_test_support.h"

namespace cli_test {
namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;

// Random samples compress to nothing, so the frame of "--type alpha" over them
// (colour kept, alpha ramped) is about as large as the raw pixels.
void write_noise(const fs::path& file, int width, int height, OIIO::TypeDesc type)
{
    std::mt19937 random(7);
    const std::size_t count = static_cast<std::size_t>(width) * height * 4;
    if (type == OIIO::TypeDesc::FLOAT) {
        std::vector<float> samples(count);
        for (float& v : samples) v = static_cast<float>(random() % 100000) / 100000.0f;
        write_file(file, width, height, 4, type, samples);
    } else {
        std::vector<std::uint8_t> samples(count);
        for (std::uint8_t& v : samples) v = static_cast<std::uint8_t>(random());
        write_file(file, width, height, 4, type, samples);
    }
}

// A small file system of its own, mounted for the test's lifetime (root only).
class SmallDisk {
public:
    SmallDisk(const fs::path& where, const std::string& options) : where_(where)
    {
        fs::create_directories(where);
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    void remount_read_only()
    {
        mounted_ = mounted_ &&
                   ::mount("tmpfs", where_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    fs::path where_;
    bool mounted_ = false;
};

class Writes : public ToolTest {
protected:
    // One failed write: its exit code, one line naming the user's path with the
    // reason, the older file untouched and nothing else in the folder.
    void expect_refused(const Ending& e, const fs::path& target, const std::string& reason)
    {
        EXPECT_EQ(e.exit_code, 4) << e.err;
        EXPECT_EQ(e.err, "velkorramp: cannot write \"" + target.string() + "\": " + reason + "\n");
        EXPECT_EQ(slurp(target), "an older frame");
        EXPECT_EQ(files_in(target.parent_path()),
                  std::vector<std::string>{target.filename().string()});
    }
};

TEST_F(Writes, AFullDiskFailsEveryFormatAndKeepsTheOlderFile)
{
    if (geteuid() != 0)
        GTEST_SKIP()
            << "mounting a 64 KiB file system needs root; FileSizeLimits covers the write path";
    write_noise(path("noise.png"), 512, 512, OIIO::TypeDesc::UINT8);
    write_noise(path("noise.exr"), 256, 256, OIIO::TypeDesc::FLOAT);
    SmallDisk disk(path("disk"), "size=64k");
    ASSERT_TRUE(disk.mounted()) << "cannot mount a tmpfs here";
    for (const std::string name : {"o.png", "o.tif", "o.exr"}) {
        SCOPED_TRACE(name);
        const fs::path target = path("disk") / name;
        std::ofstream(target) << "an older frame";
        const std::string input = name == "o.exr" ? "noise.exr" : "noise.png";
        expect_refused(launch({"render", "--input", path(input), "--type", "alpha", "-o", target}),
                       target, "No space left on device");
        fs::remove(target);
    }
}

TEST_F(Writes, FileSizeLimitsFailTheWriteOrEndTheProcessWithoutLeftovers)
{
    write_noise(path("noise.png"), 512, 512, OIIO::TypeDesc::UINT8);
    const fs::path target = path("o.png");
    std::ofstream(target) << "an older frame";
    Launch limited;
    limited.limits = {{RLIMIT_FSIZE, 64 * 1024}};
    const std::vector<std::string> args{"render", "--input", path("noise.png"), "--type", "alpha",
                                        "-o",     target};

    // SIGXFSZ ignored: the write itself fails with EFBIG.
    Launch ignoring = limited;
    ignoring.ignored_signals = {SIGXFSZ};
    Ending e = launch(args, ignoring);
    EXPECT_EQ(e.exit_code, 4) << e.err;
    EXPECT_EQ(e.err, "velkorramp: cannot write \"" + target.string() + "\": File too large\n");
    EXPECT_EQ(slurp(target), "an older frame");

    // SIGXFSZ at its default: the process dies by it, and the partial file goes.
    e = launch(args, limited);
    EXPECT_EQ(e.signal, SIGXFSZ) << e.exit_code << " " << e.err;
    EXPECT_EQ(slurp(target), "an older frame");
    EXPECT_EQ(files(), (std::vector<std::string>{"noise.png", "o.png"}));
}

TEST_F(Writes, ReadOnlyAndForbiddenFoldersGiveTheSystemsReason)
{
    if (geteuid() != 0) GTEST_SKIP() << "a read-only mount and another user need root";
    SmallDisk disk(path("ro"), "size=64k");
    ASSERT_TRUE(disk.mounted());
    std::ofstream(path("ro") / "o.png") << "an older frame";
    disk.remount_read_only();
    ASSERT_TRUE(disk.mounted());
    expect_refused(launch({"render", "--size", "8x8", "-o", path("ro") / "o.png"}),
                   path("ro") / "o.png", "Read-only file system");

    if (!runs_as(kNobody)) GTEST_SKIP() << "user nobody cannot run the tool from its build folder";
    fs::create_directories(path("locked"));
    std::ofstream(path("locked") / "o.png") << "an older frame";
    fs::permissions(path("locked"), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    Launch nobody;
    nobody.user = kNobody;
    nobody.stdout_path = "/dev/null";
    expect_refused(launch({"render", "--size", "8x8", "-o", path("locked") / "o.png"}, nobody),
                   path("locked") / "o.png", "Permission denied");
}

// A folder closed to the run while its frames are written (as a file system
// that turns read-only is): no frame takes its name and no hidden file can be
// removed, so the error names each one left.
TEST_F(Writes, AFolderClosedMidSequenceNamesTheFilesLeftBehind)
{
    Launch how;
    how.stdout_path = "/dev/null";
    if (geteuid() == 0) {
        if (!runs_as(kNobody))
            GTEST_SKIP() << "user nobody cannot run the tool from its build folder";
        how.user = kNobody;  // root would write through the closed folder
    }
    const fs::path out = path("out");
    fs::create_directories(out);
    fs::permissions(out, fs::perms::all);
    const pid_t pid = start({"render", "--size", "2000x2000", "--depth", "16", "--frames", "1-3",
                             "--writers", "3", "-o", (out / "o.#.png").string()},
                            how);
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (files_in(out).size() < 3 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(200us);
    fs::permissions(out, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const Ending e = finish(pid);
    fs::permissions(out, fs::perms::all);

    const std::vector<std::string> left = files_in(out);
    ASSERT_EQ(left.size(), 3u) << "every frame was being written when the folder closed";
    EXPECT_EQ(e.exit_code, 4) << e.err;
    const std::string failure = "velkorramp: frame 1: cannot write \"" +
                                (out / "o.0001.png").string() +
                                "\": Permission denied (0 of 3 frames written); left behind, as "
                                "they could not be removed: ";
    EXPECT_EQ(e.err.rfind(failure, 0), 0u) << e.err;
    for (const std::string& name : left) {
        EXPECT_EQ(name[0], '.');
        EXPECT_NE(e.err.find("\"" + (out / name).string() + "\""), std::string::npos) << e.err;
    }
    EXPECT_EQ(std::count(e.err.begin(), e.err.end(), '\n'), 1) << e.err;
}

TEST_F(Writes, TheLongestLegalNameWorksAndALongerOneIsRefused)
{
    const std::string longest = std::string(251, 'n') + ".png";  // 255 bytes, the usual NAME_MAX
    Ending e = launch({"render", "--size", "8x8", "-o", path(longest)});
    EXPECT_EQ(e.exit_code, 0) << e.err;
    EXPECT_EQ(files(), std::vector<std::string>{longest});
    EXPECT_EQ(read_file(path(longest)).width, 8);

    const std::string too_long = std::string(252, 'n') + ".png";
    e = launch({"render", "--size", "8x8", "-o", path(too_long)});
    EXPECT_EQ(e.exit_code, 4);
    EXPECT_EQ(e.err,
              "velkorramp: cannot write \"" + path(too_long).string() + "\": File name too long\n");
    EXPECT_EQ(files(), std::vector<std::string>{longest});

    // The shortest name a format allows still gets a temporary name that fits.
    e = launch({"render", "--size", "8x8", "-o", path("a.tif")});
    EXPECT_EQ(e.exit_code, 0) << e.err;
}

TEST_F(Writes, OutputThatCannotReachStdoutIsAFailure)
{
    Launch full;
    full.stdout_path = "/dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"params"},
          {"about"},
          {"--help"},
          {"render", "--help"},
          {"render", "--size", "4x4", "-v", "-o", path("v.png")}}) {
        SCOPED_TRACE(args.front() + " " + args.back());
        const Ending e = launch(args, full);
        EXPECT_EQ(e.exit_code, 4);
        EXPECT_EQ(e.err, "velkorramp: cannot write to standard output: No space left on device\n");
    }
}

// ------------------------------------------------------------------ signals

class Signals : public ToolTest {
protected:
    // Starts a render whose write takes a while, waits until its temporary file
    // exists, sends `signal_number` and returns how the process ended.
    Ending signal_during_write(int signal_number, const Launch& how = {})
    {
        const pid_t pid = start({"render", "--size", "2000x2000", "--depth", "16", "--threads", "2",
                                 "-o", path("o.png")},
                                how);
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            for (const std::string& name : files()) seen = seen || name != "o.png";
            if (!seen) {
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) {
                    ADD_FAILURE() << "the render ended before its write was seen";
                    return Ending{};
                }
                std::this_thread::sleep_for(200us);
            }
        }
        EXPECT_TRUE(seen) << "no temporary file appeared";
        ::kill(pid, signal_number);
        return finish(pid);
    }
};

TEST_F(Signals, EachTerminatingSignalRemovesThePartialFileThenEndsTheProcessByItself)
{
    for (const int s :
         {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM, SIGTERM, SIGXFSZ}) {
        SCOPED_TRACE(strsignal(s));
        std::ofstream(path("o.png")) << "an older frame";
        const Ending e = signal_during_write(s);
        EXPECT_EQ(e.signal, s) << "exit " << e.exit_code << ": " << e.err;
        EXPECT_EQ(files(), std::vector<std::string>{"o.png"});
        EXPECT_EQ(slurp(path("o.png")), "an older frame");
    }
}

TEST_F(Signals, SignalsIgnoredAtStartStayIgnored)
{
    // As under nohup, and as a shell starts background jobs.
    Launch nohup;
    nohup.ignored_signals = {SIGHUP, SIGINT};
    const Ending e = signal_during_write(SIGHUP, nohup);
    EXPECT_EQ(e.exit_code, 0) << e.signal << " " << e.err;
    EXPECT_EQ(files(), std::vector<std::string>{"o.png"});
    EXPECT_EQ(read_file(path("o.png")).width, 2000);
}

}  // namespace
}  // namespace cli_test
