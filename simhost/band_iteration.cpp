#include "simhost/band_iteration.h"

#include <algorithm>

#include "simhost/thread_pool.h"

namespace simhost {

BandIteration::BandIteration(CommandRecorder& recorder) : recorder_(recorder) {}

BandIteration::~BandIteration() = default;

PF_Err BandIteration::run(A_long iterations, void* refcon, IterationFunc fn, int threads,
                          World* traced)
{
    IterateCall call;
    call.iterations = iterations;
    if (fn == nullptr || iterations < 0) {
        recorder_.violation("iterate_generic with a null function or a negative count");
        call.result = PF_Err_BAD_CALLBACK_PARAM;
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        return call.result;
    }
    const int pool_size = std::max(threads, 1);
    if (!pool_ || pool_->size() != pool_size) {
        pool_.reset();
        pool_ = std::make_unique<ThreadPool>(pool_size);
    }
    call.records.resize(static_cast<std::size_t>(iterations));
    const bool trace = traced != nullptr;
    const auto start = std::chrono::steady_clock::now();
    // No host lock is held while the bands run: each band writes only its own record.
    pool_->run(
        iterations,
        [&](int thread_index, int i) {
            IterationRecord& record = call.records[static_cast<std::size_t>(i)];
            record.i = i;
            record.thread_index = thread_index;
            record.thread = std::this_thread::get_id();
            if (trace) {
                const World before = *traced;
                record.started = std::chrono::steady_clock::now();
                record.result = fn(refcon, thread_index, i, iterations);
                record.finished = std::chrono::steady_clock::now();
                record.rows = traced->rows_differing_from(before);
            } else {
                record.started = std::chrono::steady_clock::now();
                record.result = fn(refcon, thread_index, i, iterations);
                record.finished = std::chrono::steady_clock::now();
            }
        },
        trace);
    const auto whole = std::chrono::steady_clock::now() - start;
    if (!call.records.empty()) {
        auto first = call.records.front().started;
        auto last = call.records.front().finished;
        for (const IterationRecord& record : call.records) {
            first = std::min(first, record.started);
            last = std::max(last, record.finished);
        }
        call.dispatch_seconds =
            std::max(std::chrono::duration<double>(whole - (last - first)).count(), 0.0);
    }
    for (const IterationRecord& record : call.records) {
        if (record.result != PF_Err_NONE) {
            call.result = record.result;
            break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    return call.result;
}

void BandIteration::clear_logs()
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
}

}  // namespace simhost
