// The image library's messages, made into one line of ours.
//
// libpng writes its complaints straight to stderr before the image library
// turns them into an error of its own; a failure is one line, so while the
// library reads or writes, stderr goes to an anonymous in-memory file. What it
// caught is the reason when the library itself gives none.
#pragma once

#include <string>

namespace velkorramp {

class LibraryMessages {
public:
    LibraryMessages();
    ~LibraryMessages();
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    // Gives stderr back and returns the first line caught, without libpng's prefix.
    std::string text();

private:
    void restore();

    int capture_ = -1;
    int saved_ = -1;
};

// OpenImageIO's errors can span lines, the first saying what went wrong and the
// rest where; a failure is one line, so it is the first.
std::string first_line(std::string text);

// The library's error, else what it printed, else a plain word.
std::string reason_of(const std::string& library_error, const std::string& printed, const char* otherwise);

}  // namespace velkorramp
