// The host's record of the module's calls: one CommandLog per command sent (or
// per call of the pre-render data deleter), which thread runs which command,
// how many commands were in flight at once, and every protocol violation the
// host noticed. The other parts of the host report into it; it calls nothing
// else.
//
// Several commands may run at once, each on its own thread (frames rendered
// side by side). A callback is attributed to the command its thread is running,
// so the recorder keeps the open commands per thread, never one "current" one.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "simhost/accounting.h"

namespace simhost {

class CommandRecorder {
public:
    // Marks one module call on the calling thread for as long as it lives:
    // suites and events are logged under it, and host callbacks are expected on
    // this thread while it is open.
    class Scope {
    public:
        Scope(CommandRecorder& recorder, std::string label, PF_Cmd cmd);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
        void set_result(PF_Err err);
        int index() const { return index_; }

    private:
        friend class CommandRecorder;
        CommandRecorder& recorder_;
        const Scope* outer_on_thread_ = nullptr;
        PF_Cmd cmd_ = -1;
        int index_ = -1;
    };

    CommandRecorder();

    void violation(std::string text);
    // A violation unless the calling thread is running one of this host's
    // commands, or is the thread that made the host (a test playing the host
    // between commands).
    void check_thread(const char* what);
    // Adds a line to the events of the calling thread's command.
    void event(std::string text);
    // The index of the command the calling thread runs, or -1.
    int current_index() const;
    // Runs `fn` on the log of the calling thread's command (one labelled
    // "outside any command" is opened when it runs none).
    template <class Fn>
    void with_current(Fn&& fn)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fn(current_locked());
    }

    std::vector<CommandLog> commands() const;
    std::vector<std::string> violations() const;
    // The most commands open at one time, and whether a smart pre-render was
    // ever open while a smart render of another frame was.
    int peak_in_flight() const;
    int peak_smart_renders_in_flight() const;
    bool pre_render_beside_render() const;

private:
    const Scope* innermost_on_this_thread() const;
    CommandLog& current_locked();

    mutable std::mutex mutex_;
    std::thread::id host_thread_;
    std::vector<CommandLog> commands_;
    int outside_ = -1;  // the log of calls made outside any command
    std::vector<std::string> violations_;
    std::map<PF_Cmd, int> open_;  // commands open now, by selector
    int open_total_ = 0;
    int peak_total_ = 0;
    int peak_smart_renders_ = 0;
    bool pre_render_beside_render_ = false;
};

}  // namespace simhost
