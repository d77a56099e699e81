// The private record of a GraphicsCaptureSource: the shared core, and the Windows Runtime objects
// of one capture (item, frame pool, session), all made and released on the capture thread, which
// lives in the multithreaded apartment.
#pragma once
#include <roapi.h>
#include <windows.graphics.capture.h>
#include <windows.graphics.capture.interop.h>
#include <windows.graphics.directx.direct3d11.interop.h>

#include <future>
#include <string>

#include "impl.h"
#include "velda/graphics_capture_source.h"

namespace velda {

namespace wgc = ABI::Windows::Graphics::Capture;
using WinrtDevice = ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice;

// What the system's event handlers tell the capture thread: an event to wake it, and whether the
// item was closed (its monitor went away). Shared with the handlers, which may outlive the source.
struct CaptureSignal {
    UniqueHandle event;  // auto-reset; set by every handler
    std::atomic<bool> closed{false};
};

constexpr INT32 kPoolBuffers = 2;

// The pool's format: scRGB FP16 for a monitor in an HDR colour space, else 8-bit BGRA.
ABI::Windows::Graphics::DirectX::DirectXPixelFormat poolFormat(bool hdr);
// Closes a Windows Runtime object that is IClosable (a frame, a pool, a session).
void closeObject(IUnknown* object);

struct GraphicsCaptureSource::Impl final : SourceCore {
    explicit Impl(HMONITOR handle) : monitor(handle) {}

    HMONITOR monitor;           // the monitor now, found again by its device name after a replug
    std::wstring deviceName;    // learnt at the first start
    bool monitorHdr = false;    // its colour space is HDR: the pool delivers FP16

    // The Windows Runtime factories, the device wrapper and the capture: capture thread only.
    ComPtr<IGraphicsCaptureItemInterop> itemInterop;
    ComPtr<wgc::IDirect3D11CaptureFramePoolStatics2> poolStatics;
    ComPtr<WinrtDevice> winrtDevice;
    ComPtr<wgc::IGraphicsCaptureItem> item;
    ComPtr<wgc::IDirect3D11CaptureFramePool> pool;
    ComPtr<wgc::IGraphicsCaptureSession> session;
    ComPtr<wgc::IDirect3D11CaptureFrame> heldFrame;  // waits for the frame-rate cap
    EventRegistrationToken arrivedToken{};
    EventRegistrationToken closedToken{};
    std::shared_ptr<CaptureSignal> signal;
    uint32_t poolWidth = 0;
    uint32_t poolHeight = 0;
    // What the session was last told: -1 nothing yet.
    int32_t appliedCursor = -1;
    double appliedIntervalMs = -1.0;
    int64_t qpcFrequency = 10000000;
    int64_t colourCheckedNs = 0;  // when the monitor's colour space was last looked at
    // One line per streak: a failing step, a monitor gone.
    bool failureReported = false;
    bool goneReported = false;
    bool newRing = false;  // the next capture opened gets a new ring (after a replug or a new device)
    std::promise<bool> started;  // the capture thread's first capture: running or not

    void stop();
    bool start(ID3D12Device* device) override;
    // The capture thread's body; tells `started` how its first capture went.
    void run();
    void noticeConversion(DXGI_FORMAT format) override;

    // Activation of the factories; false (one line) where the system has no such capture.
    bool activate();
    // Makes what is missing of the capture (item, pool, session) and starts it; the ring is
    // rebuilt (a new generation) when `initial`, or when the item's size is not the ring's.
    bool openCapture(bool initial);
    bool reopenCapture();
    // Closes and releases the session and the pool (their buffers go with them); `item` too.
    void closeCapture(bool withItem);
    // Tells the session the cursor setting and the frame-rate cap when they changed.
    void applyControls();
    // One frame taken from the pool: copied into the slot (through the pass for FP16), finished
    // and published. False when it was not published.
    bool takeFrame(int slot, wgc::IDirect3D11CaptureFrame* frame);
    // The newest frame the pool holds (older ones closed), or the held one.
    ComPtr<wgc::IDirect3D11CaptureFrame> newestFrame();

private:
    bool createWinrtDevice();
    bool createItem();
    bool createPool();
    // Stores the ring's geometry for the item's size, rebuilds it and publishes the generation.
    bool adoptSize(uint32_t w, uint32_t h);
    // A monitor that entered or left HDR: the pool delivers the other format, into a new ring.
    bool followColourSpace();
    DXGI_FORMAT ringFormat() const { return monitorHdr ? DXGI_FORMAT_R16G16B16A16_FLOAT : DXGI_FORMAT_B8G8R8A8_UNORM; }
    // A frame of another content size: the pool and the ring follow it.
    bool followContentSize(const ABI::Windows::Graphics::SizeInt32& size);
    // Before capture: a removed device is replaced, a monitor that went away is waited for.
    bool recoverLostDevices();
    bool recreateDevice();
    bool waitForMonitor();
    // The monitor of `deviceName` now, with whether it is HDR; false when none is attached.
    bool findMonitor();
    UINT waitTimeoutMs() const;
    // What is left of the frame-rate cap since the last publication, in ms; -1 when it allows a frame.
    int32_t capLeftMs() const;
    void publishFrame(int slot, wgc::IDirect3D11CaptureFrame* frame);
    // A failing step's line, once per streak.
    bool failed(const char* what, HRESULT hr);
};

}  // namespace velda
