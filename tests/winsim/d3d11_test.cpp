// The Direct3D 11 device: creation, capabilities, the runtime's texture checks, the ledger and
// the debug layer.
#include "winsim/d3d11_support.h"

#include <cstring>

#include "gpu/ledger.h"
#include "formats/dxgi_format.h"

namespace {

TEST_F(D3D11Test, DeviceIsChargedItsBaselineUntilItsContextGoesToo) {
    EXPECT_EQ(device->GetFeatureLevel(), D3D_FEATURE_LEVEL_11_0);
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes());
    device5.Reset();
    device.Reset();
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes()) << "the context keeps its device";
    ComPtr<ID3D11Device> parent;
    context->GetDevice(parent.GetAddressOf());
    EXPECT_NE(parent, nullptr);
    parent.Reset();
    context4.Reset();
    context.Reset();
    EXPECT_EQ(winsim::vramUsage(0), 0u);
}

TEST_F(D3D11Test, TheDeviceHasOneImmediateContextWhileAnyoneHoldsIt) {
    ComPtr<ID3D11DeviceContext> again;
    device->GetImmediateContext(&again);
    EXPECT_EQ(again, context);  // the context D3D11CreateDevice gave
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(again.As(&a), S_OK);
    ASSERT_EQ(context4.As(&b), S_OK);
    EXPECT_EQ(a, b);
    const int64_t live = winsim::liveObjectCount();
    a.Reset();
    b.Reset();
    again.Reset();
    context4.Reset();
    context.Reset();
    EXPECT_EQ(winsim::liveObjectCount(), live - 1);  // the last reference took the context
    device->GetImmediateContext(&context);  // a new one, which works
    ASSERT_TRUE(context);
    EXPECT_EQ(winsim::liveObjectCount(), live);
    context->Flush();
    ASSERT_EQ(context.As(&context4), S_OK);
}

TEST_F(D3D11Test, CreationChecksDriverTypeLevelsAndFaults) {
    ComPtr<ID3D11Device> other;
    auto create = [&](IDXGIAdapter* a, D3D_DRIVER_TYPE type, const D3D_FEATURE_LEVEL* levels, UINT count,
                      D3D_FEATURE_LEVEL* got = nullptr) {
        return D3D11CreateDevice(a, type, nullptr, 0, levels, count, D3D11_SDK_VERSION, other.ReleaseAndGetAddressOf(),
                                 got, nullptr);
    };
    EXPECT_EQ(create(adapter.Get(), D3D_DRIVER_TYPE_HARDWARE, nullptr, 0), E_INVALIDARG);
    EXPECT_EQ(create(nullptr, D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0), E_INVALIDARG);
    const D3D_FEATURE_LEVEL tooHigh[] = {D3D_FEATURE_LEVEL_12_1};
    EXPECT_EQ(create(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, tooHigh, 1), DXGI_ERROR_UNSUPPORTED);
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_12_0, D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0};
    D3D_FEATURE_LEVEL got{};
    EXPECT_EQ(create(nullptr, D3D_DRIVER_TYPE_HARDWARE, levels, 3, &got), S_OK);
    EXPECT_EQ(got, D3D_FEATURE_LEVEL_11_1);
    winsim::addFault({"D3D11CreateDevice", E_OUTOFMEMORY, 0, 1, nullptr});
    EXPECT_EQ(create(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0), E_OUTOFMEMORY);
    EXPECT_EQ(other, nullptr);
}

class HiddenFenceInterfacesTest : public D3D11Test {
protected:
    void SetUp() override {
        winsim::MachineConfig machine;
        ASSERT_TRUE(winsim::scenario("single", machine));
        machine.adapters[0].exposesDevice5 = false;
        machine.adapters[0].exposesContext4 = false;
        D3D11Test::SetUp();
        winsim::useMachine(machine);
        context4.Reset();
        device5.Reset();
        context.Reset();
        device.Reset();
        ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                    device.GetAddressOf(), nullptr, context.GetAddressOf()),
                  S_OK);
    }
};

TEST_F(HiddenFenceInterfacesTest, CapabilityHidesDevice5AndContext4) {
    ComPtr<ID3D11Device1> device1;
    EXPECT_EQ(device.As(&device5), E_NOINTERFACE);
    EXPECT_EQ(device.As(&device1), S_OK);
    EXPECT_EQ(context.As(&context4), E_NOINTERFACE);
}

TEST_F(D3D11Test, TextureChargesItsWholeMipChainOnce) {
    auto t = texture(desc(1920, 1080, 0));
    D3D11_TEXTURE2D_DESC got{};
    t->GetDesc(&got);
    EXPECT_EQ(got.MipLevels, 11u) << "0 asks for the full chain";
    const uint64_t bytes = winsim::gpu::roundToPage(winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 1920, 1080, 11));
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes() + bytes);
    ComPtr<ID3D11Texture2D> again = t;
    t.Reset();
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes() + bytes);
    again.Reset();
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes());
}

