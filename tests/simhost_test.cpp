// The simulated host itself: worlds, the thread pool, module loading, the
// suites and callbacks it serves, failure injection, accounting and the session's
// value checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "module_test_support.h"
#include "simhost/memory_poison.h"
#include "simhost/thread_pool.h"

#ifndef SIMHOST_NO_ENTRY_MODULE
#error "SIMHOST_NO_ENTRY_MODULE must name a library without EntryPointFunc"
#endif

namespace velkor_test {
namespace {

using simhost::CallKind;
using simhost::Host;
using simhost::World;
using simhost::WorldSpec;

// ------------------------------------------------------------------ worlds

TEST(SimhostWorld, BottomUpStorageHasRowZeroAtDataAndLaterRowsBelow)
{
    WorldSpec world_spec{5, 4, PF_PixelFormat_ARGB64};
    world_spec.row_padding = 6;
    world_spec.bottom_up = true;
    World w(world_spec);
    EXPECT_EQ(w.rowbytes(), -(5 * 8 + 6));
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(w.effect_world()->data), w.row(0));
    EXPECT_LT(w.row(1), w.row(0));
    EXPECT_EQ(w.row(0) - w.row(3), 3 * (5 * 8 + 6));
    w.fill_bytes(0x11);
    EXPECT_TRUE(w.guards_intact());
    w.row(2)[5 * 8] = 0;  // the padding after row 2
    EXPECT_FALSE(w.guards_intact());
}

TEST(SimhostWorld, FillUsesTheFormatsChannelOrder)
{
    World argb(WorldSpec{1, 1, PF_PixelFormat_ARGB32});
    World bgra(WorldSpec{1, 1, PF_PixelFormat_BGRA32});
    const simhost::ColorF c{1.0, 0.0, 0.5, 0.25};
    argb.fill(c);
    bgra.fill(c);
    const std::uint8_t want_argb[4] = {255, 0, 128, 64};
    const std::uint8_t want_bgra[4] = {64, 128, 0, 255};
    EXPECT_TRUE(bytes_equal(argb.row(0), want_argb, 4));
    EXPECT_TRUE(bytes_equal(bgra.row(0), want_bgra, 4));
    World deep(WorldSpec{1, 1, PF_PixelFormat_ARGB64});
    deep.fill(c);
    EXPECT_EQ(deep.at<PF_Pixel16>(0, 0).alpha, 32768);
    EXPECT_EQ(deep.at<PF_Pixel16>(0, 0).green, 16384);
}

TEST(SimhostWorld, CopiesOwnTheirPixels)
{
    World a(WorldSpec{3, 3, PF_PixelFormat_ARGB128});
    a.fill(simhost::ColorF{0.5, 0.5, 0.5, 0.5});
    World b = a;
    EXPECT_NE(b.effect_world()->data, a.effect_world()->data);
    EXPECT_EQ(a.first_difference(b), "");
    b.at<PF_PixelFloat>(2, 1).red = 3.0f;
    EXPECT_NE(a.first_difference(b), "");
    EXPECT_EQ(a.rows_differing_from(b), (std::vector<int>{1}));
}

TEST(SimhostNames, ErrorAndFormatNames)
{
    EXPECT_EQ(simhost::error_name(516), "PF_Err_BAD_CALLBACK_PARAM");
    EXPECT_EQ(simhost::error_name(4), "PF_Err_OUT_OF_MEMORY");
    EXPECT_EQ(simhost::error_name(512), "PF_Err_INTERNAL_STRUCT_DAMAGED");
    EXPECT_EQ(simhost::error_name(0), "PF_Err_NONE");
    EXPECT_EQ(simhost::error_name(9999), "error 9999");
    EXPECT_EQ(simhost::command_name(24), "PF_Cmd_SMART_RENDER");
    EXPECT_EQ(simhost::pixel_format_name(simhost::kPixelFormatBGRA128), "BGRA128");
    EXPECT_EQ(simhost::bit_depth(PF_PixelFormat_ARGB64), 16);
    EXPECT_EQ(simhost::bit_depth(PF_PixelFormat_INVALID), 0);
}

// ------------------------------------------------------------------ thread pool

TEST(SimhostThreadPool, RunsEveryIterationOnceOnItsWorkers)
{
    simhost::ThreadPool pool(4);
    std::mutex m;
    std::multiset<int> seen;
    std::set<int> indices;
    pool.run(37, [&](int thread_index, int i) {
        std::lock_guard<std::mutex> lock(m);
        seen.insert(i);
        indices.insert(thread_index);
    });
    EXPECT_EQ(seen.size(), 37u);
    for (int i = 0; i < 37; ++i) {
        EXPECT_EQ(seen.count(i), 1u);
    }
    for (int t : indices) {
        EXPECT_GE(t, 0);
        EXPECT_LT(t, 4);
    }
    pool.run(0, [&](int, int) { FAIL(); });
}

TEST(SimhostThreadPool, OneAtATimeRunsInOrderWithoutOverlap)
{
    simhost::ThreadPool pool(3);
    std::atomic<int> running{0};
    std::vector<int> order;
    std::mutex m;
    pool.run(
        12,
        [&](int, int i) {
            EXPECT_EQ(running.fetch_add(1), 0);
            {
                std::lock_guard<std::mutex> lock(m);
                order.push_back(i);
            }
            running.fetch_sub(1);
        },
        true);
    std::vector<int> want(12);
    for (int i = 0; i < 12; ++i) {
        want[static_cast<std::size_t>(i)] = i;
    }
    EXPECT_EQ(order, want);
}

// ------------------------------------------------------------------ loading

TEST(SimhostLoading, MissingFileIsAClearError)
{
    simhost::Session s;
    const simhost::Status st = s.load("/nonexistent/VelkorRamp.so");
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("not found"), std::string::npos) << st.message;
    EXPECT_NE(st.message.find("/nonexistent/VelkorRamp.so"), std::string::npos) << st.message;
    EXPECT_FALSE(s.loaded());
    EXPECT_EQ(s.global_setup(), PF_Err_INVALID_CALLBACK);
}

