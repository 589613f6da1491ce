#include "simhost/shared_library.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace simhost {
namespace {

#if defined(_WIN32)
void* open_native(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        error = "LoadLibrary failed for \"" + path + "\" (Windows error " +
                std::to_string(static_cast<unsigned long>(GetLastError())) + ")";
    }
    return reinterpret_cast<void*>(module);
}

void* find_symbol(void* native, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(native), name));
}

void close_native(void* native) { FreeLibrary(static_cast<HMODULE>(native)); }
#else
void* open_native(const std::string& path, std::string& error)
{
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "dlopen failed for \"" + path +
                "\": " + (reason != nullptr ? reason : "unknown reason");
    }
    return handle;
}

void* find_symbol(void* native, const char* name) { return dlsym(native, name); }

void close_native(void* native) { dlclose(native); }
#endif

}  // namespace

std::unique_ptr<SharedLibrary> SharedLibrary::open(const std::string& path, std::string& error)
{
    error.clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) {
        error = "\"" + path + "\" is not a file";
        return nullptr;
    }
    void* native = open_native(path, error);
    if (native == nullptr) return nullptr;
    return std::unique_ptr<SharedLibrary>(new SharedLibrary(native, path));
}

SharedLibrary::~SharedLibrary() { close_native(native_); }

void* SharedLibrary::symbol(const char* name) const { return find_symbol(native_, name); }

}  // namespace simhost
