// What the Windows loader and the host find in the cross-built VelkorRamp.aex:
// a 64-bit DLL exporting only EntryPointFunc, importing only Windows' own
// libraries, carrying the property list and the manifest as resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "hostcheck/pe_image.h"
#include "resources/pipl_format.h"
#include "resources/pipl_writer.h"

namespace {

using velkor::pe::Image;
using velkor::pe::PeError;
using velkor::pe::read_image;
using velkor::pe::read_image_file;

std::vector<std::uint8_t> file_bytes(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Windows' own libraries that a statically linked C++ module may use: the
// kernel and the C runtime, classic or universal.
bool is_system_library(const std::string& name)
{
    const std::string n = lower(name);
    return n == "kernel32.dll" || n == "msvcrt.dll" || n == "ucrtbase.dll" || n == "ntdll.dll" ||
           n.rfind("api-ms-win-", 0) == 0;
}

const Image& module_image()
{
    static const Image image = read_image_file(VELKOR_WINDOWS_MODULE);
    return image;
}

TEST(WindowsModule, IsA64BitWindowsDll)
{
    EXPECT_EQ(module_image().machine, velkor::pe::kMachineAmd64);
    EXPECT_EQ(module_image().optional_magic, velkor::pe::kOptionalMagicPe32Plus);
    EXPECT_TRUE(module_image().is_dll());
}

TEST(WindowsModule, ExportsOnlyTheUndecoratedEntryPoint)
{
    EXPECT_EQ(module_image().exports, std::vector<std::string>{"EntryPointFunc"});
    EXPECT_EQ(module_image().export_count, 1u);
}

TEST(WindowsModule, ImportsOnlyWindowsSystemLibraries)
{
    const Image host_check = read_image_file(VELKOR_WINDOWS_HOSTCHECK);
    for (const Image* image : {&module_image(), &host_check}) {
        EXPECT_FALSE(image->imports.empty());
        for (const std::string& library : image->imports)
            EXPECT_TRUE(is_system_library(library)) << library << " is not part of Windows";
    }
    EXPECT_FALSE(is_system_library("libstdc++-6.dll"));
    EXPECT_FALSE(is_system_library("libgcc_s_seh-1.dll"));
    EXPECT_FALSE(is_system_library("libwinpthread-1.dll"));
}

TEST(WindowsModule, CarriesThePropertyListAndTheManifest)
{
    const auto& resources = module_image().resources;
    ASSERT_EQ(resources.size(), 2u);
    const auto pipl = std::find_if(resources.begin(), resources.end(), [](const auto& r) {
        return r.type.text == velkor::pipl::kResourceType;
    });
    ASSERT_NE(pipl, resources.end());
    EXPECT_EQ(pipl->name, (velkor::pe::ResourceKey{16000, {}}));
    EXPECT_EQ(pipl->language, 1033);
    EXPECT_EQ(pipl->data, velkor::pipl::build_property_list(velkor::pipl::velkor_ramp_identity()));

    const auto manifest = std::find_if(resources.begin(), resources.end(), [](const auto& r) {
        return r.type == velkor::pe::ResourceKey{24, {}};
    });
    ASSERT_NE(manifest, resources.end());
    EXPECT_EQ(manifest->name, (velkor::pe::ResourceKey{2, {}}));
    EXPECT_EQ(manifest->language, 1033);
    const std::string text(manifest->data.begin(), manifest->data.end());
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos) << text;
    EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos) << text;
}

TEST(PeImage, RefusesFilesThatAreNotWindowsModules)
{
    EXPECT_THROW(read_image_file(VELKOR_MODULE_PATH), PeError);  // the Linux build of the module
    EXPECT_THROW(read_image_file("/nonexistent/VelkorRamp.aex"), PeError);
    EXPECT_THROW(read_image(std::vector<std::uint8_t>{'M', 'Z'}), PeError);
}

TEST(PeImage, SurvivesTruncationAndDamage)
{
    const std::vector<std::uint8_t> bytes = file_bytes(VELKOR_WINDOWS_MODULE);
    ASSERT_GT(bytes.size(), 4096u);
    std::size_t refused = 0;
    for (std::size_t size = 0; size < bytes.size(); size += size < 1024 ? 1 : 4093) {
        try {
            read_image(std::span(bytes.data(), size));
        } catch (const PeError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 1000u);

    // Damage every byte of the headers and of the sections holding the export,
    // import and resource directories, one at a time: an answer or a PeError,
    // never a crash.
    std::vector<std::pair<std::size_t, std::size_t>> regions = {{0, 1024}};
    for (const auto& section : read_image(bytes).sections)
        if (section.name == ".edata" || section.name == ".idata" || section.name == ".rsrc")
            regions.emplace_back(section.raw_offset, section.raw_offset + section.raw_size);
    ASSERT_EQ(regions.size(), 4u);
    std::vector<std::uint8_t> damaged = bytes;
    for (const auto& [begin, end] : regions) {
        for (std::size_t at = begin; at < end && at < damaged.size(); ++at) {
            for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
                const std::uint8_t saved = damaged[at];
                damaged[at] = value;
                try {
                    read_image(damaged);
                } catch (const PeError&) {
                }
                damaged[at] = saved;
            }
        }
    }
}

}  // namespace