TEST(SimhostLoading, AFileThatIsNoLibraryIsAClearError)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "simhost_not_a_library.so";
    std::ofstream(path) << "not a library\n";
    simhost::Session s;
    const simhost::Status st = s.load(path.string());
    EXPECT_FALSE(st);
    EXPECT_FALSE(st.message.empty());
    std::filesystem::remove(path);
}

TEST(SimhostLoading, ALibraryWithoutTheEntryPointIsAClearError)
{
    simhost::Session s;
    const simhost::Status st = s.load(SIMHOST_NO_ENTRY_MODULE);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("EntryPointFunc"), std::string::npos) << st.message;
}

TEST(SimhostLoading, TheModuleLoads)
{
    std::string error;
    auto module = simhost::ModuleLibrary::open(kModulePath, error);
    ASSERT_NE(module, nullptr) << error;
    EXPECT_NE(module->entry(), nullptr);
}

// ------------------------------------------------------------------ a fake module

// What the fake module does on each command; set by each test.
enum class FakeBehaviour {
    tidy,
    leak_suite,
    leak_handle,
    leak_lock,
    leak_param,
    bad_release
};
FakeBehaviour g_behaviour = FakeBehaviour::tidy;

PF_Err fake_entry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*, void*)
{
    if (cmd != PF_Cmd_SEQUENCE_SETUP) {
        return PF_Err_NONE;
    }
    const void* suite = nullptr;
    if (in->pica_basicP->AcquireSuite("PF Handle Suite", 2, &suite) != 0 || suite == nullptr) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const auto* handles = static_cast<const PF_HandleSuite1*>(suite);
    PF_Handle h = handles->host_new_handle(16);
    void* p = handles->host_lock_handle(h);
    in->utils->ansi.sprintf(out->return_msg, "%s", std::string(1000, 'x').c_str());
    if (g_behaviour != FakeBehaviour::leak_lock && p != nullptr) {
        handles->host_unlock_handle(h);
    }
    if (g_behaviour != FakeBehaviour::leak_handle && g_behaviour != FakeBehaviour::leak_lock) {
        handles->host_dispose_handle(h);
    }
    if (g_behaviour != FakeBehaviour::leak_suite) {
        in->pica_basicP->ReleaseSuite("PF Handle Suite", 2);
    }
    if (g_behaviour == FakeBehaviour::bad_release) {
        in->pica_basicP->ReleaseSuite("PF World Suite", 2);
    }
    return PF_Err_NONE;
}

