// A factory's view of the displays: taken when the factory is made, answered by its adapters and
// their outputs until a display change turns IsCurrent FALSE and the caller makes a new one.
#include <functional>
#include <string>

#include "d3d11_support.h"

namespace {

class SnapshotTest : public D3D11Test {
protected:
    // Still desktops: nothing changes unless the test changes it.
    void adjustMachine(winsim::MachineConfig& config) const override {
        config.movingCursor = false;
        for (auto& a : config.adapters)
            for (auto& output : a.outputs) output.updateHz = 0;
    }

    static ComPtr<IDXGIFactory1> newFactory() {
        ComPtr<IDXGIFactory1> factory;
        EXPECT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
        return factory;
    }
    // Output `index` of adapter 0 of `factory`; null when it enumerates none there.
    static ComPtr<IDXGIOutput> outputOf(IDXGIFactory1* factory, UINT index) {
        ComPtr<IDXGIAdapter1> first;
        EXPECT_EQ(factory->EnumAdapters1(0, first.GetAddressOf()), S_OK);
        ComPtr<IDXGIOutput> output;
        const HRESULT hr = first->EnumOutputs(index, output.GetAddressOf());
        EXPECT_TRUE(hr == S_OK || hr == DXGI_ERROR_NOT_FOUND) << hr;
        return output;
    }
    static DXGI_OUTPUT_DESC descOf(IDXGIOutput* output) {
        DXGI_OUTPUT_DESC desc{};
        EXPECT_EQ(output->GetDesc(&desc), S_OK);
        return desc;
    }
    HRESULT duplicate(IDXGIOutput* output) {
        ComPtr<IDXGIOutput1> output1;
        EXPECT_EQ(output->QueryInterface(IID_PPV_ARGS(output1.GetAddressOf())), S_OK);
        ComPtr<IDXGIOutputDuplication> duplication;
        return output1->DuplicateOutput(device.Get(), duplication.GetAddressOf());
    }
};

TEST_F(SnapshotTest, IsCurrentTurnsFalseOnTheFirstDisplayChangeOnly) {
    struct Change {
        const char* what;
        std::function<void()> make;
    };
    const Change changes[] = {
        {"unplug", [] { winsim::setOutputAttached(1, false); }},
        {"plug back", [] { winsim::setOutputAttached(1, true); }},
        {"mode", [] { winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_B8G8R8A8_UNORM); }},
        {"rotation", [] { winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE90); }},
        {"format", [] { winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_R16G16B16A16_FLOAT); }},
    };
    for (const Change& change : changes) {
        auto factory = newFactory();
        EXPECT_TRUE(factory->IsCurrent()) << change.what;
        // None of these changes an output or its mode.
        winsim::setSdrWhiteNits(1, 300.0f);
        winsim::setSecureDesktop(true);
        winsim::setSecureDesktop(false);
        winsim::setOutputUpdateRate(0, 0);
        winsim::setOutputRotation(1, DXGI_MODE_ROTATION_IDENTITY);  // as it is
        EXPECT_TRUE(factory->IsCurrent()) << change.what;
        change.make();
        EXPECT_FALSE(factory->IsCurrent()) << change.what;
        EXPECT_FALSE(factory->IsCurrent()) << change.what << ": for good";
        EXPECT_TRUE(newFactory()->IsCurrent()) << change.what;
    }
}

