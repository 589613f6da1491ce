// The host's `iterate_generic`: runs the module's band function for every
// iteration on a pool of render threads and logs each call, with the thread and
// result of every iteration (and, when tracing, the output rows it changed).
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "host/host_interface.h"
#include "simhost/command_log.h"
#include "simhost/world.h"

namespace simhost {

class ThreadPool;

struct IterationRecord {
    int i = 0;
    int thread_index = 0;
    std::thread::id thread;
    PF_Err result = 0;
    std::vector<int> rows;  // rows of the output it changed (trace_bands only)
    std::chrono::steady_clock::time_point started;   // when the band function was called
    std::chrono::steady_clock::time_point finished;  // and when it returned
};

struct IterateCall {
    int iterations = 0;
    PF_Err result = 0;
    std::vector<IterationRecord> records;  // by i
    // The call's time outside the module's band functions: waking the render
    // threads before the first band starts and learning that the last ended.
    double dispatch_seconds = 0.0;
};

using IterationFunc = PF_Err (*)(void*, A_long, A_long, A_long);

class BandIteration {
public:
    explicit BandIteration(CommandRecorder& recorder);
    ~BandIteration();
    BandIteration(const BandIteration&) = delete;
    BandIteration& operator=(const BandIteration&) = delete;

    // Runs fn(refcon, thread_index, i, iterations) for every i on `threads`
    // threads. With `traced` (the frame's output), the iterations run one at a
    // time and each records the rows of `traced` it changed.
    PF_Err run(A_long iterations, void* refcon, IterationFunc fn, int threads, World* traced);

    const std::vector<IterateCall>& calls() const { return calls_; }
    void clear_logs();

private:
    CommandRecorder& recorder_;
    std::unique_ptr<ThreadPool> pool_;
    std::mutex mutex_;
    std::vector<IterateCall> calls_;
};

}  // namespace simhost
