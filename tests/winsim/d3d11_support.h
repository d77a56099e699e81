// A Direct3D 11 device and context on adapter 0, with helpers to make and wait for GPU work.
#pragma once
#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <vector>

#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

class D3D11Test : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                                    nullptr, 0, D3D11_SDK_VERSION, device.GetAddressOf(), nullptr,
                                    context.GetAddressOf()),
                  S_OK);
        ASSERT_EQ(device.As(&device5), S_OK);
        ASSERT_EQ(context.As(&context4), S_OK);
    }
    void TearDown() override {
        context4.Reset();
        device5.Reset();
        context.Reset();
        device.Reset();
        adapter.Reset();
        WinsimTest::TearDown();
    }

    static D3D11_TEXTURE2D_DESC desc(UINT width, UINT height, UINT mips = 1, UINT misc = 0,
                                     DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM) {
        D3D11_TEXTURE2D_DESC d{};
        d.Width = width;
        d.Height = height;
        d.MipLevels = mips;
        d.ArraySize = 1;
        d.Format = format;
        d.SampleDesc.Count = 1;
        d.Usage = D3D11_USAGE_DEFAULT;
        d.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
        d.MiscFlags = misc;
        return d;
    }

    ComPtr<ID3D11Texture2D> texture(const D3D11_TEXTURE2D_DESC& d, const void* pixels = nullptr) {
        D3D11_SUBRESOURCE_DATA data{pixels, d.Width * 4, 0};
        ComPtr<ID3D11Texture2D> t;
        EXPECT_EQ(device->CreateTexture2D(&d, pixels ? &data : nullptr, t.GetAddressOf()), S_OK);
        return t;
    }

    ComPtr<ID3D11Fence> newFence() {
        ComPtr<ID3D11Fence> fence;
        EXPECT_EQ(device5->CreateFence(0, D3D11_FENCE_FLAG_NONE, IID_PPV_ARGS(fence.GetAddressOf())), S_OK);
        return fence;
    }

    // Signals a fresh fence, flushes and waits for the queue to reach it; false on a time-out.
    bool finish(DWORD timeoutMs = 10000) {
        ComPtr<ID3D11Fence> fence = newFence();
        if (!fence) return false;
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        context4->Signal(fence.Get(), 1);
        fence->SetEventOnCompletion(1, event);
        context->Flush();
        const bool done = WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0;
        CloseHandle(event);
        return done;
    }

    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<ID3D11Device5> device5;
    ComPtr<ID3D11DeviceContext4> context4;
};

// A D3D11Test on the documented platform (the variants have tests of their own), with still
// desktops and a still cursor: every update comes from the test.
class StillMachineTest : public D3D11Test {
protected:
    bool takesEnvironmentVariants() const override { return false; }
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.movingCursor = false;
        for (auto& adapter : config.adapters)
            for (auto& output : adapter.outputs) output.updateHz = 0;
    }
};

// BGRA pixels of a w x h image, each byte a function of its place.
inline std::vector<uint8_t> pattern(UINT width, UINT height, unsigned seed = 1) {
    std::vector<uint8_t> bytes(size_t{width} * height * 4);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 2654435761u + seed * 97) >> 13);
    return bytes;
}
