#include "cli/render_pipeline.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "cli/values.h"

namespace velkorramp {

namespace {

bool same_spec(const simhost::WorldSpec& a, const simhost::WorldSpec& b)
{
    return a.width == b.width && a.height == b.height && a.format == b.format &&
           a.row_padding == b.row_padding && a.bottom_up == b.bottom_up &&
           a.origin_x == b.origin_x && a.origin_y == b.origin_y;
}

}  // namespace

int default_writers()
{
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

int parse_writers(std::string_view option, std::string_view text)
{
    long long v = 0;
    if (!read_whole(text, v)) {
        usage_error(std::string(option) + ": \"" + std::string(text) +
                    "\" is not a whole number of writers");
    }
    if (v < 1 || v > kMaxWriters) {
        usage_error(std::string(option) + ": \"" + std::string(text) +
                    "\" is outside the valid range: 1 to " + std::to_string(kMaxWriters) +
                    " writers");
    }
    return static_cast<int>(v);
}

FrameWriters::FrameWriters(int writers, int frames, Write write, Written written)
    : writers_(std::clamp(writers, 1, kMaxWriters)),
      frames_(frames),
      write_(std::move(write)),
      written_(std::move(written))
{
    threads_.reserve(static_cast<std::size_t>(writers_));
    for (int i = 0; i < writers_; ++i) threads_.emplace_back([this] { work(); });
}

FrameWriters::~FrameWriters()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_ && !failed_) {
            // Leaving without finish(): nothing more takes a name.
            failed_ = true;
            failed_file_ = FrameFile{committed_, 0, {}};
            failed_message_ = "abandoned";
        }
    }
    stop_and_join();
}

std::unique_ptr<simhost::World> FrameWriters::next_world(const simhost::WorldSpec& spec)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return failed_ || !free_.empty() || held_ < frames_held(); });
    if (failed_) return nullptr;
    for (auto it = free_.begin(); it != free_.end(); ++it) {
        if (same_spec((*it)->world_spec(), spec)) {
            std::unique_ptr<simhost::World> world = std::move(*it);
            free_.erase(it);
            return world;
        }
    }
    // A frame of another size: its memory goes before the new frame's comes.
    if (held_ >= frames_held()) {
        free_.pop_back();
        --held_;
    }
    ++held_;
    lock.unlock();
    try {
        return std::make_unique<simhost::World>(spec);
    } catch (...) {
        lock.lock();
        --held_;
        changed_.notify_all();
        throw;
    }
}

void FrameWriters::write(FrameFile file, std::unique_ptr<simhost::World> world)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Job{std::move(file), std::move(world)});
    changed_.notify_all();
}

void FrameWriters::fail(const FrameFile& file, ExitCode code, const std::string& message)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    record(file, code, message);
}

void FrameWriters::finish()
{
    stop_and_join();
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!failed_) return;
    // A run of one frame fails as a single render does.
    if (frames_ == 1) velkorramp::fail(failed_code_, failed_message_);
    velkorramp::fail(failed_code_, "frame " + std::to_string(failed_file_.frame) + ": " +
                                       failed_message_ + " (" + std::to_string(committed_) +
                                       " of " + std::to_string(frames_) + " frames written)");
}

void FrameWriters::stop_and_join()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    for (std::thread& t : threads_) {
        if (t.joinable()) t.join();
    }
}

// Under the lock. The earliest frame's failure is the run's.
void FrameWriters::record(const FrameFile& file, ExitCode code, const std::string& message)
{
    if (!failed_ || file.index < failed_file_.index) {
        failed_file_ = file;
        failed_code_ = code;
        failed_message_ = message;
    }
    failed_ = true;
    changed_.notify_all();
}

void FrameWriters::wait_turn(int index)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock,
                  [&] { return committed_ == index || (failed_ && failed_file_.index < index); });
    if (committed_ != index) throw Abandoned{};
}

void FrameWriters::give_back(std::unique_ptr<simhost::World> world)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (world) free_.push_back(std::move(world));
    changed_.notify_all();
}

void FrameWriters::work()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return !queue_.empty() || stopping_; });
            if (queue_.empty()) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            if (failed_ && failed_file_.index < job.file.index) {
                // A frame after the one that failed is never written.
                free_.push_back(std::move(job.world));
                changed_.notify_all();
                continue;
            }
        }
        try {
            write_(*job.world, job.file, [&] { wait_turn(job.file.index); });
            // This frame holds the turn until committed_ moves on, so the calls stay
            // in frame order, one at a time, without the lock that the renderer and
            // the other writers need while a slow terminal takes the progress.
            wait_turn(job.file.index);
            if (written_) written_(job.file);
            const std::lock_guard<std::mutex> lock(mutex_);
            ++committed_;
            changed_.notify_all();
        } catch (const Abandoned&) {
        } catch (const Failure& failure) {
            fail(job.file, failure.code(), failure.what());
        } catch (const std::bad_alloc&) {
            fail(job.file, ExitCode::memory,
                 "out of memory while writing " + job.file.path.string());
        } catch (const std::exception& e) {
            fail(job.file, ExitCode::internal, std::string("unexpected failure: ") + e.what());
        }
        give_back(std::move(job.world));
    }
}

}  // namespace velkorramp
