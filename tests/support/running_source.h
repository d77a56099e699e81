// A winsim machine with the consumer's Direct3D 12 device on adapter 0, for tests that start real
// sources.
#pragma once
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "impl.h"
#include "support/winsim_fixture.h"

class SourceFixture : public WinsimTest {
protected:
    void SetUp() override {
        WinsimTest::SetUp();
        Microsoft::WRL::ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        Microsoft::WRL::ComPtr<IDXGIAdapter1> adapter;
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d3d12.GetAddressOf())), S_OK);
    }
    void TearDown() override {
        d3d12.Reset();
        WinsimTest::TearDown();
    }

    static velda::DuplicationSource::Impl& impl(velda::DuplicationSource& source) {
        return velda::ImplAccess::of(source);
    }

    // Starts `source`, then ends its capture thread while keeping every device object and the
    // duplication, so a test can drive the capture passes on its own thread. Returns what start
    // returned.
    bool startWithoutThread(velda::DuplicationSource& source) {
        source.setPaused(true);
        const bool started = source.start(d3d12.Get());
        auto& record = impl(source);
        record.stopRequested = true;
        if (record.worker.joinable()) record.worker.join();
        source.setPaused(false);
        // The paused thread may have dropped the duplication before it ended: take it again.
        if (started && !record.duplication) record.acquireDuplication(false);
        return started;
    }

    // Waits until `condition` holds, up to a generous deadline.
    static bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(60)) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    Microsoft::WRL::ComPtr<ID3D12Device> d3d12;
};