class SimhostFakeModule : public ::testing::Test {
protected:
    void SetUp() override { g_behaviour = FakeBehaviour::tidy; }
    PF_Err run()
    {
        PF_OutData out{};
        const PF_Err err = host.call(PF_Cmd_SEQUENCE_SETUP, out);
        last_msg.assign(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
        return err;
    }
    Host host{&fake_entry};
    std::string last_msg;
};

TEST_F(SimhostFakeModule, TidyModuleIsBalanced)
{
    ASSERT_EQ(run(), PF_Err_NONE);
    const simhost::Accounting a = host.accounting();
    EXPECT_TRUE(a.balanced()) << a.unbalanced();
    EXPECT_EQ(a.acquired("PF Handle Suite", 2), 1);
    EXPECT_EQ(a.released("PF Handle Suite", 2), 1);
    EXPECT_EQ(a.handles_created, 1);
    EXPECT_EQ(a.lock_calls, 1);
    EXPECT_EQ(last_msg.size(), 255u) << "sprintf is bounded to the host's 256-byte fields";
}

TEST_F(SimhostFakeModule, LeftSuiteIsReported)
{
    g_behaviour = FakeBehaviour::leak_suite;
    ASSERT_EQ(run(), PF_Err_NONE);
    const simhost::Accounting a = host.accounting();
    EXPECT_FALSE(a.balanced());
    EXPECT_NE(a.unbalanced().find("\"PF Handle Suite\" 2"), std::string::npos) << a.unbalanced();
}

TEST_F(SimhostFakeModule, LeftHandleIsReported)
{
    g_behaviour = FakeBehaviour::leak_handle;
    ASSERT_EQ(run(), PF_Err_NONE);
    const simhost::Accounting a = host.accounting();
    EXPECT_FALSE(a.balanced());
    EXPECT_NE(a.unbalanced().find("handle of 16 bytes"), std::string::npos) << a.unbalanced();
}

TEST_F(SimhostFakeModule, LeftLockIsReported)
{
    g_behaviour = FakeBehaviour::leak_lock;
    ASSERT_EQ(run(), PF_Err_NONE);
    const simhost::Accounting a = host.accounting();
    EXPECT_EQ(a.locked_handles(), 1);
    EXPECT_NE(a.unbalanced().find("lock depth 1"), std::string::npos) << a.unbalanced();
}

TEST_F(SimhostFakeModule, UnmatchedReleaseIsAViolation)
{
    g_behaviour = FakeBehaviour::bad_release;
    ASSERT_EQ(run(), PF_Err_NONE);
    const simhost::Accounting a = host.accounting();
    ASSERT_EQ(a.violations.size(), 1u);
    EXPECT_NE(a.violations[0].find("without a matching AcquireSuite"), std::string::npos);
}

TEST_F(SimhostFakeModule, RefusedSuiteGivesNullAndAnError)
{
    host.refuse_suite("PF Handle Suite", 2);
    EXPECT_EQ(run(), PF_Err_BAD_CALLBACK_PARAM);
    const void* suite = reinterpret_cast<const void*>(1);
    EXPECT_NE(host.basic_suite()->AcquireSuite("PF Handle Suite", 3, &suite), 0)
        << "versions not served";
    EXPECT_EQ(suite, nullptr);
    EXPECT_NE(host.basic_suite()->AcquireSuite("PF Handle Suite", 2, &suite), 0);
    const simhost::Accounting a = host.accounting();
    EXPECT_EQ(a.refused("PF Handle Suite", 2), 2);
    EXPECT_EQ(a.refused("PF Handle Suite", 3), 1);
    EXPECT_TRUE(a.balanced()) << a.unbalanced();
}

TEST_F(SimhostFakeModule, ServesExactlyTheSixSuites)
{
    const std::pair<const char*, int> served[] = {
        {"PF Handle Suite", 2}, {"AEGP Utility Suite", 7}, {"PF Param Utils Suite", 2},
        {"PF World Suite", 2},  {"AEGP Iterate Suite", 1}, {"PF Iterate8 Suite", 1}};
    for (const auto& [name, version] : served) {
        const void* suite = nullptr;
        EXPECT_EQ(host.basic_suite()->AcquireSuite(name, version, &suite), 0) << name;
        EXPECT_NE(suite, nullptr) << name;
        EXPECT_EQ(host.basic_suite()->ReleaseSuite(name, version), 0) << name;
    }
    for (const auto& [name, version] :
         std::initializer_list<std::pair<const char*, int>>{{"PF World Suite", 1},
                                                            {"AEGP Utility Suite", 3},
                                                            {"PF Iterate16 Suite", 1},
                                                            {"PF ANSI Suite", 1}}) {
        const void* suite = reinterpret_cast<const void*>(1);
        EXPECT_NE(host.basic_suite()->AcquireSuite(name, version, &suite), 0) << name;
        EXPECT_EQ(suite, nullptr) << name;
    }
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
}

TEST_F(SimhostFakeModule, InjectedHandleFailuresAndCounts)
{
    const void* suite = nullptr;
    ASSERT_EQ(host.basic_suite()->AcquireSuite("PF Handle Suite", 2, &suite), 0);
    const auto* handles = static_cast<const PF_HandleSuite1*>(suite);
    host.fail_call(CallKind::new_handle, 2);
    PF_Handle a = handles->host_new_handle(8);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(handles->host_new_handle(8), nullptr);
    EXPECT_EQ(handles->host_get_handle_size(a), 8u);
    host.fail_call(CallKind::lock_handle, 1);
    EXPECT_EQ(handles->host_lock_handle(a), nullptr);
    EXPECT_NE(handles->host_lock_handle(a), nullptr);
    handles->host_unlock_handle(a);
    handles->host_dispose_handle(a);
    host.basic_suite()->ReleaseSuite("PF Handle Suite", 2);
    EXPECT_EQ(host.call_count(CallKind::new_handle), 2);
    EXPECT_EQ(host.call_count(CallKind::lock_handle), 2);
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
}

TEST_F(SimhostFakeModule, WorldSuiteKnowsOnlyTheHostsWorlds)
{
    const void* suite = nullptr;
    ASSERT_EQ(host.basic_suite()->AcquireSuite("PF World Suite", 2, &suite), 0);
    const auto* worlds = static_cast<const PF_WorldSuite2*>(suite);
    World mine(WorldSpec{2, 2, PF_PixelFormat_ARGB64});
    host.register_world(mine.effect_world(), mine.format());
    PF_PixelFormat format = 0;
    EXPECT_EQ(worlds->PF_GetPixelFormat(mine.effect_world(), &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB64);
    PF_EffectWorld stranger{};
    EXPECT_EQ(worlds->PF_GetPixelFormat(&stranger, &format), PF_Err_BAD_CALLBACK_PARAM);
    host.unregister_world(mine.effect_world());
    host.basic_suite()->ReleaseSuite("PF World Suite", 2);
    EXPECT_EQ(host.accounting().violations.size(), 1u);
}

PF_Err fails_at_five(void* refcon, A_long, A_long i, A_long)
{
    static_cast<std::atomic<int>*>(refcon)->fetch_add(1);
    return i == 5 ? 55 : (i == 7 ? 77 : PF_Err_NONE);
}

TEST_F(SimhostFakeModule, IterateGenericRunsEveryIterationAndReturnsTheFirstFailure)
{
    host.config().threads = 3;
    const void* suite = nullptr;
    ASSERT_EQ(host.basic_suite()->AcquireSuite("PF Iterate8 Suite", 1, &suite), 0);
    std::atomic<int> calls{0};
    EXPECT_EQ(static_cast<const PF_Iterate8Suite1*>(suite)->iterate_generic(9, &calls,
                                                                            fails_at_five),
              55);
    EXPECT_EQ(calls.load(), 9);
    host.basic_suite()->ReleaseSuite("PF Iterate8 Suite", 1);
    ASSERT_EQ(host.iterate_calls().size(), 1u);
    EXPECT_EQ(host.iterate_calls()[0].records.size(), 9u);
}

TEST_F(SimhostFakeModule, ForeignEffectRefIsRefused)
{
    PF_InData in = host.make_in_data();
    PF_ParamDef def{};
    int dummy = 0;
    EXPECT_EQ(in.inter.add_param(reinterpret_cast<PF_ProgPtr>(&dummy), -1, &def),
              PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_FALSE(host.accounting().balanced());
}

// ------------------------------------------------------------------ the strict host

// What the host did with a handle across two locks, with the rules in force.
struct TwoLocks {
    void* first = nullptr;
    void* second = nullptr;
    bool poisoned_between = false;
    std::vector<std::uint8_t> kept;
};

TwoLocks lock_twice(Host& host)
{
    const void* suite = nullptr;
    EXPECT_EQ(host.basic_suite()->AcquireSuite("PF Handle Suite", 2, &suite), 0);
    const auto* handles = static_cast<const PF_HandleSuite1*>(suite);
    TwoLocks seen;
    PF_Handle h = handles->host_new_handle(16);
    seen.first = handles->host_lock_handle(h);
    std::memset(seen.first, 0x42, 16);
    handles->host_unlock_handle(h);
    seen.poisoned_between = simhost::is_poisoned(seen.first, 16);
    seen.second = handles->host_lock_handle(h);
    seen.kept = host.handle_contents(h);
    EXPECT_TRUE(bytes_equal(seen.second, std::vector<std::uint8_t>(16, 0x42).data(), 16))
        << "contents kept";
    handles->host_unlock_handle(h);
    handles->host_dispose_handle(h);
    host.basic_suite()->ReleaseSuite("PF Handle Suite", 2);
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
    return seen;
}

TEST(SimhostStrictHost, HandlesMoveOnEveryLockAndArePoisonedWhileUnlocked)
{
    Host strict{static_cast<EntryPointFuncPtr>(nullptr)};
    const TwoLocks moved = lock_twice(strict);
    EXPECT_NE(moved.second, moved.first) << "a new address at every first lock";
    EXPECT_TRUE(moved.poisoned_between) << "an unlocked handle's memory is poisoned";
    EXPECT_EQ(moved.kept, std::vector<std::uint8_t>(16, 0x42));

    simhost::HostConfig gentle;
    gentle.handles = simhost::HandleRules{false, false};
    Host still{static_cast<EntryPointFuncPtr>(nullptr), gentle};
    const TwoLocks stayed = lock_twice(still);
    EXPECT_EQ(stayed.second, stayed.first);
    EXPECT_FALSE(stayed.poisoned_between);
}

// A module that plays one frame: pre-render checks out the layer for the
// host's request and reports its rectangles; smart render checks out both
// worlds, remembers them and checks the input back in. What it hands back
// after a failure is set per test.
struct FrameModule {
    PF_EffectWorld input{};
    PF_EffectWorld output{};
    bool fail_pre_render_with_data = false;
    bool fail_leaving_handle = false;
    int* handed_over = nullptr;
    int deleted = 0;
};
FrameModule g_frame_module;

void delete_fake_pre_render_data(void* data)
{
    ++g_frame_module.deleted;
    delete static_cast<int*>(data);
}

PF_Err frame_module_entry(PF_Cmd cmd, PF_InData* in, PF_OutData*, PF_ParamDef*[], PF_LayerDef*,
                          void* extra)
{
    if (cmd == PF_Cmd_SMART_PRE_RENDER) {
        auto* pre = static_cast<PF_PreRenderExtra*>(extra);
        PF_CheckoutResult result{};
        const PF_Err err =
            pre->cb->checkout_layer(in->effect_ref, 0, 0, &pre->input->output_request,
                                    in->current_time, in->time_step, in->time_scale, &result);
        pre->output->result_rect = result.result_rect;
        pre->output->max_result_rect = result.max_result_rect;
        if (g_frame_module.fail_pre_render_with_data) {
            g_frame_module.handed_over = new int(7);
            pre->output->pre_render_data = g_frame_module.handed_over;
            pre->output->delete_pre_render_data_func = delete_fake_pre_render_data;
            return 0x51;
        }
        return err;
    }
    if (cmd == PF_Cmd_SMART_RENDER) {
        auto* render = static_cast<PF_SmartRenderExtra*>(extra);
        PF_EffectWorld* input = nullptr;
        PF_EffectWorld* output = nullptr;
        if (render->cb->checkout_layer_pixels(in->effect_ref, 0, &input) != PF_Err_NONE ||
            render->cb->checkout_output(in->effect_ref, &output) != PF_Err_NONE) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        g_frame_module.input = *input;
        g_frame_module.output = *output;
        render->cb->checkin_layer_pixels(in->effect_ref, 0);
        if (g_frame_module.fail_leaving_handle) {
            const void* suite = nullptr;
            in->pica_basicP->AcquireSuite("PF Handle Suite", 2, &suite);
            static_cast<const PF_HandleSuite1*>(suite)->host_new_handle(24);
            in->pica_basicP->ReleaseSuite("PF Handle Suite", 2);
            return 0x52;
        }
        return PF_Err_NONE;
    }
    return PF_Err_NONE;
}

class SimhostFrames : public ::testing::Test {
protected:
    void SetUp() override { g_frame_module = FrameModule{}; }

    // One frame of a 20 x 10 ARGB64 layer at (100, 50), padded by 16 bytes, with
    // the host asking for `request`.
    PF_Err frame(Host& host, const PF_LRect& request, PF_Err* render_err = nullptr)
    {
        WorldSpec layout{20, 10, PF_PixelFormat_ARGB64};
        layout.origin_x = 100;
        layout.origin_y = 50;
        layout.row_padding = 16;
        layer = World(layout);
        given_output = World(layout);
        host.begin_frame(&layer, &given_output, layer.format());
        PF_PreRenderInput pre_in{};
        pre_in.output_request.rect = request;
        PF_PreRenderOutput pre_out{};
        PF_OutData out{};
        const PF_Err err = host.smart_pre_render(pre_in, pre_out, out);
        if (err == PF_Err_NONE) {
            PF_SmartRenderInput render_in{};
            render_in.output_request = pre_in.output_request;
            const PF_Err rendered = host.smart_render(render_in, out);
            if (render_err != nullptr) {
                *render_err = rendered;
            }
        }
        host.end_frame();
        return err;
    }

    World layer;
    World given_output;
};

TEST_F(SimhostFrames, TheStrictHostSizesTheWorldsAndGivesTheOutputItsOwn)
{
    Host host{&frame_module_entry};
    ASSERT_EQ(frame(host, PF_LRect{105, 52, 200, 57}), PF_Err_NONE);
    const PF_EffectWorld& in = g_frame_module.input;
    const PF_EffectWorld& out = g_frame_module.output;
    // The input: the layer clipped to the request, a window onto its pixels.
    EXPECT_EQ(in.width, 15);
    EXPECT_EQ(in.height, 5);
    EXPECT_EQ(in.origin_x, 105);
    EXPECT_EQ(in.origin_y, 52);
    EXPECT_EQ(in.rowbytes, layer.rowbytes());
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(in.data), layer.pixel_address(5, 2));
    // The output: the request clipped to the effect's result, a buffer of its
    // own with longer rows and an origin of its own.
    EXPECT_EQ(out.width, 15);
    EXPECT_EQ(out.height, 5);
    const simhost::WorldRules rules;
    EXPECT_EQ(out.origin_x, 105 + rules.output_origin_shift.h);
    EXPECT_EQ(out.origin_y, 52 + rules.output_origin_shift.v);
    EXPECT_EQ(out.rowbytes, 15 * 8 + 16 + rules.output_extra_row_pixels * 8);
    EXPECT_NE(out.rowbytes, in.rowbytes);
    EXPECT_NE(out.data, given_output.effect_world()->data);
    EXPECT_TRUE(host.accounting().balanced()) << host.accounting().unbalanced();
}

TEST_F(SimhostFrames, TheGentleHostHandsOutTheLayerAndTheCallersOutput)
{
    simhost::HostConfig gentle;
    gentle.worlds.host_sized = false;
    Host host{&frame_module_entry, gentle};
    ASSERT_EQ(frame(host, PF_LRect{105, 52, 200, 57}), PF_Err_NONE);
    EXPECT_EQ(g_frame_module.input.data, layer.effect_world()->data);
    EXPECT_EQ(g_frame_module.input.width, 20);
    EXPECT_EQ(g_frame_module.output.data, given_output.effect_world()->data);
    EXPECT_EQ(g_frame_module.output.origin_x, 100);
}

TEST_F(SimhostFrames, AfterAFailedPreRenderTheHostCallsTheDeleterOrDropsTheData)
{
    g_frame_module.fail_pre_render_with_data = true;
    {
        Host host{&frame_module_entry};
        EXPECT_EQ(frame(host, PF_LRect{100, 50, 120, 60}), 0x51);
        EXPECT_EQ(g_frame_module.deleted, 1);
        const simhost::Accounting a = host.accounting();
        EXPECT_EQ(a.pre_render_data_deleted, 1);
        EXPECT_TRUE(a.balanced()) << a.unbalanced();
    }
    g_frame_module.deleted = 0;
    simhost::HostConfig drops;
    drops.delete_pre_render_data_after_failure = false;
    Host host{&frame_module_entry, drops};
    EXPECT_EQ(frame(host, PF_LRect{100, 50, 120, 60}), 0x51);
    EXPECT_EQ(g_frame_module.deleted, 0) << "this host lets go without calling the deleter";
    const simhost::Accounting a = host.accounting();
    EXPECT_EQ(a.pre_render_data_dropped, 1);
    EXPECT_NE(a.unbalanced().find("pre-render data: created 1, deleted 0"), std::string::npos)
        << a.unbalanced();
    delete g_frame_module.handed_over;  // what the host dropped is still the test's to free
}

TEST_F(SimhostFrames, AFailedCommandThatLeavesWhatItMadeIsAViolation)
{
    g_frame_module.fail_leaving_handle = true;
    Host host{&frame_module_entry};
    PF_Err rendered = PF_Err_NONE;
    ASSERT_EQ(frame(host, PF_LRect{100, 50, 120, 60}, &rendered), PF_Err_NONE);
    EXPECT_EQ(rendered, 0x52);
    const simhost::Accounting a = host.accounting();
    ASSERT_FALSE(a.violations.empty());
    EXPECT_NE(a.violations[0].find("failed PF_Cmd_SMART_RENDER left a handle of 24 bytes"),
              std::string::npos)
        << a.violations[0];
}

// ------------------------------------------------------------------ the session with the real module

class SimhostSession : public ModuleTest {
protected:
    SimhostSession() : ModuleTest(config()) {}
    static simhost::HostConfig config()
    {
        simhost::HostConfig c;
        c.layer_width = 200;
        c.layer_height = 100;
        return c;
    }
    PF_ParamDef checkout(int index)
    {
        PF_InData in = session.host().make_in_data();
        PF_ParamDef def{};
        EXPECT_EQ(in.inter.checkout_param(in.effect_ref, index, 0, 1, 30, &def), PF_Err_NONE);
        EXPECT_EQ(in.inter.checkin_param(in.effect_ref, &def), PF_Err_NONE);
        return def;
    }
};

TEST_F(SimhostSession, OutOfRangeValuesAreRefusedNamingTheControlAndItsRange)
{
    ready();
    simhost::Status st = session.set_float(6, 60000.0);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("\"Length\""), std::string::npos) << st.message;
    EXPECT_NE(st.message.find("0 to 50000"), std::string::npos) << st.message;
    st = session.set_float(13, 0.001);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("\"Power\""), std::string::npos) << st.message;
    st = session.set_popup(12, 4);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("\"Shape\""), std::string::npos) << st.message;
    EXPECT_NE(st.message.find("Radial"), std::string::npos) << st.message;
    st = session.set_percent(10, 100.5);
    EXPECT_FALSE(st);
    EXPECT_NE(st.message.find("\"Start Alpha\""), std::string::npos) << st.message;
    EXPECT_FALSE(session.set_popup(6, 1)) << "Length is not a popup";
    EXPECT_FALSE(session.set_float(14, 1.0)) << "there is no parameter 14";
    EXPECT_TRUE(session.set_float(6, 50000.0));
    EXPECT_TRUE(session.set_float(13, 0.01));
    EXPECT_TRUE(session.set_percent(11, 0.0));
    EXPECT_TRUE(session.set_angle(7, -450.0));
}

