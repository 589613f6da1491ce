// The host's record of the module's calls: one CommandLog per command sent (or
// per call of the pre-render data deleter), the thread that runs the command,
// and every protocol violation the host noticed. The other parts of the host
// report into it; it calls nothing else.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simhost/accounting.h"

namespace simhost {

class CommandRecorder {
public:
    // Marks one module call for as long as it lives: suites are logged under it,
    // and host callbacks are expected on the thread that made it.
    class Scope {
    public:
        Scope(CommandRecorder& recorder, std::string label, PF_Cmd cmd);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        void set_result(PF_Err err);

    private:
        CommandRecorder& recorder_;
        int previous_ = -1;
        int index_ = -1;
    };

    CommandRecorder();

    void violation(std::string text);
    // A violation unless called on the thread running the current command.
    void check_thread(const char* what);
    // Runs `fn` on the log of the current command (one labelled "outside any
    // command" is opened when none runs).
    template <class Fn>
    void with_current(Fn&& fn)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fn(current_locked());
    }

    std::vector<CommandLog> commands() const;
    std::vector<std::string> violations() const;

private:
    CommandLog& current_locked();

    mutable std::mutex mutex_;
    std::thread::id command_thread_;
    std::vector<CommandLog> commands_;
    int current_ = -1;
    std::vector<std::string> violations_;
};

}  // namespace simhost
