// The GPU queue and the work it runs: copies, uploads, mips, fences, latency and stalls, what
// queued work keeps alive, and shared textures opened on Direct3D 12.
#include <chrono>

#include "winsim/d3d11_support.h"

#include "gpu/ledger.h"
#include "formats/dxgi_format.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> bgraToRgba(std::vector<uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); i += 4) std::swap(bytes[i], bytes[i + 2]);
    return bytes;
}

TEST_F(D3D11Test, WorkRunsOnlyAfterFlushAndInOrder) {
    const auto first = pattern(64, 32, 1), second = pattern(64, 32, 2);
    auto source = texture(desc(64, 32), first.data());
    auto target = texture(desc(64, 32));
    context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, source.Get(), 0, nullptr);
    context->UpdateSubresource(source.Get(), 0, nullptr, second.data(), 64 * 4, 0);  // after the copy
    EXPECT_TRUE(winsim::waitForGpuIdle(device.Get(), 10000));
    EXPECT_EQ(winsim::readBackRgba8(target.Get()), std::vector<uint8_t>(64 * 32 * 4, 0)) << "nothing flushed yet";
    ASSERT_TRUE(finish());
    EXPECT_EQ(winsim::readBackRgba8(target.Get()), bgraToRgba(first));
    EXPECT_EQ(winsim::readBackRgba8(source.Get()), bgraToRgba(second));
}

TEST_F(D3D11Test, CopySubresourceRegionPlacesABoxIntoAnotherMip) {
    const auto pixels = pattern(16, 16);
    auto source = texture(desc(16, 16), pixels.data());
    auto target = texture(desc(32, 32, 2));
    const D3D11_BOX box{4, 2, 0, 12, 6, 1};
    context->CopySubresourceRegion(target.Get(), 1, 3, 5, 0, source.Get(), 0, &box);
    ASSERT_TRUE(finish());
    const auto mip1 = winsim::readBackRgba8(target.Get(), 1);
    ASSERT_EQ(mip1.size(), 16u * 16 * 4);
    const auto rgba = bgraToRgba(pixels);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(mip1[((5 + y) * 16 + 3 + x) * 4 + c], rgba[((2 + y) * 16 + 4 + x) * 4 + c]) << x << "," << y;
    EXPECT_EQ(mip1[0], 0) << "outside the region nothing is written";
}

TEST_F(D3D11Test, MismatchedCopiesAreDroppedAndCounted) {
    auto target = texture(desc(16, 16));
    auto wide = texture(desc(16, 16, 1, 0, DXGI_FORMAT_R16G16B16A16_FLOAT));
    context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, wide.Get(), 0, nullptr);  // format
    const D3D11_BOX tooBig{0, 0, 0, 17, 4, 1};
    context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, target.Get(), 0, &tooBig);
    auto source = texture(desc(16, 16));
    context->CopySubresourceRegion(target.Get(), 0, 8, 0, 0, source.Get(), 0, nullptr);  // runs off the right edge
    context->CopySubresourceRegion(target.Get(), 1, 0, 0, 0, source.Get(), 0, nullptr);  // no mip 1
    EXPECT_EQ(winsim::debugMessageCount(), 4);
    winsim::resetDebugLayer();
    ASSERT_TRUE(finish());
    EXPECT_EQ(winsim::debugMessageCount(), 0) << "nothing of the refused copies ran";
}

// The reference filter: per axis two equal taps, or 1-2-1 over three along an odd size.
std::vector<uint8_t> referenceMip(const std::vector<uint8_t>& src, UINT w, UINT h) {
    const UINT dw = std::max(1u, w / 2), dh = std::max(1u, h / 2);
    auto taps = [](UINT size, UINT d, std::vector<std::pair<UINT, UINT>>& out) {
        out.clear();
        if (size == 1) out = {{0, 4}};
        else if (size % 2 == 0) out = {{2 * d, 2}, {2 * d + 1, 2}};
        else out = {{2 * d, 1}, {2 * d + 1, 2}, {2 * d + 2, 1}};
    };
    std::vector<uint8_t> dst(size_t{dw} * dh * 4);
    std::vector<std::pair<UINT, UINT>> across, down;
    for (UINT y = 0; y < dh; ++y)
        for (UINT x = 0; x < dw; ++x) {
            taps(w, x, across);
            taps(h, y, down);
            for (int c = 0; c < 4; ++c) {
                UINT sum = 8;
                for (auto [sy, wy] : down)
                    for (auto [sx, wx] : across) sum += wy * wx * src[(sy * w + sx) * 4 + c];
                dst[(y * dw + x) * 4 + c] = static_cast<uint8_t>(sum >> 4);
            }
        }
    return dst;
}

