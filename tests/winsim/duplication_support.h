// Desktop duplication tests' machine and helpers: still desktops and a still cursor on the
// documented platform, outputs found through a current factory, frames acquired with their
// textures.
#pragma once
#include <vector>

#include "d3d11_support.h"
#include "gpu/ledger.h"
#include "formats/dxgi_format.h"
#include "winsim/monitors.h"

constexpr DXGI_FORMAT kAllFormats[] = {DXGI_FORMAT_R16G16B16A16_FLOAT, DXGI_FORMAT_B8G8R8A8_UNORM,
                                       DXGI_FORMAT_R10G10B10A2_UNORM};

struct Frame {
    HRESULT hr = E_FAIL;
    DXGI_OUTDUPL_FRAME_INFO info{};
    ComPtr<ID3D11Texture2D> texture;
};

class DuplicationTest : public StillMachineTest {
protected:

    // As Microsoft's device-resources templates do, a factory that is no longer current (the
    // test changed a monitor) gives way to a new one before the outputs are enumerated.
    ComPtr<IDXGIOutput5> output(UINT index) {
        ComPtr<IDXGIFactory1> factory;
        EXPECT_EQ(adapter->GetParent(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        if (factory && !factory->IsCurrent()) {
            EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.ReleaseAndGetAddressOf())), S_OK);
            EXPECT_EQ(factory->EnumAdapters1(0, adapter.ReleaseAndGetAddressOf()), S_OK);
        }
        ComPtr<IDXGIOutput> found;
        ComPtr<IDXGIOutput5> output5;
        EXPECT_EQ(adapter->EnumOutputs(index, found.GetAddressOf()), S_OK);
        if (found) {
            EXPECT_EQ(found.As(&output5), S_OK);
        }
        return output5;
    }
    // DuplicateOutput1 with `formats`, or DuplicateOutput when there are none.
    ComPtr<IDXGIOutputDuplication> duplicate(UINT index, std::vector<DXGI_FORMAT> formats = {}, HRESULT expected = S_OK,
                                             IUnknown* on = nullptr) {
        ComPtr<IDXGIOutputDuplication> duplication;
        auto out = output(index);
        if (!out) return nullptr;
        IUnknown* dev = on ? on : device.Get();
        const HRESULT hr = formats.empty() ? out->DuplicateOutput(dev, duplication.GetAddressOf())
                                           : out->DuplicateOutput1(dev, 0, static_cast<UINT>(formats.size()),
                                                                   formats.data(), duplication.GetAddressOf());
        EXPECT_EQ(hr, expected);
        EXPECT_EQ(duplication != nullptr, SUCCEEDED(hr));
        return duplication;
    }
    static Frame acquire(IDXGIOutputDuplication* duplication, UINT timeoutMs = 0) {
        Frame frame;
        ComPtr<IDXGIResource> resource;
        frame.hr = duplication->AcquireNextFrame(timeoutMs, &frame.info, resource.GetAddressOf());
        if (resource) {
            EXPECT_EQ(resource.As(&frame.texture), S_OK);
        }
        return frame;
    }
    static DXGI_OUTDUPL_DESC descOf(IDXGIOutputDuplication* duplication) {
        DXGI_OUTDUPL_DESC desc{};
        duplication->GetDesc(&desc);
        return desc;
    }
    // Takes the first frame, which every duplication delivers at once, and hands it back.
    static void skipFirstFrame(IDXGIOutputDuplication* duplication) {
        ASSERT_EQ(acquire(duplication).hr, S_OK);
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    }
    // Takes and hands back a frame if one is pending.
    static void drain(IDXGIOutputDuplication* duplication) {
        if (acquire(duplication).hr == S_OK) {
            EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
        }
    }
    static uint64_t surfaceBytes(DXGI_FORMAT format, UINT width, UINT height) {
        return winsim::gpu::roundToPage(winsim::gpu::textureBytes(format, width, height, 1));
    }
};
