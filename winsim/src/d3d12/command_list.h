// A graphics command list: copies and barriers recorded between Reset and Close, run when a
// command queue executes the list (as often as it does). Recorded work names its images weakly,
// as the runtime holds no reference to what a list uses: an image released before the list runs
// is reported, and its copy dropped.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "d3d12/command_allocator.h"
#include "d3d12/object.h"
#include "d3d12/states.h"
#include "gpu/queue.h"
#include "gpu/texture.h"

namespace winsim::d3d12 {

class Resource;

class CommandList final : public Child<CommandList, ID3D12GraphicsCommandList> {
public:
    static constexpr const char* kKind = "ID3D12GraphicsCommandList";
    CommandList(Microsoft::WRL::ComPtr<Device> device, D3D12_COMMAND_LIST_TYPE type,
                Microsoft::WRL::ComPtr<CommandAllocator> allocator);
    ~CommandList() override;

    D3D12_COMMAND_LIST_TYPE STDMETHODCALLTYPE GetType() override { return type_; }
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE Reset(ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState) override;
    void STDMETHODCALLTYPE CopyBufferRegion(ID3D12Resource* dst, UINT64 dstOffset, ID3D12Resource* src, UINT64 srcOffset,
                                            UINT64 numBytes) override;
    void STDMETHODCALLTYPE CopyTextureRegion(const D3D12_TEXTURE_COPY_LOCATION* dst, UINT dstX, UINT dstY, UINT dstZ,
                                             const D3D12_TEXTURE_COPY_LOCATION* src, const D3D12_BOX* srcBox) override;
    void STDMETHODCALLTYPE CopyResource(ID3D12Resource* dst, ID3D12Resource* src) override;
    void STDMETHODCALLTYPE ResourceBarrier(UINT numBarriers, const D3D12_RESOURCE_BARRIER* barriers) override;

    bool closed() const { return !recording_; }
    CommandAllocator* allocator() const { return allocator_.Get(); }
    const StateTracker& tracker() const { return tracker_; }
    // The recorded work as the queue runs it, holding its images until it has run.
    std::vector<gpu::Command> prepare() const;

private:
    // A copy from `from` to `to`, run with both images alive.
    using Copy = std::function<void(gpu::Image& to, const gpu::Image& from)>;
    void record(const Resource& to, const Resource& from, Copy copy);
    // The resource behind `resource` if it is one of this device's, else a debug message and null.
    Resource* own(const char* call, ID3D12Resource* resource) const;
    bool recording(const char* call) const;
    void transition(const D3D12_RESOURCE_TRANSITION_BARRIER& barrier);
    void copyTexture(const D3D12_TEXTURE_COPY_LOCATION& dst, UINT x, UINT y, const D3D12_TEXTURE_COPY_LOCATION& src,
                     const D3D12_BOX* box);

    const D3D12_COMMAND_LIST_TYPE type_;
    Microsoft::WRL::ComPtr<CommandAllocator> allocator_;
    bool recording_ = true;
    StateTracker tracker_;
    std::vector<std::function<std::optional<gpu::Command>()>> recorded_;
};

}  // namespace winsim::d3d12
