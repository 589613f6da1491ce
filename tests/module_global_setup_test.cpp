// PF_Cmd_GLOBAL_SETUP and PF_Cmd_GLOBAL_SETDOWN, through the built module.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "module_test_support.h"

namespace velkor_test {
namespace {

using GlobalSetup = ModuleTest;
using simhost::CallKind;

constexpr A_u_long kVersion = 525825;
constexpr PF_OutFlags kOutFlags = 0x06000000;
constexpr PF_OutFlags2 kOutFlags2 = 0x00001400;

TEST_F(GlobalSetup, ReportsVersionFlagsAndAFourByteHandleHoldingThePluginId)
{
    session.host().config().plugin_id = 0x00C0FFEE;
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    const PF_OutData& out = session.last_out_data();
    EXPECT_EQ(out.my_version, kVersion);
    EXPECT_EQ(out.out_flags, kOutFlags);
    EXPECT_EQ(out.out_flags2, kOutFlags2);
    ASSERT_NE(out.global_data, nullptr);
    EXPECT_EQ(session.host().global_data(), out.global_data);

    const simhost::Accounting a = session.accounting();
    ASSERT_EQ(a.live_handles.size(), 1u);
    EXPECT_EQ(a.live_handles[0].size, 4u);
    EXPECT_TRUE(a.live_handles[0].held_as_global_data);
    EXPECT_EQ(a.live_handles[0].lock_depth, 0);
    const std::vector<std::uint8_t> bytes = session.host().handle_contents(out.global_data);
    ASSERT_EQ(bytes.size(), 4u);
    AEGP_PluginID stored = 0;
    std::memcpy(&stored, bytes.data(), sizeof stored);
    EXPECT_EQ(stored, 0x00C0FFEE);

    ASSERT_EQ(session.host().register_calls().size(), 1u);
    EXPECT_EQ(session.host().register_calls()[0].name, "Error!");
    EXPECT_EQ(session.host().register_calls()[0].refcon, nullptr);

    const simhost::CommandLog* log = last_log(a, "PF_Cmd_GLOBAL_SETUP");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->balanced());
    EXPECT_EQ(log->acquired(kHandleSuite, 2), 1);
    EXPECT_EQ(log->acquired(kUtilitySuite, 7), 1);
}

// The host writes the plug-in id into the global data while the module holds
// its lock: registration comes between lock and unlock, and the handle is
// handed over unlocked.
TEST_F(GlobalSetup, RegistersBetweenLockAndUnlock)
{
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_GLOBAL_SETUP");
    ASSERT_NE(log, nullptr);
    const int made = event_at(*log, "host_new_handle 4");
    const int lock = event_at(*log, "host_lock_handle");
    const int registered = event_at(*log, "AEGP_RegisterWithAEGP");
    const int unlock = event_at(*log, "host_unlock_handle");
    ASSERT_GE(made, 0);
    EXPECT_LT(made, lock);
    EXPECT_LT(lock, registered);
    EXPECT_LT(registered, unlock);
    EXPECT_EQ(a.locked_handles(), 0);
}

TEST_F(GlobalSetup, MissingHandleSuiteGives516WithVersionAndFlagsAlreadySet)
{
    session.host().refuse_suite(kHandleSuite, 2);
    EXPECT_EQ(session.global_setup(), PF_Err_BAD_CALLBACK_PARAM);
    const PF_OutData& out = session.last_out_data();
    EXPECT_EQ(out.my_version, kVersion);
    EXPECT_EQ(out.out_flags, kOutFlags);
    EXPECT_EQ(out.out_flags2, kOutFlags2);
    EXPECT_EQ(out.global_data, nullptr);
    EXPECT_EQ(std::string(out.return_msg), "")
        << "a suite the handler cannot get leaves no message";
    EXPECT_EQ(session.accounting().handles_created, 0);
}

TEST_F(GlobalSetup, MissingUtilitySuiteGives516AndNoGlobalData)
{
    session.host().refuse_suite(kUtilitySuite, 7);
    EXPECT_EQ(session.global_setup(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(session.last_out_data().global_data, nullptr);
    EXPECT_EQ(session.last_out_data().my_version, kVersion);
}

TEST_F(GlobalSetup, NullNewHandleGives512)
{
    session.host().fail_call(CallKind::new_handle, 1);
    EXPECT_EQ(session.global_setup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(session.last_out_data().global_data, nullptr);
    EXPECT_EQ(session.last_out_data().my_version, kVersion);
    EXPECT_TRUE(session.host().register_calls().empty());
}

TEST_F(GlobalSetup, FailedLockGivesZeroNoGlobalDataAndTheHandleDisposed)
{
    session.host().fail_call(CallKind::lock_handle, 1);
    EXPECT_EQ(session.global_setup(), PF_Err_NONE);
    EXPECT_EQ(session.last_out_data().global_data, nullptr);
    EXPECT_TRUE(session.host().register_calls().empty()) << "no registration without an address";
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.handles_created, 1);
    EXPECT_EQ(a.handles_disposed, 1);
}

TEST_F(GlobalSetup, FailedRegistrationReturnsItsCodeWithTheHandleUnlockedAndDisposed)
{
    session.host().fail_call(CallKind::register_with_aegp, 1, 0x2A2A);
    EXPECT_EQ(session.global_setup(), 0x2A2A);
    EXPECT_EQ(session.last_out_data().global_data, nullptr);
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.handles_created, 1);
    EXPECT_EQ(a.handles_disposed, 1);
    EXPECT_EQ(a.lock_calls, a.unlock_calls);
}

TEST_F(GlobalSetup, SetdownDisposesTheGlobalHandle)
{
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    EXPECT_TRUE(a.live_handles.empty());
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_GLOBAL_SETDOWN");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->acquired(kHandleSuite, 2), 1);
    EXPECT_EQ(log->released(kHandleSuite, 2), 1);
}

// Set-down writes nothing to PF_OutData, so a host that passes none still gets
// its global data disposed rather than a refusal and a leaked handle.
TEST_F(GlobalSetup, SetdownWithoutOutDataStillDisposesTheGlobalHandle)
{
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    simhost::Host& host = session.host();
    PF_InData in = host.make_in_data();
    ASSERT_NE(in.global_data, nullptr);
    EXPECT_EQ(host.entry()(PF_Cmd_GLOBAL_SETDOWN, &in, nullptr, nullptr, nullptr, nullptr),
              PF_Err_NONE);
    host.set_global_data(nullptr);
    const simhost::Accounting a = session.accounting();
    EXPECT_TRUE(a.live_handles.empty());
    EXPECT_EQ(a.handles_disposed, 1);
}

TEST_F(GlobalSetup, SetdownWithNullGlobalDataReturnsZeroWithoutTheHandleSuite)
{
    EXPECT_EQ(session.global_setdown(), PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    const simhost::CommandLog* log = last_log(a, "PF_Cmd_GLOBAL_SETDOWN");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->acquired(kHandleSuite, 2), 0);
    EXPECT_EQ(log->refused(kHandleSuite, 2), 0);
    EXPECT_EQ(a.handles_disposed, 0);
}

TEST_F(GlobalSetup, SetupTwiceMakesTwoHandlesBothDisposedAtTheirSetdowns)
{
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    PF_Handle first = session.host().global_data();
    ASSERT_EQ(session.global_setdown(), PF_Err_NONE);
    ASSERT_EQ(session.global_setup(), PF_Err_NONE);
    EXPECT_NE(session.host().global_data(), nullptr);
    (void)first;
    ASSERT_EQ(session.global_setdown(), PF_Err_NONE);
    EXPECT_EQ(session.accounting().handles_created, 2);
    EXPECT_EQ(session.accounting().handles_disposed, 2);
}

}  // namespace
}  // namespace velkor_test
