// The shared texture ring: what a rebuild creates for each desktop mode, the lines it prints, what
// it charges to the ledger, and what a consumer may keep using across rebuilds.
#include <d3d11_4.h>
#include <d3d12.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "gpu/ledger.h"
#include "formats/dxgi_format.h"
#include "impl.h"
#include "support/source_fixture.h"

using Microsoft::WRL::ComPtr;

namespace {

class RingTest : public SourceTest {
protected:
    // Rebuilds for a mode; what it printed on standard error goes to `errors`.
    bool rebuild(uint32_t width, uint32_t height, DXGI_FORMAT format = DXGI_FORMAT_B8G8R8A8_UNORM,
                 std::string* errors = nullptr) {
        impl().width = width;
        impl().height = height;
        impl().desktopFormat = format;
        testing::internal::CaptureStderr();
        const bool built = impl().rebuildRing();
        const std::string printed = testing::internal::GetCapturedStderr();
        if (errors) *errors = printed;
        else EXPECT_EQ(printed, "");
        return built;
    }

    D3D11_TEXTURE2D_DESC slotDesc(int slot) {
        D3D11_TEXTURE2D_DESC desc{};
        impl().ringTextures[slot]->GetDesc(&desc);
        return desc;
    }

    static uint64_t ringTextureBytes(uint32_t width, uint32_t height, uint32_t mips) {
        return winsim::gpu::roundToPage(winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, width, height, mips));
    }
};

struct FormatCase {
    DXGI_FORMAT format;
    bool needsConvert;
    bool isHdr;
};

