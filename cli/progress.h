// The progress of a sequence on one line: frames done of the total, frames a
// second and the time left.
//
// On a terminal the line is redrawn in place as frames are written, cut to the
// terminal's width so that it never wraps; when
// stderr is not a terminal nothing is shown unless asked for (-v), and then a
// plain line at most once a second and at the end; --quiet shows nothing. A run
// of one frame shows nothing either.
//
// The line goes to a copy of stderr taken when the progress starts: while the
// image library reads or writes, the process's own stderr is caught for its
// messages (image_file.cpp), and the progress must not vanish into it. An
// interrupt while the line is drawn ends it (interrupt_guard.h).
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/interrupt_guard.h"

namespace velkorramp {

enum class ProgressMode {
    none,
    in_place,
    lines
};

ProgressMode progress_mode(bool quiet, bool verbose, bool stderr_is_terminal, int frames);

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    Progress(int total, ProgressMode mode);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // One more frame is written. Safe from any thread.
    void frame_done();
    // Writes whole lines of `text` to `out` with the progress line out of the way.
    void print(std::ostream& out, const std::string& text);
    // Shows the last state and ends the line.
    void finish();

    // "velkorramp: 37 of 100 frames, 12.4 frames/s, 0:05 left"; when all are done
    // "velkorramp: 100 of 100 frames, 12.4 frames/s, in 0:08".
    static std::string line(int done, int total, double seconds);

private:
    void show(bool last);
    void write(const std::string& text);
    void set_drawn(bool drawn);

    const int total_;
    const ProgressMode mode_;
    int fd_ = -1;
    std::optional<InterruptedLine> line_;  // in place only
    std::mutex mutex_;
    int done_ = 0;
    Clock::time_point start_ = Clock::now();
    Clock::time_point shown_{};
    bool drawn_ = false;  // a line is on screen without its end
    bool finished_ = false;
};

}  // namespace velkorramp
