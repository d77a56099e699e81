// The desktop's monitors as the adapters list them, and the source that can capture each one.
#pragma once
#include <windows.h>
#include <dxgi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "velda/frame_source.h"

namespace velda {

struct MonitorInfo {
    HMONITOR handle = nullptr;
    std::wstring deviceName;   // as Windows names its source ("\\.\DISPLAY1")
    RECT desktop{0, 0, 0, 0};  // its place on the virtual desktop, in physical pixels
    DXGI_MODE_ROTATION rotation = DXGI_MODE_ROTATION_IDENTITY;
    bool hdr = false;          // its colour space is HDR (PQ)
    LUID adapterLuid{0, 0};    // the adapter that lists it
    int32_t outputIndex = -1;  // its index among that adapter's outputs
};

// Every monitor attached to the desktop, once each, in the order the adapters list them (the
// first adapter that lists a monitor names it); empty when DXGI cannot be asked.
std::vector<MonitorInfo> monitors();

// A source for `monitor`, not yet started, that can capture it for `device`: a DuplicationSource
// where the device's adapter lists the monitor and duplicating it there is not refused (tried
// once on a device of its own), a GraphicsCaptureSource otherwise, or a DuplicationSource where
// the library was built without that source. Null when `device` is null.
std::unique_ptr<FrameSource> makeSource(HMONITOR monitor, ID3D12Device* device);
// A source of the given method for `monitor`, not yet started: a DuplicationSource of the output
// that lists it on the device's adapter (one that fails at start when there is none), or a
// GraphicsCaptureSource. Null when `device` is null, or for GraphicsCapture where the library was
// built without that source.
std::unique_ptr<FrameSource> makeSource(HMONITOR monitor, ID3D12Device* device, CaptureMethod method);

}  // namespace velda
