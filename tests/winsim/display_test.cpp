// Monitor information and the display configuration: paths, modes, device information, clone
// mode, Win32 error codes and faults.
#include <windows.h>
#include <dxgi1_6.h>
#include <wrl/client.h>

#include <vector>

#include "support/winsim_fixture.h"
#include "winsim/monitors.h"

using Microsoft::WRL::ComPtr;

namespace {

class DisplayTest : public WinsimTest {
protected:
    // The documented answers; sdr-white-hdr-only's refusals have a test of their own.
    bool takesEnvironmentVariants() const override { return false; }

    struct Config {
        std::vector<DISPLAYCONFIG_PATH_INFO> paths;
        std::vector<DISPLAYCONFIG_MODE_INFO> modes;
    };

    static Config query(UINT32 flags = QDC_ONLY_ACTIVE_PATHS) {
        UINT32 pathCount = 0, modeCount = 0;
        EXPECT_EQ(GetDisplayConfigBufferSizes(flags, &pathCount, &modeCount), ERROR_SUCCESS);
        Config config{std::vector<DISPLAYCONFIG_PATH_INFO>(pathCount), std::vector<DISPLAYCONFIG_MODE_INFO>(modeCount)};
        EXPECT_EQ(QueryDisplayConfig(flags, &pathCount, config.paths.data(), &modeCount, config.modes.data(), nullptr),
                  ERROR_SUCCESS);
        config.paths.resize(pathCount);
        config.modes.resize(modeCount);
        return config;
    }

    static LONG sourceName(const DISPLAYCONFIG_PATH_INFO& path, std::wstring& name) {
        DISPLAYCONFIG_SOURCE_DEVICE_NAME request{};
        request.header = {DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME, sizeof(request), path.sourceInfo.adapterId,
                          path.sourceInfo.id};
        const LONG result = DisplayConfigGetDeviceInfo(&request.header);
        name = request.viewGdiDeviceName;
        return result;
    }

    static LONG whiteLevel(const DISPLAYCONFIG_PATH_INFO& path, ULONG& level, UINT32 size = sizeof(DISPLAYCONFIG_SDR_WHITE_LEVEL)) {
        DISPLAYCONFIG_SDR_WHITE_LEVEL request{};
        request.header = {DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL, size, path.targetInfo.adapterId,
                          path.targetInfo.id};
        const LONG result = DisplayConfigGetDeviceInfo(&request.header);
        level = request.SDRWhiteLevel;
        return result;
    }

    // "single" with two more monitors cloning output 0.
    static void useCloneMachine(std::vector<float> cloneNits) {
        winsim::MachineConfig config;
        ASSERT_TRUE(winsim::scenario("single", config));
        config.adapters[0].outputs[0].cloneSdrWhiteNits = std::move(cloneNits);
        config.environmentVariants = false;
        winsim::useMachine(config);
    }
};

TEST_F(DisplayTest, MonitorInfoDescribesTheOutputBehindTheDxgiMonitorHandle) {
    ComPtr<IDXGIFactory1> factory;
    ASSERT_EQ(CreateDXGIFactory1(IID_PPV_ARGS(factory.GetAddressOf())), S_OK);
    ComPtr<IDXGIAdapter1> adapter;
    ASSERT_EQ(factory->EnumAdapters1(0, adapter.GetAddressOf()), S_OK);
    ComPtr<IDXGIOutput> output;
    ASSERT_EQ(adapter->EnumOutputs(1, output.GetAddressOf()), S_OK);
    DXGI_OUTPUT_DESC desc{};
    ASSERT_EQ(output->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Monitor, winsim::outputMonitor(1));

    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(desc.Monitor, &info));
    EXPECT_STREQ(info.szDevice, desc.DeviceName);
    EXPECT_EQ(info.rcMonitor.left, 1920);
    EXPECT_EQ(info.rcMonitor.right, 1920 + 2560);
    EXPECT_EQ(info.rcMonitor.bottom, 1440);
    EXPECT_EQ(info.dwFlags, 0u);

    MONITORINFO plain{};
    plain.cbSize = sizeof(plain);
    ASSERT_TRUE(GetMonitorInfoW(winsim::outputMonitor(0), &plain));
    EXPECT_EQ(plain.dwFlags, MONITORINFOF_PRIMARY);
}

