#include "hostcheck/module_file.h"

#include <bit>
#include <cstring>
#include <utility>

#include "resources/pipl_format.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace velkor::hostcheck {

#if defined(_WIN32)
namespace {

std::string last_error_text()
{
    const DWORD code = GetLastError();
    char buffer[512] = {};
    const DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, size);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return "Windows error " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

// Frees the library on every way out.
class LibraryHandle {
public:
    explicit LibraryHandle(HMODULE module) : module_(module) {}
    ~LibraryHandle()
    {
        if (module_) FreeLibrary(module_);
    }
    LibraryHandle(const LibraryHandle&) = delete;
    LibraryHandle& operator=(const LibraryHandle&) = delete;
    HMODULE get() const { return module_; }
    HMODULE release() { return std::exchange(module_, nullptr); }

private:
    HMODULE module_;
};

}  // namespace

bool has_resource_api() { return true; }

std::vector<std::uint8_t> read_registration_resource(const std::filesystem::path& module)
{
    const LibraryHandle data(
        LoadLibraryExW(module.wstring().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!data.get())
        throw ModuleError("cannot open " + module.string() +
                          " as a data file: " + last_error_text());
    const std::wstring type(pipl::kResourceType,
                            pipl::kResourceType + std::strlen(pipl::kResourceType));
    HRSRC resource = FindResourceExW(data.get(), type.c_str(), MAKEINTRESOURCEW(pipl::kResourceId),
                                     pipl::kResourceLanguage);
    if (!resource)
        throw ModuleError(module.string() + " has no \"PIPL\" resource " +
                          std::to_string(pipl::kResourceId) + " in language " +
                          std::to_string(pipl::kResourceLanguage) + ": " + last_error_text());
    const DWORD size = SizeofResource(data.get(), resource);
    HGLOBAL loaded = LoadResource(data.get(), resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        throw ModuleError("cannot load the \"PIPL\" resource of " + module.string() + ": " +
                          last_error_text());
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    return std::vector<std::uint8_t>(first, first + size);
}

LoadedModule::LoadedModule(const std::filesystem::path& module, const std::string& entry_name)
{
    LibraryHandle code(LoadLibraryW(module.wstring().c_str()));
    if (!code.get()) throw ModuleError("cannot load " + module.string() + ": " + last_error_text());
    const FARPROC proc = GetProcAddress(code.get(), entry_name.c_str());
    if (!proc)
        throw ModuleError(module.string() + " exports no \"" + entry_name +
                          "\": " + last_error_text());
    entry_ = std::bit_cast<EntryPointFuncPtr>(proc);
    handle_ = code.release();
}

LoadedModule::~LoadedModule() { FreeLibrary(static_cast<HMODULE>(handle_)); }

#else

bool has_resource_api() { return false; }

std::vector<std::uint8_t> read_registration_resource(const std::filesystem::path& module)
{
    throw ModuleError(
        "modules carry no Windows resources on this system; give the property list of " +
        module.string() + " with --pipl");
}

LoadedModule::LoadedModule(const std::filesystem::path& module, const std::string& entry_name)
{
    void* code = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!code) {
        const char* reason = dlerror();
        throw ModuleError("cannot load " + module.string() + ": " +
                          (reason ? reason : "unknown reason"));
    }
    void* symbol = dlsym(code, entry_name.c_str());
    if (!symbol) {
        dlclose(code);
        throw ModuleError(module.string() + " exports no \"" + entry_name + "\"");
    }
    entry_ = std::bit_cast<EntryPointFuncPtr>(symbol);
    handle_ = code;
}

LoadedModule::~LoadedModule() { dlclose(handle_); }

#endif

}  // namespace velkor::hostcheck
