// Desktop duplication: the delivered format, every refusal, frames and their waits, lost access,
// pointer updates and shapes, misuse, the desktop surface's charge, and the scenarios built on it.
#include <chrono>
#include <thread>

#include "duplication_support.h"
#include "machine/machine.h"

namespace {

using namespace std::chrono_literals;

TEST_F(DuplicationTest, DuplicateOutput1DeliversTheDesktopFormatWhenListedElseBgra) {
    struct Case {
        std::vector<DXGI_FORMAT> formats;
        DXGI_FORMAT delivered;
    };
    for (const Case& c : {Case{{kAllFormats[0], kAllFormats[1], kAllFormats[2]}, DXGI_FORMAT_R16G16B16A16_FLOAT},
                          Case{{DXGI_FORMAT_R10G10B10A2_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}, DXGI_FORMAT_B8G8R8A8_UNORM},
                          Case{{}, DXGI_FORMAT_B8G8R8A8_UNORM}}) {
        auto duplication = duplicate(1, c.formats);
        ASSERT_NE(duplication, nullptr);
        const auto desc = descOf(duplication.Get());
        EXPECT_EQ(desc.ModeDesc.Format, c.delivered);
        EXPECT_EQ(desc.ModeDesc.Width, 2560u);
        EXPECT_EQ(desc.ModeDesc.Height, 1440u);
        EXPECT_EQ(desc.Rotation, DXGI_MODE_ROTATION_IDENTITY);
        const Frame frame = acquire(duplication.Get());
        ASSERT_EQ(frame.hr, S_OK);
        D3D11_TEXTURE2D_DESC texture{};
        frame.texture->GetDesc(&texture);
        EXPECT_EQ(texture.Format, c.delivered);
        EXPECT_EQ(texture.Width, 2560u);
        ComPtr<ID3D11Device> owner;
        frame.texture->GetDevice(owner.GetAddressOf());
        EXPECT_EQ(owner.Get(), device.Get()) << "frames live on the duplicating device";
    }
    duplicate(1, {DXGI_FORMAT_R10G10B10A2_UNORM}, DXGI_ERROR_UNSUPPORTED);
}

TEST_F(DuplicationTest, AnHdrDesktopArrivesClippedThroughThePlainCall) {
    winsim::setOutputMode(1, 4, 2, DXGI_FORMAT_R16G16B16A16_FLOAT);
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 8; ++i) {
        std::vector<uint8_t> pixel(8);
        winsim::gpu::encodePixel(DXGI_FORMAT_R16G16B16A16_FLOAT, {2.0f, 0.5f, 0.25f, 1.0f}, pixel.data());
        pixels.insert(pixels.end(), pixel.begin(), pixel.end());
    }
    winsim::presentImage(1, pixels);
    for (bool plain : {true, false}) {
        auto duplication = plain ? duplicate(1) : duplicate(1, {kAllFormats[0], kAllFormats[1], kAllFormats[2]});
        const Frame frame = acquire(duplication.Get());
        ASSERT_EQ(frame.hr, S_OK);
        const auto read = winsim::readBackFloat(frame.texture.Get());
        ASSERT_EQ(read.size(), 8u);
        EXPECT_EQ(read[5].r, plain ? 1.0f : 2.0f);
        EXPECT_NEAR(read[5].g, 0.5f, 0.003f);
        EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
    }
}

