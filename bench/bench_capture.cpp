// One capture source end to end, on a machine with a single output in the mode under test and the
// cursor hidden and still, so that only desktop updates make frames.
//
// Latency: the time from a desktop update (the moment winsim's desktop shows a new frame) until
// `latest` returns the slot that holds it, median and 99th percentile, as a ratio to the GPU work
// the frame needs measured alone on the same machine: the copy into the ring slot or the
// conversion intermediate, the conversion draw, the mips, the fence signal, the flush and the
// wait, issued as the capture loop issues them on the source's own device with its thread ended.
// Goal: at most 1.5 at the median.
//
// Throughput: frames per second one source publishes while its desktop updates faster than it
// can follow, with the whole process held to one core, and the CPU time per frame spent outside
// the GPU work. Goal: 1920x1080 SDR keeps up with 60 Hz, 2560x1440 HDR with 20 Hz.
//
// Pointer rate: publications, GPU submissions and the process's share of a core while a 1000 Hz
// mouse moves over a 60 Hz output, and with the pointer still.
//
// Methods: both sources side by side on each output of `default` and of `hybrid-laptop`, the
// consumer on the high-performance adapter: the latency from a desktop update (20 a second) to
// its publication, and the capture thread's CPU time per frame.
//
// Every hand-off between threads is a wake-up: on a machine whose cores are busy with other work
// each can wait a scheduler time slice (milliseconds), which swamps the figures. Run under a
// real-time policy there (`chrt -f 1 bench_capture`) to measure the code rather than the load.
#include <benchmark/benchmark.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <pthread.h>
#include <sched.h>
#include <wrl/client.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "d3d12/resource.h"
#include "graphics_capture/capture_impl.h"
#include "impl.h"
#include "velda/monitors.h"
#include "machine/machine.h"
#include "winsim/control.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;

namespace {

using Clock = std::chrono::steady_clock;
using Impl = velda::DuplicationSource::Impl;

constexpr float kSdrWhiteNits = 240.0f;  // HDR outputs: white is 3.0 in scRGB

struct Mode {
    UINT width, height;
    DXGI_FORMAT format;
};

Mode modeOf(const benchmark::State& state) {
    return {static_cast<UINT>(state.range(0)), static_cast<UINT>(state.range(1)), static_cast<DXGI_FORMAT>(state.range(2))};
}

float whiteOf(const Mode& mode) { return mode.format == DXGI_FORMAT_R16G16B16A16_FLOAT ? kSdrWhiteNits / 80.0f : 1.0f; }

// A machine with one output in `mode` whose desktop updates `hz` times a second (0: only on a
// present); the cursor is parked, hidden and never moves.
void useOneOutput(const Mode& mode, double hz) {
    winsim::OutputConfig output;
    output.width = mode.width;
    output.height = mode.height;
    output.format = mode.format;
    output.sdrWhiteNits = kSdrWhiteNits;
    output.updateHz = hz;
    winsim::AdapterConfig adapter;
    adapter.outputs.push_back(output);
    winsim::MachineConfig config;
    config.name = "bench";
    config.adapters.push_back(adapter);
    winsim::useMachine(config);
    winsim::setCursorMoving(false);
    winsim::setCursorVisible(false);
}

ComPtr<ID3D12Device> consumerDevice() {
    ComPtr<IDXGIFactory4> factory;
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf()))) || FAILED(factory->EnumAdapters1(0, adapter.GetAddressOf())))
        return nullptr;
    D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf()));
    return device;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    const auto until = Clock::now() + deadline;
    while (!condition()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(10));
    }
    return true;
}

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const auto at = static_cast<size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(at, samples.size() - 1)];
}

double threadCpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The median CPU time winsim takes to draw one generated desktop image in `mode`, as it does
// inside AcquireNextFrame for every new desktop version, in ms.
double desktopImageMs(const Mode& mode) {
    std::vector<double> samples;
    auto made = winsim::gpu::makeImage({winsim::gpuFormat(mode.format), mode.width, mode.height, 1}, nullptr);
    winsim::gpu::Image& image = *made;
    for (uint64_t v = 0; v < 15; ++v) {
        const double begin = threadCpuMs(CLOCK_THREAD_CPUTIME_ID);
        winsim::renderPattern(image, v, whiteOf(mode));
        samples.push_back(threadCpuMs(CLOCK_THREAD_CPUTIME_ID) - begin);
    }
    return percentile(samples, 0.5);
}

