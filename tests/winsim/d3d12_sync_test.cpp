// Direct3D 12 fences, queues and allocators: values reached from the CPU and from a queue,
// events and blocking waits, and the runtime's refusals of work still in flight.
#include <thread>

#include "winsim/d3d12_support.h"

namespace {

using D3D12SyncTest = D3D12Test;

TEST_F(D3D12SyncTest, FencesAdvanceFromTheCpuAndFromTheQueueInOrder) {
    ComPtr<ID3D12Fence> other;
    ASSERT_EQ(device->CreateFence(5, D3D12_FENCE_FLAG_NONE, IID_PPV_ARGS(&other)), S_OK);
    EXPECT_EQ(other->GetCompletedValue(), 5u);
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(other->SetEventOnCompletion(7, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ASSERT_EQ(other->Signal(7), S_OK);  // the CPU signals
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_EQ(other->SetEventOnCompletion(6, event), S_OK);  // already reached: at once
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);

    winsim::setQueueStalled(true);  // nothing the queue holds runs until it is released
    ASSERT_EQ(queue->Signal(other.Get(), 9), S_OK);
    ASSERT_EQ(other->SetEventOnCompletion(9, event), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(other->GetCompletedValue(), 7u);
    winsim::setQueueStalled(false);
    EXPECT_EQ(WaitForSingleObject(event, 20000), WAIT_OBJECT_0);
    EXPECT_EQ(other->GetCompletedValue(), 9u);
    CloseHandle(event);

    EXPECT_EQ(other->SetEventOnCompletion(10, reinterpret_cast<HANDLE>(0x4321)), E_INVALIDARG);
    EXPECT_EQ(winsim::debugMessageCount(), 1);
    winsim::resetDebugLayer();
}

TEST_F(D3D12SyncTest, ANullEventBlocksUntilTheValueIsReached) {
    winsim::setQueueLatencyMs(30);
    ASSERT_EQ(queue->Signal(fence.Get(), 1), S_OK);
    ASSERT_EQ(fence->SetEventOnCompletion(1, nullptr), S_OK);
    EXPECT_EQ(fence->GetCompletedValue(), 1u);
    std::thread signaller([&] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); fence->Signal(2); });
    EXPECT_EQ(fence->SetEventOnCompletion(2, nullptr), S_OK);
    EXPECT_EQ(fence->GetCompletedValue(), 2u);
    signaller.join();
}

TEST_F(D3D12SyncTest, AllocatorsAndListsRefuseWhatTheRuntimeRefuses) {
    EXPECT_EQ(allocator->Reset(), E_FAIL) << "the list still records with it";
    EXPECT_EQ(list->Reset(allocator.Get(), nullptr), E_FAIL) << "the list still records";
    ASSERT_EQ(list->Close(), S_OK);
    EXPECT_EQ(list->Close(), E_FAIL);
    EXPECT_EQ(winsim::debugMessageCount(), 3);
    winsim::resetDebugLayer();

    winsim::setQueueStalled(true);
    ID3D12CommandList* lists[] = {list.Get()};
    queue->ExecuteCommandLists(1, lists);
    EXPECT_EQ(allocator->Reset(), E_FAIL) << "its list has not run yet";
    winsim::resetDebugLayer();
    winsim::setQueueStalled(false);
    ASSERT_TRUE(waitForQueue());
    EXPECT_EQ(allocator->Reset(), S_OK);
    ASSERT_EQ(list->Reset(allocator.Get(), nullptr), S_OK);

    ComPtr<ID3D12CommandAllocator> copyAllocator;
    ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_COPY, IID_PPV_ARGS(&copyAllocator)), S_OK);
    ComPtr<ID3D12GraphicsCommandList> copyList;
    EXPECT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, copyAllocator.Get(), nullptr,
                                        IID_PPV_ARGS(&copyList)),
              E_INVALIDARG);
    ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_COPY, copyAllocator.Get(), nullptr,
                                        IID_PPV_ARGS(&copyList)),
              S_OK);
    ASSERT_EQ(copyList->Close(), S_OK);
    ID3D12CommandList* wrongType[] = {copyList.Get()};
    queue->ExecuteCommandLists(1, wrongType);  // a copy list on a direct queue
    ID3D12CommandList* recording[] = {list.Get()};
    queue->ExecuteCommandLists(1, recording);
    EXPECT_EQ(winsim::debugMessageCount(), 3) << "the allocator of another type, and both executions";
    EXPECT_EQ(queue->Wait(fence.Get(), 1000), E_NOTIMPL) << "a queue waits only for values already reached";
    winsim::resetDebugLayer();
    EXPECT_EQ(queue->Wait(fence.Get(), fence->GetCompletedValue()), S_OK);
}

TEST_F(D3D12SyncTest, ACopyQueueRunsCopyListsAndResourcesOutliveNothingTheyNeed) {
    D3D12_COMMAND_QUEUE_DESC desc{};
    desc.Type = D3D12_COMMAND_LIST_TYPE_COPY;
    ComPtr<ID3D12CommandQueue> copyQueue;
    ASSERT_EQ(device->CreateCommandQueue(&desc, IID_PPV_ARGS(&copyQueue)), S_OK);
    EXPECT_EQ(copyQueue->GetDesc().Type, D3D12_COMMAND_LIST_TYPE_COPY);
    ComPtr<ID3D12CommandAllocator> copyAllocator;
    ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_COPY, IID_PPV_ARGS(&copyAllocator)), S_OK);
    ComPtr<ID3D12GraphicsCommandList> copyList;
    ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_COPY, copyAllocator.Get(), nullptr,
                                        IID_PPV_ARGS(&copyList)),
              S_OK);
    auto from = upload(256);
    auto to = readback(256);
    void* data = nullptr;
    ASSERT_EQ(from->Map(0, nullptr, &data), S_OK);
    std::memset(data, 0xab, 256);
    from->Unmap(0, nullptr);
    copyList->CopyBufferRegion(to.Get(), 0, from.Get(), 0, 256);
    ASSERT_EQ(copyList->Close(), S_OK);

    winsim::setQueueStalled(true);
    ID3D12CommandList* lists[] = {copyList.Get()};
    copyQueue->ExecuteCommandLists(1, lists);
    ASSERT_EQ(copyQueue->Signal(fence.Get(), 1), S_OK);
    from.Reset();  // queued work keeps what it reads until it has run
    const uint64_t held = winsim::nonLocalMemoryUsage(0);
    EXPECT_EQ(held, 2u * 65536);
    winsim::setQueueStalled(false);
    ASSERT_EQ(fence->SetEventOnCompletion(1, nullptr), S_OK);
    EXPECT_EQ(mapped(to.Get(), 256)[255], 0xab);
    EXPECT_EQ(winsim::nonLocalMemoryUsage(0), 65536u);
}

}  // namespace