TEST_F(DuplicationTest, EveryRefusalHasItsCode) {
    ComPtr<IDXGIOutputDuplication> none;
    auto out = output(0);
    EXPECT_EQ(out->DuplicateOutput(nullptr, none.GetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(out->DuplicateOutput1(nullptr, 0, 3, kAllFormats, none.GetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(out->DuplicateOutput1(device.Get(), 0, 0, kAllFormats, none.GetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(out->DuplicateOutput(adapter.Get(), none.GetAddressOf()), E_INVALIDARG) << "not a device";

    auto first = duplicate(0);
    duplicate(0, {}, E_INVALIDARG);  // this process duplicates it already
    duplicate(0, {DXGI_FORMAT_B8G8R8A8_UNORM}, E_INVALIDARG);
    first.Reset();

    winsim::setSecureDesktop(true);
    duplicate(0, {}, E_ACCESSDENIED);
    duplicate(0, {DXGI_FORMAT_B8G8R8A8_UNORM}, E_ACCESSDENIED);
    winsim::setSecureDesktop(false);

    winsim::addFault({"IDXGIOutput1::DuplicateOutput", E_OUTOFMEMORY, 0, 1});
    winsim::addFault({"IDXGIOutput5::DuplicateOutput1", DXGI_ERROR_SESSION_DISCONNECTED, 0, 1});
    duplicate(0, {}, E_OUTOFMEMORY);
    duplicate(0, {DXGI_FORMAT_B8G8R8A8_UNORM}, DXGI_ERROR_SESSION_DISCONNECTED);
    EXPECT_NE(duplicate(0), nullptr);
}

class FiveOutputsTest : public DuplicationTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override {
        DuplicationTest::adjustMachine(config);
        auto& outputs = config.adapters[0].outputs;
        while (outputs.size() < 5) outputs.push_back(outputs[0]);
    }
};

TEST_F(FiveOutputsTest, TheLimitOfFourCountsProcessesNotDuplications) {
    std::vector<ComPtr<IDXGIOutputDuplication>> held;
    for (UINT i = 0; i < 5; ++i) held.push_back(duplicate(i));  // one process, every output
    held.clear();

    winsim::setOtherDuplicatingProcesses(4);
    duplicate(0, {}, DXGI_ERROR_NOT_CURRENTLY_AVAILABLE);
    duplicate(0, {DXGI_FORMAT_B8G8R8A8_UNORM}, DXGI_ERROR_NOT_CURRENTLY_AVAILABLE);
    winsim::setOtherDuplicatingProcesses(3);
    held.push_back(duplicate(0));
    winsim::setOtherDuplicatingProcesses(4);  // a fourth other process started meanwhile
    for (UINT i = 1; i < 5; ++i) held.push_back(duplicate(i));
    held.clear();
    duplicate(0, {}, DXGI_ERROR_NOT_CURRENTLY_AVAILABLE);
}

class BusyMachineDuplicationTest : public DuplicationTest {
protected:
    void adjustMachine(winsim::MachineConfig& config) const override {
        DuplicationTest::adjustMachine(config);
        config.otherDuplicatingProcesses = 4;
    }
};

TEST_F(BusyMachineDuplicationTest, FourOtherDuplicatingProcessesLeaveNoRoomFromTheStart) {
    duplicate(1, {}, DXGI_ERROR_NOT_CURRENTLY_AVAILABLE);
}

class HybridDuplicationTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "hybrid"; }
};

TEST_F(HybridDuplicationTest, OnlyADeviceOnTheDrivingAdapterMayDuplicate) {
    duplicate(0, {}, DXGI_ERROR_UNSUPPORTED);
    duplicate(0, {DXGI_FORMAT_B8G8R8A8_UNORM}, DXGI_ERROR_UNSUPPORTED);
    ComPtr<IDXGIFactory4> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
    ComPtr<IDXGIAdapter1> integrated;
    ASSERT_EQ(factory->EnumAdapters1(1, integrated.GetAddressOf()), S_OK);
    ComPtr<ID3D11Device> other;
    ASSERT_EQ(D3D11CreateDevice(integrated.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                other.GetAddressOf(), nullptr, nullptr),
              S_OK);
    EXPECT_NE(duplicate(0, {}, S_OK, other.Get()), nullptr);
}

TEST_F(DuplicationTest, FramesWaitForUpdatesAndTimeOut) {
    auto duplication = duplicate(0);
    Frame frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK) << "the first frame comes at once";
    EXPECT_EQ(frame.info.AccumulatedFrames, 1u);
    EXPECT_NE(frame.info.LastPresentTime.QuadPart, 0);
    EXPECT_NE(frame.info.PointerShapeBufferSize, 0u);
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_INVALID_CALL) << "a frame is held";
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
    EXPECT_EQ(duplication->ReleaseFrame(), DXGI_ERROR_INVALID_CALL);

    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_WAIT_TIMEOUT);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(acquire(duplication.Get(), 30).hr, DXGI_ERROR_WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 30ms);

    winsim::presentImage(0, std::vector<uint8_t>(1920 * 1080 * 4, 0x40));
    winsim::presentImage(0, std::vector<uint8_t>(1920 * 1080 * 4, 0x80));
    frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_EQ(frame.info.AccumulatedFrames, 2u);
    EXPECT_EQ(frame.info.LastMouseUpdateTime.QuadPart, 0);
    EXPECT_EQ(frame.info.PointerShapeBufferSize, 0u);
    EXPECT_EQ(winsim::readBackRgba8(frame.texture.Get())[0], 0x80);
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);

    winsim::setOutputUpdateRate(0, 50);
    EXPECT_EQ(acquire(duplication.Get(), 10000).hr, S_OK) << "woken by the next generated update";
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
    winsim::setOutputUpdateRate(0, 0);
    drain(duplication.Get());  // one more update may have come meanwhile

    std::thread presenter([] { winsim::presentImage(0, std::vector<uint8_t>(1920 * 1080 * 4, 1)); });
    EXPECT_EQ(acquire(duplication.Get(), 10000).hr, S_OK);
    presenter.join();
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);

    winsim::addFault({"IDXGIOutputDuplication::AcquireNextFrame", DXGI_ERROR_DEVICE_REMOVED, 0, 1});
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_DEVICE_REMOVED);
    DXGI_OUTDUPL_FRAME_INFO info{};
    EXPECT_EQ(duplication->AcquireNextFrame(0, &info, nullptr), E_INVALIDARG);
}