class RingFormatTest : public RingTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(RingFormatTest, DesktopFormatSetsTheFlagsAndTheIntermediate) {
    ASSERT_TRUE(rebuild(1920, 1080, DXGI_FORMAT_R16G16B16A16_FLOAT));  // a previous mode with an intermediate
    ASSERT_TRUE(rebuild(1920, 1080, GetParam().format));
    EXPECT_EQ(impl().needsConvert, GetParam().needsConvert);
    EXPECT_EQ(impl().isHdr, GetParam().isHdr);
    ASSERT_EQ(impl().intermediates.size(), GetParam().needsConvert ? 1u : 0u);
    if (GetParam().needsConvert) {
        EXPECT_TRUE(impl().intermediates[0].view);
        D3D11_TEXTURE2D_DESC desc{};
        impl().intermediates[0].texture->GetDesc(&desc);
        EXPECT_EQ(desc.Format, GetParam().format);
        EXPECT_EQ(desc.MipLevels, 1u);
        EXPECT_EQ(desc.BindFlags, 0x8u);
        EXPECT_EQ(desc.MiscFlags, 0u);
    }
    for (int slot = 0; slot < 3; ++slot) {
        const auto desc = slotDesc(slot);
        EXPECT_EQ(desc.Format, DXGI_FORMAT_B8G8R8A8_UNORM);
        EXPECT_EQ(desc.BindFlags, 0x28u);
        EXPECT_EQ(desc.MiscFlags, 0x803u);
        EXPECT_NE(source->texture(slot), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, RingFormatTest,
                         testing::Values(FormatCase{DXGI_FORMAT_B8G8R8A8_UNORM, false, false},
                                         FormatCase{DXGI_FORMAT_R16G16B16A16_FLOAT, true, true},
                                         FormatCase{DXGI_FORMAT_R10G10B10A2_UNORM, true, false}),
                         [](const auto& info) { return "format" + std::to_string(info.param.format); });

TEST_F(RingTest, MipCountFollowsTheLargerDimension) {
    struct Mode {
        uint32_t width, height, mips;
    };
    for (Mode mode : {Mode{1, 1, 1}, Mode{1280, 720, 11}, Mode{1920, 1080, 11}, Mode{2560, 1440, 12}, Mode{3840, 2160, 12},
                      Mode{7680, 4320, 13}, Mode{3, 1, 2}}) {
        ASSERT_TRUE(rebuild(mode.width, mode.height)) << mode.width << "x" << mode.height;
        EXPECT_EQ(impl().mipLevels, mode.mips);
        for (int slot = 0; slot < 3; ++slot) {
            EXPECT_EQ(slotDesc(slot).MipLevels, mode.mips);
            EXPECT_NE(impl().ringRtvs[slot], nullptr);
            EXPECT_EQ(impl().ringSrvs[slot] != nullptr, mode.mips > 1) << "views only for a mipped ring";
            ASSERT_NE(source->texture(slot), nullptr);
            EXPECT_EQ(source->texture(slot)->GetDesc().MipLevels, mode.mips);
        }
    }
}

TEST_F(RingTest, CursorSettingIsLatchedAtEachRebuild) {
    for (int setting : {-1, 0, 1, 0}) {
        impl().cursorSetting = setting;
        impl().drawCursor = setting == 0;  // the opposite of what the rebuild must store
        ASSERT_TRUE(rebuild(64, 64));
        EXPECT_EQ(impl().drawCursor.load(), setting != 0) << setting;
    }
}

class NoMipsRingTest : public RingTest {
protected:
    std::string machineName() const override { return "no-mips"; }
};

TEST_F(NoMipsRingTest, RefusedMipsFallBackToAFlatRingWithOneLine) {
    std::string errors;
    ASSERT_TRUE(rebuild(1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM, &errors));
    EXPECT_EQ(errors, "capture: mipped shared texture refused — falling back to no mips (expect shimmer)\n");
    EXPECT_EQ(impl().mipLevels, 1u);
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(slotDesc(slot).MiscFlags, 0x802u);
        EXPECT_EQ(slotDesc(slot).MipLevels, 1u);
        EXPECT_EQ(impl().ringSrvs[slot], nullptr);
        EXPECT_NE(source->texture(slot), nullptr);
    }
}

TEST_F(RingTest, OpenSharedHandleFailingForSlotOneLeavesTheRingIncomplete) {
    const int64_t handles = winsim::openHandleCount();
    winsim::addFault({"ID3D12Device::OpenSharedHandle", E_OUTOFMEMORY, 1, 1, nullptr});
    std::string errors;
    EXPECT_FALSE(rebuild(1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM, &errors));
    EXPECT_EQ(errors, "capture: D3D12 OpenSharedHandle failed (0x8007000e)\n");
    EXPECT_EQ(winsim::openHandleCount(), handles) << "the handle of slot 1 is closed";
    auto& ring = impl();
    EXPECT_TRUE(ring.ringTextures[0] && ring.ringRtvs[0] && ring.ringSrvs[0] && ring.ringResources[0]);
    EXPECT_TRUE(ring.ringTextures[1] && ring.ringRtvs[1] && ring.ringSrvs[1]);
    EXPECT_EQ(ring.ringResources[1], nullptr);
    EXPECT_TRUE(!ring.ringTextures[2] && !ring.ringRtvs[2] && !ring.ringSrvs[2] && !ring.ringResources[2]);
    EXPECT_FALSE(ring.ringComplete);
    for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(source->texture(slot), nullptr) << "an incomplete ring is not handed out";

    ASSERT_TRUE(rebuild(1920, 1080));
    EXPECT_TRUE(ring.ringComplete);
    EXPECT_NE(source->texture(1), nullptr);
}

TEST_F(RingTest, EveryFailureHasItsLineOrNone) {
    std::string errors;
    winsim::addFault({"ID3D11Device::CreateTexture2D", E_OUTOFMEMORY, 0, 1, nullptr});
    EXPECT_FALSE(rebuild(640, 480, DXGI_FORMAT_R16G16B16A16_FLOAT, &errors));
    EXPECT_EQ(errors, "capture: convert intermediate (fmt 10) failed\n");
    EXPECT_EQ(impl().ringTextures[0], nullptr);

    winsim::addFault({"ID3D11Device::CreateTexture2D", E_OUTOFMEMORY, 0, 1, nullptr});
    EXPECT_FALSE(rebuild(640, 480, DXGI_FORMAT_R16G16B16A16_FLOAT, &errors));
    EXPECT_EQ(errors, "") << "a retry of a failed build says nothing more";

    impl().ringRetrying = false;  // a new streak
    winsim::addFault({"ID3D11Device::CreateTexture2D", E_OUTOFMEMORY, 0, 2, nullptr});
    EXPECT_FALSE(rebuild(640, 480, DXGI_FORMAT_B8G8R8A8_UNORM, &errors));
    EXPECT_EQ(errors,
              "capture: mipped shared texture refused — falling back to no mips (expect shimmer)\n"
              "capture: shared texture creation failed\n");
    EXPECT_EQ(impl().mipLevels, 1u);

    for (const char* call : {"ID3D11Device::CreateRenderTargetView", "ID3D11Device::CreateShaderResourceView",
                             "IDXGIResource1::CreateSharedHandle"}) {
        winsim::clearFaults();
        winsim::addFault({call, E_OUTOFMEMORY, 2, 1, nullptr});
        EXPECT_FALSE(rebuild(640, 480, DXGI_FORMAT_B8G8R8A8_UNORM, &errors)) << call;
        EXPECT_EQ(errors, "") << call;
        EXPECT_NE(impl().ringTextures[2], nullptr) << call;
        EXPECT_EQ(impl().ringResources[2], nullptr) << call;
        EXPECT_EQ(source->texture(0), nullptr) << call;
    }
}

TEST_F(RingTest, ARingOfOneMipThatDirect3D12WillNotOpenFailsWithoutAMipFallback) {
    winsim::addFault({"ID3D12Device::OpenSharedHandle", E_INVALIDARG, 0, -1, nullptr});
    std::string errors;
    EXPECT_FALSE(rebuild(1, 1, DXGI_FORMAT_B8G8R8A8_UNORM, &errors));
    EXPECT_EQ(errors, "capture: D3D12 OpenSharedHandle failed (0x80070057)\n");
    EXPECT_FALSE(rebuild(1, 1, DXGI_FORMAT_B8G8R8A8_UNORM, &errors));
    EXPECT_EQ(errors, "") << "once per streak";
}

// A control set on another thread while rings are built is what the last build latches.
TEST_F(RingTest, TheCursorSettingIsNeverUndoneByARingBuild) {
    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int i = 0; i < 4000; ++i) source->setCursorDrawn(i % 2 == 0);  // ends with false
        done = true;
    });
    do ASSERT_TRUE(rebuild(64, 64));  // the last build may overlap the last setting
    while (!done);
    control.join();
    EXPECT_FALSE(impl().drawCursor.load());
}

