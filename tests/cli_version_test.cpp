// velkorramp --version run as a process: the tool's version from the build's
// one version, and the one each module reports, read from the module itself.
#include <gtest/gtest.h>

#include <string>

#include "cli_test_support.h"
#include "host/project_version.h"

namespace {

using cli_test::ProcessResult;
using VelkorrampVersion = cli_test::ToolTest;

const std::string kToolLine = "velkorramp " + std::string(velkor::kProjectVersionText) +
                              " (build " + std::to_string(velkor::kProjectVersionBuild) + ")\n";
const std::string kModuleVersion = std::string(velkor::kProjectVersionText) + " (build " +
                                   std::to_string(velkor::kProjectVersionBuild) + ", release)";

TEST_F(VelkorrampVersion, PrintsTheToolsVersionAndTheLoadedModulesWord)
{
    const ProcessResult r = run({"--version"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, kToolLine + "module " + VELKOR_MODULE_PATH + ": " + kModuleVersion + "\n");
    EXPECT_EQ(r.err, "");
}

#if defined(VELKOR_MULTI_FRAME_MODULE_PATH)
TEST_F(VelkorrampVersion, SaysWhenTheModuleDeclaresMultiFrameRendering)
{
    const ProcessResult r = run({"--version", "--module", VELKOR_MULTI_FRAME_MODULE_PATH});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, kToolLine + "module " + VELKOR_MULTI_FRAME_MODULE_PATH + ": " +
                         kModuleVersion + ", multi-frame rendering\n");
}
#endif

TEST_F(VelkorrampVersion, AModuleThatDoesNotLoadIsOneLineAndExitCode5)
{
    const std::string not_a_module = path("notes.txt").string();
    std::ofstream(not_a_module) << "not a module\n";
    for (const std::string& module : {not_a_module, path("missing.so").string()}) {
        const ProcessResult r = run({"--version", "--module", module});
        EXPECT_EQ(r.exit_code, 5) << module;
        EXPECT_EQ(r.out, kToolLine) << "the tool's own version comes first";
        EXPECT_EQ(r.err.rfind("velkorramp: cannot load module", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(run({"--version", "--bogus"}).exit_code, 2);
}

}  // namespace
