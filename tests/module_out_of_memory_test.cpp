// The module out of memory: every allocation it makes on the command thread,
// failing in turn, gives PF_Err_OUT_OF_MEMORY through EntryPointFunc and leaves
// nothing behind. This program replaces the global allocation functions; the
// module's allocations bind to them (the program exports them), and the ones
// called from the module's own code fail on request.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "module_test_support.h"

// The replacements below pair malloc with free themselves; GCC, inlining them
// into the test framework's new and delete, takes the pair for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

std::atomic<const void*> g_module_base{nullptr};
std::atomic<std::thread::id> g_command_thread{};
std::atomic<int> g_fail_at{0};  // the nth module allocation from arming fails; 0: none
std::atomic<int> g_module_allocations{0};
std::atomic<bool> g_failed{false};

bool fail_this_allocation(void* caller)
{
    const void* base = g_module_base.load();
    if (base == nullptr || g_fail_at.load() == 0 ||
        std::this_thread::get_id() != g_command_thread.load()) {
        return false;
    }
    Dl_info info{};
    if (dladdr(caller, &info) == 0 || info.dli_fbase != base) {
        return false;
    }
    if (++g_module_allocations == g_fail_at.load()) {
        g_failed = true;
        return true;
    }
    return false;
}

void* allocate(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

}  // namespace

void* operator new(std::size_t size)
{
    if (fail_this_allocation(__builtin_return_address(0))) throw std::bad_alloc();
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size)
{
    if (fail_this_allocation(__builtin_return_address(0))) throw std::bad_alloc();
    void* p = allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return fail_this_allocation(__builtin_return_address(0)) ? nullptr : allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return fail_this_allocation(__builtin_return_address(0)) ? nullptr : allocate(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace velkor_test {
namespace {

class OutOfMemory : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        Dl_info info{};
        ASSERT_NE(dladdr(reinterpret_cast<void*>(session.host().entry()), &info), 0);
        g_module_base = info.dli_fbase;
        g_command_thread = std::this_thread::get_id();
    }
    void TearDown() override
    {
        disarm();
        ModuleTest::TearDown();
    }

    static void arm(int n)
    {
        g_module_allocations = 0;
        g_failed = false;
        g_fail_at = n;
    }
    // Whether the armed allocation happened (and failed).
    static bool disarm()
    {
        g_fail_at = 0;
        return g_failed.exchange(false);
    }

    void expect_nothing_left(const char* where, int n)
    {
        const simhost::Accounting a = session.accounting();
        EXPECT_TRUE(a.balanced()) << where << ", allocation " << n << " failing:\n"
                                  << a.unbalanced();
    }
};

constexpr int kEnough = 64;  // more allocations than any command makes

TEST_F(OutOfMemory, EveryAllocationOfSetupAndUiUpdateFailsWithOutOfMemory)
{
    for (int n = 1; n <= kEnough; ++n) {
        arm(n);
        const PF_Err err = session.global_setup();
        if (!disarm()) {
            ASSERT_EQ(err, PF_Err_NONE);
            break;
        }
        EXPECT_EQ(err, PF_Err_OUT_OF_MEMORY) << "global setup, allocation " << n;
        EXPECT_EQ(session.host().global_data(), nullptr);
        expect_nothing_left("global setup", n);
    }
    for (const PF_Cmd cmd : {PF_Cmd_PARAMS_SETUP, PF_Cmd_UPDATE_PARAMS_UI}) {
        for (int n = 1; n <= kEnough; ++n) {
            arm(n);
            const PF_Err err =
                cmd == PF_Cmd_PARAMS_SETUP ? session.params_setup() : session.update_params_ui();
            if (!disarm()) {
                ASSERT_EQ(err, PF_Err_NONE);
                break;
            }
            EXPECT_EQ(err, PF_Err_OUT_OF_MEMORY)
                << simhost::command_name(cmd) << ", allocation " << n;
            expect_nothing_left(simhost::command_name(cmd).c_str(), n);
        }
    }
}

TEST_F(OutOfMemory, EveryAllocationOfAFrameFailsWithOutOfMemoryAndDrawsNothing)
{
    ready();
    int failed_in_smart_render = 0;
    for (const PF_PixelFormat format : kAllFormats) {
        simhost::RenderOptions o;
        o.format = format;
        o.solid = {16, 9, {}};
        o.output_fill = 0xEE;
        o.threads = 2;
        for (int n = 1; n <= kEnough; ++n) {
            arm(n);
            const simhost::RenderResult r = session.render(o);
            if (!disarm()) {
                ASSERT_EQ(r.err, PF_Err_NONE);
                break;
            }
            SCOPED_TRACE(simhost::pixel_format_name(format) + ", allocation " + std::to_string(n));
            EXPECT_EQ(r.err, PF_Err_OUT_OF_MEMORY);
            EXPECT_TRUE(all_bytes(r.output, 0xEE));
            failed_in_smart_render += r.pre_render_err == PF_Err_NONE ? 1 : 0;
            expect_nothing_left("a frame", n);
        }
    }
    // Smart render allocates, so its failures came through the entry point's
    // handler for std::bad_alloc.
    EXPECT_GT(failed_in_smart_render, 0);
}

}  // namespace
}  // namespace velkor_test
