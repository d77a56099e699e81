// The shared texture ring: three 8-bit BGRA textures with a full mip chain where the driver allows
// it, shared through NT handles and opened on the consumer's Direct3D 12 device, and for desktops
// in another format the intermediate texture that the conversion pass reads.
#include <cstdio>

#include "impl.h"

namespace velda {
namespace {

constexpr UINT kSharedMisc = D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE;

// 1 + floor(log2(max(width, height))); 1 for a larger dimension of 0 or 1.
uint32_t fullMipCount(uint32_t width, uint32_t height) {
    uint32_t count = 1;
    for (uint32_t m = width > height ? width : height; m > 1; m >>= 1) ++count;
    return count;
}



}  // namespace

D3D11_TEXTURE2D_DESC textureDesc(uint32_t width, uint32_t height, uint32_t mips, DXGI_FORMAT format) {
    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = mips;
    desc.ArraySize = 1;
    desc.Format = format;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    return desc;
}

bool SourceCore::rebuildRing() {
    const bool built = buildRing();
    nameRing();  // also what a failed build left, until the next build or stop releases it
    ringRetrying = !built;
    return built;
}

bool SourceCore::buildGeneration() {
    if (!rebuildRing()) return false;
    if (needsConvert) noticeConversion(desktopFormat);
    std::lock_guard lock(stateMutex);
    latestIndex = -1;
    ++generation;
    return true;
}

bool SourceCore::buildRing() {
    releaseRing(true);
    // Desktops in other formats, and images that are turned upright, go through the conversion
    // pass; the intermediate for the images the mode is expected in is made with the ring.
    needsConvert = convertsFormat(desktopFormat);
    isHdr = desktopFormat == DXGI_FORMAT_R16G16B16A16_FLOAT;  // until the output's colour space tells
    {
        std::lock_guard lock(stateMutex);  // a setCursorDrawn meanwhile is not undone
        drawCursor.exchange(cursorSetting != 0);
    }
    if (needsConvert && !makeIntermediate(desktopFormat)) {
        if (!ringRetrying) std::fprintf(stderr, "capture: convert intermediate (fmt %d) failed\n", static_cast<int>(desktopFormat));
        return false;
    }
    mipLevels = fullMipCount(width, height);
    D3D11_TEXTURE2D_DESC desc = textureDesc(width, height, mipLevels, DXGI_FORMAT_B8G8R8A8_UNORM);
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
    desc.MiscFlags = D3D11_RESOURCE_MISC_GENERATE_MIPS | kSharedMisc;
    // Some Direct3D 11 drivers refuse mips on a shared texture, and Direct3D 12 is only sure to
    // open a shared texture of one mip: either refusal gives a ring without mips.
    const FirstSlot first = makeSharedFirstSlot(desc);
    if (first == FirstSlot::Failed) return false;
    if (first == FirstSlot::Refused) {
        if (!ringRetrying)
            std::fputs("capture: mipped shared texture refused — falling back to no mips (expect shimmer)\n", stderr);
        mipLevels = 1;
        desc.MipLevels = 1;
        desc.MiscFlags = kSharedMisc;
        if (FAILED(device->CreateTexture2D(&desc, nullptr, ringTextures[0].ReleaseAndGetAddressOf()))) {
            if (!ringRetrying) std::fputs("capture: shared texture creation failed\n", stderr);
            return false;
        }
    }
    for (int slot = 0; slot < kRingSize; ++slot)
        if (!buildSlot(slot, desc)) return false;
    std::lock_guard lock(stateMutex);
    ringComplete = true;
    return true;
}

// Empties the ring and the intermediate. A rebuild keeps (retires) the Direct3D 12 resources a
// consumer was handed, dropping the ones retired before them; resources nobody was handed go at
// once. `stop` keeps nothing.
void SourceCore::releaseRing(bool keepHandedOut) {
    {
        std::lock_guard lock(stateMutex);
        ringComplete = false;
        if (keepHandedOut && ringHandedOut) retiredResources.swap(ringResources);
        ringHandedOut = false;
    }
    for (int i = 0; i < kRingSize; ++i) {
        ringTextures[i].Reset();
        ringRtvs[i].Reset();
        ringSrvs[i].Reset();
        ringResources[i].Reset();
    }
    if (!keepHandedOut)
        for (auto& retired : retiredResources) retired.Reset();
    intermediates.clear();
    stagedFormat = DXGI_FORMAT_UNKNOWN;
    pointerPending = false;
}

// A conversion program that could not be made before (a passing compiler or driver failure) is
// tried again, so the pass is skipped only while it really cannot be made.
Intermediate* SourceCore::makeIntermediate(DXGI_FORMAT format) {
    if (!convertVs || !convertPs) createConvertProgram();
    if (quarterTurns != 0 && convertVs && !convertTurnedPs) createTurnedProgram();
    Intermediate made{format, nullptr, nullptr};
    D3D11_TEXTURE2D_DESC desc = textureDesc(imageWidth(), imageHeight(), 1, format);
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    if (FAILED(device->CreateTexture2D(&desc, nullptr, made.texture.GetAddressOf())) ||
        FAILED(device->CreateShaderResourceView(made.texture.Get(), nullptr, made.view.GetAddressOf())))
        return nullptr;
    intermediates.push_back(std::move(made));
    return &intermediates.back();
}

Intermediate* SourceCore::intermediateFor(DXGI_FORMAT format) {
    for (Intermediate& known : intermediates)
        if (known.format == format) return &known;
    Intermediate* made = makeIntermediate(format);
    if (made) noticeConversion(format);
    nameRing();
    return made;
}

SourceCore::FirstSlot SourceCore::makeSharedFirstSlot(const D3D11_TEXTURE2D_DESC& desc) {
    if (FAILED(device->CreateTexture2D(&desc, nullptr, ringTextures[0].ReleaseAndGetAddressOf())))
        return desc.MipLevels > 1 ? FirstSlot::Refused : FirstSlot::Failed;
    bool atOpen = false;
    const HRESULT hr = shareSlot(0, atOpen);
    if (SUCCEEDED(hr)) return FirstSlot::Opened;
    // Only a mip chain can be refused: a texture of one mip that Direct3D 12 will not open fails.
    if (atOpen && hr == E_INVALIDARG && desc.MipLevels > 1) {
        ringTextures[0].Reset();  // its one shared handle is spent: a texture without mips replaces it
        return FirstSlot::Refused;
    }
    if (atOpen && !ringRetrying) reportOpenFailure(hr);
    return FirstSlot::Failed;
}

bool SourceCore::buildSlot(int slot, const D3D11_TEXTURE2D_DESC& desc) {
    auto& texture = ringTextures[slot];
    if (!texture && FAILED(device->CreateTexture2D(&desc, nullptr, texture.GetAddressOf()))) return false;
    if (FAILED(device->CreateRenderTargetView(texture.Get(), nullptr, ringRtvs[slot].ReleaseAndGetAddressOf())))
        return false;
    if (mipLevels > 1 &&
        FAILED(device->CreateShaderResourceView(texture.Get(), nullptr, ringSrvs[slot].ReleaseAndGetAddressOf())))
        return false;
    if (ringResources[slot]) return true;  // opened already, when the first slot's mips were tried
    bool atOpen = false;
    const HRESULT hr = shareSlot(slot, atOpen);
    if (atOpen && FAILED(hr) && !ringRetrying) reportOpenFailure(hr);
    return SUCCEEDED(hr);
}

// A texture has one shared handle: it is made once, and closed as soon as Direct3D 12 holds the
// texture. `atOpen` tells a failure of OpenSharedHandle from one before it.
HRESULT SourceCore::shareSlot(int slot, bool& atOpen) {
    atOpen = false;
    ComPtr<IDXGIResource1> shared;
    if (const HRESULT hr = ringTextures[slot].As(&shared); FAILED(hr)) return hr;
    HANDLE raw = nullptr;
    if (const HRESULT hr = shared->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ | DXGI_SHARED_RESOURCE_WRITE,
                                                      nullptr, &raw);
        FAILED(hr))
        return hr;
    UniqueHandle handle(raw);
    atOpen = true;
    return d3d12Device->OpenSharedHandle(handle.get(), IID_PPV_ARGS(ringResources[slot].ReleaseAndGetAddressOf()));
}

void reportOpenFailure(HRESULT hr) { std::fprintf(stderr, "capture: D3D12 OpenSharedHandle failed (0x%08lx)\n", hex(hr)); }

}  // namespace velda
