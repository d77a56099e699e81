// Windows.Graphics.Capture on winsim: apartments and activation, frames of the desktop in both
// pool formats, buffers held and recreated, the item's Closed, the cursor, the Windows builds'
// session interfaces, and hybrid laptops.
#include <d3d11_4.h>

#include "graphics_capture_support.h"
#include "machine/desktop.h"

namespace {

using ABI::Windows::Graphics::DirectX::DirectXPixelFormat_B8G8R8A8UIntNormalized;
using ABI::Windows::Graphics::DirectX::DirectXPixelFormat_R16G16B16A16Float;

class GraphicsCaptureTest : public StillMachineTest {
protected:
    // A new desktop image (an image of another size shows the generated desktop's next version).
    static void present(int output) { winsim::presentImage(output, std::vector<uint8_t>(4)); }
    Apartment apartment_;
};

TEST(WindowsRuntimeTest, ApartmentsStringsAndDocumentedInterfaceIds) {
    std::thread([] {
        HSTRING_HEADER header;
        HSTRING name = nullptr;
        EXPECT_EQ(WindowsCreateStringReference(L"Windows.Graphics.Capture.GraphicsCaptureItem", 44, &header, &name), S_OK);
        ComPtr<IActivationFactory> factory;
        EXPECT_EQ(RoGetActivationFactory(name, IID_PPV_ARGS(&factory)), CO_E_NOTINITIALIZED);
        EXPECT_EQ(RoInitialize(RO_INIT_SINGLETHREADED), S_OK);
        EXPECT_EQ(RoInitialize(RO_INIT_SINGLETHREADED), S_FALSE);
        EXPECT_EQ(RoInitialize(RO_INIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        EXPECT_EQ(RoGetActivationFactory(name, IID_PPV_ARGS(&factory)), S_OK);
        HSTRING className = nullptr;
        ComPtr<IInspectable> inspectable;
        UINT32 length = 0;
        EXPECT_EQ(factory.As(&inspectable), S_OK);
        EXPECT_EQ(WindowsCreateString(L"abc", 3, &className), S_OK);
        EXPECT_EQ(std::wstring(WindowsGetStringRawBuffer(className, &length)), L"abc");
        EXPECT_EQ(length, 3u);
        EXPECT_EQ(WindowsDeleteString(className), S_OK);
        EXPECT_EQ(std::wstring(WindowsGetStringRawBuffer(nullptr, nullptr)), L"");
        factory.Reset();
        RoUninitialize();
        RoUninitialize();
        EXPECT_EQ(RoGetActivationFactory(name, IID_PPV_ARGS(&factory)), CO_E_NOTINITIALIZED);
    }).join();
    EXPECT_EQ(__uuidof(wgc::IGraphicsCaptureItem).Data1, 0x79C3F95Bu);
    EXPECT_EQ(__uuidof(wgc::IDirect3D11CaptureFramePoolStatics2).Data1, 0x589B103Fu);
    EXPECT_EQ(__uuidof(wgc::IGraphicsCaptureSession5).Data1, 0x67C0EA62u);
    EXPECT_EQ(__uuidof(IGraphicsCaptureItemInterop).Data1, 0x3628E81Bu);
    EXPECT_EQ(__uuidof(Windows::Graphics::DirectX::Direct3D11::IDirect3DDxgiInterfaceAccess).Data1, 0xA9B3D012u);
    EXPECT_EQ(__uuidof(__FITypedEventHandler_2_Windows__CGraphics__CCapture__CDirect3D11CaptureFramePool_IInspectable).Data1,
              0x51A947F7u);
    EXPECT_EQ(IID___x_ABI_CWindows_CGraphics_CCapture_CIDirect3D11CaptureFramePool.Data4[7], 0x24);
}

TEST_F(GraphicsCaptureTest, FramesShowTheDesktopUprightInEitherFormatTheHdrOneInScRgb) {
    Capture sdr(device.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    Capture hdr(device.Get(), 1, DirectXPixelFormat_R16G16B16A16Float);
    present(1);  // version 1: its stamp has a white pixel
    ASSERT_EQ(sdr.session->StartCapture(), S_OK);
    ASSERT_EQ(hdr.session->StartCapture(), S_OK);
    for (Capture* capture : {&sdr, &hdr}) {
        auto frame = capture->next();
        ASSERT_TRUE(frame);
        SizeInt32 content{};
        ABI::Windows::Foundation::TimeSpan time{};
        LARGE_INTEGER now{};
        EXPECT_EQ(frame->get_ContentSize(&content), S_OK);
        EXPECT_EQ(frame->get_SystemRelativeTime(&time), S_OK);
        QueryPerformanceCounter(&now);
        EXPECT_GT(time.Duration, 0);
        EXPECT_LE(time.Duration, now.QuadPart) << "QPC time, 100 ns units";
        const int output = capture == &sdr ? 0 : 1;
        EXPECT_EQ(content.Width, output ? 2560 : 1920);
        auto texture = Capture::texture(frame.Get());
        if (output == 0) {
            EXPECT_EQ(winsim::readStamp(winsim::readBackRowRgba8(texture.Get(), 0).data()),
                      static_cast<uint32_t>(winsim::desktopVersion(0)));
        } else {
            const auto pixels = winsim::readBackFloat(texture.Get());
            float brightest = 0;
            for (int x = 0; x < 32; ++x) brightest = std::max(brightest, pixels[x].r);
            EXPECT_NEAR(brightest, 3.0f, 0.01f) << "SDR white of 240 nits is scRGB 3.0";
        }
    }
}

TEST_F(GraphicsCaptureTest, HeldFramesKeepTheirBuffersAndRecreateTakesTheNewModesSize) {
    Capture capture(device.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    ASSERT_EQ(capture.session->StartCapture(), S_OK);
    auto first = capture.next();
    present(0);
    auto second = capture.next();
    ASSERT_TRUE(first && second);
    ASSERT_TRUE(eventually([&] { return capture.arrived->calls == 2; }));
    present(0);
    ComPtr<wgc::IDirect3D11CaptureFrame> none;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a frame would have come by now
    EXPECT_EQ(capture.pool->TryGetNextFrame(&none), S_OK);
    EXPECT_FALSE(none) << "both buffers are held";
    EXPECT_EQ(capture.arrived->calls, 2);
    Capture::close(first.Get());
    EXPECT_TRUE(capture.next()) << "a closed frame's buffer takes the next one";

    winsim::setOutputMode(0, 2560, 1440, DXGI_FORMAT_B8G8R8A8_UNORM);
    auto changed = capture.next();
    SizeInt32 content{};
    D3D11_TEXTURE2D_DESC desc{};
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->get_ContentSize(&content), S_OK);
    Capture::texture(changed.Get())->GetDesc(&desc);
    EXPECT_EQ(content.Width, 2560);
    EXPECT_EQ(desc.Width, 1920u) << "the surface keeps the pool's size";
    second.Reset();
    changed.Reset();
    ComPtr<IDXGIDevice> dxgi;
    ComPtr<IInspectable> inspectable;
    ComPtr<ABI::Windows::Graphics::DirectX::Direct3D11::IDirect3DDevice> winrtDevice;
    ASSERT_EQ(device.As(&dxgi), S_OK);
    ASSERT_EQ(CreateDirect3D11DeviceFromDXGIDevice(dxgi.Get(), &inspectable), S_OK);
    ASSERT_EQ(inspectable.As(&winrtDevice), S_OK);
    ASSERT_EQ(capture.pool->Recreate(winrtDevice.Get(), DirectXPixelFormat_B8G8R8A8UIntNormalized, 2, content), S_OK);
    present(0);
    Capture::texture(capture.next().Get())->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 2560u);
}

TEST_F(GraphicsCaptureTest, ClosedOnUnplugAndNoFramesWhileTheSecureDesktopShowsOrOnARemovedDevice) {
    Capture capture(device.Get(), 1, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    ComPtr<ClosedHandler> closed;
    closed.Attach(new ClosedHandler);
    EventRegistrationToken token{};
    ASSERT_EQ(capture.item->add_Closed(closed.Get(), &token), S_OK);
    ASSERT_EQ(capture.session->StartCapture(), S_OK);
    ASSERT_TRUE(capture.next());
    winsim::setSecureDesktop(true);
    present(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a frame would have come by now
    ComPtr<wgc::IDirect3D11CaptureFrame> none;
    EXPECT_EQ(capture.pool->TryGetNextFrame(&none), S_OK);
    EXPECT_FALSE(none);
    winsim::setSecureDesktop(false);
    EXPECT_TRUE(capture.next());
    ASSERT_TRUE(winsim::removeDevice(device.Get()));
    present(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a frame would have come by now
    EXPECT_EQ(capture.pool->TryGetNextFrame(&none), S_OK);
    EXPECT_FALSE(none);
    winsim::setOutputAttached(1, false);
    EXPECT_TRUE(eventually([&] { return closed->calls == 1; }));
}

TEST_F(GraphicsCaptureTest, CursorCaptureDecidesWhetherPointerMovesMakeFramesAndTheCursorIsDrawn) {
    Capture capture(device.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    ComPtr<wgc::IGraphicsCaptureSession2> session2;
    ASSERT_EQ(capture.session.As(&session2), S_OK);
    boolean enabled = 0;
    EXPECT_EQ(session2->get_IsCursorCaptureEnabled(&enabled), S_OK);
    EXPECT_TRUE(enabled) << "on by default";
    winsim::setCursorPosition(100, 100);
    ASSERT_EQ(capture.session->StartCapture(), S_OK);
    auto with = winsim::readBackRgba8(Capture::texture(capture.next().Get()).Get());
    winsim::setCursorPosition(101, 100);
    EXPECT_TRUE(capture.next()) << "a pointer move is a frame";
    ASSERT_EQ(session2->put_IsCursorCaptureEnabled(false), S_OK);
    auto without = winsim::readBackRgba8(Capture::texture(capture.next().Get()).Get());
    EXPECT_NE(with, without) << "the same desktop version, with and without the cursor";
    winsim::setCursorPosition(300, 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a frame would have come by now
    ComPtr<wgc::IDirect3D11CaptureFrame> none;
    EXPECT_EQ(capture.pool->TryGetNextFrame(&none), S_OK);
    EXPECT_FALSE(none) << "no frame for the pointer alone";
}

class RotatedGraphicsCaptureTest : public GraphicsCaptureTest {
protected:
    std::string machineName() const override { return "rotated"; }
};

TEST_F(RotatedGraphicsCaptureTest, ARotatedMonitorIsCapturedUpright) {
    Capture capture(device.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    present(0);
    ASSERT_EQ(capture.session->StartCapture(), S_OK);
    auto frame = capture.next();
    SizeInt32 content{};
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->get_ContentSize(&content), S_OK);
    EXPECT_EQ(content.Width, 1080);
    EXPECT_EQ(content.Height, 1920);
    EXPECT_EQ(winsim::readStamp(winsim::readBackRowRgba8(Capture::texture(frame.Get()).Get(), 0).data()), 1u)
        << "the desktop's top row is the frame's";
}

class GraphicsCaptureBuildTest : public GraphicsCaptureTest, public ::testing::WithParamInterface<const char*> {
protected:
    std::string machineName() const override { return GetParam(); }
};

TEST_P(GraphicsCaptureBuildTest, SessionInterfacesAnswerAsTheBuildHasThem) {
    const std::string name = GetParam();
    Capture capture(device.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
    ComPtr<wgc::IGraphicsCaptureSession2> s2;
    ComPtr<wgc::IGraphicsCaptureSession3> s3;
    ComPtr<wgc::IGraphicsCaptureSession5> s5;
    EXPECT_EQ(capture.session.As(&s2), name == "windows-10-1903" ? E_NOINTERFACE : S_OK);
    EXPECT_EQ(capture.session.As(&s3), name == "default" ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(capture.session.As(&s5), name == "default" ? S_OK : E_NOINTERFACE);
    auto statics = factoryOf<wgc::IGraphicsCaptureSessionStatics>(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession);
    boolean supported = 0;
    EXPECT_EQ(statics->IsSupported(&supported), S_OK);
    EXPECT_TRUE(supported);
}
INSTANTIATE_TEST_SUITE_P(Builds, GraphicsCaptureBuildTest, ::testing::Values("default", "windows-10-1903", "windows-10-2004"));

class NoGraphicsCaptureTest : public GraphicsCaptureTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override { config.graphicsCapture = false; }
};

TEST_F(NoGraphicsCaptureTest, IsSupportedIsFalseAndTheItemClassIsNotRegistered) {
    auto statics = factoryOf<wgc::IGraphicsCaptureSessionStatics>(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureSession);
    boolean supported = 1;
    EXPECT_EQ(statics->IsSupported(&supported), S_OK);
    EXPECT_FALSE(supported);
    HSTRING_HEADER header;
    HSTRING name = nullptr;
    ComPtr<IGraphicsCaptureItemInterop> interop;
    ASSERT_EQ(WindowsCreateStringReference(RuntimeClass_Windows_Graphics_Capture_GraphicsCaptureItem, 44, &header, &name), S_OK);
    EXPECT_EQ(RoGetActivationFactory(name, IID_PPV_ARGS(&interop)), REGDB_E_CLASSNOTREG);
}

// A laptop's panel on the integrated GPU, an external monitor on the discrete one; reparented:
// the process runs on the discrete GPU.
class HybridLaptopTest : public GraphicsCaptureTest, public ::testing::WithParamInterface<bool> {
protected:
    std::string machineName() const override { return "hybrid-laptop"; }
    void adjustMachine(winsim::MachineConfig& config) const override {
        GraphicsCaptureTest::adjustMachine(config);
        config.variants.reparented = GetParam();
    }
    static std::wstring name(IDXGIAdapter1* adapter) {
        DXGI_ADAPTER_DESC1 desc{};
        adapter->GetDesc1(&desc);
        return desc.Description;
    }
};

TEST_P(HybridLaptopTest, APoolOnTheDiscreteGpuCapturesThePanelAndChargesItsOwnAdapter) {
    const bool reparented = GetParam();
    ComPtr<IDXGIFactory6> factory;
    ComPtr<IDXGIAdapter1> discrete, integrated, first;
    ComPtr<IDXGIOutput> output;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE, IID_PPV_ARGS(&discrete)), S_OK);
    ASSERT_EQ(factory->EnumAdapterByGpuPreference(0, DXGI_GPU_PREFERENCE_MINIMUM_POWER, IID_PPV_ARGS(&integrated)), S_OK);
    ASSERT_EQ(factory->EnumAdapters1(0, &first), S_OK);
    EXPECT_EQ(name(discrete.Get()), L"winsim discrete GPU");
    EXPECT_EQ(name(integrated.Get()), L"winsim integrated GPU");
    EXPECT_EQ(name(first.Get()), reparented ? name(discrete.Get()) : name(integrated.Get()));
    EXPECT_EQ(discrete->EnumOutputs(1, &output), reparented ? S_OK : DXGI_ERROR_NOT_FOUND) << "the panel too";
    EXPECT_EQ(integrated->EnumOutputs(0, &output), reparented ? DXGI_ERROR_NOT_FOUND : S_OK);

    ComPtr<ID3D11Device> onDiscrete;
    ASSERT_EQ(D3D11CreateDevice(discrete.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                &onDiscrete, nullptr, nullptr),
              S_OK);
    if (reparented) {  // KB 3019314: no duplication of the panel from the discrete GPU
        ComPtr<IDXGIOutput1> panel;
        ComPtr<IDXGIOutputDuplication> duplication;
        ASSERT_EQ(discrete->EnumOutputs(0, &output), S_OK);
        ASSERT_EQ(output.As(&panel), S_OK);
        EXPECT_EQ(panel->DuplicateOutput(onDiscrete.Get(), &duplication), DXGI_ERROR_UNSUPPORTED);
    }
    const int discreteIndex = reparented ? 0 : 1;
    const uint64_t before = winsim::vramUsage(discreteIndex);
    {
        Capture capture(onDiscrete.Get(), 0, DirectXPixelFormat_B8G8R8A8UIntNormalized);
        EXPECT_GE(winsim::vramUsage(discreteIndex) - before, 2ull * 1920 * 1080 * 4);
        ASSERT_EQ(capture.session->StartCapture(), S_OK);
        EXPECT_TRUE(capture.next());
    }
    EXPECT_EQ(winsim::vramUsage(discreteIndex), before);
}
INSTANTIATE_TEST_SUITE_P(Reparented, HybridLaptopTest, ::testing::Bool());

TEST_F(GraphicsCaptureTest, MultithreadProtectionIsTheDevicesFromItsContextToo) {
    ComPtr<ID3D11Multithread> fromDevice, fromContext;
    ASSERT_EQ(device.As(&fromDevice), S_OK);
    ASSERT_EQ(context.As(&fromContext), S_OK);
    EXPECT_FALSE(fromContext->SetMultithreadProtected(TRUE)) << "off by default";
    EXPECT_TRUE(fromDevice->GetMultithreadProtected());
    fromContext->Enter();
    fromDevice->Enter();  // the same critical section, entered again by its owner
    fromDevice->Leave();
    fromContext->Leave();
}

}  // namespace
