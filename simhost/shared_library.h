// A shared library opened by path, with its symbols looked up by name: dlopen
// on POSIX, LoadLibrary on Windows. Closed when the object goes.
#pragma once

#include <memory>
#include <string>

namespace simhost {

class SharedLibrary {
public:
    // Null on failure, with a readable reason (missing file, loader message) in `error`.
    static std::unique_ptr<SharedLibrary> open(const std::string& path, std::string& error);
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of an exported symbol, or null.
    void* symbol(const char* name) const;
    const std::string& path() const { return path_; }

private:
    SharedLibrary(void* native, std::string path) : native_(native), path_(std::move(path)) {}
    void* native_;
    std::string path_;
};

}  // namespace simhost
