// The SDR white level of a monitor, read from the display configuration.
#include <cwchar>
#include <vector>

#include "impl.h"

namespace velda {
namespace {

constexpr float kDefaultWhiteScale = 2.5f;  // 200 nits, when the level cannot be determined

bool sourceIsNamed(const DISPLAYCONFIG_PATH_INFO& path, const wchar_t* gdiName) {
    DISPLAYCONFIG_SOURCE_DEVICE_NAME source{};
    source.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME;
    source.header.size = sizeof(source);
    source.header.adapterId = path.sourceInfo.adapterId;
    source.header.id = path.sourceInfo.id;
    if (DisplayConfigGetDeviceInfo(&source.header) != ERROR_SUCCESS) return false;
    return std::wcscmp(source.viewGdiDeviceName, gdiName) == 0;
}

// The white level of the path's target; levels below 80 nits are not believed.
float targetWhiteScale(const DISPLAYCONFIG_PATH_INFO& path) {
    DISPLAYCONFIG_SDR_WHITE_LEVEL white{};
    white.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL;
    white.header.size = sizeof(white);
    white.header.adapterId = path.targetInfo.adapterId;
    white.header.id = path.targetInfo.id;
    if (DisplayConfigGetDeviceInfo(&white.header) != ERROR_SUCCESS || white.SDRWhiteLevel < 1000)
        return kDefaultWhiteScale;
    return static_cast<float>(white.SDRWhiteLevel) / 1000.0f;
}

}  // namespace

float querySdrWhiteScale(HMONITOR monitor) {
    if (!monitor) return kDefaultWhiteScale;
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) return kDefaultWhiteScale;
    UINT32 pathCount = 0;
    UINT32 modeCount = 0;
    if (GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != ERROR_SUCCESS)
        return kDefaultWhiteScale;
    std::vector<DISPLAYCONFIG_PATH_INFO> paths(pathCount);
    std::vector<DISPLAYCONFIG_MODE_INFO> modes(modeCount);
    if (QueryDisplayConfig(QDC_ONLY_ACTIVE_PATHS, &pathCount, paths.data(), &modeCount, modes.data(), nullptr) !=
        ERROR_SUCCESS)
        return kDefaultWhiteScale;
    // Only the first path of the monitor's source counts, also when clones follow.
    for (UINT32 i = 0; i < pathCount && i < paths.size(); ++i)
        if (sourceIsNamed(paths[i], info.szDevice)) return targetWhiteScale(paths[i]);
    return kDefaultWhiteScale;
}

}  // namespace velda
