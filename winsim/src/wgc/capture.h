// Windows.Graphics.Capture's objects: a capture item for a monitor, a free-threaded Direct3D 11
// frame pool with its frames, and a capture session. The machine's capture feed renders the
// frames; these check the caller's arguments, answer in the Windows Runtime's terms and raise
// the events on the feed's thread.
#pragma once
#include <memory>
#include <mutex>

#include <windows.graphics.capture.h>

#include "machine/capture_feed.h"
#include "wgc/direct3d.h"
#include "wgc/events.h"

namespace winsim::wgc {

namespace capture = ABI::Windows::Graphics::Capture;
namespace DirectX = ABI::Windows::Graphics::DirectX;
using ItemClosedHandler = __FITypedEventHandler_2_Windows__CGraphics__CCapture__CGraphicsCaptureItem_IInspectable;
using FrameArrivedHandler =
    __FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable;

class Frame;

class Item final : public com::Object<Item, capture::IGraphicsCaptureItem> {
public:
    static constexpr const char* kKind = "GraphicsCaptureItem";
    static constexpr const wchar_t* kRuntimeClass = RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem;
    Item(std::shared_ptr<Machine> machine, std::shared_ptr<OutputState> output)
        : machine_(std::move(machine)), output_(std::move(output)) {}

    HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) override;
    HRESULT STDMETHODCALLTYPE get_Size(ABI::Windows::Graphics::SizeInt32* value) override;
    HRESULT STDMETHODCALLTYPE add_Closed(ItemClosedHandler* handler, EventRegistrationToken* token) override {
        return closed_.add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_Closed(EventRegistrationToken token) override { return closed_.remove(token); }

    const std::shared_ptr<OutputState>& output() const { return output_; }
    void raiseClosed() { closed_.raise(static_cast<capture::IGraphicsCaptureItem*>(this)); }

private:
    std::shared_ptr<Machine> machine_;
    std::shared_ptr<OutputState> output_;
    EventList<ItemClosedHandler> closed_;
};

// What a pool is made with (Create, CreateFreeThreaded, Recreate), checked.
struct PoolSettings {
    ComPtr<d3d11::Device> device;
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    int buffers = 0;
    UINT width = 0, height = 0;
};
HRESULT checkPool(IDirect3DDevice* device, ABI::Windows::Graphics::DirectX::DirectXPixelFormat format, INT32 buffers,
                  ABI::Windows::Graphics::SizeInt32 size, PoolSettings& out);

class Pool final : public com::Object<Pool, capture::IDirect3D11CaptureFramePool, IClosable> {
public:
    static constexpr const char* kKind = "Direct3D11CaptureFramePool";
    static constexpr const wchar_t* kRuntimeClass = RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFramePool;
    // Null when the device's adapter cannot hold the buffers.
    static ComPtr<Pool> make(std::shared_ptr<Machine> machine, PoolSettings settings);
    ~Pool() override;

