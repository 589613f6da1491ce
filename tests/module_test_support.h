// Shared fixture of the module tests: the built VelkorRamp module loaded into a
// simulated host, and the check made after every test that the module left
// nothing behind (no suite, handle, lock, parameter, layer or pre-render data).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "simhost/session.h"

#ifndef VELKOR_MODULE_PATH
#error "VELKOR_MODULE_PATH must name the built effect module"
#endif

namespace velkor_test {

inline constexpr const char* kModulePath = VELKOR_MODULE_PATH;

// Host names for the suites the module uses.
inline constexpr const char* kHandleSuite = "PF Handle Suite";
inline constexpr const char* kUtilitySuite = "AEGP Utility Suite";
inline constexpr const char* kParamUtilsSuite = "PF Param Utils Suite";
inline constexpr const char* kWorldSuite = "PF World Suite";
inline constexpr const char* kAegpIterateSuite = "AEGP Iterate Suite";
inline constexpr const char* kIterate8Suite = "PF Iterate8 Suite";

// The five pixel formats the module renders.
inline constexpr PF_PixelFormat kAllFormats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_BGRA32,
                                                 PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128,
                                                 simhost::kPixelFormatBGRA128};

// Hosts differ in whether they call the pre-render data deleter after a failed
// pre-render. Every module test runs against both (tests/CMakeLists.txt sets
// VELKOR_TEST_HOST_DROPS_PRE_RENDER_DATA=1 for the second run), and must leave
// the accounting balanced under each.
inline simhost::HostConfig host_of_this_run(simhost::HostConfig config)
{
    const char* drops = std::getenv("VELKOR_TEST_HOST_DROPS_PRE_RENDER_DATA");
    if (drops != nullptr && std::string(drops) == "1") {
        config.delete_pre_render_data_after_failure = false;
    }
    return config;
}

class ModuleTest : public ::testing::Test {
protected:
    explicit ModuleTest(simhost::HostConfig config = {}) : session(host_of_this_run(config)) {}

    void SetUp() override
    {
        const simhost::Status st = session.load(kModulePath);
        ASSERT_TRUE(st) << st.message;
    }

    void TearDown() override
    {
        if (!session.loaded()) {
            return;
        }
        simhost::Host& host = session.host();
        host.clear_faults();
        if (host.global_data() != nullptr) {
            EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
        }
        const simhost::Accounting a = session.accounting();
        EXPECT_TRUE(a.balanced()) << "the module left resources behind:\n" << a.unbalanced();
    }

    // Global setup and parameter setup, both expected to succeed.
    void ready()
    {
        ASSERT_EQ(session.global_setup(), PF_Err_NONE);
        ASSERT_EQ(session.params_setup(), PF_Err_NONE);
        ASSERT_EQ(session.params().size(), 13u);
    }

    // Where `event` first appears in `log`'s events, or -1.
    static int event_at(const simhost::CommandLog& log, const std::string& event)
    {
        for (std::size_t i = 0; i < log.events.size(); ++i) {
            if (log.events[i] == event) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // The log of the last module call whose label is `label`.
    const simhost::CommandLog* last_log(const simhost::Accounting& a, const std::string& label)
    {
        for (auto it = a.commands.rbegin(); it != a.commands.rend(); ++it) {
            if (it->label == label) {
                return &*it;
            }
        }
        return nullptr;
    }

    simhost::Session session;
};

inline bool bytes_equal(const void* a, const void* b, std::size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

// Every pixel byte of `world` equals `byte`.
inline bool all_bytes(const simhost::World& world, std::uint8_t byte)
{
    for (int y = 0; y < world.height(); ++y) {
        const std::uint8_t* row = world.row(y);
        for (int i = 0; i < world.width() * world.pixel_bytes(); ++i) {
            if (row[i] != byte) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace velkor_test