TEST_F(SnapshotTest, OutputsAndTheirDescriptionsAreThoseOfTheFactorysMoment) {
    auto before = newFactory();
    auto early = outputOf(before.Get(), 0);
    winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_R16G16B16A16_FLOAT);
    winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE90);
    winsim::setOutputAttached(1, false);

    for (const auto& output : {early, outputOf(before.Get(), 0)}) {
        const DXGI_OUTPUT_DESC desc = descOf(output.Get());
        EXPECT_EQ(desc.DesktopCoordinates.right, 1920);
        EXPECT_EQ(desc.DesktopCoordinates.bottom, 1080);
        EXPECT_EQ(desc.Rotation, DXGI_MODE_ROTATION_IDENTITY);
        ComPtr<IDXGIOutput6> output6;
        ASSERT_EQ(output.As(&output6), S_OK);
        DXGI_OUTPUT_DESC1 desc1{};
        ASSERT_EQ(output6->GetDesc1(&desc1), S_OK);
        EXPECT_EQ(desc1.ColorSpace, DXGI_COLOR_SPACE_RGB_FULL_G22_NONE_P709) << "still the SDR desktop";
    }
    auto unplugged = outputOf(before.Get(), 1);
    ASSERT_NE(unplugged, nullptr) << "the factory still lists the output it saw";
    EXPECT_TRUE(descOf(unplugged.Get()).AttachedToDesktop);

    auto after = newFactory();
    const DXGI_OUTPUT_DESC now = descOf(outputOf(after.Get(), 0).Get());
    EXPECT_EQ(now.DesktopCoordinates.right, 720) << "rotated a quarter turn";
    EXPECT_EQ(now.DesktopCoordinates.bottom, 1280);
    EXPECT_EQ(now.Rotation, DXGI_MODE_ROTATION_ROTATE90);
    EXPECT_EQ(outputOf(after.Get(), 1), nullptr) << "made while the monitor was unplugged";

    winsim::setOutputAttached(1, true);
    EXPECT_EQ(outputOf(after.Get(), 1), nullptr) << "not even once it is back";
    EXPECT_NE(outputOf(newFactory().Get(), 1), nullptr);
}

TEST_F(SnapshotTest, AnOutputFromBeforeAnUnplugCannotBeDuplicatedOnceTheMonitorIsBack) {
    auto stale = outputOf(newFactory().Get(), 1);
    winsim::setOutputAttached(1, false);
    EXPECT_EQ(duplicate(stale.Get()), DXGI_ERROR_UNSUPPORTED) << "unplugged";
    winsim::setOutputAttached(1, true);
    EXPECT_EQ(duplicate(stale.Get()), DXGI_ERROR_UNSUPPORTED) << "the output it stood for is gone";
    auto fresh = outputOf(newFactory().Get(), 1);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(duplicate(fresh.Get()), S_OK);
}

TEST_F(SnapshotTest, ADevicesAdapterComesWithAFactoryOfItsOwnTakenNow) {
    winsim::setOutputAttached(1, false);
    ComPtr<IDXGIDevice> dxgiDevice;
    ASSERT_EQ(device.As(&dxgiDevice), S_OK);
    ComPtr<IDXGIAdapter> fromDevice;
    ASSERT_EQ(dxgiDevice->GetAdapter(fromDevice.GetAddressOf()), S_OK);
    ComPtr<IDXGIOutput> output;
    EXPECT_EQ(fromDevice->EnumOutputs(1, output.GetAddressOf()), DXGI_ERROR_NOT_FOUND);
    EXPECT_EQ(adapter->EnumOutputs(1, output.GetAddressOf()), S_OK) << "the fixture's factory predates the unplug";
    ComPtr<IDXGIFactory1> parent;
    ASSERT_EQ(fromDevice->GetParent(IID_PPV_ARGS(parent.GetAddressOf())), S_OK);
    EXPECT_TRUE(parent->IsCurrent());
}

class HybridSnapshotTest : public SnapshotTest {
protected:
    std::string machineName() const override { return "hybrid"; }
};

TEST_F(HybridSnapshotTest, ADeviceThatOutlivesItsMachineFindsNoOutputsOnTheNextOne) {
    auto factory = newFactory();
    ComPtr<IDXGIAdapter1> integrated;
    ASSERT_EQ(factory->EnumAdapters1(1, integrated.GetAddressOf()), S_OK);
    ComPtr<ID3D11Device> other;
    ASSERT_EQ(D3D11CreateDevice(integrated.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                other.GetAddressOf(), nullptr, nullptr),
              S_OK);
    winsim::useScenario("single");  // one adapter: the device's second one is not among its adapters
    ComPtr<IDXGIDevice> dxgiDevice;
    ASSERT_EQ(other.As(&dxgiDevice), S_OK);
    ComPtr<IDXGIAdapter> fromDevice;
    ASSERT_EQ(dxgiDevice->GetAdapter(fromDevice.GetAddressOf()), S_OK);
    ComPtr<IDXGIOutput> output;
    EXPECT_EQ(fromDevice->EnumOutputs(0, output.GetAddressOf()), DXGI_ERROR_NOT_FOUND);
}

}  // namespace
