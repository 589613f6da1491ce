// Where a frame's time goes: the kernels alone, the straightforward reference
// path, the full smart-render path through the simulated host, and the
// physical floor (copying and filling the same frame), all in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "bench/frames.h"
#include "ofxhost/ofx_host.h"
#include "params/param_table.h"
#include "ramp/ramp_evaluator.h"
#include "ramp/ramp_kernels.h"
#include "ramp/ramp_renderer.h"
#include "simhost/session.h"
#include "simhost/thread_pool.h"

namespace velkor::bench {
namespace {

A_FpLong host_pow(A_FpLong x, A_FpLong y) { return std::pow(x, y); }

struct HostCallbacks {
    PF_UtilCallbacks utils{};
    PF_InData in_data{};
    HostCallbacks()
    {
        utils.ansi.pow = host_pow;
        in_data.utils = &utils;
    }
};

constexpr FrameSize kSizes[] = {{1920, 1080}, {3840, 2160}};
constexpr DepthClass kDepths[] = {DepthClass::eight, DepthClass::sixteen, DepthClass::floating};
constexpr A_long kShapes[] = {kShapeLinear, kShapeLinear2, kShapeRadial};
constexpr A_long kTypes[] = {kTypeColor, kTypeAlpha, kTypeColorAndAlpha};

void set_frame_counters(benchmark::State& state, FrameSize size)
{
    const double pixels = static_cast<double>(size.width) * size.height;
    state.counters["pixels_per_second"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

// Which kernels a case runs: the fast ones with the processor's widest loops
// (what the module uses), the fast ones with the baseline loops, or the
// straightforward reference path.
enum class Kernels {
    widest,
    baseline,
    reference
};

void kernel_case(benchmark::State& state, DepthClass depth, FrameSize size, Placement placement,
                 A_long shape, A_long type, double power, Kernels kernels)
{
    HostCallbacks host;
    BenchWorld input(depth, size);
    BenchWorld output(depth, size);
    const RampRenderer renderer(
        RenderRecord{&host.in_data, bench_settings(size, placement, shape, type, power)});
    const PF_Rect frame{0, 0, size.width, size.height};
    for (auto _ : state) {
        switch (kernels) {
        case Kernels::widest:
            renderer.render_area(input.view(), output.view(), frame);
            break;
        case Kernels::baseline:
            render_ramp(renderer.evaluator(), input.view(), output.view(), frame,
                        KernelPath::baseline);
            break;
        case Kernels::reference:
            render_ramp_reference(renderer.evaluator(), input.view(), output.view(), frame);
            break;
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    set_frame_counters(state, size);
}

// The copy floor of a frame on as many threads as a host path's render
// threads: each copies its share of the rows, handed out by the host's own
// thread pool as the host hands out the bands. On one thread, a plain memcpy
// on the calling thread.
class CopyFloor {
public:
    CopyFloor(DepthClass depth, FrameSize size, int threads)
        : input_(depth, size), output_(depth, size), threads_(threads), pool_(threads)
    {
    }

    void frame()
    {
        if (threads_ == 1) {
            copy_share(0);
        } else {
            pool_.run(threads_, [this](int, int i) { copy_share(i); });
        }
        benchmark::DoNotOptimize(output_.data());
        benchmark::ClobberMemory();
    }

private:
    void copy_share(int i)
    {
        const std::size_t rows = input_.world()->height;
        const std::size_t row_bytes = input_.bytes() / std::max<std::size_t>(rows, 1);
        const std::size_t top = rows * i / threads_;
        const std::size_t bottom = rows * (i + 1) / threads_;
        std::memcpy(output_.data() + top * row_bytes, input_.data() + top * row_bytes,
                    (bottom - top) * row_bytes);
    }

    BenchWorld input_;
    BenchWorld output_;
    int threads_;
    simhost::ThreadPool pool_;
};

void copy_floor(benchmark::State& state, DepthClass depth, FrameSize size, int threads)
{
    CopyFloor copy(depth, size, threads);
    for (auto _ : state) copy.frame();
    set_frame_counters(state, size);
}

void fill_floor(benchmark::State& state, DepthClass depth, FrameSize size)
{
    BenchWorld output(depth, size);
    for (auto _ : state) {
        std::memset(output.data(), 0x7F, output.bytes());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    set_frame_counters(state, size);
}

// One host pow call per pixel of a frame and nothing else: the bare cost a
// shaped ramp whose t changes at every pixel cannot avoid.
void pow_rows(FrameSize size, A_long top, A_long bottom)
{
    A_FpLong (*volatile call)(A_FpLong, A_FpLong) = host_pow;
    A_FpLong (*const fn)(A_FpLong, A_FpLong) = call;
    const double step = 1.0 / (static_cast<double>(size.width) * size.height);
    double sink = 0.0;
    double t = step * size.width * top;
    for (A_long y = top; y < bottom; ++y) {
        for (A_long x = 0; x < size.width; ++x) {
            sink += fn(t, 2.2);
            t += step;
        }
    }
    benchmark::DoNotOptimize(sink);
}

void pow_frame(FrameSize size) { pow_rows(size, 0, size.height); }

void pow_floor(benchmark::State& state, FrameSize size)
{
    for (auto _ : state) pow_frame(size);
    set_frame_counters(state, size);
}

// Runs a and b in the order that alternates from call to call (`a_first`
// flips), so that neither always finds the caches and the machine's load as
// the other left them.
template <class A, class B>
void in_turn(bool& a_first, A&& a, B&& b)
{
    if (a_first) {
        a();
        b();
    } else {
        b();
        a();
    }
    a_first = !a_first;
}

// The shaped kernel (Power 2.2 from corner to corner, "Color") against the pow
// floor, a frame of each in turn, so that the load of a shared machine falls on
// both alike; `x_pow_floor` is the ratio of their summed times. The iteration
// time is the kernel's.
void pow_ratio_case(benchmark::State& state, DepthClass depth, FrameSize size)
{
    using Clock = std::chrono::steady_clock;
    HostCallbacks host;
    BenchWorld input(depth, size);
    BenchWorld output(depth, size);
    const RampRenderer renderer(
        RenderRecord{&host.in_data,
                     bench_settings(size, Placement::diagonal, kShapeLinear, kTypeColor, 2.2)});
    const PF_Rect frame{0, 0, size.width, size.height};
    Clock::duration pow_time{};
    Clock::duration kernel_time{};
    bool kernel_first = false;
    for (auto _ : state) {
        const auto kernel = [&] {
            const auto start = Clock::now();
            renderer.render_area(input.view(), output.view(), frame);
            benchmark::DoNotOptimize(output.data());
            benchmark::ClobberMemory();
            const auto spent = Clock::now() - start;
            kernel_time += spent;
            return spent;
        };
        const auto floor = [&] {
            const auto start = Clock::now();
            pow_frame(size);
            pow_time += Clock::now() - start;
        };
        Clock::duration spent{};
        in_turn(
            kernel_first, [&] { spent = kernel(); }, floor);
        state.SetIterationTime(std::chrono::duration<double>(spent).count());
    }
    state.counters["x_pow_floor"] = std::chrono::duration<double>(kernel_time).count() /
                                    std::chrono::duration<double>(pow_time).count();
    set_frame_counters(state, size);
}

// A ramp through the whole host path: pre-render, smart render with its
// checkouts and band iteration, and the pre-render data's deletion. The default
// ramp is bound by memory; the shaped one (Power 2.2 from corner to corner) by
// the host's pow, so it shows how the bands scale with threads.
class HostRender {
public:
    HostRender(PF_PixelFormat format, FrameSize size, int threads, bool shaped)
        : format_(format),
          size_(size),
          session_(config_for(size, threads)),
          input_(simhost::WorldSpec{size.width, size.height, format}),
          output_(simhost::WorldSpec{size.width, size.height, format})
    {
        input_.fill(simhost::ColorF{1.0, 0.25, 0.25, 0.25});
        if (!session_.load(VELKOR_MODULE_PATH) || session_.global_setup() != PF_Err_NONE ||
            session_.params_setup() != PF_Err_NONE) {
            error_ = "the module did not load and set up";
            return;
        }
        set_up_ = true;
        if (shaped &&
            !(session_.set_float(session_.find_param("Power"), 2.2) &&
              session_.set_point(session_.find_param("Start of Ramp"), 0.0, 0.0) &&
              session_.set_point(session_.find_param("End of Ramp"), size.width, size.height))) {
            error_ = "the shaped ramp's values were refused";
        }
    }
    ~HostRender()
    {
        if (set_up_) session_.global_setdown();
    }
    HostRender(const HostRender&) = delete;
    HostRender& operator=(const HostRender&) = delete;

    // Null when every frame can be rendered.
    const char* error() const { return error_; }

    // Render threads for the frames to come.
    void set_threads(int threads) { session_.host().config().threads = threads; }

    // The time spent in the module's commands so far.
    double seconds_in_module() const { return session_.host().seconds_in_module(); }

    PF_Err frame()
    {
        simhost::Host& host = session_.host();
        host.begin_frame(&input_, &output_, format_);
        PF_PreRenderInput pre_in{};
        pre_in.output_request.rect = {0, 0, size_.width, size_.height};
        pre_in.output_request.channel_mask = simhost::kChannelMaskARGB;
        PF_PreRenderOutput pre_out{};
        PF_OutData out_data{};
        PF_Err err = host.smart_pre_render(pre_in, pre_out, out_data);
        PF_SmartRenderInput render_in{};
        render_in.output_request = pre_in.output_request;
        if (err == PF_Err_NONE) err = host.smart_render(render_in, out_data);
        host.end_frame();
        return err;
    }

private:
    static simhost::HostConfig config_for(FrameSize size, int threads)
    {
        simhost::HostConfig config;
        config.threads = threads;
        config.layer_width = size.width;
        config.layer_height = size.height;
        return config;
    }

    PF_PixelFormat format_;
    FrameSize size_;
    mutable simhost::Session session_;
    simhost::World input_;
    simhost::World output_;
    bool set_up_ = false;
    const char* error_ = nullptr;
};

// Frames through the host path, each split into the module's part (the time
// in its commands, less the band iteration's dispatch; the other host
// callbacks it makes are counted in) and the host's (the dispatch and
// everything around the commands): `module_ms` and `host_ms` per frame. The host's first frame is left out of both and shown on its own as
// `first_frame_ms`: it makes the output buffer the host keeps for the frames
// after it (allocation, guard bytes, zeroing, the pages' first touch), which a
// real host takes from buffers it already holds.
void smart_render_case(benchmark::State& state, PF_PixelFormat format, FrameSize size, int threads,
                       bool shaped)
{
    using Clock = std::chrono::steady_clock;
    HostRender render(format, size, threads, shaped);
    if (render.error() != nullptr) {
        state.SkipWithError(render.error());
        return;
    }
    const auto first_start = Clock::now();
    if (render.frame() != PF_Err_NONE) {
        state.SkipWithError("the first frame failed");
        return;
    }
    const double first_frame = std::chrono::duration<double>(Clock::now() - first_start).count();
    const double module_before = render.seconds_in_module();
    Clock::duration frames{};
    for (auto _ : state) {
        const auto start = Clock::now();
        const PF_Err err = render.frame();
        frames += Clock::now() - start;
        if (err != PF_Err_NONE) {
            state.SkipWithError("the render failed");
            break;
        }
    }
    const double count =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    const double module_ms = (render.seconds_in_module() - module_before) * 1e3 / count;
    state.counters["module_ms"] = module_ms;
    state.counters["host_ms"] =
        std::chrono::duration<double>(frames).count() * 1e3 / count - module_ms;
    state.counters["first_frame_ms"] = first_frame * 1e3;
    set_frame_counters(state, size);
}

// The shaped ramp through the host path on 1 and on 2 render threads, a frame
// of each in turn, so that the load of a shared machine falls on both alike;
// `x_one_thread` is how many times faster the two threads were in all. The
// iteration time is the 2-thread frame's. (The host starts its workers anew
// when the thread count changes: well under a millisecond, about a thousandth
// of a frame.) Beside it, the same for the bare pow calls of a frame split in
// two halves on two threads: `machine_x_one_thread` is what this machine gives
// a second thread at that moment, the ceiling for the ramp's own figure.
void thread_scaling_case(benchmark::State& state, PF_PixelFormat format, FrameSize size)
{
    using Clock = std::chrono::steady_clock;
    HostRender render(format, size, 1, true);
    if (render.error() != nullptr) {
        state.SkipWithError(render.error());
        return;
    }
    Clock::duration one_thread{};
    Clock::duration two_threads{};
    Clock::duration pow_one_thread{};
    Clock::duration pow_two_threads{};
    for (auto _ : state) {
        auto start = Clock::now();
        pow_frame(size);
        pow_one_thread += Clock::now() - start;
        start = Clock::now();
        {
            std::thread other([size] { pow_rows(size, 0, size.height / 2); });
            pow_rows(size, size.height / 2, size.height);
            other.join();
        }
        pow_two_threads += Clock::now() - start;

        render.set_threads(1);
        start = Clock::now();
        PF_Err err = render.frame();
        one_thread += Clock::now() - start;
        render.set_threads(2);
        start = Clock::now();
        if (err == PF_Err_NONE) err = render.frame();
        const auto spent = Clock::now() - start;
        two_threads += spent;
        if (err != PF_Err_NONE) {
            state.SkipWithError("the render failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(spent).count());
    }
    state.counters["x_one_thread"] = std::chrono::duration<double>(one_thread).count() /
                                     std::chrono::duration<double>(two_threads).count();
    state.counters["machine_x_one_thread"] = std::chrono::duration<double>(pow_one_thread).count() /
                                             std::chrono::duration<double>(pow_two_threads).count();
    set_frame_counters(state, size);
}

// The same frame through the OpenFX plug-in in the OpenFX test host: the
// filter context over a source of HostRender's input colour, with HostRender's
// settings (the points measured from the bottom), rendered in place.
class OfxRender {
public:
    OfxRender(FrameSize size, int threads, bool shaped)
        : source_(ofxhost::Frame::blank(kOfxBitDepthFloat, {0, 0, size.width, size.height}))
    {
        for (int y = 0; y < size.height; ++y) {
            auto* row = reinterpret_cast<float*>(source_.pixel(0, y));
            for (int x = 0; x < size.width; ++x) {
                row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0.25f;
                row[4 * x + 3] = 1.0f;
            }
        }
        request_.depth = kOfxBitDepthFloat;
        request_.threads = static_cast<unsigned>(threads);
        request_.source = &source_;
        if (!host_.load(VELKOR_OFX_BUNDLE).empty() || host_.load_status() != kOfxStatOK ||
            host_.describe() != kOfxStatOK ||
            host_.create_instance(kOfxImageEffectContextFilter,
                                  {static_cast<double>(size.width),
                                   static_cast<double>(size.height), 1, true},
                                  &instance_) != kOfxStatOK) {
            error_ = "the OpenFX plug-in did not load and set up";
            return;
        }
        const double w = size.width, h = size.height;
        if (shaped && (host_.set_param(instance_, "power", {2.2}) != kOfxStatOK ||
                       host_.set_param(instance_, "startOfRamp", {0.0, h}) != kOfxStatOK ||
                       host_.set_param(instance_, "endOfRamp", {w, 0.0}) != kOfxStatOK)) {
            error_ = "the shaped ramp's values were refused";
        }
    }
    const char* error() const { return error_; }
    OfxStatus frame() { return host_.render(instance_, request_, output_); }

private:
    ofxhost::Host host_;
    ofxhost::Effect* instance_ = nullptr;
    ofxhost::Frame source_;
    ofxhost::Frame output_;
    ofxhost::RenderRequest request_;
    const char* error_ = nullptr;
};

// A float frame through the OpenFX plug-in and through the module, one of each
// in turn on the same threads, so that the machine's load falls on both alike;
// `x_module` is how many times longer the plug-in's frames took in all. The
// iteration time is the plug-in's frame.
void ofx_ratio_case(benchmark::State& state, FrameSize size, int threads, bool shaped)
{
    using Clock = std::chrono::steady_clock;
    HostRender module(PF_PixelFormat_ARGB128, size, threads, shaped);
    OfxRender plugin(size, threads, shaped);
    if (module.error() != nullptr || plugin.error() != nullptr) {
        state.SkipWithError(module.error() != nullptr ? module.error() : plugin.error());
        return;
    }
    Clock::duration module_time{};
    Clock::duration plugin_time{};
    for (auto _ : state) {
        auto start = Clock::now();
        const PF_Err err = module.frame();
        module_time += Clock::now() - start;
        start = Clock::now();
        const OfxStatus st = plugin.frame();
        const auto spent = Clock::now() - start;
        plugin_time += spent;
        if (err != PF_Err_NONE || st != kOfxStatOK) {
            state.SkipWithError("a render failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(spent).count());
    }
    state.counters["x_module"] = std::chrono::duration<double>(plugin_time).count() /
                                 std::chrono::duration<double>(module_time).count();
    set_frame_counters(state, size);
}

// The default ramp against its copy floor, a frame of each in turn, so that the
// load of a shared machine falls on both alike: through the kernel alone on one
// thread, or through the host path on `threads` render threads beside the copy
// on as many. `x_copy_floor` is the ratio of their summed times, taking the
// module's part of a host-path frame, with the host's part per frame beside it
// (`host_ms`); `copy_ms` is the copy's time per frame. The iteration time is
// the kernel's, or the module's part. The host's first frame, which makes its
// output buffer, is left out.
void copy_ratio_case(benchmark::State& state, DepthClass depth, PF_PixelFormat format,
                     FrameSize size, int threads, bool through_host)
{
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    CopyFloor copy(depth, size, threads);
    std::unique_ptr<HostRender> host;
    if (through_host) {
        host = std::make_unique<HostRender>(format, size, threads, false);
        if (host->error() != nullptr || host->frame() != PF_Err_NONE) {
            state.SkipWithError("the host's first frame failed");
            return;
        }
    }
    HostCallbacks callbacks;
    BenchWorld input(depth, through_host ? FrameSize{0, 0} : size);
    BenchWorld output(depth, through_host ? FrameSize{0, 0} : size);
    const RampRenderer renderer(
        RenderRecord{&callbacks.in_data,
                     bench_settings(size, Placement::horizontal, kShapeLinear, kTypeColor, 1.0)});

    double ramp_seconds = 0.0;
    double host_seconds = 0.0;
    double copy_seconds = 0.0;
    bool ramp_first = false;
    for (auto _ : state) {
        double spent = 0.0;
        PF_Err err = PF_Err_NONE;
        const auto ramp = [&] {
            const auto start = Clock::now();
            if (host) {
                const double module_before = host->seconds_in_module();
                err = host->frame();
                spent = host->seconds_in_module() - module_before;
                host_seconds += seconds(Clock::now() - start) - spent;
            } else {
                renderer.render_area(input.view(), output.view(),
                                     PF_Rect{0, 0, size.width, size.height});
                benchmark::DoNotOptimize(output.data());
                benchmark::ClobberMemory();
                spent = seconds(Clock::now() - start);
            }
        };
        const auto floor = [&] {
            const auto start = Clock::now();
            copy.frame();
            copy_seconds += seconds(Clock::now() - start);
        };
        in_turn(ramp_first, ramp, floor);
        if (err != PF_Err_NONE) {
            state.SkipWithError("the render failed");
            break;
        }
        ramp_seconds += spent;
        state.SetIterationTime(spent);
    }
    const double frames =
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["x_copy_floor"] = ramp_seconds / copy_seconds;
    state.counters["copy_ms"] = copy_seconds * 1e3 / frames;
    if (host) state.counters["host_ms"] = host_seconds * 1e3 / frames;
    set_frame_counters(state, size);
}

void register_all()
{
    auto add = [](const std::string& name, auto fn) {
        return benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(0.2);
    };

    for (const FrameSize size : kSizes) {
        add("Pow/" + size_name(size), [=](benchmark::State& s) { pow_floor(s, size); });
        for (const DepthClass depth : kDepths) {
            const std::string name = "PowRatio/" + depth_name(depth) + "/" + size_name(size);
            benchmark::RegisterBenchmark(name.c_str(),
                                         [=](benchmark::State& s) {
                                             pow_ratio_case(s, depth, size);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->MinTime(0.5);
        }
        for (const DepthClass depth : kDepths) {
            const std::string tail = depth_name(depth) + "/" + size_name(size);
            add("Copy/" + tail, [=](benchmark::State& s) { copy_floor(s, depth, size, 1); });
            add("Copy/" + depth_name(depth) + "/threads:2/" + size_name(size),
                [=](benchmark::State& s) { copy_floor(s, depth, size, 2); });
            add("Fill/" + tail, [=](benchmark::State& s) { fill_floor(s, depth, size); });
        }
    }

    for (const bool shaped : {false, true}) {
        const FrameSize size{3840, 2160};
        const std::string name = std::string("OfxVsModule/float") +
                                 (shaped ? "/shaped" : "/default") + "/threads:2/" +
                                 size_name(size);
        benchmark::RegisterBenchmark(name.c_str(),
                                     [=](benchmark::State& s) {
                                         ofx_ratio_case(s, size, 2, shaped);
                                     })
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(2.0);
    }

    const PF_PixelFormat formats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64,
                                      PF_PixelFormat_ARGB128};
    for (const FrameSize size : kSizes) {
        for (std::size_t d = 0; d < 3; ++d) {
            for (const bool shaped : {false, true}) {
                for (const int threads : {1, 2}) {
                    const std::string name = "SmartRender/" + depth_name(kDepths[d]) +
                                             (shaped ? "/shaped" : "/default") +
                                             "/threads:" + std::to_string(threads) + "/" +
                                             size_name(size);
                    const PF_PixelFormat format = formats[d];
                    add(name, [=](benchmark::State& s) {
                        smart_render_case(s, format, size, threads, shaped);
                    });
                }
            }
            const DepthClass depth = kDepths[d];
            const auto paired = [](const std::string& case_name, auto fn) {
                benchmark::RegisterBenchmark(case_name.c_str(), fn)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime()
                    ->MinTime(0.5);
            };
            paired("CopyRatio/" + depth_name(depth) + "/kernel/" + size_name(size),
                   [=](benchmark::State& s) {
                       copy_ratio_case(s, depth, formats[d], size, 1, false);
                   });
            for (const int threads : {1, 2}) {
                paired("CopyRatio/" + depth_name(depth) +
                           "/host/threads:" + std::to_string(threads) + "/" + size_name(size),
                       [=](benchmark::State& s) {
                           copy_ratio_case(s, depth, formats[d], size, threads, true);
                       });
            }
            const std::string name =
                "ThreadScaling/" + depth_name(kDepths[d]) + "/shaped/" + size_name(size);
            const PF_PixelFormat format = formats[d];
            benchmark::RegisterBenchmark(name.c_str(),
                                         [=](benchmark::State& s) {
                                             thread_scaling_case(s, format, size);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime()
                ->MinTime(0.5);
        }
    }

    for (const Kernels kernels : {Kernels::widest, Kernels::baseline, Kernels::reference}) {
        for (const FrameSize size : kSizes) {
            for (const DepthClass depth : kDepths) {
                for (const Placement placement :
                     {Placement::horizontal, Placement::center, Placement::diagonal}) {
                    for (const A_long shape : kShapes) {
                        // The diagonal placement is there for the shaped-ramp
                        // cost; one shape shows it.
                        if (placement == Placement::diagonal && shape != kShapeLinear) continue;
                        // The baseline loops beside the wider ones where they
                        // matter: a t of its own at every pixel.
                        if (kernels == Kernels::baseline && placement != Placement::diagonal)
                            continue;
                        for (const A_long type : kTypes) {
                            for (const double power : {1.0, 2.2}) {
                                const std::string name =
                                    std::string(kernels == Kernels::widest     ? "Kernel/"
                                                : kernels == Kernels::baseline ? "Baseline/"
                                                                               : "Reference/") +
                                    depth_name(depth) + "/" + placement_name(placement) + "/" +
                                    shape_name(shape) + "/" + type_name(type) +
                                    "/power:" + (power == 1.0 ? "1" : "2.2") + "/" +
                                    size_name(size);
                                add(name, [=](benchmark::State& s) {
                                    kernel_case(s, depth, size, placement, shape, type, power,
                                                kernels);
                                });
                            }
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace velkor::bench

int main(int argc, char** argv)
{
    velkor::bench::register_all();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