TEST_F(D3D11Test, RuntimeRefusesInvalidTextureDescriptionsAndCountsThem) {
    std::vector<D3D11_TEXTURE2D_DESC> bad(8, desc(64, 64));
    bad[0].Width = 0;
    bad[1].MipLevels = 8;  // 64x64 has 7
    bad[2].MiscFlags = D3D11_RESOURCE_MISC_GENERATE_MIPS, bad[2].BindFlags = D3D11_BIND_SHADER_RESOURCE;
    bad[3].MiscFlags = D3D11_RESOURCE_MISC_SHARED_NTHANDLE;
    bad[4].Format = DXGI_FORMAT_UNKNOWN;
    bad[5].SampleDesc.Count = 4;
    bad[6].Usage = D3D11_USAGE_IMMUTABLE;  // without initial data
    bad[7].CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    for (const auto& d : bad) {
        ComPtr<ID3D11Texture2D> t;
        EXPECT_EQ(device->CreateTexture2D(&d, nullptr, t.GetAddressOf()), E_INVALIDARG);
        EXPECT_EQ(t, nullptr);
    }
    EXPECT_EQ(winsim::debugMessageCount(), static_cast<int64_t>(bad.size()));
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d11DeviceBaselineBytes());
    winsim::resetDebugLayer();

    auto valid = desc(64, 64, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS | D3D11_RESOURCE_MISC_SHARED |
                                     D3D11_RESOURCE_MISC_SHARED_NTHANDLE);
    EXPECT_EQ(device->CreateTexture2D(&valid, nullptr, nullptr), S_FALSE) << "a null output only validates";
    winsim::addFault({"ID3D11Device::CreateTexture2D", E_OUTOFMEMORY, 0, 1, nullptr});
    ComPtr<ID3D11Texture2D> t;
    EXPECT_EQ(device->CreateTexture2D(&valid, nullptr, t.GetAddressOf()), E_OUTOFMEMORY);
    EXPECT_EQ(device->CreateTexture2D(&valid, nullptr, t.GetAddressOf()), S_OK);
}

class NoMipsTest : public D3D11Test {
protected:
    std::string machineName() const override { return "no-mips"; }
};

TEST_F(NoMipsTest, DriverRefusesGenerateMipsOnSharedTexturesOnly) {
    const UINT shared = D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE;
    ComPtr<ID3D11Texture2D> t;
    auto mippedShared = desc(256, 256, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS | shared);
    EXPECT_EQ(device->CreateTexture2D(&mippedShared, nullptr, t.GetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(winsim::debugMessageCount(), 0) << "a driver limit is no misuse";
    auto plainShared = desc(256, 256, 1, shared);
    EXPECT_EQ(device->CreateTexture2D(&plainShared, nullptr, t.ReleaseAndGetAddressOf()), S_OK);
    auto mipped = desc(256, 256, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS);
    EXPECT_EQ(device->CreateTexture2D(&mipped, nullptr, t.ReleaseAndGetAddressOf()), S_OK);
}

TEST_F(D3D11Test, ViewsNeedTheirBindingAndADeviceOfTheirOwn) {
    auto plain = desc(32, 32, 0);
    plain.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    auto t = texture(plain);
    ComPtr<ID3D11RenderTargetView> rtv;
    ComPtr<ID3D11ShaderResourceView> srv;
    EXPECT_EQ(device->CreateRenderTargetView(t.Get(), nullptr, rtv.GetAddressOf()), E_INVALIDARG);
    ASSERT_EQ(device->CreateShaderResourceView(t.Get(), nullptr, srv.GetAddressOf()), S_OK);
    D3D11_SHADER_RESOURCE_VIEW_DESC got{};
    srv->GetDesc(&got);
    EXPECT_EQ(got.Texture2D.MipLevels, 6u);

    ComPtr<ID3D11Device> second;
    ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                second.GetAddressOf(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(second->CreateShaderResourceView(t.Get(), nullptr, srv.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(winsim::debugMessageCount(), 2);
    winsim::resetDebugLayer();
}

TEST_F(D3D11Test, ConstantBuffersMapWithDiscardOnlyWhenDynamic) {
    D3D11_BUFFER_DESC d{16, D3D11_USAGE_DYNAMIC, D3D11_BIND_CONSTANT_BUFFER, D3D11_CPU_ACCESS_WRITE, 0, 0};
    ComPtr<ID3D11Buffer> dynamic;
    ASSERT_EQ(device->CreateBuffer(&d, nullptr, dynamic.GetAddressOf()), S_OK);
    D3D11_MAPPED_SUBRESOURCE mapped{};
    ASSERT_EQ(context->Map(dynamic.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), S_OK);
    ASSERT_NE(mapped.pData, nullptr);
    std::memset(mapped.pData, 0x5A, 16);
    context->Unmap(dynamic.Get(), 0);
    EXPECT_EQ(winsim::debugMessageCount(), 0);

    d.Usage = D3D11_USAGE_DEFAULT;
    d.CPUAccessFlags = 0;
    ComPtr<ID3D11Buffer> fixed;
    ASSERT_EQ(device->CreateBuffer(&d, nullptr, fixed.GetAddressOf()), S_OK);
    EXPECT_EQ(context->Map(fixed.Get(), 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped), E_INVALIDARG);
    context->Unmap(dynamic.Get(), 0);  // not mapped
    d.ByteWidth = 20;
    EXPECT_EQ(device->CreateBuffer(&d, nullptr, fixed.ReleaseAndGetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(winsim::debugMessageCount(), 3);
    winsim::resetDebugLayer();
}

TEST_F(D3D11Test, ShadersTheInterpreterCannotRunAreRefusedAndADrawWithNothingBoundIsCounted) {
    const uint32_t blob[4] = {0x07230203, 0, 0, 0};
    ComPtr<ID3D11PixelShader> ps;
    const HRESULT hr = device->CreatePixelShader(blob, sizeof blob, nullptr, ps.GetAddressOf());
    EXPECT_EQ(SUCCEEDED(hr), ps != nullptr);
    EXPECT_EQ(device->CreatePixelShader(nullptr, 0, nullptr, ps.ReleaseAndGetAddressOf()), E_INVALIDARG);
    winsim::resetDebugLayer();
    context->Draw(3, 0);
    ASSERT_EQ(winsim::debugMessageCount(), 1);
    EXPECT_NE(winsim::debugMessages()[0].find("nothing bound"), std::string::npos);
    winsim::resetDebugLayer();
}

}  // namespace