TEST_F(DuplicationTest, ChangesOfTheOutputCostAccess) {
    const std::function<void()> changes[] = {
        [] { winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_B8G8R8A8_UNORM); },
        [] { winsim::setOutputRotation(0, DXGI_MODE_ROTATION_ROTATE270); },
        [] { winsim::setOutputAttached(0, false); },
        [] { winsim::setSecureDesktop(true); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        auto duplication = duplicate(0);
        skipFirstFrame(duplication.Get());
        changes[i]();
        EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_ACCESS_LOST) << i;
        EXPECT_EQ(acquire(duplication.Get(), 10).hr, DXGI_ERROR_ACCESS_LOST) << i << ": for good";
        winsim::setSecureDesktop(false);
        winsim::setOutputAttached(0, true);
    }
    auto duplication = duplicate(0);
    const auto desc = descOf(duplication.Get());
    EXPECT_EQ(desc.ModeDesc.Width, 1280u) << "the mode as set, unrotated";
    EXPECT_EQ(desc.Rotation, DXGI_MODE_ROTATION_ROTATE270);
    skipFirstFrame(duplication.Get());
    winsim::setSdrWhiteNits(0, 300.0f);  // no loss
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_WAIT_TIMEOUT);

    std::thread switcher([] { winsim::setOutputMode(0, 1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM); });
    EXPECT_EQ(acquire(duplication.Get(), 10000).hr, DXGI_ERROR_ACCESS_LOST) << "also while waiting";
    switcher.join();
}

