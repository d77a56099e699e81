// vram_test: measures how much local video memory capture sources hold across their lifecycle.
#include <windows.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "report.h"
#include "velda/duplication_source.h"

using Microsoft::WRL::ComPtr;

namespace {

ComPtr<IDXGIAdapter3> vramAdapter;  // released at process exit

uint64_t queryVramMb() {
    if (!vramAdapter) return 0;
    DXGI_QUERY_VIDEO_MEMORY_INFO info{};
    if (FAILED(vramAdapter->QueryVideoMemoryInfo(0, DXGI_MEMORY_SEGMENT_GROUP_LOCAL, &info))) return 0;
    return info.CurrentUsage >> 20;
}

void sleepMs(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) std::this_thread::sleep_until(until);
}

void print(const std::string& text) { std::fputs(text.c_str(), stdout); }

void printRow(const std::string& label) { print(vram::rowLine(label, queryVramMb())); }

void printRow(const char* pattern, int number) { printRow(vram::numberedLabel(pattern, number)); }

using Sources = std::vector<std::unique_ptr<velda::DuplicationSource>>;

void createAndStart(Sources& sources, int count, ID3D12Device* device) {
    for (int j = 0; j < count; ++j) sources.push_back(std::make_unique<velda::DuplicationSource>(j));
    for (auto& source : sources) source->start(device);
}

void destroyAll(Sources& sources) {
    for (auto& source : sources) source.reset();
    sources.clear();
    sleepMs(400);
}

int countOutputs(IDXGIAdapter1* adapter, ComPtr<IDXGIOutput>& last) {
    int count = 0;
    for (UINT index = 0;; ++index) {
        last.Reset();
        if (adapter->EnumOutputs(index, last.GetAddressOf()) != S_OK) return count;
        ++count;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setbuf(stdout, nullptr);
    const vram::Utf8Console console;
    const vram::Arguments args = vram::parseArguments(argc, argv);

    ComPtr<IDXGIFactory4> factory;
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())))) return 1;
    ComPtr<IDXGIAdapter1> adapter;
    if (FAILED(factory->EnumAdapters1(0, adapter.GetAddressOf()))) return 1;
    adapter->QueryInterface(IID_PPV_ARGS(vramAdapter.ReleaseAndGetAddressOf()));
    ComPtr<ID3D12Device> device;
    if (FAILED(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(device.GetAddressOf())))) {
        std::fputs("D3D12CreateDevice failed\n", stderr);
        return 1;
    }
    printRow("baseline (D3D12 device only)");

    ComPtr<IDXGIOutput> lastOutput;
    const int outputCount = countOutputs(adapter.Get(), lastOutput);
    const int sourceCount = vram::clampSourceCount(args.sourceCount, outputCount);
    print(vram::outputsLine(outputCount, sourceCount));

    Sources sources;
    createAndStart(sources, sourceCount, device.Get());
    sleepMs(900);
    printRow("after start (ring allocated)");
    const uint64_t allocated = queryVramMb();

    std::printf("\n[VRAM] === Test A: %d x pause/resume (doze mechanism) ===\n", args.cycles);
    for (int c = 0; c < args.cycles; ++c) {
        for (auto& source : sources) source->setPaused(true);
        sleepMs(250);
        for (auto& source : sources) source->setPaused(false);
        sleepMs(450);
        printRow("cycle %2d resumed", c);
    }
    const uint64_t afterPause = queryVramMb();

    print("\n[VRAM] === Test B: 4 x full destroy/recreate ===\n");
    for (int r = 0; r < 4; ++r) {
        destroyAll(sources);
        printRow("destroy %d", r);
        createAndStart(sources, sourceCount, device.Get());
        sleepMs(900);
        printRow("recreate %d", r);
    }
    const uint64_t afterRecreate = queryVramMb();

    print("\n[VRAM] === Test C: 4 x stop()/resume() (doze lever) ===\n");
    uint64_t stopFloor = 0;
    for (int s = 0; s < 4; ++s) {
        for (auto& source : sources) source->stop();
        sleepMs(300);
        printRow("stop %d", s);
        stopFloor = queryVramMb();
        for (auto& source : sources) source->resume();
        sleepMs(900);
        printRow("resume %d", s);
    }
    const uint64_t afterResume = queryVramMb();

    print("\n[VRAM] === Test D: resume() on running source (no crash) ===\n");
    for (auto& source : sources) source->resume();
    sleepMs(300);
    printRow("after resume-on-running");
    print("[VRAM] Test D survived (no crash)\n");

    const uint64_t runningBaseline = queryVramMb();
    print(vram::floorLine(stopFloor, runningBaseline, afterResume));

    destroyAll(sources);
    printRow("final (all destroyed)");

    print(vram::summaryLine(allocated, afterPause, afterRecreate));
    print(vram::verdictLine(allocated, afterPause, afterRecreate));

    sources = Sources();
    lastOutput.Reset();
    device.Reset();
    adapter.Reset();
    factory.Reset();
    return 0;
}
