// The control API for the monitors behind the outputs.
#include "display/paths.h"
#include "winsim/display.h"

namespace winsim {
namespace {

float* monitorNits(OutputConfig& config, int target) {
    if (target == 0) return &config.sdrWhiteNits;
    if (target < 0 || target > static_cast<int>(config.cloneSdrWhiteNits.size())) return nullptr;
    return &config.cloneSdrWhiteNits[static_cast<size_t>(target - 1)];
}

}  // namespace

bool setSdrWhiteNits(std::wstring_view deviceName, float nits, int target) {
    auto output = display::outputNamed(deviceName);
    bool found = false;
    if (output) {
        output->update([&](OutputConfig& config) {
            if (float* slot = monitorNits(config, target)) {
                *slot = nits;
                found = true;
            }
        });
    }
    return found;
}

bool setSdrWhiteLevel(std::wstring_view deviceName, UINT32 thousandths, int target) {
    return setSdrWhiteNits(deviceName, static_cast<float>(thousandths * 0.08), target);
}

HMONITOR monitorOf(std::wstring_view deviceName) {
    auto output = display::outputNamed(deviceName);
    return output ? output->monitor() : nullptr;
}

}  // namespace winsim