TEST_F(DuplicationTest, AccessLostWhileAFrameIsHeldIsReportedByEveryFrameCall) {
    const std::function<void()> changes[] = {
        [] { winsim::setOutputMode(0, 1280, 720, DXGI_FORMAT_B8G8R8A8_UNORM); },
        [] { winsim::setSecureDesktop(true); },
        [] { winsim::removeDevices(0, DXGI_ERROR_DEVICE_REMOVED, 0); },
    };
    for (size_t i = 0; i < std::size(changes); ++i) {
        auto duplication = duplicate(0);
        ASSERT_NE(duplication, nullptr) << i;
        Frame frame = acquire(duplication.Get());
        ASSERT_EQ(frame.hr, S_OK) << i;
        changes[i]();
        UINT required = 0;
        DXGI_OUTDUPL_POINTER_SHAPE_INFO shape{};
        std::vector<uint8_t> buffer(8192);
        EXPECT_EQ(duplication->GetFramePointerShape(8192, buffer.data(), &required, &shape), DXGI_ERROR_ACCESS_LOST) << i;
        EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_ACCESS_LOST) << i << ": not INVALID_CALL for the held frame";
        EXPECT_EQ(duplication->ReleaseFrame(), DXGI_ERROR_ACCESS_LOST) << i;
        EXPECT_EQ(duplication->ReleaseFrame(), DXGI_ERROR_INVALID_CALL) << i << ": the hold ended all the same";
        EXPECT_EQ(duplication->GetFramePointerShape(8192, buffer.data(), &required, &shape), DXGI_ERROR_INVALID_CALL) << i;
        winsim::setSecureDesktop(false);
        if (i == 2) {  // the fixture's device went with the adapter's: a new one duplicates
            duplication.Reset();
            frame.texture.Reset();
            context4.Reset();
            device5.Reset();
            context.Reset();
            ASSERT_EQ(D3D11CreateDevice(adapter.Get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                        device.ReleaseAndGetAddressOf(), nullptr, context.GetAddressOf()),
                      S_OK);
        }
    }
    EXPECT_NE(duplicate(0), nullptr);
}

TEST_F(DuplicationTest, PointerUpdatesReportPositionVisibilityAndShape) {
    auto duplication = duplicate(1);  // at (1920, 0)
    skipFirstFrame(duplication.Get());
    winsim::setCursorPosition(100, 100);  // over output 0 only
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_WAIT_TIMEOUT);

    winsim::setCursorPosition(2000, 30);  // enters
    Frame frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_NE(frame.info.LastMouseUpdateTime.QuadPart, 0);
    EXPECT_EQ(frame.info.LastPresentTime.QuadPart, 0);
    EXPECT_EQ(frame.info.AccumulatedFrames, 0u);
    EXPECT_EQ(frame.info.PointerPosition.Position.x, 80);
    EXPECT_EQ(frame.info.PointerPosition.Position.y, 30);
    EXPECT_TRUE(frame.info.PointerPosition.Visible);
    EXPECT_EQ(frame.info.PointerShapeBufferSize, 0u);
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);

    for (auto change : {+[] { winsim::setCursorPosition(2001, 31); }, +[] { winsim::setCursorVisible(false); },
                        +[] { winsim::setCursorVisible(true); }}) {
        change();
        frame = acquire(duplication.Get());
        ASSERT_EQ(frame.hr, S_OK);
        EXPECT_EQ(frame.info.PointerShapeBufferSize, 0u);
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    }
    winsim::setCursorPosition(5, 5);  // leaves the output
    frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_FALSE(frame.info.PointerPosition.Visible);
    EXPECT_EQ(frame.info.PointerPosition.Position.x, 5 - 1920);
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    winsim::setCursorPosition(6, 6);
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_WAIT_TIMEOUT) << "moves elsewhere are not its business";
}

TEST_F(DuplicationTest, ShapesComeWithTheirSizeAndAsTheyWereSet) {
    auto duplication = duplicate(0);
    skipFirstFrame(duplication.Get());
    UINT required = 0;
    DXGI_OUTDUPL_POINTER_SHAPE_INFO info{};
    std::vector<uint8_t> buffer(4096);
    EXPECT_EQ(duplication->GetFramePointerShape(4096, buffer.data(), &required, &info), DXGI_ERROR_INVALID_CALL)
        << "no frame held";

    winsim::setCursorShape(winsim::standardCursor(winsim::CursorKind::Monochrome));
    Frame frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_EQ(frame.info.PointerShapeBufferSize, 256u);
    EXPECT_EQ(duplication->GetFramePointerShape(10, buffer.data(), &required, &info), DXGI_ERROR_MORE_DATA);
    EXPECT_EQ(required, 256u);
    ASSERT_EQ(duplication->GetFramePointerShape(256, buffer.data(), &required, &info), S_OK);
    EXPECT_EQ(info.Type, UINT{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_MONOCHROME});
    EXPECT_EQ(info.Height, 64u);
    EXPECT_EQ(info.Pitch, 4u);
    const auto expected = winsim::standardCursor(winsim::CursorKind::Monochrome).bytes;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);

    winsim::CursorShape malformed{DXGI_OUTDUPL_POINTER_SHAPE_TYPE_COLOR, 1000, 1000, 4000, POINT{5, 6},
                                  std::vector<uint8_t>(16, 0xAB)};
    winsim::setCursorShape(malformed);
    frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    EXPECT_EQ(frame.info.PointerShapeBufferSize, 16u);
    ASSERT_EQ(duplication->GetFramePointerShape(4096, buffer.data(), &required, &info), S_OK);
    EXPECT_EQ(required, 16u);
    EXPECT_EQ(info.Width, 1000u);
    EXPECT_EQ(info.HotSpot.y, 6);
    EXPECT_EQ(buffer[15], 0xAB);
    ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
}

