// DXGI as Windows code uses it: factories by flags, adapters by GPU preference and from a
// device, an output's colour description, and what a duplicated frame says changed.
#include <d3d11_4.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <string>

#include "support/winsim_fixture.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;

namespace {

class HybridTest : public WinsimTest {
protected:
    std::string machineName() const override { return "hybrid"; }  // discrete 8 GiB, integrated 512 MiB
};

std::wstring descriptionOf(IDXGIAdapter1* adapter) {
    DXGI_ADAPTER_DESC1 desc{};
    EXPECT_EQ(adapter->GetDesc1(&desc), S_OK);
    return desc.Description;
}

TEST_F(HybridTest, AdaptersComeInTheOrderOfTheGpuPreference) {
    ComPtr<IDXGIFactory6> factory;
    ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> first, second, none;
    ASSERT_EQ(factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_MINIMUM_POWER, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(factory->EnumAdapterByGpuPreference(1, DXGI_GPU_PREFERENCE_MINIMUM_POWER, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_EQ(descriptionOf(first.Get()), L"winsim integrated GPU");
    EXPECT_NE(descriptionOf(second.Get()), L"winsim integrated GPU");
    ASSERT_EQ(factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE, IID_PPV_ARGS(&first)), S_OK);
    EXPECT_EQ(descriptionOf(first.Get()), descriptionOf(second.Get()));
    EXPECT_EQ(factory->EnumAdapterByGpuPreference(2, DXGI_GPU_PREFERENCE_UNSPECIFIED, IID_PPV_ARGS(&none)),
              DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(factory->EnumAdapterByGpuPreference(0, static_cast<DXGI_GPU_PREFERENCE>(7), IID_PPV_ARGS(&none)),
              E_INVALIDARG);
    ComPtr<IDXGIFactory2> other;
    EXPECT_EQ(CreateDXGIFactory2(0x10, IID_PPV_ARGS(&other)), E_INVALIDARG);
    EXPECT_EQ(CreateDXGIFactory2(DXGI_CREATE_FACTORY_DEBUG, IID_PPV_ARGS(&other)), S_OK);
    BOOL tearing = TRUE;
    ASSERT_EQ(factory->CheckFeatureSupport(DXGI_FEATURE_PRESENT_ALLOW_TEARING, &tearing, sizeof(tearing)), S_OK);
    EXPECT_FALSE(tearing);
}

TEST_F(HybridTest, ADeviceKnowsTheAdapterItWasMadeOn) {
    ComPtr<IDXGIFactory6> factory;
    ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IDXGIAdapter1> integrated;
    ASSERT_EQ(factory->EnumAdapters1(1, &integrated), S_OK);
    ComPtr<ID3D11Device> device;
    ASSERT_EQ(D3D11CreateDevice(integrated.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                &device, nullptr, nullptr),
              S_OK);
    ComPtr<IDXGIDevice> dxgiDevice;
    ASSERT_EQ(device.As(&dxgiDevice), S_OK);
    ComPtr<IDXGIAdapter> adapter;
    ASSERT_EQ(dxgiDevice->GetAdapter(&adapter), S_OK);
    DXGI_ADAPTER_DESC desc{}, expected{};
    ASSERT_EQ(adapter->GetDesc(&desc), S_OK);
    ASSERT_EQ(integrated->GetDesc(&expected), S_OK);
    EXPECT_EQ(desc.AdapterLuid.LowPart, expected.AdapterLuid.LowPart);
    ComPtr<IDXGIAdapter3> parent;
    ASSERT_EQ(dxgiDevice->GetParent(IID_PPV_ARGS(&parent)), S_OK);
    INT priority = 99;
    EXPECT_EQ(dxgiDevice->SetGPUThreadPriority(8), E_INVALIDARG);
    ASSERT_EQ(dxgiDevice->SetGPUThreadPriority(-3), S_OK);
    ASSERT_EQ(dxgiDevice->GetGPUThreadPriority(&priority), S_OK);
    EXPECT_EQ(priority, -3);
}

class DxgiIdiomsTest : public WinsimTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.movingCursor = false;
        for (auto& output : config.adapters[0].outputs) output.updateHz = 0;
    }
    void SetUp() override {
        WinsimTest::SetUp();
        ComPtr<IDXGIFactory1> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
        ASSERT_EQ(factory->EnumAdapters1(0, &adapter), S_OK);
        ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    &device, nullptr, nullptr),
                  S_OK);
    }
    void TearDown() override {
        device.Reset();
        adapter.Reset();
        WinsimTest::TearDown();
    }
    ComPtr<IDXGIOutput6> output(UINT index) {
        ComPtr<IDXGIOutput> found;
        ComPtr<IDXGIOutput6> output6;
        EXPECT_EQ(adapter->EnumOutputs(index, &found), S_OK);
        if (found) {
            EXPECT_EQ(found.As(&output6), S_OK);
        }
        return output6;
    }
    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D11Device> device;
};