TEST_F(RingTest, ARebuildChargesThreeMippedTexturesAndARepeatChargesNothingMore) {
    const uint64_t before = winsim::vramUsage(0);
    ASSERT_TRUE(rebuild(1920, 1080));
    EXPECT_EQ(winsim::vramUsage(0), before + 3 * ringTextureBytes(1920, 1080, 11));
    const uint64_t usage = winsim::vramUsage(0);
    const auto objects = winsim::liveObjects();
    const int64_t handles = winsim::openHandleCount();

    ASSERT_TRUE(rebuild(1920, 1080));
    EXPECT_EQ(winsim::vramUsage(0), usage);
    EXPECT_EQ(winsim::liveObjects(), objects);
    EXPECT_EQ(winsim::openHandleCount(), handles);

    source->stop();
    EXPECT_EQ(winsim::vramUsage(0), before - winsim::d3d11DeviceBaselineBytes()) << "the ring and the device are gone";
    for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(source->texture(slot), nullptr);
}

TEST_F(RingTest, HandedOutResourcesOutliveTheRebuildThatReplacesThem) {
    const uint64_t ring = 3 * ringTextureBytes(256, 256, 9);
    ASSERT_TRUE(rebuild(256, 256));
    const uint64_t oneRing = winsim::vramUsage(0);
    ComPtr<ID3D12Resource> watch = source->texture(0);  // only to see when it goes
    ID3D12Resource* handedOut = watch.Get();
    watch.Reset();

    ASSERT_TRUE(rebuild(256, 256));
    EXPECT_EQ(winsim::vramUsage(0), oneRing + ring) << "the old ring's resources are kept for the consumer";
    EXPECT_EQ(handedOut->GetDesc().Width, 256u);
    EXPECT_NE(source->texture(0), handedOut);

    ASSERT_TRUE(rebuild(512, 512));  // the consumer fetched from the second ring: the first may go
    EXPECT_EQ(winsim::vramUsage(0), oneRing + 3 * ringTextureBytes(512, 512, 10));

    source->stop();
    EXPECT_EQ(winsim::vramUsage(0), winsim::d3d12DeviceBaselineBytes());
}

TEST_F(RingTest, AConsumerFollowingTheProtocolNeverMeetsAReleasedResource) {
    ASSERT_TRUE(rebuild(64, 64));
    std::atomic<bool> done{false};
    std::atomic<int> used{0};
    std::thread consumer([&] {
        while (!done) {
            uint32_t generation = 0;
            source->latest(&generation);
            for (int slot = 0; slot < 3; ++slot)
                if (ID3D12Resource* resource = source->texture(slot)) {
                    if (resource->GetDesc().Format == DXGI_FORMAT_B8G8R8A8_UNORM) ++used;
                }
        }
    });
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(rebuild(64 + 16 * (i % 3), 64));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (used == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    done = true;
    consumer.join();
    EXPECT_GT(used.load(), 0);
}

}  // namespace
