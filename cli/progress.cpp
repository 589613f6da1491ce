#include "cli/progress.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "cli/full_write.h"

namespace velkorramp {

namespace {

// "0:05", "12:40", "1:02:03".
std::string duration_text(double seconds)
{
    const long long total = std::llround(std::max(seconds, 0.0));
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

constexpr std::chrono::milliseconds kRedrawEvery{100};
constexpr std::chrono::seconds kLineEvery{1};

}  // namespace

ProgressMode progress_mode(bool quiet, bool verbose, bool stderr_is_terminal, int frames)
{
    if (quiet || frames < 2) return ProgressMode::none;
    if (stderr_is_terminal) return ProgressMode::in_place;
    return verbose ? ProgressMode::lines : ProgressMode::none;
}

Progress::Progress(int total, ProgressMode mode) : total_(total), mode_(mode)
{
    if (mode_ != ProgressMode::none) fd_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (mode_ == ProgressMode::in_place && fd_ >= 0) line_.emplace(fd_);
}

Progress::~Progress()
{
    line_.reset();  // before the descriptor the handler writes to goes
    if (fd_ >= 0) ::close(fd_);
}

std::string Progress::line(int done, int total, double seconds)
{
    std::string text =
        "velkorramp: " + std::to_string(done) + " of " + std::to_string(total) + " frames";
    if (done == 0 || !(seconds > 0.0)) return text;
    const double rate = done / seconds;
    char figure[32];
    std::snprintf(figure, sizeof figure, rate < 10.0 ? "%.2f" : "%.1f", rate);
    text += std::string(", ") + figure + " frames/s, ";
    text += done >= total ? "in " + duration_text(seconds)
                          : duration_text((total - done) / rate) + " left";
    return text;
}

void Progress::frame_done()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    show(false);
}

void Progress::print(std::ostream& out, const std::string& text)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (drawn_) write("\r\033[K");
    set_drawn(false);
    out << text << std::flush;
    if (mode_ == ProgressMode::in_place && !finished_) show(true);
}

void Progress::finish()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    finished_ = true;
    if (mode_ == ProgressMode::none) return;
    show(true);
    if (mode_ == ProgressMode::in_place) write("\n");
    set_drawn(false);
}

void Progress::show(bool last)
{
    if (mode_ == ProgressMode::none || fd_ < 0) return;
    const Clock::time_point now = Clock::now();
    const bool all = done_ >= total_;
    const auto every = mode_ == ProgressMode::in_place ? Clock::duration(kRedrawEvery)
                                                       : Clock::duration(kLineEvery);
    if (!last && !all && shown_ != Clock::time_point{} && now - shown_ < every) return;
    if (mode_ == ProgressMode::lines && all && !last) return;  // the final line comes with finish()
    shown_ = now;
    std::string text = line(done_, total_, std::chrono::duration<double>(now - start_).count());
    if (mode_ == ProgressMode::in_place) {
        // A line as wide as the terminal would wrap, and every redraw scroll.
        struct winsize size {};
        if (::ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 && text.size() >= size.ws_col)
            text.resize(size.ws_col - 1u);
        write("\r" + text + "\033[K");
        set_drawn(true);
    } else {
        write(text + "\n");
    }
}

void Progress::set_drawn(bool drawn)
{
    drawn_ = drawn;
    if (line_) line_->drawn(drawn);
}

void Progress::write(const std::string& text)
{
    // The display is a courtesy: a terminal that has gone away ends only it.
    if (fd_ < 0) return;
    int error = 0;
    write_fully(fd_, text.data(), text.size(), error);
    if (error != 0) {
        line_.reset();
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace velkorramp
