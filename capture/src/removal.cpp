// Lost devices. A removed private device is replaced on the capture thread by a new one on the
// render adapter (found again by the consumer's LUID), with its fence, event, shaders and
// pipeline objects; the next acquisition then rebuilds the ring as a new generation. A removed
// consumer device cannot open the ring any more: the source says so once and dozes until it is
// stopped and started on a new device.
#include <cstdio>

#include "impl.h"

namespace velda {

bool DuplicationSource::Impl::recoverLostDevices() {
    if (consumerLost) return false;
    if (consumerRemoved()) {
        std::fprintf(stderr, "capture: output %d consumer device removed — stop and start the source on a new device\n",
                     outputIndex);
        duplication.Reset();
        return false;
    }
    if (!deviceLost) {
        const HRESULT reason = device ? device->GetDeviceRemovedReason() : S_OK;
        if (SUCCEEDED(reason)) return true;
        std::fprintf(stderr, "capture: output %d device removed (0x%08lx) — recreating\n", outputIndex, hex(reason));
        deviceLost = true;
    }
    return recreateDevice();
}

// Everything made on the removed device goes; the consumer's resources of the old ring stay
// retired until the new ring's are handed out. Quiet while no new device can be made yet.
bool DuplicationSource::Impl::recreateDevice() {
    duplication.Reset();
    releaseRing(true);
    cursorSrv.Reset();
    cursorTexture.Reset();
    cursorTexWidth = 0;
    cursorTexHeight = 0;
    DXGI_OUTPUT_DESC desc{};
    if (!openOutput(d3d12Device, desc) || !createDevice() || !createPipeline(rotationCorrected)) return false;
    deviceLost = false;
    recreateReported = false;
    return true;
}

}  // namespace velda