TEST_F(SimhostSession, ValuesAreCheckedOutInHostUnits)
{
    ready();
    ASSERT_TRUE(session.set_float(6, 123.25));
    ASSERT_TRUE(session.set_angle(7, -90.5));
    ASSERT_TRUE(session.set_percent(10, 37.5));
    ASSERT_TRUE(session.set_popup(12, 2));
    ASSERT_TRUE(session.set_color(9, PF_Pixel{1, 2, 3, 4}));
    EXPECT_EQ(checkout(6).u.fs_d.value, 123.25);
    EXPECT_EQ(checkout(7).u.ad.value, -(90 * 65536 + 32768));
    EXPECT_EQ(checkout(10).u.fd.value, 37 * 65536 + 32768);
    EXPECT_EQ(checkout(12).u.pd.value, 2);
    EXPECT_EQ(checkout(9).u.cd.value.blue, 4);
    EXPECT_EQ(checkout(9).uu.id, 9);
}

TEST_F(SimhostSession, PointDefaultsBecomeLayerPixelsScaledByDownsampleAtCheckout)
{
    ready();
    PF_ParamDef start = checkout(3);
    EXPECT_EQ(start.u.td.x_value, 0);
    EXPECT_EQ(start.u.td.y_value, 50 * 65536);  // 50 % of 100 rows
    PF_ParamDef center = checkout(5);
    EXPECT_EQ(center.u.td.x_value, 100 * 65536);  // 50 % of 200 columns
    EXPECT_EQ(center.u.td.x_dephault, 0x00320000) << "the declared default stays as declared";
    session.host().config().downsample_x = PF_RationalScale{1, 2};
    session.host().config().downsample_y = PF_RationalScale{1, 4};
    center = checkout(5);
    EXPECT_EQ(center.u.td.x_value, 50 * 65536);
    EXPECT_EQ(center.u.td.y_value, 12 * 65536 + 32768);
    ASSERT_TRUE(session.set_point(4, 10.25, -3.5));
    PF_ParamDef end = checkout(4);
    EXPECT_EQ(end.u.td.x_value, 5 * 65536 + 8192);
    EXPECT_EQ(end.u.td.y_value, -57344);  // -0.875 in 16.16
}

