// winsim control API for the software GPU: read-back, queue knobs and the debug layer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <unknwn.h>

namespace winsim {

// One pixel as linear float RGBA (UNORM formats read as 0..1, FP16 as stored).
struct PixelF {
    float r, g, b, a;
};

// The pixels of mip `mip` of a texture, row by row without padding: `resource` is an
// ID3D12Resource or an ID3D11Texture2D of winsim. Empty for anything else or a mip out of range.
// Reads what the GPU has written so far: wait for the work (a fence, or waitForGpuIdle) first.
std::vector<PixelF> readBackFloat(IUnknown* resource, uint32_t mip = 0);
// The same pixels as 8-bit RGBA (four bytes per pixel in R, G, B, A order), rounded to nearest.
std::vector<uint8_t> readBackRgba8(IUnknown* resource, uint32_t mip = 0);
// One row of mip 0 as 8-bit RGBA; empty for a row out of range.
std::vector<uint8_t> readBackRowRgba8(IUnknown* resource, uint32_t row);

// Queue knobs. With `device` null a knob applies to every Direct3D 11 device, existing and new;
// with a device (any of its interfaces, or its immediate context) it overrides the global value
// for that device alone.
// Each submission (Flush) waits this long on the queue before its work runs.
void setQueueLatencyMs(uint32_t milliseconds, IUnknown* device = nullptr);
// A stalled queue runs nothing, so its fences are never reached, until it is unstalled. Work
// still queued when its device goes is dropped, and everything it held is freed.
void setQueueStalled(bool stalled, IUnknown* device = nullptr);
// Back to no latency and no stall, globally and for every device.
void resetQueueKnobs();
// Waits up to `milliseconds` until everything flushed on `device`'s queue has run; false on a
// time-out (a stalled queue) or when `device` is not a winsim Direct3D 11 device.
bool waitForGpuIdle(IUnknown* device, uint32_t milliseconds);

// Removes every Direct3D 11 and 12 device made on `adapter` so far, as a driver update, a TDR
// (DXGI_ERROR_DEVICE_HUNG, _RESET) or a GPU going away does: their calls fail with `reason`, which
// GetDeviceRemovedReason answers, their fences count as reached and the adapter's duplications lose
// access. No new device can be made on the adapter for `blackoutMs`.
void removeDevices(int adapter, HRESULT reason = DXGI_ERROR_DEVICE_REMOVED, uint32_t blackoutMs = 0);
// Removes one Direct3D 11 device (any of its interfaces), as a device whose own work hung the GPU
// is removed: the adapter and its other devices go on. False for anything else.
bool removeDevice(IUnknown* device, HRESULT reason = DXGI_ERROR_DEVICE_HUNG);

// The debug layer: every call that the real runtime would reject or silently drop is counted with
// a message naming the call and the reason. Tests assert that none happened.
int64_t debugMessageCount();
std::vector<std::string> debugMessages();
void resetDebugLayer();

}  // namespace winsim
