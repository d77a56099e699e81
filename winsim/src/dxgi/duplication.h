// Desktop duplication of one output for one Direct3D 11 device: frames of the output's desktop
// in the delivered format, pointer positions and shapes, and lost access once the output changes.
#pragma once
#include <memory>

#include <dxgi1_6.h>
#include <wrl/client.h>

#include "com/object.h"
#include "d3d11/device.h"
#include "machine/frame_images.h"
#include "machine/machine.h"

namespace winsim::dxgi {

using Microsoft::WRL::ComPtr;

// Creates a duplication of `output` (an output of `adapter`) for `device`, or refuses as the
// runtime does. `formats` null: DuplicateOutput, which always delivers B8G8R8A8; otherwise
// DuplicateOutput1's list of formats the caller accepts.
HRESULT duplicateOutput(IDXGIOutput* parent, const std::shared_ptr<Machine>& machine, const AdapterState& adapter,
                        const std::shared_ptr<OutputState>& output, IUnknown* device, const DXGI_FORMAT* formats,
                        UINT formatCount, IDXGIOutputDuplication** out);

class Duplication final : public com::Object<Duplication, IDXGIOutputDuplication> {
public:
    static constexpr const char* kKind = "IDXGIOutputDuplication";
    // Registers with the output and the machine; the machine's lock is held.
    Duplication(ComPtr<IDXGIOutput> parent, ComPtr<d3d11::Device> device, std::shared_ptr<Machine> machine,
                std::shared_ptr<OutputState> output, std::shared_ptr<gpu::Allocation> surface, DXGI_FORMAT format);
    ~Duplication() override;

    HRESULT STDMETHODCALLTYPE GetParent(REFIID riid, void** parent) override { return parent_->QueryInterface(riid, parent); }
    void STDMETHODCALLTYPE GetDesc(DXGI_OUTDUPL_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE AcquireNextFrame(UINT timeoutMs, DXGI_OUTDUPL_FRAME_INFO* info,
                                               IDXGIResource** resource) override;
    HRESULT STDMETHODCALLTYPE GetFramePointerShape(UINT bufferSize, void* buffer, UINT* requiredSize,
                                                   DXGI_OUTDUPL_POINTER_SHAPE_INFO* info) override;
    HRESULT STDMETHODCALLTYPE ReleaseFrame() override;

private:
    // What changed since the last frame (the machine's lock is held).
    struct Update {
        uint64_t version = 0;
        bool desktop = false;
        bool pointer = false;
        bool shape = false;
        bool over = false;  // the pointer shows over this output
        bool any() const { return desktop || pointer; }
    };
    Update pending(Clock::time_point now) const;
    HRESULT deliver(const Update& update, Clock::time_point now, DXGI_OUTDUPL_FRAME_INFO& info, IDXGIResource** resource);
    // The desktop at `version` as it is drawn now, and how to draw it.
    FrameContent content(uint64_t version) const;
    void draw(gpu::Image& target, uint64_t version) const;

    ComPtr<IDXGIOutput> parent_;
    ComPtr<d3d11::Device> device_;
    std::shared_ptr<Machine> machine_;
    std::shared_ptr<OutputState> output_;
    // Fixed at creation: any change to them costs access.
    const uint64_t epoch_;
    const OutputConfig config_;
    const DXGI_FORMAT format_;

    // Guarded by the machine's lock:
    FrameImages images_;
    bool delivered_ = false;  // a frame was delivered
    bool frameHeld_ = false;
    uint64_t lastVersion_ = 0;
    uint64_t seenMoves_ = 0;
    uint64_t seenShapes_ = 0;
    bool wasOver_ = false;
    CursorShape shape_;  // the shape as of the last frame that reported one
};

}  // namespace winsim::dxgi
