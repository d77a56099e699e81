// A capture source whose private record carries what `start` would give it: adapter 0, a private
// Direct3D 11 device with its context, and the consumer's Direct3D 12 device.
#pragma once
#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <memory>

#include "impl.h"
#include "support/winsim_fixture.h"

using Microsoft::WRL::ComPtr;

class SourceTest : public WinsimTest {
protected:
    // The private operations against the documented platform: what one acquisition can know from a
    // duplication's description alone. The running source meets the variants in other tests.
    bool takesEnvironmentVariants() const override { return false; }
    using Impl = velda::DuplicationSource::Impl;

    void SetUp() override {
        WinsimTest::SetUp();
        ComPtr<IDXGIFactory4> factory;
        ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
        ASSERT_EQ(D3D12CreateDevice(adapter.Get(), D3D_FEATURE_LEVEL_12_0, IID_PPV_ARGS(d3d12.GetAddressOf())), S_OK);
        source = std::make_unique<velda::DuplicationSource>(outputIndex());
        attachDevices();
    }
    void TearDown() override {
        source.reset();
        d3d12.Reset();
        adapter.Reset();
        WinsimTest::TearDown();
    }

    // The output the source captures.
    virtual int32_t outputIndex() const { return 0; }

    // Gives the record its adapter and devices, as `start` does (again after a `stop`).
    void attachDevices() {
        Impl& record = impl();
        ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                                    nullptr, 0, D3D11_SDK_VERSION, record.device.GetAddressOf(), nullptr,
                                    record.context.GetAddressOf()),
                  S_OK);
        ASSERT_EQ(record.device.As(&record.device5), S_OK);
        ASSERT_EQ(record.context.As(&record.context4), S_OK);
        ASSERT_EQ(adapter.As(&record.adapter), S_OK);
        record.d3d12Device = d3d12.Get();
    }

    Impl& impl() { return velda::ImplAccess::of(*source); }

    ComPtr<IDXGIAdapter1> adapter;
    ComPtr<ID3D12Device> d3d12;
    std::unique_ptr<velda::DuplicationSource> source;
};
