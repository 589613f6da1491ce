#include "cli/interrupt_guard.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace velkorramp {

namespace {

// What the handler may touch: plain memory and a lock-free flag. The path is
// written before the flag is set (release) and read after it is seen (acquire),
// so a handler running on any thread sees a whole path or none.
char g_path[4096];
std::atomic<int> g_armed{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler reads the flag");

// Async-signal-safe only: unlink, sigaction, pthread_sigmask, raise, _exit.
extern "C" void remove_file_and_die(int signal_number)
{
    if (g_armed.load(std::memory_order_acquire) != 0) ::unlink(g_path);
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

}  // namespace

std::vector<int> InterruptGuard::guarded_signals()
{
    std::vector<int> signals{SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGALRM,   SIGTERM, SIGUSR1,
                             SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO};
#if defined(SIGPWR)
    signals.push_back(SIGPWR);
#endif
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) signals.push_back(s);
    return signals;
}

// Other threads (the image library's own workers) still take signals while this
// one holds them back; a signal landing on one of them in the few instructions
// between creating the file and publishing its name leaves an empty hidden file.
// It never removes a file that is not ours.
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
    // A name too long for the buffer cannot be removed by the handler; such a
    // path is longer than any the system opens, so it never gets here.
    if (text.size() >= sizeof g_path) return;
    std::memcpy(g_path, text.c_str(), text.size() + 1);
    g_armed.store(1, std::memory_order_release);
    armed_ = true;

    struct sigaction handler {};
    handler.sa_handler = remove_file_and_die;
    handler.sa_mask = guarded_set();
    for (const int s : guarded_signals()) {
        struct sigaction current {};
        if (::sigaction(s, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        if (::sigaction(s, &handler, nullptr) == 0) installed_.push_back(Installed{s, current});
    }
}

void InterruptGuard::forget()
{
    g_armed.store(0, std::memory_order_release);
    armed_ = false;
}

void InterruptGuard::restore()
{
    for (const Installed& i : installed_) ::sigaction(i.signal_number, &i.previous, nullptr);
    installed_.clear();
}

}  // namespace velkorramp
