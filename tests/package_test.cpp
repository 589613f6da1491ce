// The packages as their users receive them, made by cpack and unpacked into
// fresh folders (package_unpack.cmake): each host users' zip (the default and
// the multi-frame build) holds exactly its files and the very module the build
// tested; the Linux tarball and the .deb hold the tool, its module and the
// docs, name no folder of the build, and the tool renders from wherever the
// tree is unpacked or moved, finding its own module.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_interface.h"
#include "hostcheck/pe_image.h"
#include "hostcheck/pipl_reader.h"
#include "host/effect_identity.h"
#include "resources/pipl_format.h"

namespace {

namespace fs = std::filesystem;

const fs::path kUnpacked = VELKOR_UNPACK_DIR;

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every file and folder below `root`, as relative paths; folders end in '/'.
std::set<std::string> tree(const fs::path& root)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        entries.insert(entry.is_directory() ? relative + "/" : relative);
    }
    return entries;
}

constexpr const char* kLinuxOfxPlugin =
    "lib/OFX/Plugins/VelkorRamp.ofx.bundle/Contents/Linux-x86-64/VelkorRamp.ofx";
const std::vector<std::string> kOfxExports = {"OfxGetNumberOfPlugins", "OfxGetPlugin"};

// What the Linux packages hold below their prefix: the tool in bin/, its module
// in lib/velkorramp/, the docs as laid out in the source tree with the whole
// gallery.
std::set<std::string> linux_tree()
{
    std::set<std::string> entries = {"bin/",
                                     "bin/velkorramp",
                                     "lib/",
                                     "lib/velkorramp/",
                                     "lib/velkorramp/VelkorRamp.so",
                                     "share/",
                                     "share/doc/",
                                     "share/doc/velkorramp/",
                                     "share/doc/velkorramp/README.md",
                                     "share/doc/velkorramp/CHANGELOG.md",
                                     "share/doc/velkorramp/LICENSE",
                                     "share/doc/velkorramp/cli/",
                                     "share/doc/velkorramp/cli/README.md",
                                     "share/doc/velkorramp/docs/",
                                     "share/doc/velkorramp/docs/gallery/",
                                     "lib/OFX/",
                                     "lib/OFX/Plugins/",
                                     "lib/OFX/Plugins/VelkorRamp.ofx.bundle/",
                                     "lib/OFX/Plugins/VelkorRamp.ofx.bundle/Contents/",
                                     "lib/OFX/Plugins/VelkorRamp.ofx.bundle/Contents/Linux-x86-64/",
                                     kLinuxOfxPlugin};
    for (const auto& entry : fs::directory_iterator(fs::path(VELKOR_SOURCE_DIR) / "docs/gallery"))
        entries.insert("share/doc/velkorramp/docs/gallery/" + entry.path().filename().string());
    return entries;
}

// The names directly in `folder`; folders end in '/'.
std::set<std::string> top_level(const fs::path& folder)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder))
        entries.insert(entry.path().filename().string() + (entry.is_directory() ? "/" : ""));
    return entries;
}