// The usage example at the top of simhost/session.h, as written there.
TEST(SimhostUsage, TheHeadersExampleRuns)
{
    const std::string path = kModulePath;
    std::ostringstream cerr_text;
    std::ostream& cerr = cerr_text;
    simhost::HostConfig config;
    config.layer_width = 320;
    config.layer_height = 200;
    simhost::Session s(config);
    if (simhost::Status st = s.load(path); !st) {
        FAIL() << st.message;
    }
    PF_Err err = s.global_setup();
    if (err == PF_Err_NONE) err = s.params_setup();
    if (simhost::Status st = s.set_popup(s.find_param("Shape"), 3); !st) cerr << st.message;
    simhost::RenderOptions o;
    o.format = simhost::argb_format_for_depth(16);
    o.solid = {320, 200, {1.0, 0.5, 0.5, 0.5}};
    simhost::RenderResult r = s.render(o);
    if (r.err != PF_Err_NONE) cerr << simhost::error_name(r.err) << " " << r.return_msg;
    // Animated: keys at frames 1 and 48 of a 24 fps clock, then frame 12.
    s.set_frame_rate(24, 1);
    s.set_angle(s.find_param("Direction"), 0.0, s.frame_time(1));
    s.set_angle(s.find_param("Direction"), 360.0, s.frame_time(48));
    s.set_current_frame(12);
    r = s.render(o);
    EXPECT_EQ(r.err, PF_Err_NONE);
    s.global_setdown();
    if (!s.accounting().balanced()) cerr << s.accounting().unbalanced();
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.output.width(), 320);
    EXPECT_EQ(r.output.format(), PF_PixelFormat_ARGB64);
    EXPECT_EQ(cerr_text.str(), "");
}

TEST_F(SimhostSession, ASecondParamsSetupReplacesTheFirst)
{
    ready();
    ASSERT_EQ(session.params_setup(), PF_Err_NONE);
    EXPECT_EQ(session.params().size(), 13u);
    EXPECT_EQ(session.host().param_records().size(), 14u);
}

TEST_F(SimhostSession, UncheckedInParameterIsReported)
{
    ready();
    PF_InData in = session.host().make_in_data();
    PF_ParamDef def{};
    ASSERT_EQ(in.inter.checkout_param(in.effect_ref, 2, 0, 1, 30, &def), PF_Err_NONE);
    simhost::Accounting a = session.accounting();
    EXPECT_FALSE(a.balanced());
    EXPECT_NE(a.unbalanced().find("parameters still checked out: 2"), std::string::npos)
        << a.unbalanced();
    ASSERT_EQ(in.inter.checkin_param(in.effect_ref, &def), PF_Err_NONE);
}

}  // namespace
}  // namespace velkor_test
