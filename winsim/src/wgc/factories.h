// The activation factories of Windows.Graphics.Capture's classes, each with its statics.
#pragma once
#include <activation.h>
#include <windows.graphics.capture.h>
#include <windows.graphics.capture.interop.h>

#include "com/object.h"
#include "machine/machine.h"

namespace winsim::wgc {

class ItemFactory final : public com::Object<ItemFactory, IActivationFactory, IGraphicsCaptureItemInterop> {
public:
    static constexpr const char* kKind = "GraphicsCaptureItemFactory";
    explicit ItemFactory(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override;
    HRESULT STDMETHODCALLTYPE CreateForWindow(HWND window, REFIID riid, void** result) override;
    HRESULT STDMETHODCALLTYPE CreateForMonitor(HMONITOR monitor, REFIID riid, void** result) override;

private:
    std::shared_ptr<Machine> machine_;
};

class PoolFactory final
    : public com::Object<PoolFactory, IActivationFactory, ABI::Windows::Graphics::Capture::IDirect3D11CaptureFramePoolStatics,
                         ABI::Windows::Graphics::Capture::IDirect3D11CaptureFramePoolStatics2> {
public:
    static constexpr const char* kKind = "Direct3D11CaptureFramePoolFactory";
    explicit PoolFactory(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override;
    HRESULT STDMETHODCALLTYPE Create(ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice* device,
                                     ABI::Windows::Graphics::DirectX::DirectXPixelFormat format, INT32 buffers,
                                     ABI::Windows::Graphics::SizeInt32 size,
                                     ABI::Windows::Graphics::Capture::IDirect3D11CaptureFramePool** result) override;
    HRESULT STDMETHODCALLTYPE CreateFreeThreaded(
        ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice* device,
        ABI::Windows::Graphics::DirectX::DirectXPixelFormat format, INT32 buffers,
        ABI::Windows::Graphics::SizeInt32 size,
        ABI::Windows::Graphics::Capture::IDirect3D11CaptureFramePool** result) override;

private:
    std::shared_ptr<Machine> machine_;
};

class SessionFactory final
    : public com::Object<SessionFactory, IActivationFactory,
                         ABI::Windows::Graphics::Capture::IGraphicsCaptureSessionStatics> {
public:
    static constexpr const char* kKind = "GraphicsCaptureSessionFactory";
    explicit SessionFactory(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override;
    HRESULT STDMETHODCALLTYPE IsSupported(boolean* result) override;

private:
    std::shared_ptr<Machine> machine_;
};

}  // namespace winsim::wgc
