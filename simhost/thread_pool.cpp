#include "simhost/thread_pool.h"

#include <algorithm>

namespace simhost {

ThreadPool::ThreadPool(int threads)
{
    const int count = std::max(threads, 1);
    workers_.reserve(static_cast<std::size_t>(count));
    for (int t = 0; t < count; ++t) {
        workers_.emplace_back([this, t] { work(t); });
    }
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void ThreadPool::run(int iterations, const std::function<void(int, int)>& job, bool one_at_a_time)
{
    if (iterations <= 0) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    job_ = &job;
    iterations_ = iterations;
    next_ = 0;
    finished_ = 0;
    one_at_a_time_ = one_at_a_time;
    running_one_ = false;
    ++generation_;
    wake_.notify_all();
    done_.wait(lock, [this] { return finished_ == iterations_; });
    job_ = nullptr;
}

void ThreadPool::work(int thread_index)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] {
            return stopping_ ||
                   (job_ != nullptr && next_ < iterations_ && !(one_at_a_time_ && running_one_));
        });
        if (stopping_) {
            return;
        }
        const int i = next_++;
        running_one_ = true;
        const std::function<void(int, int)>* job = job_;
        lock.unlock();
        (*job)(thread_index, i);
        lock.lock();
        running_one_ = false;
        ++finished_;
        if (finished_ == iterations_) {
            done_.notify_all();
        } else if (one_at_a_time_) {
            wake_.notify_all();
        }
    }
}

}  // namespace simhost
