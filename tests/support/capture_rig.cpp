#include "support/capture_rig.h"

#include "graphics_capture/capture_impl.h"

#include <dxgi1_6.h>

#include <cstdlib>
#include <string_view>
#include <thread>

#include "readback.h"
#include "winsim/control.h"
#include "winsim/gpu.h"
#include "winsim/monitors.h"

namespace rig {
namespace {

constexpr uint32_t kWidth = 256;
constexpr uint32_t kHeight = 144;

// The version a row's first 32 pixels stamp (bit x set where pixel x is bright).
uint32_t stampOf(const uint8_t* row) {
    uint32_t v = 0;
    for (uint32_t x = 0; x < 32; ++x)
        if (row[x * 4 + 1] >= 128) v |= 1u << x;
    return v;
}

}  // namespace

std::string frameProblem(const velda::readback::Pixels& frame) {
    if (frame.width < 64 || frame.height < 8) return "a frame of " + std::to_string(frame.width) + "x" +
                                                     std::to_string(frame.height);
    const size_t pitch = size_t{frame.width} * 4;
    const uint8_t* first = frame.bytes.data();
    const uint8_t* last = first + pitch * (frame.height - 1);
    if (stampOf(first) != stampOf(last)) return "a torn frame (first and last rows of different versions)";
    const uint8_t* middle = first + pitch * (frame.height / 2) + size_t{frame.width / 2} * 4;
    if (middle[0] < 12 && middle[1] < 12 && middle[2] < 12) return "a black frame";
    if (std::abs(middle[0] - middle[1]) > 2 || std::abs(middle[1] - middle[2]) > 2) return "a frame that is not grey";
    return {};
}

namespace {

bool environmentSays(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string_view(value) == "1";
}

}  // namespace

bool rotationCorrected() { return environmentSays("RIG_ROTATION_CORRECTED"); }
bool graphicsCapture() { return environmentSays("RIG_GRAPHICS_CAPTURE"); }

winsim::MachineConfig quickMachine() {
    winsim::MachineConfig config;
    winsim::scenario("single", config);
    config.name = "quick";
    winsim::OutputConfig& output = config.adapters[0].outputs[0];
    output.width = kWidth;
    output.height = kHeight;
    output.updateHz = 120;
    config.movingCursor = false;
    config.waitScale = 0.1;
    if (rotationCorrected()) output.rotation = DXGI_MODE_ROTATION_ROTATE90;
    return config;
}

CaptureRig::CaptureRig(const winsim::MachineConfig& machine, int32_t output, DPI_AWARENESS_CONTEXT awareness)
    : output_(output) {
    winsim::clearFaults();
    winsim::resetQueueKnobs();
    winsim::resetDebugLayer();
    winsim::useMachine(machine);
    if (awareness) winsim::setManifestDpiAwareness(awareness);
    winsim::setCursorPosition(200, 40);  // right of the middle, below the stamps
    remakeConsumer();
    objectsBefore_ = winsim::liveObjectCount();  // the consumer device's own
    handlesBefore_ = winsim::openHandleCount();
    newSource();
}

CaptureRig::~CaptureRig() {
    dropSource();
    consumer_.Reset();
    winsim::clearFaults();
}

bool CaptureRig::remakeConsumer() {
    winsim::FaultExemption exempt;
    consumer_.Reset();
    Microsoft::WRL::ComPtr<IDXGIFactory4> factory;
    Microsoft::WRL::ComPtr<IDXGIAdapter1> adapter;
    return SUCCEEDED(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf()))) &&
           SUCCEEDED(factory->EnumAdapters1(0, adapter.GetAddressOf())) &&
           SUCCEEDED(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(consumer_.GetAddressOf())));
}

void CaptureRig::newSource() {
    if (graphicsCapture()) {
        auto captured = std::make_unique<velda::GraphicsCaptureSource>(winsim::outputMonitor(output_));
        record_ = &velda::ImplAccess::of(*captured);
        source_ = std::move(captured);
        return;
    }
    auto duplicated = std::make_unique<velda::DuplicationSource>(output_);
    if (rotationCorrected()) duplicated->setRotationCorrected(true);
    record_ = &velda::ImplAccess::of(*duplicated);
    source_ = std::move(duplicated);
}

void CaptureRig::dropSource() {
    source_.reset();
    record_ = nullptr;
}

bool CaptureRig::resume() {
    if (auto* duplicated = dynamic_cast<velda::DuplicationSource*>(source_.get())) return duplicated->resume();
    return dynamic_cast<velda::GraphicsCaptureSource&>(*source_).resume();
}

std::string CaptureRig::newestFrameProblem() {
    winsim::FaultExemption exempt;  // the consumer's reads are not the calls under test
    for (int attempt = 0; attempt < 8; ++attempt) {
        const uint64_t before = framesPublished();
        const int32_t slot = source_->latest(nullptr);
        ID3D12Resource* texture = source_->texture(slot);
        if (slot < 0 || !texture) return "no frame published";
        velda::readback::Pixels frame;
        if (FAILED(velda::readback::readMip(consumer_.Get(), texture, 0, frame))) return "the frame could not be read";
        // A slot is written again only after two more frames: fewer than two means a clean read.
        if (framesPublished() < before + 2) return frameProblem(frame);
    }
    return {};  // the source publishes faster than it can be read: nothing to judge, nothing wrong
}

bool CaptureRig::freshFrames(int count, Clock::duration deadline, std::string& why,
                             const std::function<void()>& meanwhile) {
    const auto until = Clock::now() + deadline;
    const uint64_t target = framesPublished() + static_cast<uint64_t>(count);
    for (;;) {
        if (meanwhile) meanwhile();
        if (framesPublished() >= target) {
            why = newestFrameProblem();
            if (why.empty()) return true;
        } else {
            why = "no new frame";
        }
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool CaptureRig::idle(Clock::duration deadline, const std::function<void()>& meanwhile) {
    const auto until = Clock::now() + deadline;
    while (record().liveNow()) {
        if (meanwhile) meanwhile();
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string CaptureRig::leftovers() {
    std::string report;
    if (winsim::liveObjectCount() != objectsBefore_ || winsim::openHandleCount() != handlesBefore_)
        report += winsim::leakReport() + "; ";
    if (winsim::vramUsage(0) != winsim::d3d12DeviceBaselineBytes())
        report += "video memory " + std::to_string(winsim::vramUsage(0)) + " bytes; ";
    if (winsim::nonLocalMemoryUsage(0) != 0) report += "system memory " + std::to_string(winsim::nonLocalMemoryUsage(0)) + " bytes; ";
    for (const auto& message : winsim::debugMessages()) report += "debug layer: " + message + "; ";
    return report;
}

}  // namespace rig
