// Suite access on its own: the suite cache and the one-shot pair, against the
// simulated host's basic suite. The module's commands reach only some of this
// (they always pass their own messages); the rest is pinned here.
#include <gtest/gtest.h>

#include <string>

#include "host/suite_handler.h"
#include "simhost/host.h"

namespace velkor_test {
namespace {

constexpr PF_OutFlags kDisplayErrorMessage = 0x100;

class SuiteAccess : public ::testing::Test {
protected:
    std::string message() const { return std::string(out.return_msg); }

    simhost::Host host{static_cast<EntryPointFuncPtr>(nullptr)};
    PF_InData in = host.make_in_data();
    PF_OutData out{};
};

TEST_F(SuiteAccess, OneShotFailuresLeaveTheDefaultMessagesAndTheFlag)
{
    host.refuse_suite("PF World Suite", 2);
    const void* suite = nullptr;
    EXPECT_EQ(velkor::acquire_aefx_suite(&in, &out, "PF World Suite", 2, nullptr, &suite),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(suite, nullptr);
    EXPECT_EQ(out.out_flags, kDisplayErrorMessage);
    EXPECT_EQ(message(), "Not able to acquire AEFX Suite.");

    out = PF_OutData{};
    in.pica_basicP = nullptr;
    EXPECT_EQ(velkor::release_aefx_suite(&in, &out, "PF World Suite", 2, nullptr),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(out.out_flags, kDisplayErrorMessage);
    EXPECT_EQ(message(), "Not able to release AEFX Suite.");

    out = PF_OutData{};
    EXPECT_EQ(velkor::acquire_aefx_suite(&in, &out, "PF World Suite", 2, nullptr, &suite),
              PF_Err_BAD_CALLBACK_PARAM)
        << "no basic suite at all";
    EXPECT_EQ(message(), "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
}

TEST_F(SuiteAccess, OneShotMessagesAreWrittenAsTheyAre)
{
    host.refuse_suite("PF World Suite", 2);
    const void* suite = nullptr;
    EXPECT_EQ(velkor::acquire_aefx_suite(&in, &out, "PF World Suite", 2, "100% gone %s", &suite),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(message(), "100% gone %s");
}

TEST_F(SuiteAccess, OneShotPairAcquiresAndReleasesWithoutAMessage)
{
    const void* suite = nullptr;
    EXPECT_EQ(velkor::acquire_aefx_suite(&in, &out, "PF World Suite", 2, "x", &suite), PF_Err_NONE);
    EXPECT_NE(suite, nullptr);
    EXPECT_EQ(velkor::release_aefx_suite(&in, &out, "PF World Suite", 2, "y"), PF_Err_NONE);
    EXPECT_EQ(out.out_flags, 0);
    EXPECT_EQ(message(), "");
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
}

TEST_F(SuiteAccess, HandlerWithoutABasicSuiteThrows516BeforeAnything)
{
    try {
        velkor::SuiteHandler suites(nullptr);
        FAIL() << "no exception";
    } catch (const PF_Err& err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
}

TEST_F(SuiteAccess, HandlerAcquiresEachSuiteOnceAndReleasesItWithItsOwnNameEvenWhenUnwinding)
{
    host.refuse_suite("PF Iterate8 Suite", 1);
    try {
        velkor::SuiteHandler suites(in.pica_basicP);
        EXPECT_EQ(&suites.handle_suite(), &suites.handle_suite());
        suites.iterate_suite();
        suites.iterate8_suite();
        FAIL() << "the refused suite did not throw";
    } catch (const PF_Err& err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
    const simhost::Accounting a = host.accounting();
    EXPECT_EQ(a.acquired("PF Handle Suite", 2), 1);
    EXPECT_EQ(a.released("PF Handle Suite", 2), 1);
    EXPECT_EQ(a.acquired("AEGP Iterate Suite", 1), 1);
    EXPECT_EQ(a.released("AEGP Iterate Suite", 1), 1);
    EXPECT_EQ(a.refused("PF Iterate8 Suite", 1), 1);
    EXPECT_TRUE(a.balanced()) << a.unbalanced();
    EXPECT_EQ(out.out_flags, 0) << "the cache sets no flag";
}

}  // namespace
}  // namespace velkor_test
