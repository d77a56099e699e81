// Direct3D 12 committed resources: what each heap allows, what the ledgers charge, mapping.
#include "winsim/d3d12_support.h"

namespace {

using D3D12ResourceTest = D3D12Test;

TEST_F(D3D12ResourceTest, DefaultHeapsChargeVideoMemoryAndUploadAndReadBackHeapsSystemMemory) {
    const uint64_t local = winsim::vramUsage(0);
    EXPECT_EQ(local, winsim::d3d12DeviceBaselineBytes());
    const auto d = textureDesc(1000, 600, 0);
    const D3D12_RESOURCE_ALLOCATION_INFO info = device->GetResourceAllocationInfo(0, 1, &d);
    EXPECT_EQ(info.Alignment, 65536u);
    EXPECT_EQ(info.SizeInBytes % 65536, 0u);
    auto texture = make(D3D12_HEAP_TYPE_DEFAULT, d, D3D12_RESOURCE_STATE_COMMON);
    EXPECT_EQ(winsim::vramUsage(0), local + info.SizeInBytes) << "charged what GetResourceAllocationInfo says";
    EXPECT_EQ(texture->GetDesc().MipLevels, 10u);

    auto up = upload(100000);
    auto back = readback(70000);
    EXPECT_EQ(winsim::vramUsage(0), local + info.SizeInBytes) << "upload and read-back heaps are not video memory";
    EXPECT_EQ(winsim::nonLocalMemoryUsage(0), 2u * 131072);
    ComPtr<IDXGIAdapter3> adapter3;
    ASSERT_EQ(adapter.As(&adapter3), S_OK);
    DXGI_QUERY_VIDEO_MEMORY_INFO nonLocal{};
    ASSERT_EQ(adapter3->QueryVideoMemoryInfo(0, DXGI_MEMORY_SEGMENT_GROUP_NON_LOCAL, &nonLocal), S_OK);
    EXPECT_EQ(nonLocal.CurrentUsage, 2u * 131072) << "the non-local segment group holds them";
    EXPECT_GT(nonLocal.Budget, nonLocal.CurrentUsage);
    const auto buffer = bufferDesc(100000);
    EXPECT_EQ(device->GetResourceAllocationInfo(0, 1, &buffer).SizeInBytes, 131072u);
    D3D12_HEAP_PROPERTIES properties{};
    ASSERT_EQ(back->GetHeapProperties(&properties, nullptr), S_OK);
    EXPECT_EQ(properties.Type, D3D12_HEAP_TYPE_READBACK);

    texture.Reset();
    up.Reset();
    back.Reset();
    EXPECT_EQ(winsim::vramUsage(0), local);
    EXPECT_EQ(winsim::nonLocalMemoryUsage(0), 0u);
}

TEST_F(D3D12ResourceTest, CreationRefusesWhatTheRuntimeRefusesAndWhatWinsimDoesNotModel) {
    ComPtr<ID3D12Resource> r;
    EXPECT_EQ(create(D3D12_HEAP_TYPE_UPLOAD, textureDesc(8, 8), D3D12_RESOURCE_STATE_GENERIC_READ, r), E_INVALIDARG);
    EXPECT_EQ(create(D3D12_HEAP_TYPE_UPLOAD, bufferDesc(64), D3D12_RESOURCE_STATE_COPY_DEST, r), E_INVALIDARG);
    EXPECT_EQ(create(D3D12_HEAP_TYPE_READBACK, bufferDesc(64), D3D12_RESOURCE_STATE_GENERIC_READ, r), E_INVALIDARG);
    auto rowMajor = textureDesc(8, 8);
    rowMajor.Layout = D3D12_TEXTURE_LAYOUT_ROW_MAJOR;
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, rowMajor, D3D12_RESOURCE_STATE_COMMON, r), E_INVALIDARG);
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8, 5), D3D12_RESOURCE_STATE_COMMON, r), E_INVALIDARG)
        << "an 8x8 texture has 4 mips";
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, textureDesc(0, 8), D3D12_RESOURCE_STATE_COMMON, r), E_INVALIDARG);
    auto array = textureDesc(8, 8);
    array.DepthOrArraySize = 6;
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, array, D3D12_RESOURCE_STATE_COMMON, r), E_NOTIMPL);
    EXPECT_EQ(create(D3D12_HEAP_TYPE_CUSTOM, bufferDesc(64), D3D12_RESOURCE_STATE_COMMON, r), E_NOTIMPL);
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8, 1, static_cast<DXGI_FORMAT>(71)),
                     D3D12_RESOURCE_STATE_COMMON, r),
              E_NOTIMPL) << "a format winsim does not store";
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(winsim::debugMessageCount(), 9) << "each refusal is reported";
    winsim::resetDebugLayer();
    const auto tooMany = textureDesc(8, 8, 5);
    EXPECT_EQ(device->GetResourceAllocationInfo(0, 1, &tooMany).SizeInBytes, ~0ull);
    winsim::resetDebugLayer();

    winsim::addFault({"ID3D12Device::CreateCommittedResource", E_OUTOFMEMORY, 0, 1});
    EXPECT_EQ(create(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8), D3D12_RESOURCE_STATE_COMMON, r), E_OUTOFMEMORY);
}

class D3D12SmallSystemMemoryTest : public D3D12Test {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override { config.adapters[0].sharedSystemBytes = 1 << 20; }
};

TEST_F(D3D12SmallSystemMemoryTest, TheNonLocalLedgerHasACapacity) {
    auto first = upload(768 << 10);
    ComPtr<ID3D12Resource> second;
    EXPECT_EQ(create(D3D12_HEAP_TYPE_READBACK, bufferDesc(512 << 10), D3D12_RESOURCE_STATE_COPY_DEST, second),
              E_OUTOFMEMORY);
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes()) << "video memory is not asked";
}

TEST_F(D3D12ResourceTest, OnlyUploadAndReadBackBuffersMap) {
    auto up = upload(1024);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(up->Map(0, nullptr, &first), S_OK);
    ASSERT_EQ(up->Map(0, nullptr, &second), S_OK);
    EXPECT_EQ(first, second) << "nested maps give the same pointer";
    up->Unmap(0, nullptr);
    up->Unmap(0, nullptr);
    EXPECT_EQ(winsim::debugMessageCount(), 0);
    up->Unmap(0, nullptr);
    EXPECT_EQ(winsim::debugMessageCount(), 1) << "unmapped once too often";

    auto texture = make(D3D12_HEAP_TYPE_DEFAULT, textureDesc(8, 8), D3D12_RESOURCE_STATE_COMMON);
    void* data = reinterpret_cast<void*>(1);
    EXPECT_EQ(texture->Map(0, nullptr, &data), E_INVALIDARG);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(up->Map(1, nullptr, &data), E_INVALIDARG);
    winsim::resetDebugLayer();
}

}  // namespace
