// The variants: behaviours the documentation leaves open, which a machine carries by its
// configuration or by WINSIM_VARIANTS.
#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <string>

#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

namespace {

TEST(VariantNamesTest, ListsAndAllAreReadAndAnUnknownNameIsRefusedWithoutAChange) {
    winsim::Variants variants;
    EXPECT_TRUE(winsim::parseVariants("", variants));
    EXPECT_FALSE(variants.any());
    EXPECT_TRUE(winsim::parseVariants(" dpi-process ,mode-format-scanout", variants));
    EXPECT_TRUE(variants.dpiProcess && variants.modeFormatScanout && !variants.d3d12SingleMipSharing);

    winsim::Variants all;
    EXPECT_TRUE(winsim::parseVariants("all", all));
    EXPECT_TRUE(all.dpiProcess && all.modeFormatScanout && all.d3d12SingleMipSharing && all.formatFlicker &&
                all.sdrWhiteHdrOnly && all.sleepDenies && all.reparented);

    winsim::Variants untouched;
    std::string bad;
    EXPECT_FALSE(winsim::parseVariants("dpi-process,mode-format", untouched, &bad));
    EXPECT_EQ(bad, "mode-format");
    EXPECT_FALSE(untouched.any());
    EXPECT_EQ(winsim::variantNames().size(), 7u);
}

class VariantTest : public WinsimTest {
protected:
    std::string machineName() const override { return "default"; }
    bool takesEnvironmentVariants() const override { return false; }  // each test's own variant alone
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.variants = variants();
        config.movingCursor = false;
    }
    virtual winsim::Variants variants() const = 0;

    void SetUp() override {
        WinsimTest::SetUp();
        ComPtr<IDXGIFactory1> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    device.GetAddressOf(), nullptr, nullptr),
                  S_OK);
    }
    void TearDown() override {
        device.Reset();
        adapter.Reset();
        WinsimTest::TearDown();
    }

    ComPtr<IDXGIOutput5> output(UINT index) {
        ComPtr<IDXGIOutput> plain;
        ComPtr<IDXGIOutput5> output5;
        EXPECT_EQ(adapter->EnumOutputs(index, plain.GetAddressOf()), S_OK);
        EXPECT_EQ(plain.As(&output5), S_OK);
        return output5;
    }

    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D11Device> device;
};

class ScanoutFormatTest : public VariantTest {
    winsim::Variants variants() const override {
        winsim::Variants v;
        v.modeFormatScanout = true;
        return v;
    }
};

TEST_F(ScanoutFormatTest, ModeDescNamesTheDisplayModeWhileTheImagesKeepTheDeliveredFormat) {
    const DXGI_FORMAT formats[] = {DXGI_FORMAT_R16G16B16A16_FLOAT, DXGI_FORMAT_B8G8R8A8_UNORM};
    struct Case {
        UINT output;
        bool formatAware;
        DXGI_FORMAT reported;
        DXGI_FORMAT images;
    };
    for (const Case& c : {Case{1, true, DXGI_FORMAT_R10G10B10A2_UNORM, DXGI_FORMAT_R16G16B16A16_FLOAT},
                          Case{1, false, DXGI_FORMAT_R10G10B10A2_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM},
                          Case{0, true, DXGI_FORMAT_B8G8R8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}}) {
        ComPtr<IDXGIOutputDuplication> duplication;
        ComPtr<IDXGIOutput5> out = output(c.output);
        ASSERT_EQ(c.formatAware ? out->DuplicateOutput1(device.Get(), 0, 2, formats, duplication.GetAddressOf())
                                : out->DuplicateOutput(device.Get(), duplication.GetAddressOf()),
                  S_OK);
        DXGI_OUTDUPL_DESC desc{};
        duplication->GetDesc(&desc);
        EXPECT_EQ(desc.ModeDesc.Format, c.reported) << "output " << c.output;
        DXGI_OUTDUPL_FRAME_INFO info{};
        ComPtr<IDXGIResource> resource;
        ASSERT_EQ(duplication->AcquireNextFrame(1000, &info, resource.GetAddressOf()), S_OK);
        ComPtr<ID3D11Texture2D> image;
        ASSERT_EQ(resource.As(&image), S_OK);
        D3D11_TEXTURE2D_DESC imageDesc{};
        image->GetDesc(&imageDesc);
        EXPECT_EQ(imageDesc.Format, c.images) << "output " << c.output;
        EXPECT_EQ(imageDesc.Width, desc.ModeDesc.Width);
        EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
    }
}

class SingleMipTest : public VariantTest {
    winsim::Variants variants() const override {
        winsim::Variants v;
        v.d3d12SingleMipSharing = true;
        return v;
    }
};

TEST_F(SingleMipTest, Direct3D12OpensASharedTextureOfOneMipOnly) {
    ComPtr<ID3D12Device> d3d12;
    ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d3d12.GetAddressOf())), S_OK);
    for (UINT mips : {1u, 4u}) {
        D3D11_TEXTURE2D_DESC desc{64, 64, mips, 1, DXGI_FORMAT_B8G8R8A8_UNORM, {1, 0}, D3D11_USAGE_DEFAULT,
                                  D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, 0,
                                  D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE};
        ComPtr<ID3D11Texture2D> texture;
        ASSERT_EQ(device->CreateTexture2D(&desc, nullptr, texture.GetAddressOf()), S_OK);
        ComPtr<IDXGIResource1> shared;
        ASSERT_EQ(texture.As(&shared), S_OK);
        HANDLE handle = nullptr;
        ASSERT_EQ(shared->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ | DXGI_SHARED_RESOURCE_WRITE, nullptr,
                                             &handle),
                  S_OK);
        ComPtr<ID3D12Resource> opened;
        EXPECT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(opened.GetAddressOf())), mips == 1 ? S_OK : E_INVALIDARG)
            << mips << " mips";
        CloseHandle(handle);
    }
}

class ProcessDpiTest : public VariantTest {
    winsim::Variants variants() const override {
        winsim::Variants v;
        v.dpiProcess = true;
        return v;
    }
    DPI_AWARENESS_CONTEXT manifestDpiAwareness() const override { return nullptr; }
};

TEST_F(ProcessDpiTest, DuplicateOutput1AsksTheProcessNotTheThread) {
    const DXGI_FORMAT formats[] = {DXGI_FORMAT_B8G8R8A8_UNORM};
    ASSERT_NE(SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2), nullptr);
    ComPtr<IDXGIOutputDuplication> duplication;
    EXPECT_EQ(output(0)->DuplicateOutput1(device.Get(), 0, 1, formats, duplication.GetAddressOf()), E_INVALIDARG)
        << "an aware thread of an unaware process";
    EXPECT_EQ(winsim::debugMessageCount(), 1);
    winsim::resetDebugLayer();
    EXPECT_EQ(output(0)->DuplicateOutput(device.Get(), duplication.GetAddressOf()), S_OK) << "the plain call works";
    duplication.Reset();

    ASSERT_TRUE(SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2));
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_UNAWARE);
    EXPECT_EQ(output(0)->DuplicateOutput1(device.Get(), 0, 1, formats, duplication.GetAddressOf()), S_OK)
        << "an unaware thread of an aware process";
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

}  // namespace
