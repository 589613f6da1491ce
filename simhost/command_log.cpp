#include "simhost/command_log.h"

#include <utility>

namespace simhost {

CommandRecorder::Scope::Scope(CommandRecorder& recorder, std::string label, PF_Cmd cmd) : recorder_(recorder)
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    CommandLog log;
    log.label = std::move(label);
    log.cmd = cmd;
    recorder_.commands_.push_back(std::move(log));
    previous_ = recorder_.current_;
    recorder_.current_ = static_cast<int>(recorder_.commands_.size()) - 1;
    index_ = recorder_.current_;
    recorder_.command_thread_ = std::this_thread::get_id();
}

CommandRecorder::Scope::~Scope()
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    recorder_.current_ = previous_;
}

void CommandRecorder::Scope::set_result(PF_Err err)
{
    std::lock_guard<std::mutex> lock(recorder_.mutex_);
    recorder_.commands_[static_cast<std::size_t>(index_)].result = err;
}

CommandRecorder::CommandRecorder() : command_thread_(std::this_thread::get_id()) {}

void CommandRecorder::violation(std::string text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    violations_.push_back(std::move(text));
}

void CommandRecorder::check_thread(const char* what)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::this_thread::get_id() != command_thread_) {
        violations_.push_back(std::string(what) + " called from a thread other than the one running the command");
    }
}

CommandLog& CommandRecorder::current_locked()
{
    if (current_ < 0) {
        CommandLog log;
        log.label = "outside any command";
        commands_.push_back(std::move(log));
        current_ = static_cast<int>(commands_.size()) - 1;
    }
    return commands_[static_cast<std::size_t>(current_)];
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

}  // namespace simhost
