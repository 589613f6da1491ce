#include "cli/library_messages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/message_text.h"

namespace velkorramp {

LibraryMessages::LibraryMessages()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (users_++ == 0) {
        std::fflush(stderr);
        capture_ = ::memfd_create("velkorramp-library-messages", MFD_CLOEXEC);
        if (capture_ >= 0) {
            saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
            if (saved_ < 0 || ::dup2(capture_, STDERR_FILENO) < 0) give_back();
        }
    }
    if (capture_ >= 0) start_ = ::lseek(capture_, 0, SEEK_END);
}

LibraryMessages::~LibraryMessages()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    leave_locked();
}

std::string LibraryMessages::text()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string line;
    if (capture_ >= 0 && start_ >= 0) {
        std::fflush(stderr);
        char buffer[1024];
        const ssize_t n = ::pread(capture_, buffer, sizeof buffer, start_);
        line = first_line(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0));
    }
    leave_locked();
    for (const std::string prefix : {"libpng error: ", "libpng warning: "}) {
        if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
    }
    return line;
}

void LibraryMessages::leave_locked()
{
    if (left_) return;
    left_ = true;
    if (--users_ > 0) return;
    give_back();
    if (capture_ >= 0) ::close(capture_);
    capture_ = -1;
}

void LibraryMessages::give_back()
{
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
}

std::string reason_of(const std::string& library_error, const std::string& printed,
                      const char* otherwise)
{
    std::string reason = first_line(library_error);
    if (reason.empty()) reason = printed;
    return reason.empty() ? std::string(otherwise) : reason;
}

}  // namespace velkorramp
