// A file being written must not outlive an interrupted run.
//
// While a guard is armed, every catchable signal whose default action ends the
// process (SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGALRM, SIGTERM, SIGUSR1, SIGUSR2,
// SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, the real-time signals)
// removes the file, then ends the process by that same signal with its default
// action, so a shell or a supervisor still sees how the run died. A file that
// cannot be removed (its folder turned read-only) is named on stderr.
//
// Several guards may be armed at once, on any threads (a sequence's writers
// each write a file): the handler removes every armed file. The handlers are
// installed when the first guard is armed and the previous actions given back
// when the last is disarmed. Only signals whose action is the default at that
// moment get a handler: a signal the caller ignores stays ignored (nohup keeps
// a hang-up from ending the render), and a handler someone else installed stays
// theirs.
// Signals that report a fault in the process itself (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL, SIGABRT) are left to their default action or to the sanitizers.
#pragma once

#include <csignal>
#include <filesystem>
#include <vector>

namespace velkorramp {

class InterruptGuard {
public:
    // Creates the file with `create` (which returns its descriptor, or -1 with
    // errno set) while the guarded signals are held back, so no signal can land
    // between the file appearing and the guard knowing its name. Returns -1 (errno
    // kept) if `create` fails; the guard is then not armed.
    //
    // Other threads still take signals meanwhile: the handlers are installed
    // before the file is created, and a handler that runs while a file is being
    // created waits (a moment at most) for its name before it removes files.
    template <class Create>
    int arm(const std::filesystem::path& file, Create create)
    {
        const Hold hold;
        install();
        const Arming arming;
        const int fd = create();
        if (fd >= 0) publish(file);
        return fd;
    }

    // Runs `finish` (a rename into place or a removal) with the guarded signals
    // held back, then forgets the file and, if no other guard is armed, gives
    // every signal back its previous action. Any signal held back meanwhile is
    // delivered afterwards.
    template <class Finish>
    void disarm(Finish finish)
    {
        {
            const Hold hold;
            finish();
            forget();
        }
        restore();
    }

    InterruptGuard() = default;
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // The signals a guard handles when their action is the default.
    static std::vector<int> guarded_signals();

private:
    // Blocks the guarded signals in this thread for its lifetime.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        sigset_t previous_;
    };

    // Counts a file being created, from before it exists until its name is
    // published (or its creation failed).
    class Arming {
    public:
        Arming();
        ~Arming();
        Arming(const Arming&) = delete;
        Arming& operator=(const Arming&) = delete;
    };

    void install();
    void publish(const std::filesystem::path& file);
    void forget();
    void restore();

    int slot_ = -1;         // where the handler finds the file's name
    bool counted_ = false;  // this guard keeps the handlers installed
    bool armed_ = false;
};

// A line drawn in place on a terminal (progress.h), which an interrupt ends
// before the process dies, so that the shell's prompt starts on a line of its
// own. While one is open the handlers stay installed, with files armed or not,
// under the same rules as a guard's. One line is open at a time.
class InterruptedLine {
public:
    // `fd` is where the line is drawn; it stays open while this lives.
    explicit InterruptedLine(int fd);
    ~InterruptedLine();
    InterruptedLine(const InterruptedLine&) = delete;
    InterruptedLine& operator=(const InterruptedLine&) = delete;

    // Whether the screen shows the line without its end.
    void drawn(bool drawn);
};

}  // namespace velkorramp