TEST_F(DxgiIdiomsTest, OutputsDescribeTheirColourAsTheirDesktopsAre) {
    DXGI_OUTPUT_DESC1 sdr{}, hdr{};
    ASSERT_EQ(output(0)->GetDesc1(&sdr), S_OK);
    ASSERT_EQ(output(1)->GetDesc1(&hdr), S_OK);
    EXPECT_EQ(std::wstring(sdr.DeviceName), L"\\\\.\\DISPLAY1");
    EXPECT_EQ(sdr.ColorSpace, DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709);
    EXPECT_EQ(sdr.BitsPerColor, 8u);
    EXPECT_EQ(hdr.ColorSpace, DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020);
    EXPECT_EQ(hdr.BitsPerColor, 10u);
    EXPECT_FLOAT_EQ(hdr.RedPrimary[0], 0.708f);
    EXPECT_GT(hdr.MaxLuminance, 240.0f);  // brighter than its SDR white
    EXPECT_EQ(hdr.DesktopCoordinates.left, 1920);
    EXPECT_NE(hdr.Monitor, nullptr);
}

TEST_F(DxgiIdiomsTest, AFrameSaysWhatChangedAndWhereThePointerShapeGoes) {
    ComPtr<IDXGIOutputDuplication> duplication;
    ASSERT_EQ(output(0)->DuplicateOutput(device.Get(), &duplication), S_OK);
    winsim::CursorShape shape = winsim::standardCursor(winsim::CursorKind::Color);
    shape.hotSpot = POINT{5, 7};
    winsim::setCursorShape(shape);
    winsim::setCursorPosition(100, 200);

    DXGI_OUTDUPL_FRAME_INFO info{};
    ComPtr<IDXGIResource> resource;
    ASSERT_EQ(duplication->AcquireNextFrame(1000, &info, &resource), S_OK);
    EXPECT_EQ(info.PointerPosition.Position.x, 95);  // the shape's top-left corner
    EXPECT_EQ(info.PointerPosition.Position.y, 193);
    ASSERT_EQ(info.TotalMetadataBufferSize, sizeof(RECT));
    RECT dirty[4]{};
    UINT required = 0;
    EXPECT_EQ(duplication->GetFrameDirtyRects(0, dirty, &required), DXGI_ERROR_MORE_DATA);
    ASSERT_EQ(duplication->GetFrameDirtyRects(sizeof(dirty), dirty, &required), S_OK);
    ASSERT_EQ(required, sizeof(RECT));
    EXPECT_EQ(dirty[0].right, 1920);
    EXPECT_EQ(dirty[0].bottom, 1080);
    DXGI_OUTDUPL_MOVE_RECT moves[2]{};
    ASSERT_EQ(duplication->GetFrameMoveRects(sizeof(moves), moves, &required), S_OK);
    EXPECT_EQ(required, 0u);
    ComPtr<ID3D11Texture2D> image;
    ASSERT_EQ(resource.As(&image), S_OK);
    D3D11_TEXTURE2D_DESC desc{};
    image->GetDesc(&desc);
    EXPECT_EQ(desc.BindFlags, UINT{D3D11_BIND_RENDER_TARGET | D3D11_BIND_SHADER_RESOURCE});
    resource.Reset();
    image.Reset();
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    EXPECT_EQ(duplication->GetFrameDirtyRects(sizeof(dirty), dirty, &required), DXGI_ERROR_INVALID_CALL);

    winsim::setCursorPosition(101, 200);  // a pointer move changes nothing on the desktop
    ASSERT_EQ(duplication->AcquireNextFrame(1000, &info, &resource), S_OK);
    EXPECT_EQ(info.TotalMetadataBufferSize, 0u);
    ASSERT_EQ(duplication->GetFrameDirtyRects(sizeof(dirty), dirty, &required), S_OK);
    EXPECT_EQ(required, 0u);
    resource.Reset();
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
}

}  // namespace
