// The host check against the Linux module: it passes with the generated
// property list, and catches a property list that disagrees with the module,
// saying what disagrees and leaving no frames behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hostcheck/host_check.h"
#include "hostcheck/ramp_cases.h"
#include "resources/pipl_writer.h"

namespace {

using velkor::pipl::EffectIdentity;

class HostCheckRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("velkor-hostcheck-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs the check with a property list written from `identity`.
    int run(const EffectIdentity& identity)
    {
        const std::vector<std::uint8_t> list = velkor::pipl::build_property_list(identity);
        std::ofstream(dir_ / "list.pipl", std::ios::binary)
            .write(reinterpret_cast<const char*>(list.data()),
                   static_cast<std::streamsize>(list.size()));
        velkor::hostcheck::RunOptions options;
        options.module = VELKOR_MODULE_PATH;
        options.pipl_file = dir_ / "list.pipl";
        options.frames_dir = dir_ / "frames";
        log_.str("");
        return velkor::hostcheck::run_host_check(options, log_);
    }

    std::size_t frames_left() const
    {
        std::size_t count = 0;
        if (std::filesystem::is_directory(dir_ / "frames"))
            for (const auto& entry : std::filesystem::directory_iterator(dir_ / "frames"))
                count += entry.path().extension() == ".frame";
        return count;
    }

    std::filesystem::path dir_;
    std::ostringstream log_;
};

TEST_F(HostCheckRun, PassesWithTheGeneratedListAndWritesEveryFrame)
{
    EXPECT_EQ(run(velkor::pipl::velkor_ramp_identity()), 0) << log_.str();
    EXPECT_EQ(frames_left(), velkor::hostcheck::ramp_cases().size() * 3);  // 8, 16 and float bits
    EXPECT_NE(log_.str().find("accounting balanced"), std::string::npos) << log_.str();
}

TEST_F(HostCheckRun, CatchesAListThatDisagreesWithGlobalSetup)
{
    struct Case {
        const char* what;
        void (*change)(EffectIdentity&);
        const char* message;
    };
    const Case cases[] = {
        {"version", [](EffectIdentity& i) { i.version += 1; },
         "global setup reports version 0x00080601"},
        {"flags", [](EffectIdentity& i) { i.out_flags |= 0x100; },
         "global setup reports out_flags 0x06000000"},
        {"flags 2", [](EffectIdentity& i) { i.out_flags2 = 0; },
         "global setup reports out_flags2 0x00001400"},
        {"entry point", [](EffectIdentity& i) { i.entry_point = "EntryPointFunc2"; },
         "exports no \"EntryPointFunc2\""},
        {"name", [](EffectIdentity& i) { i.name = "OtherRamp"; },
         "does not start with the registered name"},
    };
    // Leftovers of a passing run must go too.
    ASSERT_EQ(run(velkor::pipl::velkor_ramp_identity()), 0) << log_.str();
    for (const Case& c : cases) {
        EffectIdentity identity = velkor::pipl::velkor_ramp_identity();
        c.change(identity);
        EXPECT_EQ(run(identity), 1) << c.what;
        EXPECT_NE(log_.str().find(c.message), std::string::npos) << c.what << ": " << log_.str();
        EXPECT_EQ(frames_left(), 0u) << c.what;
    }
}

TEST_F(HostCheckRun, RefusesAMissingModuleOrList)
{
    velkor::hostcheck::RunOptions options;
    options.module = dir_ / "VelkorRamp.so";
    options.pipl_file = dir_ / "none.pipl";
    options.frames_dir = dir_ / "frames";
    EXPECT_EQ(velkor::hostcheck::run_host_check(options, log_), 1);
    EXPECT_NE(log_.str().find("cannot open"), std::string::npos) << log_.str();
}

}  // namespace
