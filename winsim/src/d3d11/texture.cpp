// Textures: the runtime's checks of a description, creation with initial data, and NT-handle
// sharing.
#include <algorithm>
#include <cstring>
#include <string>

#include "d3d11/resources.h"
#include "debug/layer.h"
#include "gpu/ops.h"
#include "dxgi/shared_resource.h"
#include "machine/faults.h"

namespace winsim::d3d11 {
namespace {

constexpr UINT kKnownMisc = D3D11_RESOURCE_MISC_GENERATE_MIPS | D3D11_RESOURCE_MISC_SHARED |
                            D3D11_RESOURCE_MISC_SHARED_NTHANDLE | D3D11_RESOURCE_MISC_SHARED_KEYEDMUTEX;
constexpr UINT kBothBinds = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;

uint32_t fullChain(uint32_t width, uint32_t height) {
    uint32_t count = 1;
    for (uint32_t m = std::max(width, height); m > 1; m >>= 1) ++count;
    return count;
}

// A staging texture: a copy destination or source the CPU maps, bound to nothing.
std::string stagingProblem(const D3D11_TEXTURE2D_DESC& d) {
    constexpr UINT kCpuAccess = D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE;
    if (d.BindFlags != 0) return "a staging texture cannot be bound";
    if (d.CPUAccessFlags == 0 || (d.CPUAccessFlags & ~kCpuAccess)) return "a staging texture needs CPU read or write access";
    if (d.MiscFlags != 0) return "a staging texture takes no misc flags";
    return {};
}

// What the runtime refuses in a description, or empty when it is valid. winsim models single
// 2D textures of default, immutable or staging usage; anything else is refused the same way.
std::string descProblem(const D3D11_TEXTURE2D_DESC& d, const D3D11_SUBRESOURCE_DATA* initial) {
    if (d.Width == 0 || d.Height == 0 || d.Width > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION ||
        d.Height > D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION)
        return "size out of range";
    if (d.MipLevels > fullChain(d.Width, d.Height)) return "more mip levels than the size allows";
    if (d.ArraySize != 1) return "texture arrays are not modelled";
    if (d.SampleDesc.Count != 1 || d.SampleDesc.Quality != 0) return "multisampling is not modelled";
    if (gpu::bytesPerPixel(d.Format) == 0) return "unsupported format " + std::to_string(d.Format);
    if (d.BindFlags & ~kBothBinds) return "bind flags other than shader resource and render target are not modelled";
    if (d.Usage == D3D11_USAGE_STAGING) return stagingProblem(d);
    if (d.Usage == D3D11_USAGE_DYNAMIC) return "dynamic textures are not modelled";
    if (d.Usage != D3D11_USAGE_DEFAULT && d.Usage != D3D11_USAGE_IMMUTABLE) return "unknown usage";
    if (d.CPUAccessFlags != 0) return "CPU access on a GPU-only texture";
    if (d.Usage == D3D11_USAGE_IMMUTABLE && (!initial || (d.BindFlags & D3D11_BIND_RENDER_TARGET)))
        return "an immutable texture needs initial data and cannot be a render target";
    if (d.MiscFlags & ~kKnownMisc) return "unknown misc flags";
    if ((d.MiscFlags & D3D11_RESOURCE_MISC_GENERATE_MIPS) && (d.BindFlags & kBothBinds) != kBothBinds)
        return "GENERATE_MIPS needs render-target and shader-resource binding";
    if (d.MiscFlags & D3D11_RESOURCE_MISC_SHARED_KEYEDMUTEX) return "keyed mutexes are not modelled";
    if ((d.MiscFlags & D3D11_RESOURCE_MISC_SHARED_NTHANDLE) && !(d.MiscFlags & D3D11_RESOURCE_MISC_SHARED))
        return "SHARED_NTHANDLE needs SHARED";
    if ((d.MiscFlags & D3D11_RESOURCE_MISC_SHARED) && d.Usage != D3D11_USAGE_DEFAULT)
        return "a shared texture must have default usage";
    return {};
}

std::string initialDataProblem(const gpu::Image& image, const D3D11_SUBRESOURCE_DATA* initial) {
    if (!initial) return {};
    for (uint32_t mip = 0; mip < image.mipLevels; ++mip)
        if (!initial[mip].pSysMem || initial[mip].SysMemPitch < image.rowPitch(mip))
            return "initial data of mip " + std::to_string(mip) + " missing or with a short pitch";
    return {};
}

void upload(gpu::Image& image, const D3D11_SUBRESOURCE_DATA* initial) {
    if (!initial) return;
    for (uint32_t mip = 0; mip < image.mipLevels; ++mip)
        gpu::writeRegion(image, mip, gpu::Rect{0, 0, image.mipWidth(mip), image.mipHeight(mip)},
                         static_cast<const uint8_t*>(initial[mip].pSysMem), initial[mip].SysMemPitch);
}

bool refusedByDriver(const AdapterState& adapter, const D3D11_TEXTURE2D_DESC& d) {
    return !adapter.config.mipsOnSharedTextures && (d.MiscFlags & D3D11_RESOURCE_MISC_GENERATE_MIPS) &&
           (d.MiscFlags & D3D11_RESOURCE_MISC_SHARED);
}

}  // namespace

HRESULT Device::CreateTexture2D(const D3D11_TEXTURE2D_DESC* desc, const D3D11_SUBRESOURCE_DATA* initial,
                                ID3D11Texture2D** texture) {
    constexpr const char* kCall = "ID3D11Device::CreateTexture2D";
    if (texture) *texture = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (removed()) return GetDeviceRemovedReason();
    if (!desc) return invalid(kCall, "no description");
    if (auto problem = descProblem(*desc, initial); !problem.empty()) return invalid(kCall, problem);
    if (refusedByDriver(*adapter_, *desc)) return E_INVALIDARG;  // a driver limit, not a misuse
    D3D11_TEXTURE2D_DESC actual = *desc;
    if (actual.MipLevels == 0) actual.MipLevels = fullChain(actual.Width, actual.Height);
    if (!texture) return S_FALSE;
    auto image = gpu::allocateImage(adapter_->ledger, {gpuFormat(actual.Format), actual.Width, actual.Height, actual.MipLevels});
    if (!image) return E_OUTOFMEMORY;
    if (auto problem = initialDataProblem(*image, initial); !problem.empty())
        return invalid(kCall, problem);
    upload(*image, initial);
    *texture = new Texture(ComPtr<Device>(this), std::move(image), actual);
    return S_OK;
}

ComPtr<ID3D11Texture2D> makeTexture(Device* device, std::shared_ptr<gpu::Image> image, const D3D11_TEXTURE2D_DESC& desc) {
    ComPtr<ID3D11Texture2D> texture;
    texture.Attach(new Texture(ComPtr<Device>(device), std::move(image), desc));
    return texture;
}

HRESULT Texture::GetSharedHandle(HANDLE* handle) {
    if (handle) *handle = nullptr;
    return E_INVALIDARG;  // only NT handles are modelled
}

HRESULT Texture::CreateSharedHandle(const SECURITY_ATTRIBUTES*, DWORD access, LPCWSTR name, HANDLE* handle) {
    constexpr const char* kCall = "IDXGIResource1::CreateSharedHandle";
    if (!handle) return E_INVALIDARG;
    *handle = nullptr;
    if (auto hr = fault(kCall)) return *hr;
    if (device_->removed()) return device_->GetDeviceRemovedReason();
    if (!(desc_.MiscFlags & D3D11_RESOURCE_MISC_SHARED_NTHANDLE))
        return invalid(kCall, "texture not created with SHARED_NTHANDLE");
    const DWORD known = DXGI_SHARED_RESOURCE_READ | DXGI_SHARED_RESOURCE_WRITE;
    if (access == 0 || (access != GENERIC_ALL && (access & ~known)))
        return invalid(kCall, "invalid access");
    if (name) return E_NOTIMPL;  // named shared objects are not modelled
    // CreateSharedHandle's remarks: "You can call CreateSharedHandle only once for a shared
    // resource; later calls fail. If you need more handles to the same shared resource, call
    // DuplicateHandle." The page names no code for a later call; DXGI_ERROR_INVALID_CALL is its
    // code for a call that is not valid.
    if (!claimSharedHandle()) {
        debug::message(kCall, "the resource has its NT handle already (DuplicateHandle makes more)");
        return DXGI_ERROR_INVALID_CALL;
    }
    *handle = kernel::insert(std::make_shared<dxgi::SharedResource>(image_, device_->adapter(), desc_.Format,
                                                                  (desc_.BindFlags & D3D11_BIND_RENDER_TARGET) != 0));
    return S_OK;
}

std::string nameSuffix(Texture* texture) {
    const std::string name = texture ? texture->privateData().name() : std::string();
    return name.empty() ? std::string() : " on '" + name + "'";
}

std::string copyNames(Texture* to, Texture* from) {
    const std::string a = to ? to->privateData().name() : std::string();
    const std::string b = from ? from->privateData().name() : std::string();
    if (a.empty() && b.empty()) return {};
    return " (destination '" + a + "', source '" + b + "')";
}

Texture* textureOf(ID3D11Resource* resource) { return resource ? dynamic_cast<Texture*>(resource) : nullptr; }
Buffer* bufferOf(ID3D11Resource* resource) { return resource ? dynamic_cast<Buffer*>(resource) : nullptr; }
RenderTargetView* viewOf(ID3D11RenderTargetView* view) { return view ? dynamic_cast<RenderTargetView*>(view) : nullptr; }
ShaderResourceView* viewOf(ID3D11ShaderResourceView* view) {
    return view ? dynamic_cast<ShaderResourceView*>(view) : nullptr;
}

}  // namespace winsim::d3d11
