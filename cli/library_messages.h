// The image library's messages, made into one line of ours.
//
// libpng writes its complaints straight to stderr before the image library
// turns them into an error of its own; a failure is one line, so while the
// library reads or writes, stderr goes to an anonymous in-memory file. What it
// caught is the reason when the library itself gives none.
//
// A sequence reads and writes on several threads at once, and stderr is one
// for the process: the first to start redirects it, the last to finish gives it
// back, and each reads what arrived since it started (another thread's words
// may be among them).
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>

namespace velkorramp {

class LibraryMessages {
public:
    LibraryMessages();
    ~LibraryMessages();
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // Stops capturing for this reader and returns the first line caught since it
    // started, without libpng's prefix.
    std::string text();

private:
    void leave_locked();
    static void give_back();

    static inline std::mutex mutex_;
    static inline int users_ = 0;
    static inline int capture_ = -1;
    static inline int saved_ = -1;
    off_t start_ = -1;
    bool left_ = false;
};

// The library's error, else what it printed, else a plain word.
std::string reason_of(const std::string& library_error, const std::string& printed,
                      const char* otherwise);

}  // namespace velkorramp
