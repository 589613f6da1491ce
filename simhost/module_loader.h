// Loading an effect module by path and finding its entry point, as the host
// does. The only platform-specific part of the simulated host: dlopen on POSIX,
// LoadLibrary on Windows (module_loader.cpp).
#pragma once

#include <memory>
#include <string>

#include "host/entry.h"

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
    ModuleLibrary(void* native, EntryPointFuncPtr entry_point, std::string path);

    void* native_;
    EntryPointFuncPtr entry_;
    std::string path_;
};

}  // namespace simhost