    HRESULT STDMETHODCALLTYPE Recreate(IDirect3DDevice* device, ABI::Windows::Graphics::DirectX::DirectXPixelFormat format,
                                       INT32 buffers, ABI::Windows::Graphics::SizeInt32 size) override;
    HRESULT STDMETHODCALLTYPE TryGetNextFrame(capture::IDirect3D11CaptureFrame** result) override;
    HRESULT STDMETHODCALLTYPE add_FrameArrived(FrameArrivedHandler* handler, EventRegistrationToken* token) override {
        return arrived_.add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_FrameArrived(EventRegistrationToken token) override { return arrived_.remove(token); }
    HRESULT STDMETHODCALLTYPE CreateCaptureSession(capture::IGraphicsCaptureItem* item,
                                                   capture::IGraphicsCaptureSession** result) override;
    HRESULT STDMETHODCALLTYPE get_DispatcherQueue(ABI::Windows::System::IDispatcherQueue** value) override;
    HRESULT STDMETHODCALLTYPE Close() override;

    // The session's side: starts the feed on the item's monitor, changes its settings, stops it.
    HRESULT start(ComPtr<Item> item, bool cursor, Clock::duration minInterval);
    void setCursor(bool drawn);
    void setMinInterval(Clock::duration interval);
    void stop();

private:
    Pool(std::shared_ptr<Machine> machine, PoolSettings settings, std::shared_ptr<CaptureFeed> feed)
        : machine_(std::move(machine)), settings_(std::move(settings)), feed_(std::move(feed)) {}
    static FeedBuffers buffersFor(const PoolSettings& settings);
    // A frame object around a frame of the feed, on the pool's device (the pool's lock held).
    Frame* frameOf(FeedFrame frame);
    std::shared_ptr<CaptureFeed> feed();

    std::shared_ptr<Machine> machine_;
    std::mutex mutex_;  // guards what follows; taken before the machine's lock, never inside it
    PoolSettings settings_;
    std::shared_ptr<CaptureFeed> feed_;  // null once closed
    EventList<FrameArrivedHandler> arrived_;
};

class Session final
    : public com::Object<Session, capture::IGraphicsCaptureSession, capture::IGraphicsCaptureSession2,
                         capture::IGraphicsCaptureSession3, capture::IGraphicsCaptureSession5, IClosable> {
public:
    static constexpr const char* kKind = "GraphicsCaptureSession";
    static constexpr const wchar_t* kRuntimeClass = RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession;
    Session(ComPtr<Pool> pool, ComPtr<Item> item, unsigned build)
        : pool_(std::move(pool)), item_(std::move(item)), build_(build) {}

    bool hides(REFIID riid) const;
    HRESULT STDMETHODCALLTYPE StartCapture() override;
    HRESULT STDMETHODCALLTYPE get_IsCursorCaptureEnabled(boolean* value) override;
    HRESULT STDMETHODCALLTYPE put_IsCursorCaptureEnabled(boolean value) override;
    HRESULT STDMETHODCALLTYPE get_IsBorderRequired(boolean* value) override;
    HRESULT STDMETHODCALLTYPE put_IsBorderRequired(boolean value) override;
    HRESULT STDMETHODCALLTYPE get_MinUpdateInterval(ABI::Windows::Foundation::TimeSpan* value) override;
    HRESULT STDMETHODCALLTYPE put_MinUpdateInterval(ABI::Windows::Foundation::TimeSpan value) override;
    HRESULT STDMETHODCALLTYPE Close() override;

private:
    std::mutex mutex_;
    ComPtr<Pool> pool_;  // null once closed
    ComPtr<Item> item_;
    const unsigned build_;
    bool cursor_ = true, border_ = true, started_ = false;
    INT64 minInterval_ = 0;  // 100 ns units
};

class Frame final : public com::Object<Frame, capture::IDirect3D11CaptureFrame, IClosable> {
public:
    static constexpr const char* kKind = "Direct3D11CaptureFrame";
    static constexpr const wchar_t* kRuntimeClass = RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFrame;
    Frame(ComPtr<Surface> surface, INT64 time, ABI::Windows::Graphics::SizeInt32 content)
        : surface_(std::move(surface)), time_(time), content_(content) {}
    ~Frame() override { Close(); }  // a released frame checks its buffer back in as Close does

    HRESULT STDMETHODCALLTYPE get_Surface(IDirect3DSurface** value) override;
    HRESULT STDMETHODCALLTYPE get_SystemRelativeTime(ABI::Windows::Foundation::TimeSpan* value) override;
    HRESULT STDMETHODCALLTYPE get_ContentSize(ABI::Windows::Graphics::SizeInt32* value) override;
    HRESULT STDMETHODCALLTYPE Close() override;

private:
    std::mutex mutex_;
    ComPtr<Surface> surface_;  // null once closed
    const INT64 time_;
    const ABI::Windows::Graphics::SizeInt32 content_;
};

}  // namespace winsim::wgc
