// The frames of a sequence from the host's render to their files, with every
// core busy and memory bounded.
//
// The calling thread sends the host its commands and renders frame after frame
// (the host spreads each frame over its own render threads); a small pool of
// writers converts, encodes and writes them. At most writers + 1 output frames
// exist at once: one that the host renders or that waits for a writer, and one
// that each writer writes. So the ramp does not wait while a writer is free,
// a writer does not wait while a frame is ready, and the memory of a run is
// the input world, writers + 1 output worlds and a band of rows per writer,
// however long the sequence.
//
// Files take their names in frame order: a writer whose file is whole waits for
// the frames before it to take theirs. A failure, in the render or in a write,
// stops the run: the frames before the one that failed are written whole, the
// frame that failed and every later one leave nothing (their hidden temporary
// files are removed), and the error names the frame. An interrupt removes the
// temporary files of every frame being written (interrupt_guard.h).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/failure.h"
#include "simhost/world.h"

namespace velkorramp {

inline constexpr int kMaxWriters = 16;

// Writers when none are asked for: one per hardware thread, at most 4.
int default_writers();
// 1..kMaxWriters.
int parse_writers(std::string_view option, std::string_view text);

// A frame's place in the run, its number and its file.
struct FrameFile {
    int index = 0;  // 0 for the run's first frame
    int frame = 0;
    std::filesystem::path path;
};

class FrameWriters {
public:
    // Writes `world` to `file.path` whole or not at all, calling `before_commit`
    // once the file is whole and before it takes its name (write_frame in
    // frame_writer.h).
    using Write = std::function<void(const simhost::World& world, const FrameFile& file,
                                     const std::function<void()>& before_commit)>;
    // Called in frame order once a file has its name, on a writer's thread, one
    // at a time.
    using Written = std::function<void(const FrameFile& file)>;

    FrameWriters(int writers, int frames, Write write, Written written);
    // Abandons the frames not yet written and waits for the writers.
    ~FrameWriters();
    FrameWriters(const FrameWriters&) = delete;
    FrameWriters& operator=(const FrameWriters&) = delete;

    // Output frames that may exist at once: writers + 1.
    int frames_held() const { return writers_ + 1; }

    // A world of `spec` for the next frame, waiting while frames_held() are
    // held; the world of a written frame is used again when its spec matches.
    // Null once the run has failed: the caller stops rendering.
    std::unique_ptr<simhost::World> next_world(const simhost::WorldSpec& spec);
    // Hands a rendered frame to the writers.
    void write(FrameFile file, std::unique_ptr<simhost::World> world);
    // The run failed at frame `file`, which was not handed over: the frames
    // before it are still written.
    void fail(const FrameFile& file, ExitCode code, const std::string& message);

    // Waits until every frame handed over is written or abandoned. Throws the
    // failure of the earliest frame that failed, as "frame N: <message> (W of T
    // frames written)"; a run of one frame, as the message alone.
    void finish();

private:
    struct Job {
        FrameFile file;
        std::unique_ptr<simhost::World> world;
    };
    struct Abandoned {};

    void work();
    void wait_turn(int index);
    void record(const FrameFile& file, ExitCode code, const std::string& message);
    void give_back(std::unique_ptr<simhost::World> world);
    void stop_and_join();

    const int writers_;
    const int frames_;
    Write write_;
    Written written_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    std::vector<std::unique_ptr<simhost::World>> free_;  // worlds of written frames
    int held_ = 0;                                       // worlds that exist
    int committed_ = 0;                                  // frames that have their names, in order
    bool stopping_ = false;
    // The earliest failure.
    bool failed_ = false;
    FrameFile failed_file_;
    ExitCode failed_code_ = ExitCode::internal;
    std::string failed_message_;

    std::vector<std::thread> threads_;
};

}  // namespace velkorramp