TEST_F(DisplayTest, MonitorInfoFailsWithWin32Errors) {
    const HMONITOR monitor = winsim::outputMonitor(0);
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info) - 1;
    EXPECT_FALSE(GetMonitorInfoW(monitor, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetMonitorInfoW(monitor, nullptr));

    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetMonitorInfoW(nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MONITOR_HANDLE));
    EXPECT_FALSE(GetMonitorInfoW(reinterpret_cast<HMONITOR>(0x1234), &info));

    winsim::addFault({"GetMonitorInfoW", ERROR_ACCESS_DENIED, 0, 1, nullptr});
    EXPECT_FALSE(GetMonitorInfoW(monitor, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(GetMonitorInfoW(monitor, &info));
}

TEST_F(DisplayTest, OneActivePathPerOutputWithItsSourceNameAndModes) {
    const Config config = query();
    ASSERT_EQ(config.paths.size(), 2u);
    ASSERT_EQ(config.modes.size(), 4u);
    const wchar_t* names[] = {L"\\\\.\\DISPLAY1", L"\\\\.\\DISPLAY2"};
    for (size_t i = 0; i < 2; ++i) {
        const DISPLAYCONFIG_PATH_INFO& path = config.paths[i];
        EXPECT_EQ(path.flags & DISPLAYCONFIG_PATH_ACTIVE, DISPLAYCONFIG_PATH_ACTIVE);
        std::wstring name;
        ASSERT_EQ(sourceName(path, name), ERROR_SUCCESS);
        EXPECT_EQ(name, names[i]);
        ASSERT_LT(path.sourceInfo.modeInfoIdx, config.modes.size());
        ASSERT_LT(path.targetInfo.modeInfoIdx, config.modes.size());
        const DISPLAYCONFIG_MODE_INFO& source = config.modes[path.sourceInfo.modeInfoIdx];
        EXPECT_EQ(source.infoType, DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE);
        EXPECT_EQ(source.id, path.sourceInfo.id);
        EXPECT_EQ(config.modes[path.targetInfo.modeInfoIdx].infoType, DISPLAYCONFIG_MODE_INFO_TYPE_TARGET);
    }
    const DISPLAYCONFIG_SOURCE_MODE& second = config.modes[config.paths[1].sourceInfo.modeInfoIdx].sourceMode;
    EXPECT_EQ(second.position.x, 1920);
    EXPECT_EQ(second.width, 2560u);
    ULONG level = 0;
    ASSERT_EQ(whiteLevel(config.paths[1], level), ERROR_SUCCESS);
    EXPECT_EQ(level, 3000u);  // 240 nits
    ASSERT_EQ(whiteLevel(config.paths[0], level), ERROR_SUCCESS);
    EXPECT_EQ(level, 1000u);
}

TEST_F(DisplayTest, QueryChecksItsArgumentsAndBufferSizes) {
    UINT32 pathCount = 0, modeCount = 0;
    EXPECT_EQ(GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, nullptr, &modeCount), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetDisplayConfigBufferSizes(0, &pathCount, &modeCount), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount), ERROR_SUCCESS);

    std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount + 3);
    std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount + 3);
    UINT32 shortPaths = pathCount - 1, fullModes = modeCount;
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &shortPaths, paths.data(), &fullModes, modes.data(), nullptr),
              ERROR_INSUFFICIENT_BUFFER);
    UINT32 fullPaths = pathCount, shortModes = modeCount - 1;
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &fullPaths, paths.data(), &shortModes, modes.data(), nullptr),
              ERROR_INSUFFICIENT_BUFFER);
    DISPLAYCONFIG_TOPOLOGY_ID topology{};
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &fullPaths, paths.data(), &fullModes, modes.data(), &topology),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &fullPaths, nullptr, &fullModes, modes.data(), nullptr),
              ERROR_INVALID_PARAMETER);
    UINT32 noPaths = 0, noModes = 0;
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &noPaths, nullptr, &noModes, nullptr, nullptr),
              ERROR_INSUFFICIENT_BUFFER);

    UINT32 roomyPaths = pathCount + 3, roomyModes = modeCount + 3;  // counts come back as the numbers filled in
    ASSERT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &roomyPaths, paths.data(), &roomyModes, modes.data(), nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(roomyPaths, pathCount);
    EXPECT_EQ(roomyModes, modeCount);

    winsim::addFault({"GetDisplayConfigBufferSizes", ERROR_GEN_FAILURE, 0, 1, nullptr});
    winsim::addFault({"QueryDisplayConfig", ERROR_GEN_FAILURE, 0, 1, nullptr});
    EXPECT_EQ(GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount), ERROR_GEN_FAILURE);
    EXPECT_EQ(QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &fullPaths, paths.data(), &fullModes, modes.data(), nullptr),
              ERROR_GEN_FAILURE);
}