TEST_F(D3D11Test, GenerateMipsFiltersEveryLevelWithExactRounding) {
    for (auto [w, h] : {std::pair<UINT, UINT>{64, 48}, {37, 10}, {1, 9}}) {
        auto pixels = pattern(w, h, w + h);
        auto t = texture(desc(w, h, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS));
        ComPtr<ID3D11ShaderResourceView> srv;
        ASSERT_EQ(device->CreateShaderResourceView(t.Get(), nullptr, srv.GetAddressOf()), S_OK);
        context->UpdateSubresource(t.Get(), 0, nullptr, pixels.data(), w * 4, 0);
        context->GenerateMips(srv.Get());
        ASSERT_TRUE(finish());
        D3D11_TEXTURE2D_DESC d{};
        t->GetDesc(&d);
        std::vector<uint8_t> expected = bgraToRgba(pixels);
        for (UINT mip = 1, mw = w, mh = h; mip < d.MipLevels; ++mip) {
            expected = referenceMip(expected, mw, mh);
            mw = std::max(1u, mw / 2), mh = std::max(1u, mh / 2);
            ASSERT_EQ(winsim::readBackRgba8(t.Get(), mip), expected) << w << "x" << h << " mip " << mip;
        }
    }
}

TEST_F(D3D11Test, GenerateMipsNeedsTheFlag) {
    auto t = texture(desc(8, 8, 0));
    ComPtr<ID3D11ShaderResourceView> srv;
    ASSERT_EQ(device->CreateShaderResourceView(t.Get(), nullptr, srv.GetAddressOf()), S_OK);
    context->GenerateMips(srv.Get());
    EXPECT_EQ(winsim::debugMessageCount(), 1);
    winsim::resetDebugLayer();
}

TEST_F(D3D11Test, FenceIsReachedWhenTheQueueGetsThereAndSetsItsEvent) {
    auto fence = newFence();
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(fence->SetEventOnCompletion(0, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "a value already reached sets the event at once";

    winsim::setQueueLatencyMs(60, device.Get());
    ASSERT_EQ(context4->Signal(fence.Get(), 5), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(5, event), S_OK);
    const auto flushed = Clock::now();
    context->Flush();
    ASSERT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    EXPECT_GE(Clock::now() - flushed, std::chrono::milliseconds(60)) << "the submission waited its latency";
    EXPECT_EQ(fence->GetCompletedValue(), 5u);
    EXPECT_EQ(fence->SetEventOnCompletion(6, nullptr), E_INVALIDARG);
    winsim::resetDebugLayer();
    CloseHandle(event);
}

TEST_F(D3D11Test, StalledQueueReachesNoFenceUntilUnstalled) {
    winsim::setQueueStalled(true);
    auto fence = newFence();
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    context4->Signal(fence.Get(), 1);
    fence->SetEventOnCompletion(1, event);
    context->Flush();
    EXPECT_FALSE(winsim::waitForGpuIdle(device.Get(), 100));
    EXPECT_EQ(fence->GetCompletedValue(), 0u);
    winsim::setQueueStalled(false);
    EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST_F(D3D11Test, QueuedWorkKeepsWhatItUsesCharged) {
    winsim::setQueueStalled(true, device.Get());
    const uint64_t baseline = winsim::vramUsage(0);
    {
        auto source = texture(desc(256, 256));
        auto target = texture(desc(256, 256));
        context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, source.Get(), 0, nullptr);
        context->Flush();
    }
    const uint64_t two = 2 * winsim::gpu::roundToPage(winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 256, 256, 1));
    EXPECT_EQ(winsim::vramUsage(0), baseline + two) << "the stalled copy holds both textures";
    winsim::setQueueStalled(false, device.Get());
    ASSERT_TRUE(winsim::waitForGpuIdle(device.Get(), 10000));
    EXPECT_EQ(winsim::vramUsage(0), baseline) << "credited once the copy has run";
}

TEST_F(D3D11Test, DestroyingADeviceWithAStalledQueueDropsItsWork) {
    winsim::setQueueStalled(true);
    {
        auto source = texture(desc(512, 512));
        auto target = texture(desc(512, 512));
        context->CopySubresourceRegion(target.Get(), 0, 0, 0, 0, source.Get(), 0, nullptr);
        context->Flush();
        context->CopySubresourceRegion(source.Get(), 0, 0, 0, 0, target.Get(), 0, nullptr);  // recorded only
    }
    context.Reset();
    device.Reset();  // must not wait for the stalled queue; the fixture checks that all is freed
}

class SharedTextureTest : public D3D11Test {
protected:
    bool takesEnvironmentVariants() const override { return false; }  // mipped sharing as documented
    void SetUp() override {
        D3D11Test::SetUp();
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d3d12.GetAddressOf())), S_OK);
    }
    void TearDown() override {
        d3d12.Reset();
        D3D11Test::TearDown();
    }
    HANDLE share(const ComPtr<ID3D11Texture2D>& t) {
        ComPtr<IDXGIResource1> resource;
        EXPECT_EQ(t.As(&resource), S_OK);
        HANDLE handle = nullptr;
        EXPECT_EQ(resource->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ | DXGI_SHARED_RESOURCE_WRITE, nullptr,
                                               &handle),
                  S_OK);
        return handle;
    }
    static constexpr UINT kShared = D3D11_RESOURCE_MISC_SHARED | D3D11_RESOURCE_MISC_SHARED_NTHANDLE;
    ComPtr<ID3D12Device> d3d12;
};

