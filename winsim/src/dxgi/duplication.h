// Desktop duplication of one output for one Direct3D 11 device: the machine's compositor makes
// the frames, pointer positions and shapes; this object checks the caller's arguments, reports
// them in DXGI's terms and hands frames out as textures of the device.
#pragma once
#include <memory>

#include <dxgi1_6.h>
#include <wrl/client.h>

#include "com/object.h"
#include "d3d11/device.h"
#include "dxgi/snapshot.h"
#include "machine/compositor.h"
#include "machine/machine.h"

namespace winsim::dxgi {

using Microsoft::WRL::ComPtr;

// Creates a duplication of `output` (an output of `adapter`, as its factory enumerated it) for
// `device`, or refuses as the runtime does. `formats` null: DuplicateOutput, which always
// delivers B8G8R8A8; otherwise DuplicateOutput1's list of formats the caller accepts.
HRESULT duplicateOutput(IDXGIOutput* parent, const std::shared_ptr<Machine>& machine, const AdapterState& adapter,
                        const OutputSnapshot& output, IUnknown* device, const DXGI_FORMAT* formats,
                        UINT formatCount, IDXGIOutputDuplication** out);

class Duplication final : public com::Object<Duplication, IDXGIOutputDuplication> {
public:
    static constexpr const char* kKind = "IDXGIOutputDuplication";
    Duplication(ComPtr<IDXGIOutput> parent, ComPtr<d3d11::Device> device, std::shared_ptr<Machine> machine,
                std::unique_ptr<Compositor> compositor);

    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override { return parent_->QueryInterface(riid, parent); }
    void STDMETHODCALLTYPE GetDesc(DXGI_OUTDUPL_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE AcquireNextFrame(UINT timeoutMs, DXGI_OUTDUPL_FRAME_INFO* info,
                                               IDXGIResource** resource) override;
    HRESULT STDMETHODCALLTYPE GetFramePointerShape(UINT bufferSize, void* buffer, UINT* requiredSize,
                                                   DXGI_OUTDUPL_POINTER_SHAPE_INFO* info) override;
    HRESULT STDMETHODCALLTYPE GetFrameDirtyRects(UINT bufferSize, RECT* rects, UINT* requiredSize) override;
    HRESULT STDMETHODCALLTYPE GetFrameMoveRects(UINT bufferSize, DXGI_OUTDUPL_MOVE_RECT* rects,
                                                UINT* requiredSize) override;
    HRESULT STDMETHODCALLTYPE ReleaseFrame() override;

private:
    // The device was removed or the output changed since the duplication began (lock held).
    bool accessLost() const;
    HRESULT deliver(NextFrame frame, DXGI_OUTDUPL_FRAME_INFO& info, IDXGIResource** resource);

    ComPtr<IDXGIOutput> parent_;
    ComPtr<d3d11::Device> device_;
    std::shared_ptr<Machine> machine_;
    std::unique_ptr<Compositor> compositor_;
    // Guarded by the machine's lock:
    bool frameHeld_ = false;
    bool frameRedrawn_ = false;  // the held frame's desktop changed: the whole image is dirty
};

}  // namespace winsim::dxgi
