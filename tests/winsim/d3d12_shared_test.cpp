// A consumer reads a texture that Direct3D 11 shares: opened with OpenSharedHandle, copied from
// COMMON by a Direct3D 12 command list into a read-back buffer, mapped after the fence.
#include <d3d11_4.h>

#include "winsim/d3d12_support.h"

namespace {

class D3D12SharedTest : public D3D12Test {
protected:
    void SetUp() override {
        D3D12Test::SetUp();
        ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    &producer, nullptr, &context),
                  S_OK);
    }
    void TearDown() override {
        context.Reset();
        producer.Reset();
        D3D12Test::TearDown();
    }
    ComPtr<ID3D11Device> producer;
    ComPtr<ID3D11DeviceContext> context;
};

TEST_F(D3D12SharedTest, ASharedTextureIsReadThroughACommandList) {
    constexpr UINT kWidth = 70, kHeight = 5;
    std::vector<uint32_t> pixels(kWidth * kHeight);
    for (UINT i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | i * 2654435761u >> 8;
    D3D11_TEXTURE2D_DESC d{kWidth, kHeight, 1, 1, DXGI_FORMAT_B8G8R8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                           D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, 0,
                           D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE};
    const D3D11_SUBRESOURCE_DATA initial{pixels.data(), kWidth * 4, 0};
    ComPtr<ID3D11Texture2D> texture;
    ASSERT_EQ(producer->CreateTexture2D(&d, &initial, &texture), S_OK);
    ComPtr<IDXGIResource1> shareable;
    ASSERT_EQ(texture.As(&shareable), S_OK);
    HANDLE handle = nullptr;
    ASSERT_EQ(shareable->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ, nullptr, &handle), S_OK);
    ComPtr<ID3D12Resource> slot;
    ASSERT_EQ(device->OpenSharedHandle(handle, IID_PPV_ARGS(&slot)), S_OK);
    CloseHandle(handle);
    EXPECT_TRUE(slot->GetDesc().Flags & D3D12_RESOURCE_FLAG_ALLOW_SIMULTANEOUS_ACCESS);

    const D3D12_RESOURCE_DESC desc = slot->GetDesc();
    D3D12_PLACED_SUBRESOURCE_FOOTPRINT footprint{};
    UINT64 total = 0;
    device->GetCopyableFootprints(&desc, 0, 1, 0, &footprint, nullptr, nullptr, &total);
    auto back = readback(total);
    for (int frame = 0; frame < 2; ++frame) {  // from COMMON each time: the state decays after each use
        if (frame) restart();
        const auto dst = at(back.Get(), footprint);
        const auto src = at(slot.Get(), 0);
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
        ASSERT_TRUE(run());
    }
    const auto bytes = mapped(back.Get(), total);
    for (UINT y = 0; y < kHeight; ++y)
        ASSERT_EQ(std::memcmp(&bytes[y * footprint.Footprint.RowPitch], &pixels[y * kWidth], kWidth * 4), 0) << y;
    EXPECT_EQ(winsim::debugMessageCount(), 0) << ::testing::PrintToString(winsim::debugMessages());

    const uint64_t charged = winsim::vramUsage(0);
    texture.Reset();
    shareable.Reset();
    EXPECT_EQ(winsim::vramUsage(0), charged) << "the opened resource holds the allocation";
    slot.Reset();
    EXPECT_LT(winsim::vramUsage(0), charged);
}

}  // namespace