// The GPU work of one frame as the capture loop issues it (run.cpp, renderFrame): the copy of the
// desktop frame, the conversion, the mips, then signal, flush and wait for the fence.
void frameGpuWork(Impl& impl, int slot, ID3D11Texture2D* frame) {
    impl.stageImage(slot, frame);
    impl.finishFrame(slot);
}

// The median time of one frame's GPU work alone, in ms (0 on failure), on a source started with
// `device` whose capture thread has been ended, so that nothing else runs on its device: each
// frame is acquired and released on this thread, then its GPU work is issued and waited for.
double gpuWorkAloneMs(ID3D12Device* device, int frames) {
    velda::DuplicationSource source(0);
    Impl& impl = velda::ImplAccess::of(source);
    source.setPaused(true);
    const bool started = source.start(device);
    impl.stopRequested = true;
    if (impl.worker.joinable()) impl.worker.join();
    source.setPaused(false);
    if (!started || (!impl.duplication && !impl.acquireDuplication(false))) return 0;

    std::vector<double> samples;
    for (int i = 0; i < frames; ++i) {
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> resource;
        ComPtr<ID3D11Texture2D> frame;
        if (FAILED(impl.duplication->AcquireNextFrame(1000, &info, resource.GetAddressOf())) || FAILED(resource.As(&frame)))
            return 0;
        impl.duplication->ReleaseFrame();
        const auto begin = Clock::now();
        frameGpuWork(impl, i % velda::kRingSize, frame.Get());
        samples.push_back(msBetween(begin, Clock::now()));
    }
    return percentile(samples, 0.5);
}

// The version output 0's desktop shows now, and when it shows the next one.
std::pair<uint64_t, Clock::time_point> nextDesktopUpdate(int index = 0) {
    auto machine = winsim::currentMachine();
    auto output = winsim::currentOutput(index);
    auto lock = machine->lock();
    const auto now = Clock::now();
    return {output->desktop.version(now), output->desktop.nextUpdate(now)};
}

// The desktop version stamped into the first row of a ring slot (B8G8R8A8), read straight from
// winsim's image: a full read-back converts every pixel and would disturb the next frame.
uint32_t slotStamp(ID3D12Resource* slot) {
    auto* resource = dynamic_cast<winsim::d3d12::Resource*>(slot);
    if (!resource || resource->image()->width < 32) return UINT32_MAX;
    return winsim::readStamp(resource->image()->mips[0].data());
}

// Starts `source` on `device` and waits for its first frame; false, with the benchmark's error
// set, when either fails.
bool startCapturing(benchmark::State& state, ID3D12Device* device, velda::FrameSource& source) {
    if (!source.start(device)) {
        state.SkipWithError("start failed");
        return false;
    }
    if (waitFor([&] { return source.latest(nullptr) >= 0; })) return true;
    state.SkipWithError("no first frame");
    return false;
}

// Waits until `source` publishes the desktop update that follows the one output `output` shows
// now; the time from that update, in ms (negative when it was never published).
double publicationDelayMs(const velda::FrameSource& source, int output, int64_t& skipped) {
    const auto [shown, due] = nextDesktopUpdate(output);
    const auto expected = static_cast<uint32_t>(shown + 1);
    uint32_t stamp = 0;
    if (!waitFor([&] {
            const int32_t slot = source.latest(nullptr);
            return slot >= 0 && (stamp = slotStamp(source.texture(slot))) - expected < 0x80000000u;
        }))
        return -1;
    if (stamp != expected) ++skipped;  // a later frame came first: the loop fell behind
    return msBetween(due, Clock::now());
}

