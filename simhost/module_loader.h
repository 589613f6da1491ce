// Loading an effect module by path and finding its entry point, as the host
// does (the library itself is opened by shared_library.h).
#pragma once

#include <memory>
#include <string>

#include "host/entry.h"
#include "simhost/shared_library.h"

namespace simhost {

// An open effect module. Closing happens when the last owner goes away.
class ModuleLibrary {
public:
    // Opens the library at `path` and looks up `EntryPointFunc`. On failure returns
    // null and puts a readable reason (missing file, loader message, absent symbol)
    // into `error`.
    static std::shared_ptr<ModuleLibrary> open(const std::string& path, std::string& error);

    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    EntryPointFuncPtr entry() const { return entry_; }
    const std::string& path() const { return path_; }

private:
    ModuleLibrary(std::unique_ptr<SharedLibrary> library, EntryPointFuncPtr entry_point,
                  std::string path);

    std::unique_ptr<SharedLibrary> library_;
    EntryPointFuncPtr entry_;
    std::string path_;
};

}  // namespace simhost