TEST_F(DuplicationTest, TheSurfaceChargeStaysFixedWhileQueuedCopiesReadEarlierFrames) {
    winsim::setOutputMode(0, 64, 32, DXGI_FORMAT_B8G8R8A8_UNORM);
    const uint64_t before = winsim::vramUsage(0);
    auto duplication = duplicate(0);
    const uint64_t surface = surfaceBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 64, 32);
    EXPECT_EQ(winsim::vramUsage(0), before + surface);

    constexpr int kFrames = 6;
    std::vector<ComPtr<ID3D11Texture2D>> copies;
    for (int i = 0; i < kFrames; ++i) copies.push_back(texture(desc(64, 32)));
    const uint64_t withCopies = winsim::vramUsage(0);
    winsim::setQueueStalled(true, device.Get());
    for (int i = 0; i < kFrames; ++i) {
        winsim::presentImage(0, std::vector<uint8_t>(64 * 32 * 4, static_cast<uint8_t>(10 * i + 1)));
        Frame frame = acquire(duplication.Get());
        ASSERT_EQ(frame.hr, S_OK);
        context->CopySubresourceRegion(copies[i].Get(), 0, 0, 0, 0, frame.texture.Get(), 0, nullptr);
        context->Flush();
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
        EXPECT_EQ(winsim::vramUsage(0), withCopies) << "one desktop surface, however many frames are in flight";
    }
    winsim::setQueueStalled(false, device.Get());
    ASSERT_TRUE(finish());
    for (int i = 0; i < kFrames; ++i) {
        const auto read = winsim::readBackRgba8(copies[i].Get());
        ASSERT_EQ(read.size(), 64u * 32 * 4);
        EXPECT_EQ(read[0], 10 * i + 1) << "frame " << i << " kept its own pixels";
        EXPECT_EQ(read.back(), 10 * i + 1) << i;
    }
    duplication.Reset();
    copies.clear();
    EXPECT_EQ(winsim::vramUsage(0), before);
}

TEST_F(DuplicationTest, FramesRenderedWhileTheGpuCopiesEarlierOnesStayWhole) {
    // As the capture loop works: copy, hand the frame back at once, acquire the next one while the
    // queue (slowed down) may still be copying. Each copy holds one frame: its two stamps agree.
    winsim::setOutputMode(0, 64, 32, DXGI_FORMAT_B8G8R8A8_UNORM);
    winsim::setOutputUpdateRate(0, 1000);
    winsim::setQueueLatencyMs(1, device.Get());
    auto duplication = duplicate(0);
    std::vector<ComPtr<ID3D11Texture2D>> copies;
    for (int i = 0; i < 20; ++i) {
        copies.push_back(texture(desc(64, 32)));
        Frame frame = acquire(duplication.Get(), 10000);
        ASSERT_EQ(frame.hr, S_OK);
        context->CopySubresourceRegion(copies.back().Get(), 0, 0, 0, 0, frame.texture.Get(), 0, nullptr);
        context->Flush();
        ASSERT_EQ(duplication->ReleaseFrame(), S_OK);
    }
    ASSERT_TRUE(finish());
    uint32_t previous = 0;
    for (const auto& copy : copies) {
        auto pixels = winsim::readBackRgba8(copy.Get());  // R and B swapped against BGRA: the stamp reads G
        const uint32_t first = winsim::readStamp(pixels.data());
        EXPECT_EQ(winsim::readStamp(pixels.data() + 64 * 31 * 4), first);
        EXPECT_GE(first, previous);
        previous = first;
    }
}