// The desktop updates on its own, at a rate slow enough that each frame is published before the
// next update: the time from the update until `latest` returns its slot is the frame's latency.
void Latency(benchmark::State& state) {
    const Mode mode = modeOf(state);
    useOneOutput(mode, 1000.0);  // a new frame for every acquisition while the GPU work is measured
    ComPtr<ID3D12Device> device = consumerDevice();
    if (!device) return state.SkipWithError("no Direct3D 12 device");
    const double gpuMs = gpuWorkAloneMs(device.Get(), 15);
    if (gpuMs <= 0) return state.SkipWithError("the GPU work could not be measured");

    winsim::setOutputUpdateRate(0, 0);
    velda::DuplicationSource source(0);
    if (!startCapturing(state, device.Get(), source)) return;
    winsim::setOutputUpdateRate(0, 1000.0 / std::max(20.0, 3.0 * gpuMs));
    std::vector<double> samples;
    int64_t skipped = 0;
    for (auto _ : state) {
        const double ms = publicationDelayMs(source, 0, skipped);
        if (ms < 0) return state.SkipWithError("the desktop update was never published");
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    source.stop();
    const double median = percentile(samples, 0.5), p99 = percentile(samples, 0.99);
    state.counters["gpu_ms"] = gpuMs;
    state.counters["desktop_ms"] = desktopImageMs(mode);
    state.counters["median_ms"] = median;
    state.counters["p99_ms"] = p99;
    state.counters["ratio"] = median / gpuMs;
    state.counters["p99_ratio"] = p99 / gpuMs;
    state.counters["skipped"] = static_cast<double>(skipped);
}

// Holds the calling thread, and every thread it creates from now on, to one core until it goes.
class OneCore {
public:
    OneCore() {
        sched_getaffinity(0, sizeof saved_, &saved_);
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &saved_)) {
                CPU_SET(cpu, &one);
                break;
            }
        sched_setaffinity(0, sizeof one, &one);
    }
    ~OneCore() { sched_setaffinity(0, sizeof saved_, &saved_); }

private:
    cpu_set_t saved_;
};

// The CPU time per frame is read from the clocks of the threads themselves: the capture thread's
// own clock (pthread_getcpuclockid on its handle) holds everything it does outside the GPU work,
// which runs on the device's queue thread while the capture thread sleeps on the fence event:
// acquisition, recording the commands, publication. Part of it is winsim drawing each new desktop
// image inside AcquireNextFrame, which a real system's compositor does elsewhere: measured alone
// as desktop_ms_per_frame. The rest of the process's CPU time, less the benchmark's own sleeping
// thread, is the queue thread's GPU work (gpu_ms_per_frame).
void Throughput(benchmark::State& state) {
    const Mode mode = modeOf(state);
    const OneCore oneCore;  // before any thread of the device or the source exists
    useOneOutput(mode, 0);
    ComPtr<ID3D12Device> device = consumerDevice();
    if (!device) return state.SkipWithError("no Direct3D 12 device");
    velda::DuplicationSource source(0);
    Impl& impl = velda::ImplAccess::of(source);
    if (!startCapturing(state, device.Get(), source)) return;
    clockid_t captureClock{};
    if (pthread_getcpuclockid(impl.worker.native_handle(), &captureClock) != 0) return state.SkipWithError("no thread clock");
    winsim::setOutputUpdateRate(0, 1000.0);  // a new desktop image whenever the loop asks for one

    double frames = 0, wallMs = 0, captureMs = 0, gpuMs = 0;
    for (auto _ : state) {
        const uint64_t frames0 = impl.framesProducedNow();
        const double capture0 = threadCpuMs(captureClock), process0 = threadCpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const double self0 = threadCpuMs(CLOCK_THREAD_CPUTIME_ID);
        const auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double wall = msBetween(begin, Clock::now());
        const double capture = threadCpuMs(captureClock) - capture0;
        const double self = threadCpuMs(CLOCK_THREAD_CPUTIME_ID) - self0;
        gpuMs += threadCpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0 - capture - self;
        frames += static_cast<double>(impl.framesProducedNow() - frames0);
        captureMs += capture;
        wallMs += wall;
        state.SetIterationTime(wall / 1000.0);
    }
    source.stop();
    if (frames == 0) return state.SkipWithError("no frames");
    state.counters["fps"] = frames * 1000.0 / wallMs;
    state.counters["cpu_ms_per_frame"] = captureMs / frames;
    state.counters["desktop_ms_per_frame"] = desktopImageMs(mode);
    state.counters["gpu_ms_per_frame"] = gpuMs / frames;
    state.counters["core_share"] = (captureMs + gpuMs) / wallMs;
}

