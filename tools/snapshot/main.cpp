// velda_snapshot [--upright] [--method=duplication|graphics-capture] OUTPUT FILE.png [MIP]:
// captures one frame of a monitor through a capture source on a Direct3D 12 device, reads the ring
// slot back through a command list and writes a PNG; with --upright a rotated monitor's duplicated
// frame is turned upright first (graphics capture's frames are upright always).
#include <windows.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "readback.h"
#include "velda/duplication_source.h"
#include "velda/monitors.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

using Microsoft::WRL::ComPtr;

namespace {

int usage() {
    std::fputs("usage: velda_snapshot [--upright] [--method=duplication|graphics-capture] OUTPUT FILE.png [MIP]\n"
               "  OUTPUT     index of the monitor on the first adapter (0, 1, ...)\n"
               "  MIP        mip level of the captured frame to write (default 0)\n"
               "  --upright  turn a rotated monitor's frame upright (the desktop as its user sees it);\n"
               "             without it a duplicated frame has the display mode's own orientation\n"
               "  --method   how to capture (default: what velda::makeSource picks for the monitor)\n",
               stderr);
    return 2;
}

bool parseIndex(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < 0 || parsed > 64) return false;
    value = static_cast<int>(parsed);
    return true;
}

// The newest complete slot, once the source has published one; -1 after `seconds`.
int32_t waitForFrame(const velda::FrameSource& source, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const int32_t slot = source.latest(nullptr);
        if (slot >= 0 || std::chrono::steady_clock::now() >= deadline) return slot;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The slot as it stands once the source's GPU work on it has finished: the private device's work
// is not ordered with this device's copy, so the slot is read until two reads agree (the source is
// paused: nothing new is drawn into it).
HRESULT readSettled(ID3D12Device* device, ID3D12Resource* texture, UINT mip, velda::readback::Pixels& out) {
    HRESULT hr = velda::readback::readMip(device, texture, mip, out);
    for (int attempt = 0; SUCCEEDED(hr) && attempt < 100; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        velda::readback::Pixels again;
        hr = velda::readback::readMip(device, texture, mip, again);
        if (SUCCEEDED(hr) && again.bytes == out.bytes) return S_OK;
        out = std::move(again);
    }
    return hr;
}

// The ring holds BGRA; a PNG wants RGBA.
void swapRedAndBlue(velda::readback::Pixels& pixels) {
    for (size_t i = 0; i + 3 < pixels.bytes.size(); i += 4) std::swap(pixels.bytes[i], pixels.bytes[i + 2]);
}

struct Arguments {
    int output = 0;
    const char* file = nullptr;
    int mip = 0;
    bool upright = false;
    const char* method = nullptr;  // null: makeSource's choice
};

// The positional OUTPUT FILE [MIP], with the options anywhere among them; false for anything else.
bool parseArguments(int argc, char** argv, Arguments& out) {
    std::vector<const char*> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--upright") out.upright = true;
        else if (argument == "--method=duplication" || argument == "--method=graphics-capture") out.method = argv[i] + 9;
        else if (argument.rfind("--", 0) == 0) return false;  // an option it does not know
        else positional.push_back(argv[i]);
    }
    if (positional.size() < 2 || positional.size() > 3 || !parseIndex(positional[0], out.output)) return false;
    out.file = positional[1];
    return positional.size() == 2 || parseIndex(positional[2], out.mip);
}

// The monitor at output OUTPUT of the device's adapter, and its source.
std::unique_ptr<velda::FrameSource> makeSource(ID3D12Device* device, const Arguments& arguments) {
    ComPtr<IDXGIFactory4> factory;
    ComPtr<IDXGIAdapter> adapter;
    ComPtr<IDXGIOutput> output;
    DXGI_OUTPUT_DESC desc{};
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(&factory))) ||
        FAILED(factory->EnumAdapterByLuid(device->GetAdapterLuid(), IID_PPV_ARGS(&adapter))) ||
        FAILED(adapter->EnumOutputs(static_cast<UINT>(arguments.output), &output)) || FAILED(output->GetDesc(&desc)))
        return std::make_unique<velda::DuplicationSource>(arguments.output);  // its start says what is missing
    if (!arguments.method) return velda::makeSource(desc.Monitor, device);
    const bool captured = std::string(arguments.method) == "graphics-capture";
    return velda::makeSource(desc.Monitor, device,
                             captured ? velda::CaptureMethod::GraphicsCapture : velda::CaptureMethod::DesktopDuplication);
}

int snapshot(ID3D12Device* device, const Arguments& arguments) {
    const int output = arguments.output, mip = arguments.mip;
    const char* file = arguments.file;
    std::unique_ptr<velda::FrameSource> chosen = makeSource(device, arguments);
    if (!chosen) {
        std::fputs("velda_snapshot: this build of velda has no graphics capture\n", stderr);
        return 1;
    }
    velda::FrameSource& source = *chosen;
    if (auto* duplication = dynamic_cast<velda::DuplicationSource*>(chosen.get()))
        duplication->setRotationCorrected(arguments.upright);
    if (!source.start(device)) {
        std::fprintf(stderr, "velda_snapshot: output %d could not be captured\n", output);
        return 1;
    }
    const int32_t slot = waitForFrame(source, 10);
    if (slot < 0) {
        std::fprintf(stderr, "velda_snapshot: no frame from output %d within 10 s\n", output);
        return 1;
    }
    source.setPaused(true);  // the slot stays as published while it is read
    if (static_cast<uint32_t>(mip) >= source.mipLevels()) {
        std::fprintf(stderr, "velda_snapshot: mip %d out of range (the frame has %u)\n", mip, source.mipLevels());
        return 2;
    }
    velda::readback::Pixels pixels;
    if (const HRESULT hr = readSettled(device, source.texture(slot), static_cast<UINT>(mip), pixels); FAILED(hr)) {
        std::fprintf(stderr, "velda_snapshot: reading the frame back failed (0x%08lx)\n", static_cast<unsigned long>(hr));
        return 1;
    }
    swapRedAndBlue(pixels);
    if (!stbi_write_png(file, static_cast<int>(pixels.width), static_cast<int>(pixels.height), 4, pixels.bytes.data(),
                        static_cast<int>(pixels.width * 4))) {
        std::fprintf(stderr, "velda_snapshot: could not write %s\n", file);
        return 1;
    }
    std::printf("velda_snapshot: output %d, %ux%u (mip %d) -> %s\n", output, pixels.width, pixels.height, mip, file);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) return usage();
    ComPtr<IDXGIFactory1> factory;
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> device;
    if (FAILED(CreateDXGIFactory1(IID_PPV_ARGS(&factory))) || FAILED(factory->EnumAdapters1(0, &adapter)) ||
        FAILED(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_11_0, IID_PPV_ARGS(&device)))) {
        std::fputs("velda_snapshot: no Direct3D 12 device on the first adapter\n", stderr);
        return 1;
    }
    return snapshot(device.Get(), arguments);
}
