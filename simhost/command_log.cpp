#include "simhost/command_log.h"

#include <algorithm>
#include <utility>

namespace simhost {

namespace {

// The innermost command open on this thread, of whichever host; each Scope
// links to the one it interrupted.
thread_local const CommandRecorder::Scope* t_innermost = nullptr;

}  // namespace

CommandRecorder::Scope::Scope(CommandRecorder& recorder, std::string label, PF_Cmd cmd)
    : recorder_(recorder), cmd_(cmd)
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    CommandLog log;
    log.label = std::move(label);
    log.cmd = cmd;
    recorder_.commands_.push_back(std::move(log));
    index_ = static_cast<int>(recorder_.commands_.size()) - 1;
    outer_on_thread_ = t_innermost;
    t_innermost = this;

    ++recorder_.open_[cmd];
    ++recorder_.open_total_;
    recorder_.peak_total_ = std::max(recorder_.peak_total_, recorder_.open_total_);
    recorder_.peak_smart_renders_ =
        std::max(recorder_.peak_smart_renders_, recorder_.open_[PF_Cmd_SMART_RENDER]);
    if (recorder_.open_[PF_Cmd_SMART_PRE_RENDER] > 0 && recorder_.open_[PF_Cmd_SMART_RENDER] > 0) {
        recorder_.pre_render_beside_render_ = true;
    }
}

CommandRecorder::Scope::~Scope()
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    t_innermost = outer_on_thread_;
    --recorder_.open_[cmd_];
    --recorder_.open_total_;
}

void CommandRecorder::Scope::set_result(PF_Err err)
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    recorder_.commands_[static_cast<std::size_t>(index_)].result = err;
}

CommandRecorder::CommandRecorder() : host_thread_(std::this_thread::get_id()) {}

const CommandRecorder::Scope* CommandRecorder::innermost_on_this_thread() const
{
    for (const Scope* s = t_innermost; s != nullptr; s = s->outer_on_thread_) {
        if (&s->recorder_ == this) {
            return s;
        }
    }
    return nullptr;
}

void CommandRecorder::violation(std::string text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    violations_.push_back(std::move(text));
}

void CommandRecorder::check_thread(const char* what)
{
    if (innermost_on_this_thread() != nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::this_thread::get_id() != host_thread_ || open_total_ > 0) {
        violations_.push_back(std::string(what) +
                              " called from a thread other than the one running the command");
    }
}

void CommandRecorder::event(std::string text)
{
    with_current([&](CommandLog& log) { log.events.push_back(std::move(text)); });
}

int CommandRecorder::current_index() const
{
    const Scope* s = innermost_on_this_thread();
    return s != nullptr ? s->index_ : -1;
}

CommandLog& CommandRecorder::current_locked()
{
    if (const Scope* s = innermost_on_this_thread()) {
        return commands_[static_cast<std::size_t>(s->index_)];
    }
    if (outside_ < 0) {
        CommandLog log;
        log.label = "outside any command";
        commands_.push_back(std::move(log));
        outside_ = static_cast<int>(commands_.size()) - 1;
    }
    return commands_[static_cast<std::size_t>(outside_)];
}

std::vector<CommandLog> CommandRecorder::commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<std::string> CommandRecorder::violations() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return violations_;
}

int CommandRecorder::peak_in_flight() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return peak_total_;
}

int CommandRecorder::peak_smart_renders_in_flight() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return peak_smart_renders_;
}

bool CommandRecorder::pre_render_beside_render() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pre_render_beside_render_;
}

}  // namespace simhost
