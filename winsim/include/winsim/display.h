// winsim control API: the monitors behind the outputs, as the display configuration reports them.
#pragma once
#include <string_view>

#include "../windows.h"

namespace winsim {

// The monitors of output `deviceName` ("\\.\DISPLAY2"): target 0 is the output's own monitor,
// 1 and up its clones in the order the machine lists them. False (and no change) when the
// running machine has no such output or target.
//
// The SDR white level in nits; the display configuration reports it as nits / 80 * 1000.
bool setSdrWhiteNits(std::wstring_view deviceName, float nits, int target = 0);
// The SDR white level as the display configuration's raw answer, in thousandths of 80 nits.
bool setSdrWhiteLevel(std::wstring_view deviceName, UINT32 thousandths, int target = 0);

// The monitor handle of output `deviceName` of the running machine, or null.
HMONITOR monitorOf(std::wstring_view deviceName);

}  // namespace winsim
