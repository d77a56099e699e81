// The Direct3D 12 debug layer's state checks, descriptor heaps and shader-resource views,
// format support and names.
#include "winsim/d3d12_support.h"

namespace {

class D3D12DebugTest : public D3D12Test {
protected:
    ComPtr<ID3D12Resource> mipped() {
        return make(D3D12_HEAP_TYPE_DEFAULT, textureDesc(16, 16, 2), D3D12_RESOURCE_STATE_COPY_DEST);
    }
    // Records the same misuse of states, runs it and returns how many messages the debug layer
    // counted.
    int64_t misuse() {
        auto texture = mipped();
        auto other = mipped();
        auto back = readback(8192);
        D3D12_PLACED_SUBRESOURCE_FOOTPRINT f{};
        const auto d = textureDesc(16, 16);
        device->GetCopyableFootprints(&d, 0, 1, 0, &f, nullptr, nullptr, nullptr);
        const auto wrongBefore = transition(other.Get(), D3D12_RESOURCE_STATE_COPY_SOURCE, D3D12_RESOURCE_STATE_COPY_DEST);
        list->ResourceBarrier(1, &wrongBefore);  // found out when the list runs: it is in COPY_DEST
        const auto mip1 = transition(texture.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE, 1);
        list->ResourceBarrier(1, &mip1);
        const auto into = at(back.Get(), f);
        const auto fromMip0 = at(texture.Get(), 0);
        list->CopyTextureRegion(&into, 0, 0, 0, &fromMip0, nullptr);  // mip 0 is still COPY_DEST
        const auto same = transition(texture.Get(), D3D12_RESOURCE_STATE_COPY_SOURCE, D3D12_RESOURCE_STATE_COPY_SOURCE, 1);
        list->ResourceBarrier(1, &same);
        const auto dst = at(texture.Get(), 1);
        const auto src = at(other.Get(), 1);
        // Mip 1 of `texture` is COPY_SOURCE now, not COPY_DEST, and `other` was moved to COPY_DEST.
        list->CopyTextureRegion(&dst, 0, 0, 0, &src, nullptr);
        EXPECT_TRUE(run());
        const int64_t count = winsim::debugMessageCount();
        winsim::resetDebugLayer();
        return count;
    }
};

TEST_F(D3D12DebugTest, TheDebugLayerChecksEverySubresourcesState) {
    // The same before and after; two wrong states of one copy; mip 0 read in COPY_DEST; and the
    // wrong StateBefore of each of `other`'s two mips.
    EXPECT_EQ(misuse(), 6);
    // A correct sequence after it: the states the list left behind are the ones tracked.
    restart();
    auto texture = mipped();
    const auto toSource = transition(texture.Get(), D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_COPY_SOURCE);
    list->ResourceBarrier(1, &toSource);
    ASSERT_TRUE(run());
    restart();
    const auto back = transition(texture.Get(), D3D12_RESOURCE_STATE_COPY_SOURCE, D3D12_RESOURCE_STATE_COPY_DEST, 0);
    list->ResourceBarrier(1, &back);
    ASSERT_TRUE(run());
    EXPECT_EQ(winsim::debugMessageCount(), 0) << ::testing::PrintToString(winsim::debugMessages());
}

class D3D12WithoutDebugLayerTest : public D3D12DebugTest {
protected:
    bool debugLayer() const override { return false; }
};

TEST_F(D3D12WithoutDebugLayerTest, StatesAreNotCheckedWithoutTheDebugLayer) { EXPECT_EQ(misuse(), 0); }

TEST_F(D3D12DebugTest, ShaderResourceViewsAreCheckedAgainstTheirResource) {
    D3D12_DESCRIPTOR_HEAP_DESC heapDesc{D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE, 0};
    ComPtr<ID3D12DescriptorHeap> heap;
    ASSERT_EQ(device->CreateDescriptorHeap(&heapDesc, IID_PPV_ARGS(&heap)), S_OK);
    D3D12_DESCRIPTOR_HEAP_DESC rtvDesc{D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 1, D3D12_DESCRIPTOR_HEAP_FLAG_NONE, 0};
    ComPtr<ID3D12DescriptorHeap> rtvs;
    ASSERT_EQ(device->CreateDescriptorHeap(&rtvDesc, IID_PPV_ARGS(&rtvs)), S_OK);
    EXPECT_EQ(rtvs->GetGPUDescriptorHandleForHeapStart().ptr, 0u) << "not shader visible";
    const UINT step = device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
    EXPECT_GT(step, 0u);
    D3D12_CPU_DESCRIPTOR_HANDLE slot = heap->GetCPUDescriptorHandleForHeapStart();

    auto texture = make(D3D12_HEAP_TYPE_DEFAULT, textureDesc(16, 16, 0), D3D12_RESOURCE_STATE_COMMON);
    device->CreateShaderResourceView(texture.Get(), nullptr, slot);
    D3D12_SHADER_RESOURCE_VIEW_DESC view{};
    view.Format = DXGI_FORMAT_B8G8R8A8_UNORM_SRGB;
    view.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
    view.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    view.Texture2D.MostDetailedMip = 2;
    view.Texture2D.MipLevels = UINT(-1);  // the rest of the chain
    slot.ptr += step;
    device->CreateShaderResourceView(texture.Get(), &view, slot);
    EXPECT_EQ(winsim::debugMessageCount(), 0) << ::testing::PrintToString(winsim::debugMessages());

    auto bad = view;
    bad.Texture2D.MipLevels = 4;  // mips 2..5 of a chain of 5
    device->CreateShaderResourceView(texture.Get(), &bad, slot);
    bad = view;
    bad.Format = DXGI_FORMAT_R8G8B8A8_UNORM;  // another layout
    device->CreateShaderResourceView(texture.Get(), &bad, slot);
    bad = view;
    bad.Shader4ComponentMapping = 0;  // zeroed memory
    device->CreateShaderResourceView(texture.Get(), &bad, slot);
    device->CreateShaderResourceView(texture.Get(), &view, rtvs->GetCPUDescriptorHandleForHeapStart());
    device->CreateShaderResourceView(texture.Get(), &view, D3D12_CPU_DESCRIPTOR_HANDLE{slot.ptr + 1});
    device->CreateShaderResourceView(upload(256).Get(), nullptr, slot);  // a buffer needs a description
    EXPECT_EQ(winsim::debugMessageCount(), 6) << ::testing::PrintToString(winsim::debugMessages());
    winsim::resetDebugLayer();

    heapDesc.NumDescriptors = 0;
    EXPECT_EQ(device->CreateDescriptorHeap(&heapDesc, IID_PPV_ARGS(&heap)), E_INVALIDARG);
    winsim::resetDebugLayer();
}

TEST_F(D3D12DebugTest, FormatSupportIsAnsweredAndOtherFeaturesAreRefusedLoudly) {
    D3D12_FEATURE_DATA_FORMAT_SUPPORT support{DXGI_FORMAT_B8G8R8A8_UNORM, {}, {}};
    ASSERT_EQ(device->CheckFeatureSupport(D3D12_FEATURE_FORMAT_SUPPORT, &support, sizeof support), S_OK);
    for (auto flag : {D3D12_FORMAT_SUPPORT1_TEXTURE2D, D3D12_FORMAT_SUPPORT1_MIP, D3D12_FORMAT_SUPPORT1_SHADER_SAMPLE,
                      D3D12_FORMAT_SUPPORT1_RENDER_TARGET, D3D12_FORMAT_SUPPORT1_DISPLAY})
        EXPECT_TRUE(support.Support1 & flag) << flag;
    support.Format = DXGI_FORMAT_B8G8R8A8_TYPELESS;
    ASSERT_EQ(device->CheckFeatureSupport(D3D12_FEATURE_FORMAT_SUPPORT, &support, sizeof support), S_OK);
    EXPECT_FALSE(support.Support1 & D3D12_FORMAT_SUPPORT1_SHADER_SAMPLE) << "a typeless format is not sampled";
    support.Format = static_cast<DXGI_FORMAT>(71);  // not a format winsim stores
    EXPECT_EQ(device->CheckFeatureSupport(D3D12_FEATURE_FORMAT_SUPPORT, &support, sizeof support), E_FAIL);
    EXPECT_EQ(support.Support1, D3D12_FORMAT_SUPPORT1_NONE);
    EXPECT_EQ(device->CheckFeatureSupport(D3D12_FEATURE_FORMAT_SUPPORT, &support, 4), E_INVALIDARG);
    UINT architecture[4] = {};
    EXPECT_EQ(device->CheckFeatureSupport(D3D12_FEATURE_ARCHITECTURE, architecture, sizeof architecture), E_NOTIMPL);
    EXPECT_EQ(winsim::debugMessageCount(), 2);
    winsim::resetDebugLayer();
}

// WKPDID_D3DDebugObjectNameW, spelled out: older SDK headers (mingw-w64's) lack it.
const GUID kDebugObjectNameW{0x4cca5fd8, 0x921f, 0x42c8, {0x85, 0x66, 0x70, 0xca, 0xf2, 0xa9, 0xb7, 0x41}};

TEST_F(D3D12DebugTest, EveryObjectTakesANameThatTheLeakReportShows) {
    auto buffer = readback(256);
    ID3D12Object* objects[] = {device.Get(), queue.Get(), allocator.Get(), list.Get(), fence.Get(), buffer.Get()};
    for (ID3D12Object* object : objects) EXPECT_EQ(object->SetName(L"consumer read-back"), S_OK);
    EXPECT_NE(winsim::leakReport().find("consumer read-back"), std::string::npos) << winsim::leakReport();
    UINT size = 0;
    EXPECT_EQ(buffer->GetPrivateData(kDebugObjectNameW, &size, nullptr), S_OK);
    EXPECT_EQ(size, sizeof(wchar_t) * 18);
    buffer.Reset();
    ComPtr<ID3D12Device> parent;
    ASSERT_EQ(fence->GetDevice(IID_PPV_ARGS(&parent)), S_OK);
    EXPECT_EQ(parent, device);
}

}  // namespace
