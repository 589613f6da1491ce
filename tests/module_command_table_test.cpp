// The entry point's command table and PF_Cmd_ABOUT, through the built module.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/effect_identity.h"
#include "module_test_support.h"

namespace velkor_test {
namespace {

using CommandTable = ModuleTest;

TEST_F(CommandTable, UnhandledCommandsReturnZeroAndLeaveOutDataByteIdentical)
{
    ready();
    const PF_Cmd unhandled[] = {2,  5,  6,  7,  8,  9,  10, 11, 12,  13, 15,
                                16, 17, 18, 19, 20, 21, 22, 25, 100, -1};
    std::vector<PF_ParamDef*> params = session.host().param_array();
    simhost::World output(simhost::WorldSpec{8, 8});
    for (const PF_Cmd cmd : unhandled) {
        PF_OutData out;
        std::memset(&out, 0xA7, sizeof out);
        PF_OutData before;
        std::memcpy(&before, &out, sizeof out);
        EXPECT_EQ(session.raw_call(cmd, out, params.data(), output.effect_world(), nullptr),
                  PF_Err_NONE)
            << simhost::command_name(cmd);
        EXPECT_TRUE(bytes_equal(&out, &before, sizeof out))
            << simhost::command_name(cmd) << " wrote PF_OutData";
        const simhost::Accounting a = session.accounting();
        ASSERT_FALSE(a.commands.empty());
        EXPECT_TRUE(a.commands.back().suites.empty())
            << simhost::command_name(cmd) << " acquired a suite";
    }
}

// The guard and the dispatch read one table: every answered command, and only
// those, refuses a missing PF_InData, and every one but set-down (which writes
// nothing) a missing PF_OutData, before it touches the host.
TEST_F(CommandTable, AnsweredCommandsRefuseMissingRecordsOthersIgnoreThem)
{
    ready();
    const PF_Cmd answered[] = {
        PF_Cmd_ABOUT,        PF_Cmd_GLOBAL_SETUP,     PF_Cmd_GLOBAL_SETDOWN,
        PF_Cmd_PARAMS_SETUP, PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_SMART_PRE_RENDER,
        PF_Cmd_SMART_RENDER};
    const EntryPointFuncPtr entry = session.host().entry();
    PF_InData in = session.host().make_in_data();
    PF_OutData out{};
    const auto suite_calls = [this] {
        int n = 0;
        for (const auto& [key, counts] : session.accounting().suites) {
            n += counts.acquired + counts.refused;
        }
        return n;
    };
    const int calls_before = suite_calls();
    for (const PF_Cmd cmd : answered) {
        EXPECT_EQ(entry(cmd, nullptr, &out, nullptr, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM)
            << simhost::command_name(cmd) << " without PF_InData";
        if (cmd != PF_Cmd_GLOBAL_SETDOWN) {
            EXPECT_EQ(entry(cmd, &in, nullptr, nullptr, nullptr, nullptr),
                      PF_Err_BAD_CALLBACK_PARAM)
                << simhost::command_name(cmd) << " without PF_OutData";
        }
    }
    EXPECT_EQ(entry(PF_Cmd_RENDER, nullptr, nullptr, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_EQ(entry(PF_Cmd_SEQUENCE_SETUP, nullptr, nullptr, nullptr, nullptr, nullptr),
              PF_Err_NONE);
    EXPECT_EQ(suite_calls(), calls_before) << "a refused command asked for a suite";
}

PF_Err checkout_layer_not_expected(PF_ProgPtr, PF_ParamIndex, A_long, const PF_RenderRequest*,
                                   A_long, A_long, A_u_long, PF_CheckoutResult*)
{
    ADD_FAILURE() << "checkout_layer called";
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err checkout_pixels_not_expected(PF_ProgPtr, A_long, PF_EffectWorld**)
{
    ADD_FAILURE() << "checkout_layer_pixels called";
    return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err checkout_output_not_expected(PF_ProgPtr, PF_EffectWorld**)
{
    ADD_FAILURE() << "checkout_output called";
    return PF_Err_BAD_CALLBACK_PARAM;
}

// A host that gives no basic suite gets 516 from every command that needs a
// suite, before the command touches anything, and (the failure being the suite
// handler's) no message and no flag beyond global setup's own words.
TEST_F(CommandTable, NoBasicSuiteGives516WithoutAMessageOrAFlag)
{
    ready();
    simhost::Host& host = session.host();
    std::vector<PF_ParamDef*> params = host.param_array();
    PF_PreRenderInput pre_in{};
    pre_in.output_request.rect = PF_LRect{0, 0, 8, 8};
    PF_PreRenderOutput pre_out{};
    PF_PreRenderCallbacks pre_cb{};
    pre_cb.checkout_layer = checkout_layer_not_expected;
    PF_PreRenderExtra pre_extra{&pre_in, &pre_out, &pre_cb};
    PF_SmartRenderInput render_in{};
    PF_SmartRenderCallbacks render_cb{};
    render_cb.checkout_layer_pixels = checkout_pixels_not_expected;
    render_cb.checkout_output = checkout_output_not_expected;
    PF_SmartRenderExtra render_extra{&render_in, &render_cb};

    const std::pair<PF_Cmd, void*> commands[] = {
        {PF_Cmd_GLOBAL_SETUP, nullptr},        {PF_Cmd_UPDATE_PARAMS_UI, nullptr},
        {PF_Cmd_SMART_PRE_RENDER, &pre_extra}, {PF_Cmd_SMART_RENDER, &render_extra},
        {PF_Cmd_GLOBAL_SETDOWN, nullptr},
    };
    const PF_Handle global_data = host.global_data();
    for (const auto& [cmd, extra] : commands) {
        SCOPED_TRACE(simhost::command_name(cmd));
        PF_InData in = host.make_in_data();
        in.pica_basicP = nullptr;
        PF_OutData out{};
        EXPECT_EQ(host.call(cmd, in, out, params.data(), nullptr, extra),
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(out.out_flags, cmd == PF_Cmd_GLOBAL_SETUP ? velkor::kGlobalOutFlags : 0);
        EXPECT_EQ(std::string(out.return_msg), "");
        EXPECT_EQ(out.global_data, nullptr);
    }
    EXPECT_EQ(pre_out.pre_render_data, nullptr);
    // Set-down was refused: the global data is still there for the real one.
    host.set_global_data(global_data);
    const simhost::Accounting a = session.accounting();
    EXPECT_EQ(a.handles_created, 1) << "only the first global setup's";
}

TEST_F(CommandTable, PlainRenderIsNotARenderPath)
{
    ready();
    simhost::World output(simhost::WorldSpec{4, 4});
    output.fill_bytes(0x3C);
    std::vector<PF_ParamDef*> params = session.host().param_array();
    PF_OutData out{};
    EXPECT_EQ(session.raw_call(PF_Cmd_RENDER, out, params.data(), output.effect_world(), nullptr),
              PF_Err_NONE);
    EXPECT_TRUE(all_bytes(output, 0x3C));
}

TEST_F(CommandTable, AboutTextIsNameVersionCarriageReturnNotice)
{
    const simhost::AboutResult about = session.about();
    EXPECT_EQ(about.err, PF_Err_NONE);
    EXPECT_EQ(about.text, std::string("VelkorRamp, v1.00\r") + velkor::kMakerNotice);
    const std::size_t cr = about.text.find('\r');
    ASSERT_NE(cr, std::string::npos);
    const std::string notice = about.text.substr(cr + 1);
    EXPECT_FALSE(notice.empty());
    EXPECT_EQ(notice.find_first_of("\r\n"), std::string::npos) << "the notice is one line";
}

TEST_F(CommandTable, AboutAcquiresNoSuiteAndNeedsNoEarlierCommand)
{
    ASSERT_EQ(session.about().err, PF_Err_NONE);
    const simhost::Accounting a = session.accounting();
    ASSERT_EQ(a.commands.size(), 1u);
    EXPECT_EQ(a.commands[0].label, "PF_Cmd_ABOUT");
    EXPECT_TRUE(a.commands[0].suites.empty());
    EXPECT_TRUE(a.suites.empty());
}

TEST_F(CommandTable, AboutWorksWithoutABasicSuite)
{
    PF_InData in = session.host().make_in_data();
    in.pica_basicP = nullptr;
    PF_OutData out{};
    EXPECT_EQ(session.host().call(PF_Cmd_ABOUT, in, out, nullptr, nullptr, nullptr), PF_Err_NONE);
    EXPECT_EQ(std::string(out.return_msg).rfind("VelkorRamp, v1.00\r", 0), 0u);
}

}  // namespace
}  // namespace velkor_test