struct ProcessRun {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// `tool` with `args` (each one word), from the folder `cwd`.
ProcessRun run(const fs::path& tool, const std::vector<std::string>& args, const fs::path& cwd)
{
    std::string command = "cd '" + cwd.string() + "' && '" + tool.string() + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    const fs::path out = cwd / ".stdout";
    const fs::path err = cwd / ".stderr";
    command += " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    ProcessRun result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

// A fresh folder for one test, removed afterwards.
class PackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("velkor-package-" + std::to_string(getpid()) + "-" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Copies the unpacked tree `root` to a folder of its own and renders the
    // default frame there with nothing but -o, then asks the tool which module
    // it loads: the copy's own, not the build tree's.
    void renders_from_a_moved_copy(const fs::path& root)
    {
        const fs::path moved = dir_ / "moved";
        fs::copy(root, moved, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const fs::path tool = moved / "bin/velkorramp";
        const fs::path work = dir_ / "work";
        fs::create_directories(work);

        const ProcessRun render = run(tool, {"render", "-o", "ramp.png"}, work);
        EXPECT_EQ(render.exit_code, 0) << render.err;
        EXPECT_EQ(render.err, "");
        const std::string png = slurp(work / "ramp.png");
        ASSERT_GT(png.size(), 8u);
        EXPECT_EQ(png.substr(1, 3), "PNG");

        const ProcessRun version = run(tool, {"--version"}, work);
        EXPECT_EQ(version.exit_code, 0) << version.err;
        EXPECT_EQ(version.out, "velkorramp " + std::string(velkor::kProjectVersionText) +
                                   " (build " + std::to_string(velkor::kProjectVersionBuild) +
                                   ")\nmodule " +
                                   (moved / "lib/velkorramp/VelkorRamp.so").string() + ": " +
                                   velkor::kProjectVersionText + " (build " +
                                   std::to_string(velkor::kProjectVersionBuild) + ", release)\n");
    }

    fs::path dir_;
};

// What `strings` would show of the tool and its module names no folder of the
// build, so a copy elsewhere never looks there.
void names_no_build_folder(const fs::path& root)
{
    for (const char* file : {"bin/velkorramp", "lib/velkorramp/VelkorRamp.so"})
        EXPECT_EQ(slurp(root / file).find(VELKOR_BUILD_DIR), std::string::npos) << file;
}

TEST_F(PackageTest, TarballHoldsTheToolItsModuleAndTheDocs)
{
    const fs::path root = kUnpacked / "tarball" / VELKOR_TARBALL_NAME;
    EXPECT_EQ(top_level(kUnpacked / "tarball"),
              std::set<std::string>{std::string(VELKOR_TARBALL_NAME) + "/"})
        << "one top folder, named like the package";
    EXPECT_EQ(tree(root), linux_tree());
    EXPECT_EQ(slurp(root / "share/doc/velkorramp/LICENSE"),
              slurp(fs::path(VELKOR_SOURCE_DIR) / "LICENSE"));
    names_no_build_folder(root);
    renders_from_a_moved_copy(root);
}

// The dynamic symbols a Linux binary defines, sorted.
std::vector<std::string> defined_symbols(const fs::path& binary, const fs::path& dir)
{
    const ProcessRun nm =
        run("nm", {"-D", "--defined-only", "--format=posix", binary.string()}, dir);
    EXPECT_EQ(nm.exit_code, 0) << nm.err;
    std::vector<std::string> names;
    std::istringstream lines(nm.out);
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PackageTest, LinuxOfxPluginExportsTheTwoEntryPointsAndNothingElse)
{
    const fs::path plugin = kUnpacked / "tarball" / VELKOR_TARBALL_NAME / kLinuxOfxPlugin;
    ASSERT_TRUE(fs::is_regular_file(plugin));
    EXPECT_EQ(defined_symbols(plugin, dir_), kOfxExports);
}

TEST_F(PackageTest, OfxZipHoldsTheWindowsBundleInstructionsAndLicence)
{
#if !defined(VELKOR_WINDOWS_OFX_PLUGIN)
    GTEST_SKIP() << "no Windows build (VELKOR_WINDOWS=OFF)";
#else
    const fs::path root = kUnpacked / "ofx-zip" / VELKOR_OFX_ZIP_NAME;
    EXPECT_EQ(top_level(kUnpacked / "ofx-zip"),
              std::set<std::string>{std::string(VELKOR_OFX_ZIP_NAME) + "/"});
    EXPECT_EQ(tree(root),
              (std::set<std::string>{"VelkorRamp.ofx.bundle/", "VelkorRamp.ofx.bundle/Contents/",
                                     "VelkorRamp.ofx.bundle/Contents/Win64/",
                                     "VelkorRamp.ofx.bundle/Contents/Win64/VelkorRamp.ofx",
                                     "INSTALL.txt", "LICENSE"}));
    const fs::path plugin = root / "VelkorRamp.ofx.bundle/Contents/Win64/VelkorRamp.ofx";
    EXPECT_EQ(slurp(plugin), slurp(VELKOR_WINDOWS_OFX_PLUGIN)) << "not the plug-in the tests ran";
    const velkor::pe::Image image = velkor::pe::read_image_file(plugin);
    EXPECT_EQ(image.machine, velkor::pe::kMachineAmd64);
    EXPECT_TRUE(image.is_dll());
    EXPECT_EQ(image.exports, kOfxExports);
    const std::string install = slurp(root / "INSTALL.txt");
    EXPECT_NE(install.find("C:\\Program Files\\Common Files\\OFX\\Plugins\\"), std::string::npos);
    EXPECT_NE(install.find("OFX_PLUGIN_PATH"), std::string::npos);
    EXPECT_EQ(install.find('@'), std::string::npos) << "a placeholder was left unfilled";
#endif
}

TEST_F(PackageTest, DebHoldsTheSameFilesUnderUsr)
{
    if (!VELKOR_DEB_PACKAGE)
        GTEST_SKIP() << "no .deb in this build (no dpkg-shlibdeps, or a sanitizer build)";
    std::set<std::string> expected = {"usr/"};
    for (const std::string& entry : linux_tree()) expected.insert("usr/" + entry);
    EXPECT_EQ(tree(kUnpacked / "deb"), expected);
    names_no_build_folder(kUnpacked / "deb/usr");
    renders_from_a_moved_copy(kUnpacked / "deb/usr");
}

// A host users' zip (none without the Windows module): its name, the build
// its INSTALL.txt names, the module and property list the build tested.
struct HostZip {
    const char* name;
    const char* build;
    const char* module;
    const char* pipl;
    bool multi_frame;
};

std::vector<HostZip> host_zips()
{
    return
    {
#if defined(VELKOR_WINDOWS_MODULE)
        {VELKOR_HOST_ZIP_NAME, "default (single-frame)", VELKOR_WINDOWS_MODULE, VELKOR_PIPL_PATH,
         false},
#endif
#if defined(VELKOR_WINDOWS_MULTI_FRAME_MODULE)
            {VELKOR_MULTI_FRAME_ZIP_NAME, "multi-frame", VELKOR_WINDOWS_MULTI_FRAME_MODULE,
             VELKOR_MULTI_FRAME_PIPL_PATH, true},
#endif
    };
}

void PrintTo(const HostZip& zip, std::ostream* out) { *out << zip.name; }

class HostZipTest : public PackageTest, public ::testing::WithParamInterface<HostZip> {
protected:
    fs::path zip_root() const { return kUnpacked / "zip" / GetParam().name; }
};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(HostZipTest);
INSTANTIATE_TEST_SUITE_P(Zips, HostZipTest, ::testing::ValuesIn(host_zips()), [](const auto& zip) {
    return zip.param.multi_frame ? "multi" : "single";
});

TEST_P(HostZipTest, HoldsExactlyTheModuleInstructionsLicenceAndPictures)
{
    std::set<std::string> tops;
    for (const HostZip& zip : host_zips()) tops.insert(std::string(zip.name) + "/");
    EXPECT_EQ(top_level(kUnpacked / "zip"), tops) << "each zip one top folder, named like it";
    EXPECT_EQ(tree(zip_root()),
              (std::set<std::string>{"VelkorRamp.aex", "INSTALL.txt", "LICENSE", "gallery/",
                                     "gallery/linear-points.png", "gallery/linear2-center.png",
                                     "gallery/radial-center.png", "gallery/type-color-alpha.png"}));
    const std::string install = slurp(zip_root() / "INSTALL.txt");
    EXPECT_NE(install.find("VelkorRamp " + std::string(velkor::kProjectVersionText) + " (build "),
              std::string::npos);
    EXPECT_NE(install.find("\"Velkor\""), std::string::npos)
        << "the category the effect appears under";
    EXPECT_EQ(install.find('@'), std::string::npos) << "a placeholder was left unfilled";
    // Each says which build it holds and names both zips to choose from.
    EXPECT_NE(install.find("This is the " + std::string(GetParam().build) + " build."),
              std::string::npos);
    for (const char* zip : {VELKOR_HOST_ZIP_NAME, VELKOR_MULTI_FRAME_ZIP_NAME})
        EXPECT_NE(install.find(std::string(zip) + ".zip"), std::string::npos) << zip;
    EXPECT_EQ(slurp(zip_root() / "LICENSE"), slurp(fs::path(VELKOR_SOURCE_DIR) / "LICENSE"));
}

TEST_P(HostZipTest, ModuleIsTheTestedOneAndRegistersTheEffect)
{
    const fs::path module = zip_root() / "VelkorRamp.aex";
    // The same bytes as the module the Windows tests and the Wine host check
    // passed, so every one of their findings holds for the shipped file.
    EXPECT_EQ(slurp(module), slurp(GetParam().module));

    const velkor::pe::Image image = velkor::pe::read_image_file(module);
    EXPECT_EQ(image.machine, velkor::pe::kMachineAmd64);
    EXPECT_TRUE(image.is_dll());
    EXPECT_EQ(image.exports, std::vector<std::string>{velkor::kEntryPointName});
    const auto pipl =
        std::find_if(image.resources.begin(), image.resources.end(), [](const auto& r) {
            return r.type.text == velkor::pipl::kResourceType &&
                   r.name.id == velkor::pipl::kResourceId &&
                   r.language == velkor::pipl::kResourceLanguage;
        });
    ASSERT_NE(pipl, image.resources.end()) << "no property list resource";
    EXPECT_EQ(std::string(pipl->data.begin(), pipl->data.end()), slurp(GetParam().pipl));
    const velkor::pipl::Registration registration = velkor::pipl::read_registration(pipl->data);
    EXPECT_EQ(registration.name, velkor::kEffectName);
    EXPECT_EQ(registration.category, velkor::kEffectCategory);
    EXPECT_EQ(registration.entry_point, velkor::kEntryPointName);
    EXPECT_EQ(registration.version, velkor::kVersionWord);
    EXPECT_EQ(registration.out_flags, velkor::kGlobalOutFlags);
    EXPECT_EQ(registration.out_flags2,
              velkor::kGlobalOutFlags2 |
                  (GetParam().multi_frame ? PF_OutFlag2_SUPPORTS_THREADED_RENDERING : 0));
}

TEST_F(PackageTest, NamesCarryTheVersionAndPlatform)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(VELKOR_PACKAGE_DIR))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    const std::string version = velkor::kProjectVersionText;
    std::set<std::string> expected = {"velkorramp-" + version + "-linux-x86_64.tar.gz"};
    for (const HostZip& zip : host_zips()) expected.insert(std::string(zip.name) + ".zip");
#if defined(VELKOR_WINDOWS_MODULE)
    expected.insert("VelkorRamp-" + version + "-ofx-win64.zip");
#endif
    if (VELKOR_DEB_PACKAGE) expected.insert("velkorramp_" + version + "-1_amd64.deb");
    EXPECT_EQ(names, expected);
}

}  // namespace