TEST_F(SharedTextureTest, OneAllocationIsChargedOnceAndFreedWithItsLastHolder) {
    const uint64_t before = winsim::vramUsage(0);
    auto t = texture(desc(640, 480, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS | kShared));
    const uint64_t bytes = winsim::vramUsage(0) - before;
    EXPECT_EQ(bytes, winsim::gpu::roundToPage(winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 640, 480, 10)));
    HANDLE handle = share(t);
    ComPtr<ID3D12Resource> resource;
    ASSERT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(resource.GetAddressOf())), S_OK);
    EXPECT_EQ(winsim::vramUsage(0), before + bytes);
    const D3D12_RESOURCE_DESC d = resource->GetDesc();
    EXPECT_EQ(d.Width, 640u);
    EXPECT_EQ(d.MipLevels, 10u);
    EXPECT_EQ(d.Format, DXGI_FORMAT_B8G8R8A8_UNORM);

    t.Reset();
    EXPECT_EQ(winsim::vramUsage(0), before + bytes) << "the handle and the resource hold it";
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(winsim::vramUsage(0), before + bytes) << "the resource holds it";
    resource.Reset();
    EXPECT_EQ(winsim::vramUsage(0), before);
}

TEST_F(SharedTextureTest, AnOpenHandleAloneKeepsTheTexture) {
    const uint64_t before = winsim::vramUsage(0);
    auto t = texture(desc(128, 128, 1, kShared));
    HANDLE handle = share(t);
    t.Reset();
    EXPECT_GT(winsim::vramUsage(0), before);
    CloseHandle(handle);
    EXPECT_EQ(winsim::vramUsage(0), before);
}