TEST_F(DuplicationTest, AFrameDrawnAheadOfItsUpdateGivesWayToAPresent) {
    winsim::setOutputMode(0, 64, 32, DXGI_FORMAT_B8G8R8A8_UNORM);
    auto duplication = duplicate(0);
    skipFirstFrame(duplication.Get());
    // The next generated update is 2 s away: the wait draws it ahead, then times out.
    winsim::setOutputUpdateRate(0, 0.5);
    EXPECT_EQ(acquire(duplication.Get(), 20).hr, DXGI_ERROR_WAIT_TIMEOUT);
    winsim::presentImage(0, std::vector<uint8_t>(64 * 32 * 4, 0x40));  // takes that version
    Frame frame = acquire(duplication.Get());
    ASSERT_EQ(frame.hr, S_OK);
    const auto pixels = winsim::readBackRgba8(frame.texture.Get());
    EXPECT_EQ(pixels[0], 0x40);
    EXPECT_EQ(pixels[pixels.size() - 4], 0x40);
    EXPECT_EQ(duplication->ReleaseFrame(), S_OK);
}

class LeakyDuplicationTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "leaky-driver"; }
};

TEST_F(LeakyDuplicationTest, EveryDuplicationLeaksEightMebibytesForGood) {
    const uint64_t before = winsim::vramUsage(0);
    for (int i = 1; i <= 3; ++i) {
        duplicate(0).Reset();
        EXPECT_EQ(winsim::vramUsage(0), before + i * (8ull << 20));
    }
    winsim::useScenario("default");  // the leaked memory stays with the leaky machine
}

class HotplugDuplicationTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "hotplug"; }
};

TEST_F(HotplugDuplicationTest, OutputOneGoesTwoSecondsAfterTheFirstDuplication) {
    const auto created = winsim::Clock::now();
    auto duplication = duplicate(1);
    skipFirstFrame(duplication.Get());
    auto machine = winsim::currentMachine();
    {
        auto lock = machine->lock();
        machine->advance(created + 2100ms);
        EXPECT_FALSE(machine->outputs()[1]->current.attached);
        EXPECT_TRUE(machine->outputs()[0]->current.attached);
    }
    EXPECT_EQ(acquire(duplication.Get()).hr, DXGI_ERROR_ACCESS_LOST);
    duplication.Reset();
    {
        auto lock = machine->lock();
        machine->advance(created + 4100ms);
        EXPECT_TRUE(machine->outputs()[1]->current.attached);
    }
    EXPECT_NE(duplicate(1), nullptr);
}

class RotatedDuplicationTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "rotated"; }
};

TEST_F(RotatedDuplicationTest, TheRotationIsReportedAndTheModeIsUnrotated) {
    auto duplication = duplicate(0, {kAllFormats[0], kAllFormats[1], kAllFormats[2]});
    const auto desc = descOf(duplication.Get());
    EXPECT_EQ(desc.Rotation, DXGI_MODE_ROTATION_ROTATE90);
    EXPECT_EQ(desc.ModeDesc.Width, 1920u);
    EXPECT_EQ(desc.ModeDesc.Height, 1080u);
}

class TenBitDuplicationTest : public DuplicationTest {
protected:
    std::string machineName() const override { return "ten-bit"; }
};

TEST_F(TenBitDuplicationTest, TheTenBitDesktopIsDeliveredAsItIs) {
    EXPECT_EQ(descOf(duplicate(0, {kAllFormats[0], kAllFormats[1], kAllFormats[2]}).Get()).ModeDesc.Format,
              DXGI_FORMAT_R10G10B10A2_UNORM);
    EXPECT_EQ(descOf(duplicate(0).Get()).ModeDesc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
}

}  // namespace
