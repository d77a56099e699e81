// DisplayConfigGetDeviceInfo: a source's GDI device name and a target's SDR white level.
#include <cwchar>

#include "display/paths.h"
#include "machine/faults.h"

namespace {

using winsim::display::Path;

LONG sourceName(const std::vector<Path>& paths, DISPLAYCONFIG_DEVICE_INFO_HEADER* header) {
    if (header->size < sizeof(DISPLAYCONFIG_SOURCE_DEVICE_NAME)) return ERROR_INSUFFICIENT_BUFFER;
    const Path* path = winsim::display::findSource(paths, header->adapterId, header->id);
    if (!path) return ERROR_INVALID_PARAMETER;
    auto* request = reinterpret_cast<DISPLAYCONFIG_SOURCE_DEVICE_NAME*>(header);
    std::wmemset(request->viewGdiDeviceName, L'\0', CCHDEVICENAME);
    std::wcsncpy(request->viewGdiDeviceName, path->config.deviceName.c_str(), CCHDEVICENAME - 1);
    return ERROR_SUCCESS;
}

// DISPLAYCONFIG_SDR_WHITE_LEVEL's page describes the level as that of SDR content on an HDR
// display, and leaves open what a display that is not in HDR answers: its level (80 nits, 1000,
// unless set otherwise), or, under sdr-white-hdr-only, a refusal. Of the codes the function's page
// lists, ERROR_INVALID_PARAMETER (a request that does not fit) is the one for it: its
// ERROR_NOT_SUPPORTED means a machine without a WDDM driver, which would tell a caller to stop
// asking about every display.
LONG sdrWhiteLevel(const winsim::Machine& machine, const std::vector<Path>& paths,
                   DISPLAYCONFIG_DEVICE_INFO_HEADER* header) {
    if (header->size < sizeof(DISPLAYCONFIG_SDR_WHITE_LEVEL)) return ERROR_INSUFFICIENT_BUFFER;
    const Path* path = winsim::display::findTarget(paths, header->adapterId, header->id);
    if (!path) return ERROR_INVALID_PARAMETER;
    if (machine.config().variants.sdrWhiteHdrOnly && !path->config.inHdr()) return ERROR_INVALID_PARAMETER;
    reinterpret_cast<DISPLAYCONFIG_SDR_WHITE_LEVEL*>(header)->SDRWhiteLevel = winsim::display::sdrWhiteLevel(*path);
    return ERROR_SUCCESS;
}

}  // namespace

// Answers the two requests the machine models; the other documented types are not supported.
// The fault table sees the request type as the call's index.
LONG WINAPI DisplayConfigGetDeviceInfo(DISPLAYCONFIG_DEVICE_INFO_HEADER* requestPacket) {
    if (!requestPacket) return ERROR_INVALID_PARAMETER;
    const DISPLAYCONFIG_DEVICE_INFO_TYPE type = requestPacket->type;
    if (auto hr = winsim::fault("DisplayConfigGetDeviceInfo", static_cast<int>(type))) return *hr;
    auto machine = winsim::display::currentState();
    if (!machine) return ERROR_NOT_SUPPORTED;
    const std::vector<Path> paths = winsim::display::listPaths(*machine, false);
    switch (type) {
        case DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME: return sourceName(paths, requestPacket);
        case DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL: return sdrWhiteLevel(*machine, paths, requestPacket);
        default:
            return type > DISPLAYCONFIG_DEVICE_INFO_GET_SOURCE_NAME && type < DISPLAYCONFIG_DEVICE_INFO_GET_SDR_WHITE_LEVEL
                       ? ERROR_NOT_SUPPORTED
                       : ERROR_INVALID_PARAMETER;
    }
}
