// The frame pool's and the session's factories, and which factory a class name activates.
#include "machine/faults.h"
#include "wgc/activation.h"
#include "wgc/capture.h"
#include "wgc/factories.h"

namespace winsim::wgc {
namespace {

// Windows 10 1903 (18362) is the first build whose items can be made for a monitor.
constexpr unsigned kFirstBuild = 18362;

bool captures(const Machine& machine) {
    return machine.config().graphicsCapture && machine.config().windowsBuild >= kFirstBuild;
}

HRESULT notActivatable(const char* name, IInspectable** instance) {
    if (instance) *instance = nullptr;
    debug::message(name, "the class is not activatable");
    return E_NOTIMPL;
}

}  // namespace

HRESULT PoolFactory::ActivateInstance(IInspectable** instance) {
    return notActivatable("Direct3D11CaptureFramePool", instance);
}

// A pool made by Create raises FrameArrived through the creating thread's DispatcherQueue, which
// winsim does not model: CreateFreeThreaded is the pool winsim has.
HRESULT PoolFactory::Create(IDirect3DDevice*, DirectX::DirectXPixelFormat, INT32, ABI::Windows::Graphics::SizeInt32,
                            capture::IDirect3D11CaptureFramePool** result) {
    if (result) *result = nullptr;
    debug::message("IDirect3D11CaptureFramePoolStatics::Create", "no DispatcherQueue in winsim: use CreateFreeThreaded");
    return E_NOTIMPL;
}

HRESULT PoolFactory::CreateFreeThreaded(IDirect3DDevice* device, DirectX::DirectXPixelFormat format, INT32 buffers,
                                        ABI::Windows::Graphics::SizeInt32 size,
                                        capture::IDirect3D11CaptureFramePool** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (auto hr = fault("IDirect3D11CaptureFramePoolStatics2::CreateFreeThreaded")) return *hr;
    PoolSettings settings;
    if (auto hr = checkPool(device, format, buffers, size, settings); FAILED(hr)) return hr;
    if (settings.device->removed()) return settings.device->GetDeviceRemovedReason();
    auto pool = Pool::make(machine_, std::move(settings));
    if (!pool) return E_OUTOFMEMORY;
    *result = pool.Detach();
    return S_OK;
}

HRESULT SessionFactory::ActivateInstance(IInspectable** instance) {
    return notActivatable("GraphicsCaptureSession", instance);
}

// IsSupported: "true if screen capture is supported on the device".
HRESULT SessionFactory::IsSupported(boolean* result) {
    if (!result) return E_POINTER;
    *result = captures(*machine_);
    return S_OK;
}

// The session's statics answer on every machine (IsSupported says false where capture is not);
// the item's and the pool's classes are registered only where it is.
HRESULT activationFactory(const std::wstring& classId, REFIID iid, void** factory) {
    auto machine = currentMachine();
    if (!machine) return E_FAIL;
    if (classId == RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession)
        return com::handOut(new SessionFactory(machine), iid, factory);
    if (!captures(*machine)) return REGDB_E_CLASSNOTREG;
    if (classId == RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem)
        return com::handOut(new ItemFactory(machine), iid, factory);
    if (classId == RuntimeClass_Windows_Graphics_Capture_Direct3D11CaptureFramePool)
        return com::handOut(new PoolFactory(machine), iid, factory);
    return REGDB_E_CLASSNOTREG;
}

}  // namespace winsim::wgc
