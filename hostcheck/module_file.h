// The module file as the host meets it: its registration resource, read
// without running any of its code, and its entry point, looked up by the name
// the resource gives. The only platform-specific part of the host check:
// LoadLibrary and the resource functions on Windows, dlopen elsewhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/entry.h"

namespace velkor::hostcheck {

// The module cannot be opened, lacks the resource or the named export.
class ModuleError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True where modules carry their registration as a Windows resource.
bool has_resource_api();

// The bytes of resource type "PIPL", id 16000, US English, read from the module
// loaded as a data file. Only where has_resource_api().
std::vector<std::uint8_t> read_registration_resource(const std::filesystem::path& module);

// The module loaded as code, kept loaded while this object lives.
class LoadedModule {
public:
    // Resolves the export called `entry_name`.
    LoadedModule(const std::filesystem::path& module, const std::string& entry_name);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    EntryPointFuncPtr entry() const { return entry_; }

private:
    void* handle_ = nullptr;
    EntryPointFuncPtr entry_ = nullptr;
};

}  // namespace velkor::hostcheck
