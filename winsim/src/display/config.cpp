// GetDisplayConfigBufferSizes and QueryDisplayConfig: the paths and modes of the running machine.
#include <map>

#include "display/paths.h"
#include "machine/faults.h"

namespace {

using winsim::display::Path;

// The output's refresh rate; one whose duplication reports none (0) runs at 60 Hz all the same.
DISPLAYCONFIG_RATIONAL refreshRate(const winsim::OutputConfig& config) {
    return {config.refreshHz ? config.refreshHz : 60, 1};
}

bool knownFlags(UINT32 flags) { return flags == QDC_ONLY_ACTIVE_PATHS || flags == QDC_ALL_PATHS; }

// Every path's active source and target have a mode each; clones share their source's.
UINT32 modeCount(const std::vector<Path>& paths) {
    std::vector<Path> active;
    for (const Path& path : paths)
        if (path.active) active.push_back(path);
    return static_cast<UINT32>(active.size()) + winsim::display::sourceCount(active);
}

DISPLAYCONFIG_MODE_INFO sourceMode(const Path& path) {
    const RECT rect = path.config.desktopRect();
    DISPLAYCONFIG_MODE_INFO mode{};
    mode.infoType = DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE;
    mode.id = path.sourceId;
    mode.adapterId = path.adapterId;
    mode.sourceMode.width = static_cast<UINT32>(rect.right - rect.left);
    mode.sourceMode.height = static_cast<UINT32>(rect.bottom - rect.top);
    mode.sourceMode.pixelFormat = DISPLAYCONFIG_PIXELFORMAT_32BPP;
    mode.sourceMode.position = POINTL{rect.left, rect.top};
    return mode;
}

DISPLAYCONFIG_MODE_INFO targetMode(const Path& path) {
    DISPLAYCONFIG_MODE_INFO mode{};
    mode.infoType = DISPLAYCONFIG_MODE_INFO_TYPE_TARGET;
    mode.id = path.targetId;
    mode.adapterId = path.adapterId;
    DISPLAYCONFIG_VIDEO_SIGNAL_INFO& signal = mode.targetMode.targetVideoSignalInfo;
    signal.activeSize = DISPLAYCONFIG_2DREGION{path.config.width, path.config.height};
    signal.totalSize = signal.activeSize;
    signal.vSyncFreq = refreshRate(path.config);
    signal.hSyncFreq = DISPLAYCONFIG_RATIONAL{path.config.height * signal.vSyncFreq.Numerator, 1};
    signal.pixelRate = UINT64{path.config.width} * path.config.height * signal.vSyncFreq.Numerator;
    signal.scanLineOrdering = DISPLAYCONFIG_SCANLINE_ORDERING_PROGRESSIVE;
    return mode;
}

DISPLAYCONFIG_PATH_INFO pathInfo(const Path& path) {
    DISPLAYCONFIG_PATH_INFO info{};
    info.sourceInfo.adapterId = path.adapterId;
    info.sourceInfo.id = path.sourceId;
    info.sourceInfo.modeInfoIdx = DISPLAYCONFIG_PATH_MODE_IDX_INVALID;
    info.sourceInfo.statusFlags = path.active ? DISPLAYCONFIG_SOURCE_IN_USE : 0;
    DISPLAYCONFIG_PATH_TARGET_INFO& target = info.targetInfo;
    target.adapterId = path.adapterId;
    target.id = path.targetId;
    target.modeInfoIdx = DISPLAYCONFIG_PATH_MODE_IDX_INVALID;
    target.outputTechnology = DISPLAYCONFIG_OUTPUT_TECHNOLOGY_DISPLAYPORT_EXTERNAL;
    target.rotation = static_cast<DISPLAYCONFIG_ROTATION>(path.config.rotation);
    target.scaling = DISPLAYCONFIG_SCALING_IDENTITY;
    target.refreshRate = refreshRate(path.config);
    target.scanLineOrdering = DISPLAYCONFIG_SCANLINE_ORDERING_PROGRESSIVE;
    target.targetAvailable = TRUE;
    target.statusFlags = path.active ? DISPLAYCONFIG_TARGET_IN_USE : 0;
    info.flags = path.active ? DISPLAYCONFIG_PATH_ACTIVE : 0;
    return info;
}

// Writes the paths and their modes; active paths point at their modes.
void fill(const std::vector<Path>& paths, DISPLAYCONFIG_PATH_INFO* pathArray, DISPLAYCONFIG_MODE_INFO* modeArray) {
    std::map<const winsim::OutputState*, UINT32> sourceModes;
    UINT32 modes = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const Path& path = paths[i];
        pathArray[i] = pathInfo(path);
        if (!path.active) continue;
        auto [source, added] = sourceModes.try_emplace(path.output.get(), modes);
        if (added) modeArray[modes++] = sourceMode(path);
        pathArray[i].sourceInfo.modeInfoIdx = source->second;
        pathArray[i].targetInfo.modeInfoIdx = modes;
        modeArray[modes++] = targetMode(path);
    }
}

}  // namespace

LONG WINAPI GetDisplayConfigBufferSizes(UINT32 flags, UINT32* numPathArrayElements, UINT32* numModeInfoArrayElements) {
    if (!numPathArrayElements || !numModeInfoArrayElements || !knownFlags(flags)) return ERROR_INVALID_PARAMETER;
    if (auto hr = winsim::fault("GetDisplayConfigBufferSizes")) return *hr;
    auto machine = winsim::display::currentState();
    if (!machine) return ERROR_NOT_SUPPORTED;
    const std::vector<Path> paths = winsim::display::listPaths(*machine, flags == QDC_ALL_PATHS);
    *numPathArrayElements = static_cast<UINT32>(paths.size());
    *numModeInfoArrayElements = modeCount(paths);
    return ERROR_SUCCESS;
}

// Fills the caller's arrays and sets both counts to the numbers filled in; ERROR_INSUFFICIENT_BUFFER
// when either array is too small for the configuration as it is now. An empty array may be null.
LONG WINAPI QueryDisplayConfig(UINT32 flags, UINT32* numPathArrayElements, DISPLAYCONFIG_PATH_INFO* pathArray,
                               UINT32* numModeInfoArrayElements, DISPLAYCONFIG_MODE_INFO* modeInfoArray,
                               DISPLAYCONFIG_TOPOLOGY_ID* currentTopologyId) {
    if (!numPathArrayElements || !numModeInfoArrayElements || !knownFlags(flags) || currentTopologyId)
        return ERROR_INVALID_PARAMETER;
    if ((!pathArray && *numPathArrayElements) || (!modeInfoArray && *numModeInfoArrayElements))
        return ERROR_INVALID_PARAMETER;
    if (auto hr = winsim::fault("QueryDisplayConfig")) return *hr;
    auto machine = winsim::display::currentState();
    if (!machine) return ERROR_NOT_SUPPORTED;
    const std::vector<Path> paths = winsim::display::listPaths(*machine, flags == QDC_ALL_PATHS);
    const UINT32 modes = modeCount(paths);
    if (*numPathArrayElements < paths.size() || *numModeInfoArrayElements < modes) return ERROR_INSUFFICIENT_BUFFER;
    fill(paths, pathArray, modeInfoArray);
    *numPathArrayElements = static_cast<UINT32>(paths.size());
    *numModeInfoArrayElements = modes;
    return ERROR_SUCCESS;
}
