#include "d3d12/resource.h"

#include "d3d12/device.h"

namespace winsim::d3d12 {
namespace {
bool anyPromotion(const D3D12_RESOURCE_DESC& desc) {
    return desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER || (desc.Flags & D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS);
}
}  // namespace

Resource::Resource(Microsoft::WRL::ComPtr<Device> device, std::shared_ptr<gpu::Image> image,
                   const D3D12_RESOURCE_DESC& desc, D3D12_HEAP_TYPE heap, D3D12_RESOURCE_STATES initial)
    : Child(std::move(device)), image_(std::move(image)), desc_(desc), heap_(heap) {
    states_ = std::make_shared<ResourceStates>(subresources(), initial, anyPromotion(desc));
}

HRESULT Resource::Map(UINT subresource, const D3D12_RANGE*, void** data) {
    constexpr const char* kCall = "ID3D12Resource::Map";
    if (data) *data = nullptr;
    if (heap_ != D3D12_HEAP_TYPE_UPLOAD && heap_ != D3D12_HEAP_TYPE_READBACK)
        return refuse(kCall, "only resources in upload and read-back heaps can be mapped");
    if (subresource != 0) return refuse(kCall, "a buffer has one subresource");
    ++maps_;
    if (data) *data = image_->mips[0].data();
    return S_OK;
}

void Resource::Unmap(UINT subresource, const D3D12_RANGE*) {
    constexpr const char* kCall = "ID3D12Resource::Unmap";
    if (subresource != 0) return debug::message(kCall, "a buffer has one subresource");
    int maps = maps_.load();
    do {
        if (maps == 0) return debug::message(kCall, "not mapped");
    } while (!maps_.compare_exchange_weak(maps, maps - 1));
}

HRESULT Resource::GetHeapProperties(D3D12_HEAP_PROPERTIES* properties, D3D12_HEAP_FLAGS* flags) {
    if (properties) *properties = D3D12_HEAP_PROPERTIES{heap_, D3D12_CPU_PAGE_PROPERTY_UNKNOWN, D3D12_MEMORY_POOL_UNKNOWN, 1, 1};
    if (flags) *flags = D3D12_HEAP_FLAG_NONE;
    return S_OK;
}

Resource* resourceOf(ID3D12Resource* resource) { return dynamic_cast<Resource*>(resource); }

}  // namespace winsim::d3d12
