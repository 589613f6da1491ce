#include "simhost/module_loader.h"

#include <filesystem>
#include <system_error>

#include "host/effect_identity.h"

namespace simhost {

std::shared_ptr<ModuleLibrary> ModuleLibrary::open(const std::string& path, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) {
        error = "effect module not found: \"" + path + "\" is not a file";
        return nullptr;
    }
    std::unique_ptr<SharedLibrary> library = SharedLibrary::open(path, error);
    if (library == nullptr) return nullptr;
    void* symbol = library->symbol(velkor::kEntryPointName);
    if (symbol == nullptr) {
        error = "\"" + path + "\" does not export " + velkor::kEntryPointName;
        return nullptr;
    }
    auto entry = reinterpret_cast<EntryPointFuncPtr>(symbol);
    return std::shared_ptr<ModuleLibrary>(new ModuleLibrary(std::move(library), entry, path));
}

ModuleLibrary::ModuleLibrary(std::unique_ptr<SharedLibrary> library, EntryPointFuncPtr entry_point,
                             std::string path)
    : library_(std::move(library)), entry_(entry_point), path_(std::move(path))
{
}

ModuleLibrary::~ModuleLibrary() = default;

}  // namespace simhost
