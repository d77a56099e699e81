// Duplication start-up: the output on the render adapter, the private device and pipeline, the
// first acquisition (or a ring sized from the desktop), the banner and the capture thread.
#include <cstdio>

#include "impl.h"

namespace velda {
// A factory's outputs are those of the moment it was made (the adapter's too): after a display
// change (IsCurrent FALSE) a new factory finds the render adapter again, as Microsoft's
// device-resources templates do. A current factory is kept, and asked again for a missing adapter.
bool DuplicationSource::Impl::refreshAdapter() {
    const bool current = factory && factory->IsCurrent();
    if (current && adapter) return true;
    const AdapterLookup found = d3d12Device ? openAdapter(d3d12Device, !current) : AdapterLookup::NotFound;
    if (found == AdapterLookup::Found) return true;
    if (found == AdapterLookup::NoFactory) return false;  // retried quietly, as at start
    if (!failureReported) std::fprintf(stderr, "capture: render adapter not found by LUID\n");
    failureReported = true;
    return false;
}

bool DuplicationSource::Impl::openOutput(ID3D12Device* caller, DXGI_OUTPUT_DESC& desc) {
    if (const AdapterLookup found = openAdapter(caller, true); found != AdapterLookup::Found) {
        if (found == AdapterLookup::NotFound) startupFailure("capture: render adapter not found by LUID\n");
        return false;
    }
    ComPtr<IDXGIOutput> enumerated;
    if (FAILED(adapter->EnumOutputs(static_cast<UINT>(outputIndex), enumerated.GetAddressOf()))) {
        startupFailure("capture: output %d not found on the render adapter (monitor unplugged? wrong --monitor?)\n",
                       outputIndex);
        return false;
    }
    output.Reset();
    if (FAILED(enumerated.As(&output))) return false;
    output->GetDesc(&desc);
    return true;
}




bool DuplicationSource::Impl::start(ID3D12Device* caller) {
    if (worker.joinable()) return false;  // already running: nothing changes
    consumerLost = false;
    deviceLost = false;
    // Stored before anything can fail, so that resume can always retry on it.
    d3d12Device = caller;
    DXGI_OUTPUT_DESC desc{};
    if (!openOutput(caller, desc) || !createDevice() || !createPipeline(rotationCorrected)) return false;

    if (!acquireDuplication(true) && (width == 0 || height == 0)) {
        // No duplication yet: size the ring from the desktop; the capture thread keeps trying. A
        // monitor waking from sleep may report an empty desktop: then the capture thread builds
        // the ring once a duplication tells the mode.
        quarterTurns = 0;
        const RECT& r = desc.DesktopCoordinates;
        const bool empty = r.right <= r.left || r.bottom <= r.top;
        width = empty ? 0 : static_cast<uint32_t>(r.right - r.left);
        height = empty ? 0 : static_cast<uint32_t>(r.bottom - r.top);
        if (!empty && !rebuildRing()) return false;
    }
    std::printf("capture: output %d \"%ls\" %ux%u, %u mips, %d-buffer ring\n", outputIndex, desc.DeviceName,
                width.load(), height.load(), mipLevels.load(), kRingSize);
    stopRequested.exchange(false);
    worker = std::thread([this] { run(); });
    return true;
}

}  // namespace velda
