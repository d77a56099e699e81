// Shader-resource views, checked against their resource as the runtime's debug layer checks them.
#include <string>

#include "d3d12/descriptor_heap.h"
#include "d3d12/device.h"
#include "d3d12/resource.h"
#include "formats/dxgi_format.h"

namespace winsim::d3d12 {
namespace {
constexpr const char* kCall = "ID3D12Device::CreateShaderResourceView";

bool typeless(DXGI_FORMAT format) { return format == DXGI_FORMAT_B8G8R8A8_TYPELESS; }

// The mapping of each component: a memory component 0-3 or a forced 0 or 1, with the bit that
// tells a real mapping from zeroed memory.
bool validMapping(UINT mapping) {
    if (!(mapping & D3D12_SHADER_COMPONENT_MAPPING_ALWAYS_SET_BIT_AVOIDING_ZEROMEM_MISTAKES)) return false;
    if (mapping >> (D3D12_SHADER_COMPONENT_MAPPING_SHIFT * 4 + 1)) return false;
    for (int i = 0; i < 4; ++i)
        if (((mapping >> (i * D3D12_SHADER_COMPONENT_MAPPING_SHIFT)) & D3D12_SHADER_COMPONENT_MAPPING_MASK) > 5) return false;
    return true;
}

std::string checkTexture(const Resource& resource, const D3D12_SHADER_RESOURCE_VIEW_DESC& view) {
    if (view.ViewDimension != D3D12_SRV_DIMENSION_TEXTURE2D) return "a 2D texture takes a TEXTURE2D view";
    const DXGI_FORMAT format = view.Format == DXGI_FORMAT_UNKNOWN ? resource.desc().Format : view.Format;
    if (typeless(format)) return "a view needs a fully typed format";
    if (gpuFormat(format) != resource.image()->format) return "the view's format is not of the resource's format family";
    const auto& t = view.Texture2D;
    const UINT mips = resource.subresources();
    if (t.MostDetailedMip >= mips) return "MostDetailedMip beyond the resource's mips";
    if (t.MipLevels != UINT(-1) && (t.MipLevels == 0 || t.MipLevels > mips - t.MostDetailedMip))
        return "MipLevels reaches beyond the resource's mips";
    if (t.PlaneSlice != 0) return "a single-plane format has plane 0 only";
    if (!(t.ResourceMinLODClamp >= 0.0f)) return "ResourceMinLODClamp is negative";
    return {};
}

std::string checkBuffer(const Resource& resource, const D3D12_SHADER_RESOURCE_VIEW_DESC& view) {
    if (view.ViewDimension != D3D12_SRV_DIMENSION_BUFFER) return "a buffer takes a BUFFER view";
    const auto& b = view.Buffer;
    if (b.Flags & D3D12_BUFFER_SRV_FLAG_RAW) return "a raw buffer view is not modelled";
    const UINT stride = b.StructureByteStride ? b.StructureByteStride : gpu::bytesPerPixel(view.Format);
    if (stride == 0) return "a buffer view needs a format or a structure stride";
    if (b.StructureByteStride && view.Format != DXGI_FORMAT_UNKNOWN) return "a structured view has no format";
    if (b.NumElements == 0 || (b.FirstElement + b.NumElements) * stride > resource.desc().Width)
        return "the elements reach past the end of the buffer";
    return {};
}

std::string check(const Resource* resource, const D3D12_SHADER_RESOURCE_VIEW_DESC* view) {
    if (!resource) return view ? std::string() : "a null view needs a description";
    if (resource->desc().Flags & D3D12_RESOURCE_FLAG_DENY_SHADER_RESOURCE) return "the resource denies shader resources";
    if (!view) {
        if (resource->isBuffer()) return "a buffer view needs a description";
        if (typeless(resource->desc().Format)) return "a typeless resource's view needs a description";
        return {};
    }
    if (!validMapping(view->Shader4ComponentMapping)) return "Shader4ComponentMapping is not a valid mapping";
    return resource->isBuffer() ? checkBuffer(*resource, *view) : checkTexture(*resource, *view);
}

D3D12_SHADER_RESOURCE_VIEW_DESC defaultView(const Resource& resource) {
    D3D12_SHADER_RESOURCE_VIEW_DESC view{};
    view.Format = resource.desc().Format;
    view.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
    view.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    view.Texture2D.MipLevels = resource.subresources();
    return view;
}

}  // namespace

void Device::CreateShaderResourceView(ID3D12Resource* resource, const D3D12_SHADER_RESOURCE_VIEW_DESC* desc,
                                      D3D12_CPU_DESCRIPTOR_HANDLE destination) {
    auto* known = resourceOf(resource);
    if (resource && (!known || known->device() != this)) return debug::message(kCall, "not a resource of this device");
    if (auto reason = check(known, desc); !reason.empty()) return debug::message(kCall, reason);
    const D3D12_SHADER_RESOURCE_VIEW_DESC view = desc ? *desc : defaultView(*known);
    bool typeMatches = true;
    const bool found = withHeap(destination, [&](DescriptorHeap& heap) {
        typeMatches = heap.GetDesc().Type == D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV;
        if (typeMatches) heap.writeView(destination, view);
    });
    if (!found) return debug::message(kCall, "the destination is not a descriptor of a heap of this device");
    if (!typeMatches) return debug::message(kCall, "the destination is not in a CBV_SRV_UAV heap");
}

}  // namespace winsim::d3d12
