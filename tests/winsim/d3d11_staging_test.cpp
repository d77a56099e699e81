// Reading pixels back as Windows code does: copy into a staging texture, Map it for reading
// (which waits for the copy), read rows by the mapped pitch. Also the device's format support
// and removal reason.
#include <cstring>

#include "d3d11_support.h"

namespace {

class StagingTest : public D3D11Test {
protected:
    static D3D11_TEXTURE2D_DESC stagingDesc(UINT width, UINT height, UINT mips, UINT cpuAccess = D3D11_CPU_ACCESS_READ) {
        D3D11_TEXTURE2D_DESC d = desc(width, height, mips);
        d.Usage = D3D11_USAGE_STAGING;
        d.BindFlags = 0;
        d.CPUAccessFlags = cpuAccess;
        return d;
    }
};

TEST_F(StagingTest, ACopyIntoAStagingTextureMapsForReadingOnceItHasRun) {
    std::vector<uint32_t> pixels(64 * 32);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    ComPtr<ID3D11Texture2D> source = texture(desc(64, 32), pixels.data());
    ComPtr<ID3D11Texture2D> staging;
    const D3D11_TEXTURE2D_DESC sd = stagingDesc(64, 32, 1);
    ASSERT_EQ(device->CreateTexture2D(&sd, nullptr, &staging), S_OK);
    winsim::setQueueLatencyMs(50, device.Get());  // the copy is still queued when Map is called
    context->CopyResource(staging.Get(), source.Get());

    D3D11_MAPPED_SUBRESOURCE mapped{};
    ASSERT_EQ(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
    ASSERT_GE(mapped.RowPitch, 64u * 4);
    for (UINT y = 0; y < 32; ++y) {
        const auto* row = static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch;
        ASSERT_EQ(std::memcmp(row, &pixels[y * 64], 64 * 4), 0) << "row " << y;
    }
    context->Unmap(staging.Get(), 0);
}

TEST_F(StagingTest, EachMipMapsWithItsOwnPitch) {
    ComPtr<ID3D11Texture2D> source = texture(desc(32, 32, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS));
    ComPtr<ID3D11ShaderResourceView> view;
    ASSERT_EQ(device->CreateShaderResourceView(source.Get(), nullptr, &view), S_OK);
    context->GenerateMips(view.Get());
    ComPtr<ID3D11Texture2D> staging;
    const D3D11_TEXTURE2D_DESC sd = stagingDesc(32, 32, 6);
    ASSERT_EQ(device->CreateTexture2D(&sd, nullptr, &staging), S_OK);
    context->CopyResource(staging.Get(), source.Get());
    D3D11_MAPPED_SUBRESOURCE mip0{}, mip3{};
    ASSERT_EQ(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mip0), S_OK);
    ASSERT_EQ(context->Map(staging.Get(), 3, D3D11_MAP_READ, 0, &mip3), S_OK);
    EXPECT_NE(mip0.pData, mip3.pData);
    EXPECT_GE(mip3.RowPitch, 4u * 4);
    EXPECT_LT(mip3.RowPitch, mip0.RowPitch);
    context->Unmap(staging.Get(), 3);
    context->Unmap(staging.Get(), 0);
}

TEST_F(StagingTest, TheRuntimesRefusalsOfStagingTexturesAndMaps) {
    ComPtr<ID3D11Texture2D> bad;
    D3D11_TEXTURE2D_DESC bound = stagingDesc(8, 8, 1);
    bound.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    EXPECT_EQ(device->CreateTexture2D(&bound, nullptr, &bad), E_INVALIDARG);
    D3D11_TEXTURE2D_DESC noAccess = stagingDesc(8, 8, 1, 0);
    EXPECT_EQ(device->CreateTexture2D(&noAccess, nullptr, &bad), E_INVALIDARG);

    ComPtr<ID3D11Texture2D> writeOnly, gpuOnly = texture(desc(8, 8));
    const D3D11_TEXTURE2D_DESC wd = stagingDesc(8, 8, 1, D3D11_CPU_ACCESS_WRITE);
    ASSERT_EQ(device->CreateTexture2D(&wd, nullptr, &writeOnly), S_OK);
    D3D11_MAPPED_SUBRESOURCE mapped{};
    EXPECT_EQ(context->Map(writeOnly.Get(), 0, D3D11_MAP_READ, 0, &mapped), E_INVALIDARG);
    EXPECT_EQ(context->Map(gpuOnly.Get(), 0, D3D11_MAP_READ, 0, &mapped), E_INVALIDARG);
    EXPECT_EQ(context->Map(writeOnly.Get(), 1, D3D11_MAP_WRITE, 0, &mapped), E_INVALIDARG);
    ASSERT_EQ(context->Map(writeOnly.Get(), 0, D3D11_MAP_WRITE, 0, &mapped), S_OK);
    EXPECT_EQ(context->Map(writeOnly.Get(), 0, D3D11_MAP_WRITE, 0, &mapped), E_INVALIDARG) << "mapped twice";
    context->Unmap(writeOnly.Get(), 0);
    context->Unmap(writeOnly.Get(), 0);  // not mapped
    EXPECT_EQ(winsim::debugMessageCount(), 7);
    winsim::resetDebugLayer();
}

TEST_F(StagingTest, DoNotWaitReportsWorkStillRunning) {
    ComPtr<ID3D11Texture2D> source = texture(desc(16, 16)), staging;
    const D3D11_TEXTURE2D_DESC sd = stagingDesc(16, 16, 1);
    ASSERT_EQ(device->CreateTexture2D(&sd, nullptr, &staging), S_OK);
    winsim::setQueueStalled(true, device.Get());
    context->CopyResource(staging.Get(), source.Get());
    D3D11_MAPPED_SUBRESOURCE mapped{};
    EXPECT_EQ(context->Map(staging.Get(), 0, D3D11_MAP_READ, D3D11_MAP_FLAG_DO_NOT_WAIT, &mapped),
              DXGI_ERROR_WAS_STILL_DRAWING);
    winsim::setQueueStalled(false, device.Get());
    ASSERT_EQ(context->Map(staging.Get(), 0, D3D11_MAP_READ, 0, &mapped), S_OK);
    context->Unmap(staging.Get(), 0);
}

TEST_F(StagingTest, FormatSupportAndRemovalReason) {
    UINT support = 0;
    ASSERT_EQ(device->CheckFormatSupport(DXGI_FORMAT_B8G8R8A8_UNORM, &support), S_OK);
    for (UINT bit : {D3D11_FORMAT_SUPPORT_TEXTURE2D, D3D11_FORMAT_SUPPORT_RENDER_TARGET, D3D11_FORMAT_SUPPORT_MIP_AUTOGEN,
                     D3D11_FORMAT_SUPPORT_SHADER_SAMPLE, D3D11_FORMAT_SUPPORT_DISPLAY})
        EXPECT_TRUE(support & bit) << bit;
    ASSERT_EQ(device->CheckFormatSupport(DXGI_FORMAT_B8G8R8A8_TYPELESS, &support), S_OK);
    EXPECT_FALSE(support & D3D11_FORMAT_SUPPORT_RENDER_TARGET);
    EXPECT_EQ(device->CheckFormatSupport(DXGI_FORMAT_UNKNOWN, &support), E_FAIL);
    EXPECT_EQ(support, 0u);
    EXPECT_EQ(device->GetDeviceRemovedReason(), S_OK);
}

}  // namespace
