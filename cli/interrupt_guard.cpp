#include "cli/interrupt_guard.h"

#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

namespace velkorramp {

namespace {

// What the handler may touch: plain memory and lock-free flags. A slot's path
// is written before its flag is set (release) and read after the flag is seen
// (acquire), so a handler running on any thread sees a whole path or none.
// Slots are taken in turn around the table, so a slot just given up is not
// written again while a handler that saw it armed may still be reading it.
constexpr std::size_t kSlots = 64;
constexpr int kFree = 0;
constexpr int kTaken = 1;
constexpr int kArmed = 2;
struct Slot {
    std::atomic<int> state{kFree};
    char path[4096];
};
std::array<Slot, kSlots> g_slots;
std::atomic<std::size_t> g_next_slot{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the flags");

// The handlers, installed while at least one guard is armed.
struct Installed {
    int signal_number;
    struct sigaction previous;
};
std::mutex g_install_mutex;
int g_handler_users = 0;  // guards armed and lines open
std::vector<Installed> g_installed;

// Files being created whose names are not yet in a slot.
std::atomic<int> g_arming{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the count");

// The line an interrupt ends, and whether it is drawn without its end.
std::atomic<int> g_line_fd{-1};
std::atomic<bool> g_line_drawn{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the handler reads the flag");

void write_text(int fd, const char* text) { (void)!::write(fd, text, std::strlen(text)); }

// Async-signal-safe only: nanosleep, unlink, write, strlen, sigaction,
// pthread_sigmask, raise, _exit.
extern "C" void remove_files_and_die(int signal_number)
{
    const int saved_errno = errno;
    // stderr itself may be caught for the image library's messages; the line's
    // descriptor is a copy of the real one.
    const int line = g_line_fd.load(std::memory_order_acquire);
    if (line >= 0 && g_line_drawn.load(std::memory_order_acquire)) write_text(line, "\n");
    const int report = line >= 0 ? line : STDERR_FILENO;
    // A file created on another thread (which holds the signals back) has its
    // name published within microseconds; wait for it, but never long.
    for (int waits = 0; waits < 200 && g_arming.load(std::memory_order_acquire) > 0; ++waits) {
        const struct timespec pause {
            0, 500'000
        };
        ::nanosleep(&pause, nullptr);
    }
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) != kArmed) continue;
        if (::unlink(slot.path) == 0 || errno == ENOENT) continue;
        write_text(report, "velkorramp: left behind, as it could not be removed: \"");
        write_text(report, slot.path);
        write_text(report, "\"\n");
    }
    errno = saved_errno;
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    ::sigaction(signal_number, &default_action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal_number);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal_number);
    // Unreachable for the signals guarded: their default action ends the process.
    ::_exit(128 + signal_number);
}

sigset_t guarded_set()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : InterruptGuard::guarded_signals()) sigaddset(&set, s);
    return set;
}

// Every armed guard and open line counts; the first installs the handlers and
// the last gives the previous actions back.
void count_handler_user()
{
    const std::lock_guard<std::mutex> lock(g_install_mutex);
    if (g_handler_users++ > 0) return;
    struct sigaction handler {};
    handler.sa_handler = remove_files_and_die;
    handler.sa_mask = guarded_set();
    for (const int s : InterruptGuard::guarded_signals()) {
        struct sigaction current {};
        if (::sigaction(s, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        if (::sigaction(s, &handler, nullptr) == 0) g_installed.push_back(Installed{s, current});
    }
}

void uncount_handler_user()
{
    const std::lock_guard<std::mutex> lock(g_install_mutex);
    if (--g_handler_users > 0) return;
    for (const Installed& i : g_installed) ::sigaction(i.signal_number, &i.previous, nullptr);
    g_installed.clear();
}

}  // namespace

std::vector<int> InterruptGuard::guarded_signals()
{
    std::vector<int> signals{SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE,   SIGALRM, SIGTERM, SIGUSR1,
                             SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO};
#if defined(SIGPWR)
    signals.push_back(SIGPWR);
#endif
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) signals.push_back(s);
    return signals;
}

// The creating thread holds the signals back; other threads may take them, and
// their handler waits for the name (g_arming).
InterruptGuard::Hold::Hold()
{
    const sigset_t set = guarded_set();
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

InterruptGuard::Hold::~Hold() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

InterruptGuard::~InterruptGuard()
{
    if (armed_) forget();
    restore();
}

void InterruptGuard::publish(const std::filesystem::path& file)
{
    const std::string text = file.string();
    // A name too long for a slot cannot be removed by the handler; such a path
    // is longer than any the system opens, so it never gets here.
    if (text.size() >= sizeof(Slot::path)) return;
    for (std::size_t tries = 0; tries < kSlots && slot_ < 0; ++tries) {
        const std::size_t i = g_next_slot.fetch_add(1) % kSlots;
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kTaken)) slot_ = static_cast<int>(i);
    }
    // More files at once than slots: this one goes unguarded rather than not written.
    if (slot_ < 0) return;
    Slot& slot = g_slots[static_cast<std::size_t>(slot_)];
    std::memcpy(slot.path, text.c_str(), text.size() + 1);
    slot.state.store(kArmed, std::memory_order_release);
    armed_ = true;
}

InterruptGuard::Arming::Arming() { g_arming.fetch_add(1, std::memory_order_acq_rel); }

InterruptGuard::Arming::~Arming() { g_arming.fetch_sub(1, std::memory_order_acq_rel); }

// Installs the handlers if this is the first guard; every guard counts until
// restore(), whether or not its file was created.
void InterruptGuard::install()
{
    if (counted_) return;
    counted_ = true;
    count_handler_user();
}

void InterruptGuard::forget()
{
    if (slot_ >= 0)
        g_slots[static_cast<std::size_t>(slot_)].state.store(kFree, std::memory_order_release);
    slot_ = -1;
    armed_ = false;
}

void InterruptGuard::restore()
{
    if (!counted_) return;
    counted_ = false;
    uncount_handler_user();
}

InterruptedLine::InterruptedLine(int fd)
{
    g_line_drawn.store(false, std::memory_order_release);
    g_line_fd.store(fd, std::memory_order_release);
    count_handler_user();
}

InterruptedLine::~InterruptedLine()
{
    uncount_handler_user();
    g_line_fd.store(-1, std::memory_order_release);
    g_line_drawn.store(false, std::memory_order_release);
}

void InterruptedLine::drawn(bool drawn) { g_line_drawn.store(drawn, std::memory_order_release); }

}  // namespace velkorramp
