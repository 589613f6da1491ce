// The sequence's writers, in-process with a stand-in for the file write: files
// take their names in frame order whichever finishes first, no more than
// writers + 1 frames exist, and a failure keeps the frames before it and
// abandons every later one.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "cli/render_pipeline.h"

namespace velkorramp {
namespace {

namespace fs = std::filesystem;

// A write that takes `delay[frame]` milliseconds, may fail, and records the
// order in which files took their names.
struct FakeFiles {
    std::mutex mutex;
    std::map<int, int> delay_ms;
    int fail_frame = -1;
    std::vector<int> named;      // frames in the order they took their names
    std::vector<int> abandoned;  // frames whose whole file was dropped
    std::vector<int> reported;   // frames in the order `written` saw them

    FrameWriters::Write write()
    {
        return [this](const simhost::World&, const FrameFile& file,
                      const std::function<void()>& before_commit) {
            const fs::path& path = file.path;
            const int frame = std::stoi(path.string());
            int delay = 0;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                delay = delay_ms[frame];
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            if (frame == fail_frame)
                fail(ExitCode::output, "cannot write \"" + path.string() + "\": disk full");
            try {
                before_commit();
            } catch (...) {
                const std::lock_guard<std::mutex> lock(mutex);
                abandoned.push_back(frame);
                throw;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            named.push_back(frame);
        };
    }
    FrameWriters::Written written()
    {
        return [this](const FrameFile& file) { reported.push_back(file.frame); };
    }
};

const simhost::WorldSpec kSmall{8, 4, PF_PixelFormat_ARGB32};

FrameFile file_of(int index, int first)
{
    return FrameFile{index, first + index, fs::path(std::to_string(first + index))};
}

// Renders `count` frames from `first` as the renderer does: a world, then the
// frame handed over; stops when the writers say the run failed. Returns the
// distinct worlds it was given.
std::set<const simhost::World*> run(FrameWriters& writers, int count, int first,
                                    int render_fail_index = -1,
                                    const simhost::WorldSpec& spec = kSmall)
{
    std::set<const simhost::World*> seen;
    for (int i = 0; i < count; ++i) {
        if (i == render_fail_index) {
            writers.fail(file_of(i, first), ExitCode::module_error, "the module failed");
            break;
        }
        std::unique_ptr<simhost::World> world = writers.next_world(spec);
        if (!world) break;
        seen.insert(world.get());
        writers.write(file_of(i, first), std::move(world));
    }
    return seen;
}

std::string failure_of(FrameWriters& writers)
{
    try {
        writers.finish();
    } catch (const Failure& failure) {
        return failure.what();
    }
    return "";
}

TEST(FrameWriters, FilesTakeTheirNamesInFrameOrderWithAtMostWritersPlusOneFrames)
{
    FakeFiles files;
    for (int f = 0; f < 12; ++f) files.delay_ms[f] = (12 - f) * 3;  // later frames finish first
    FrameWriters writers(3, 12, files.write(), files.written());
    EXPECT_EQ(writers.frames_held(), 4);
    const std::set<const simhost::World*> worlds = run(writers, 12, 0);
    EXPECT_EQ(failure_of(writers), "");
    std::vector<int> in_order(12);
    for (int f = 0; f < 12; ++f) in_order[static_cast<std::size_t>(f)] = f;
    EXPECT_EQ(files.named, in_order);
    EXPECT_EQ(files.reported, in_order);
    EXPECT_LE(worlds.size(), 4u) << "frames' worlds are used again, never more than writers + 1";
    EXPECT_TRUE(files.abandoned.empty());
}

TEST(FrameWriters, AFailedWriteKeepsTheFramesBeforeItAndAbandonsEveryLaterOne)
{
    FakeFiles files;
    // Frame 12 (index 2) fails late, after frames 13 and 14 are whole.
    for (int f = 10; f < 18; ++f) files.delay_ms[f] = f == 12 ? 60 : 1;
    files.fail_frame = 12;
    FrameWriters writers(3, 8, files.write(), files.written());
    run(writers, 8, 10);
    const std::string failure = failure_of(writers);
    EXPECT_EQ(failure, "frame 12: cannot write \"12\": disk full (2 of 8 frames written)");
    EXPECT_EQ(files.named, (std::vector<int>{10, 11}));
    for (const int f : files.abandoned) EXPECT_GT(f, 12);
    EXPECT_FALSE(files.abandoned.empty()) << "frames finished after the failed one must be dropped";
}

TEST(FrameWriters, ARenderFailureKeepsTheFramesHandedOverAndNamesItsFrame)
{
    FakeFiles files;
    for (int f = 1; f <= 5; ++f) files.delay_ms[f] = 20;
    FrameWriters writers(2, 5, files.write(), files.written());
    run(writers, 5, 1, 2);
    EXPECT_EQ(failure_of(writers), "frame 3: the module failed (2 of 5 frames written)");
    EXPECT_EQ(files.named, (std::vector<int>{1, 2}));
    EXPECT_TRUE(files.abandoned.empty());
}

TEST(FrameWriters, TheEarliestOfSeveralFailuresIsTheRuns)
{
    FakeFiles files;
    files.delay_ms[0] = 40;
    files.fail_frame = 0;
    FrameWriters writers(2, 4, files.write(), files.written());
    std::unique_ptr<simhost::World> w0 = writers.next_world(kSmall);
    writers.write(file_of(0, 0), std::move(w0));
    writers.fail(file_of(1, 0), ExitCode::input, "frame 1's input is damaged");
    EXPECT_EQ(writers.next_world(kSmall), nullptr) << "a failed run renders no more";
    EXPECT_EQ(failure_of(writers),
              "frame 0: cannot write \"0\": disk full (0 of 4 frames written)");
    EXPECT_TRUE(files.named.empty());
}

TEST(FrameWriters, WorldsOfAnotherSizeReplaceTheOldOnesWithinTheBound)
{
    FakeFiles files;
    FrameWriters writers(1, 6, files.write(), files.written());
    run(writers, 3, 0);
    const simhost::WorldSpec larger{16, 9, PF_PixelFormat_ARGB128};
    std::unique_ptr<simhost::World> world = writers.next_world(larger);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(world->width(), 16);
    EXPECT_EQ(world->format(), PF_PixelFormat_ARGB128);
    writers.write(file_of(3, 0), std::move(world));
    EXPECT_EQ(failure_of(writers), "");
    EXPECT_EQ(files.named.size(), 4u);
}

TEST(FrameWriters, LeavingWithoutFinishingNamesNothingMore)
{
    FakeFiles files;
    for (int f = 0; f < 4; ++f) files.delay_ms[f] = 30;
    {
        FrameWriters writers(2, 4, files.write(), files.written());
        run(writers, 4, 0);
    }
    // Whatever was named before the writers were left, in order, and no gaps.
    for (std::size_t i = 0; i < files.named.size(); ++i)
        EXPECT_EQ(files.named[i], static_cast<int>(i));
}

}  // namespace
}  // namespace velkorramp