TEST_F(DisplayTest, DeviceInfoChecksItsRequests) {
    const Config config = query();
    ULONG level = 0;
    EXPECT_EQ(whiteLevel(config.paths[0], level, sizeof(DISPLAYCONFIG_DEVICE_INFO_HEADER)), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(DisplayConfigGetDeviceInfo(nullptr), ERROR_INVALID_PARAMETER);

    DISPLAYCONFIG_PATH_INFO stranger = config.paths[0];
    stranger.targetInfo.id = 0xDEAD;
    EXPECT_EQ(whiteLevel(stranger, level), ERROR_INVALID_PARAMETER);
    stranger.targetInfo = config.paths[0].targetInfo;
    stranger.targetInfo.adapterId.LowPart += 1;
    EXPECT_EQ(whiteLevel(stranger, level), ERROR_INVALID_PARAMETER);

    DISPLAYCONFIG_SDR_WHITE_LEVEL other{};
    other.header = {DISPLAYCONFIG_DEVICE_INFO_GET_TARGET_NAME, sizeof(other), config.paths[0].targetInfo.adapterId,
                    config.paths[0].targetInfo.id};
    EXPECT_EQ(DisplayConfigGetDeviceInfo(&other.header), ERROR_NOT_SUPPORTED);
    other.header.type = static_cast<DISPLAYCONFIG_DEVICE_INFO_TYPE>(0);
    EXPECT_EQ(DisplayConfigGetDeviceInfo(&other.header), ERROR_INVALID_PARAMETER);

    // The request type is the fault's index: a white-level fault leaves source names alone.
    winsim::addFault({"DisplayConfigGetDeviceInfo", ERROR_GEN_FAILURE, 0, -1,
                      [](int type) { return type == DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL; }});
    std::wstring name;
    EXPECT_EQ(sourceName(config.paths[0], name), ERROR_SUCCESS);
    EXPECT_EQ(whiteLevel(config.paths[0], level), ERROR_GEN_FAILURE);
}

TEST_F(DisplayTest, CloneModeGivesEachMonitorAPathOnTheSharedSource) {
    useCloneMachine({200.0f, 100.0f});
    const Config config = query();
    ASSERT_EQ(config.paths.size(), 3u);
    EXPECT_EQ(config.modes.size(), 4u);  // one source mode, three target modes
    const ULONG expected[] = {1000, 2500, 1250};
    for (size_t i = 0; i < 3; ++i) {
        const DISPLAYCONFIG_PATH_INFO& path = config.paths[i];
        EXPECT_EQ(path.sourceInfo.id, config.paths[0].sourceInfo.id);
        EXPECT_EQ(path.sourceInfo.modeInfoIdx, config.paths[0].sourceInfo.modeInfoIdx);
        for (size_t j = 0; j < i; ++j) EXPECT_NE(path.targetInfo.id, config.paths[j].targetInfo.id);
        std::wstring name;
        ASSERT_EQ(sourceName(path, name), ERROR_SUCCESS);
        EXPECT_EQ(name, L"\\\\.\\DISPLAY1");
        ULONG level = 0;
        ASSERT_EQ(whiteLevel(path, level), ERROR_SUCCESS);
        EXPECT_EQ(level, expected[i]);
    }
}

TEST_F(DisplayTest, WhiteLevelsChangeAtRunTimePerMonitor) {
    useCloneMachine({200.0f});
    const Config config = query();
    for (UINT32 raw : {0u, 999u, 1234u, 2500u}) {
        winsim::setSdrWhiteLevel(0, raw, 1);
        ULONG level = 0;
        ASSERT_EQ(whiteLevel(config.paths[1], level), ERROR_SUCCESS);
        EXPECT_EQ(level, raw);
        ASSERT_EQ(whiteLevel(config.paths[0], level), ERROR_SUCCESS);
        EXPECT_EQ(level, 1000u);
    }
    winsim::setSdrWhiteNits(0, 300.0f);
    winsim::setSdrWhiteNits(0, 400.0f, 2);  // no such clone: nothing changes
    winsim::setSdrWhiteNits(7, 400.0f);
    ULONG level = 0;
    ASSERT_EQ(whiteLevel(config.paths[0], level), ERROR_SUCCESS);
    EXPECT_EQ(level, 3750u);
    ASSERT_EQ(whiteLevel(config.paths[1], level), ERROR_SUCCESS);
    EXPECT_EQ(level, 2500u);
    EXPECT_EQ(winsim::outputMonitor(7), nullptr);
}

TEST_F(DisplayTest, DetachedOutputsAndPathlessMonitors) {
    winsim::MachineConfig machine;
    ASSERT_TRUE(winsim::scenario("default", machine));
    machine.adapters[0].outputs[0].attached = false;
    machine.adapters[0].outputs[1].hasDisplayPath = false;
    winsim::useMachine(machine);

    EXPECT_TRUE(query().paths.empty());
    const Config all = query(QDC_ALL_PATHS);
    ASSERT_EQ(all.paths.size(), 1u);  // the detached output, inactive and without modes
    EXPECT_EQ(all.paths[0].flags, 0u);
    EXPECT_EQ(all.paths[0].sourceInfo.modeInfoIdx, DISPLAYCONFIG_PATH_MODE_IDX_INVALID);
    EXPECT_TRUE(all.modes.empty());
    std::wstring name;
    EXPECT_EQ(sourceName(all.paths[0], name), ERROR_INVALID_PARAMETER);

    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(GetMonitorInfoW(winsim::outputMonitor(0), &info));
    EXPECT_TRUE(GetMonitorInfoW(winsim::outputMonitor(1), &info));
}

}  // namespace
