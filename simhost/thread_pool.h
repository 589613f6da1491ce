// The host's render threads: a fixed set of std::thread workers that run the
// iterations of one `iterate_generic` call at once. Iteration i goes to whichever
// worker takes it next; the worker's number is the callback's thread index.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace simhost {

class ThreadPool {
public:
    explicit ThreadPool(int threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    int size() const { return static_cast<int>(workers_.size()); }

    // Runs job(thread_index, i) for every i in 0..iterations-1 on the workers and
    // returns when all have finished. With `one_at_a_time` the iterations still run
    // on the workers, but strictly one after another in order of i.
    void run(int iterations, const std::function<void(int thread_index, int i)>& job,
             bool one_at_a_time = false);

private:
    void work(int thread_index);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    const std::function<void(int, int)>* job_ = nullptr;
    std::uint64_t generation_ = 0;
    int iterations_ = 0;
    int next_ = 0;
    int finished_ = 0;
    bool one_at_a_time_ = false;
    bool running_one_ = false;
    bool stopping_ = false;
};

}  // namespace simhost