// Publications and GPU work per second of output 0 on `fast-pointer` (a 1000 Hz mouse over the
// default machine's desktops), with the pointer moving (range 0: 1) or still. Pointer-only updates
// are published at most once per refresh interval (60 Hz), desktop updates as they come (10 Hz).
void PointerRate(benchmark::State& state) {
    if (!winsim::useScenario("fast-pointer")) return state.SkipWithError("no fast-pointer scenario");
    winsim::setCursorMoving(state.range(0) != 0);
    ComPtr<ID3D12Device> device = consumerDevice();
    if (!device) return state.SkipWithError("no Direct3D 12 device");
    velda::DuplicationSource source(0);
    Impl& impl = velda::ImplAccess::of(source);
    if (!startCapturing(state, device.Get(), source)) return;
    double frames = 0, submissions = 0, wallMs = 0, cpuMs = 0;
    for (auto _ : state) {
        const uint64_t frames0 = impl.framesProducedNow();
        const uint64_t fence0 = impl.fence->GetCompletedValue();
        const double process0 = threadCpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const auto begin = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double wall = msBetween(begin, Clock::now());
        wallMs += wall;
        cpuMs += threadCpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0;
        submissions += static_cast<double>(impl.fence->GetCompletedValue() - fence0);
        frames += static_cast<double>(impl.framesProducedNow() - frames0);
        state.SetIterationTime(wall / 1000.0);
    }
    source.stop();
    state.counters["publications_per_s"] = frames * 1000.0 / wallMs;
    state.counters["gpu_frames_per_s"] = submissions * 1000.0 / wallMs;
    state.counters["core_share"] = cpuMs / wallMs;
}

ComPtr<ID3D12Device> highPerformanceDevice() {
    ComPtr<IDXGIFactory6> factory;
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    if (SUCCEEDED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf()))) &&
        SUCCEEDED(factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE,
                                                      IID_PPV_ARGS(adapter.GetAddressOf()))))
        D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf()));
    return device;
}

velda::SourceCore& coreOf(velda::FrameSource& source) {
    if (auto* duplicated = dynamic_cast<velda::DuplicationSource*>(&source)) return velda::ImplAccess::of(*duplicated);
    return velda::ImplAccess::of(dynamic_cast<velda::GraphicsCaptureSource&>(source));
}

// Range 0: the machine (0 default, 1 hybrid-laptop); 1: the output; 2: the method (0 duplication,
// 1 graphics capture). The duplication of the hybrid laptop's panel from the discrete adapter is
// refused: that run reports so.
void Methods(benchmark::State& state) {
    const int output = static_cast<int>(state.range(1));
    if (!winsim::useScenario(state.range(0) ? "hybrid-laptop" : "default")) return state.SkipWithError("no scenario");
    winsim::setCursorMoving(false);
    winsim::setCursorVisible(false);
    for (int each : {0, 1}) winsim::setOutputUpdateRate(each, 0);
    ComPtr<ID3D12Device> device = highPerformanceDevice();
    if (!device) return state.SkipWithError("no Direct3D 12 device");
    const auto method = state.range(2) ? velda::CaptureMethod::GraphicsCapture : velda::CaptureMethod::DesktopDuplication;
    const auto source = velda::makeSource(winsim::outputMonitor(output), device.Get(), method);
    if (!source || !source->start(device.Get())) return state.SkipWithError("not capturable this way from this adapter");
    if (!waitFor([&] { return source->latest(nullptr) >= 0; })) return state.SkipWithError("no first frame");
    clockid_t captureClock{};
    if (pthread_getcpuclockid(coreOf(*source).worker.native_handle(), &captureClock) != 0)
        return state.SkipWithError("no thread clock");
    winsim::setOutputUpdateRate(output, 20.0);
    std::vector<double> samples;
    int64_t skipped = 0;
    const uint64_t frames0 = coreOf(*source).framesProducedNow();
    const double capture0 = threadCpuMs(captureClock);
    for (auto _ : state) {
        const double ms = publicationDelayMs(*source, output, skipped);
        if (ms < 0) return state.SkipWithError("the desktop update was never published");
        state.SetIterationTime(ms / 1000.0);
        samples.push_back(ms);
    }
    const double frames = static_cast<double>(coreOf(*source).framesProducedNow() - frames0);
    state.counters["cpu_ms_per_frame"] = (threadCpuMs(captureClock) - capture0) / std::max(1.0, frames);
    source->stop();
    state.counters["median_ms"] = percentile(samples, 0.5);
    state.counters["p99_ms"] = percentile(samples, 0.99);
    state.counters["skipped"] = static_cast<double>(skipped);
}

void modes(benchmark::internal::Benchmark* b) {
    b->Args({1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM});
    b->Args({2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT});
    b->ArgNames({"w", "h", "fmt"});
}

}  // namespace

BENCHMARK(Latency)->Args({1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM})->ArgNames({"w", "h", "fmt"})->Iterations(60)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Latency)->Args({2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT})->ArgNames({"w", "h", "fmt"})->Iterations(12)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Throughput)->Apply(modes)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PointerRate)->Arg(1)->Arg(0)->ArgName("moving")->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Methods)->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})->ArgNames({"hybrid", "output", "wgc"})->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// main: Google Benchmark's, printing the vector path first.
#include "isa_main.h"