TEST_F(SharedTextureTest, TheResourceSeesWhatTheGpuWroteToTheTexture) {
    auto t = texture(desc(8, 8, 0, D3D11_RESOURCE_MISC_GENERATE_MIPS | kShared));
    HANDLE handle = share(t);
    ComPtr<ID3D12Resource> resource;
    ASSERT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(resource.GetAddressOf())), S_OK);
    CloseHandle(handle);
    ComPtr<ID3D11RenderTargetView> rtv;
    ComPtr<ID3D11ShaderResourceView> srv;
    ASSERT_EQ(device->CreateRenderTargetView(t.Get(), nullptr, rtv.GetAddressOf()), S_OK);
    ASSERT_EQ(device->CreateShaderResourceView(t.Get(), nullptr, srv.GetAddressOf()), S_OK);
    const float colour[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    context->ClearRenderTargetView(rtv.Get(), colour);
    context->GenerateMips(srv.Get());
    ASSERT_TRUE(finish());
    const auto last = winsim::readBackFloat(resource.Get(), 3);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_FLOAT_EQ(last[0].r, 1.0f);
    EXPECT_NEAR(last[0].g, 0.5f, 1.0f / 255);
    EXPECT_EQ(winsim::readBackRgba8(resource.Get(), 0).size(), 8u * 8 * 4);
    EXPECT_TRUE(winsim::readBackRgba8(resource.Get(), 4).empty()) << "no mip 4";
}

TEST_F(SharedTextureTest, AResourceGivesOneHandleAndDuplicatesAreForTheRest) {
    auto t = texture(desc(16, 16, 1, kShared));
    HANDLE handle = share(t);
    ComPtr<IDXGIResource1> resource;
    ASSERT_EQ(t.As(&resource), S_OK);
    HANDLE second = nullptr;
    EXPECT_EQ(resource->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ, nullptr, &second), DXGI_ERROR_INVALID_CALL);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(winsim::debugMessageCount(), 1);
    winsim::resetDebugLayer();
    ComPtr<ID3D12Resource> opened;
    EXPECT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(opened.GetAddressOf())), S_OK) << "the first one still works";
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(resource->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ, nullptr, &second), DXGI_ERROR_INVALID_CALL)
        << "closing the handle gives no second one";
    winsim::resetDebugLayer();
    HANDLE other = share(texture(desc(16, 16, 1, kShared)));
    EXPECT_NE(other, nullptr) << "another resource has a handle of its own";
    CloseHandle(other);
}

TEST_F(SharedTextureTest, SharingNeedsAnNtHandleTextureAndTheSameAdapter) {
    auto unshared = texture(desc(16, 16));
    ComPtr<IDXGIResource1> resource;
    ASSERT_EQ(unshared.As(&resource), S_OK);
    HANDLE handle = nullptr;
    EXPECT_EQ(resource->CreateSharedHandle(nullptr, DXGI_SHARED_RESOURCE_READ, nullptr, &handle), E_INVALIDARG);
    EXPECT_EQ(handle, nullptr);
    winsim::resetDebugLayer();

    ComPtr<ID3D12Resource> opened;
    EXPECT_EQ(d3d12->OpenSharedHandle(reinterpret_cast<HANDLE>(0x1234), IID_PPV_ARGS(opened.GetAddressOf())),
              E_INVALIDARG);
    winsim::addFault({"ID3D12Device::OpenSharedHandle", E_OUTOFMEMORY, 0, 1, nullptr});
    auto shared = texture(desc(16, 16, 1, kShared));
    handle = share(shared);
    EXPECT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(opened.GetAddressOf())), E_OUTOFMEMORY);
    EXPECT_EQ(opened, nullptr);
    CloseHandle(handle);
}

class HybridSharingTest : public SharedTextureTest {
protected:
    std::string machineName() const override { return "hybrid"; }
};

TEST_F(HybridSharingTest, ADeviceOnAnotherAdapterCannotOpenTheHandle) {
    ComPtr<IDXGIFactory4> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
    ComPtr<IDXGIAdapter1> integrated;
    ASSERT_EQ(factory->EnumAdapters1(1, integrated.GetAddressOf()), S_OK);
    ComPtr<ID3D12Device> elsewhere;
    ASSERT_EQ(D3D12CreateDevice(integrated.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(elsewhere.GetAddressOf())), S_OK);
    auto t = texture(desc(16, 16, 1, kShared));
    HANDLE handle = share(t);
    ComPtr<ID3D12Resource> opened;
    EXPECT_EQ(elsewhere->OpenSharedHandle(handle, IID_PPV_ARGS(opened.GetAddressOf())), E_INVALIDARG);
    EXPECT_EQ(d3d12->OpenSharedHandle(handle, IID_PPV_ARGS(opened.GetAddressOf())), S_OK);
    CloseHandle(handle);
}

}  // namespace
