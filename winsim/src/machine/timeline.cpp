// What scenarios change by themselves as time passes: monitors that come and go, modes that
// switch, the secure desktop, and a cursor that wanders and changes shape.
#include <cmath>

#include "machine/machine.h"
#include "machine/removal.h"

namespace winsim {
namespace {

constexpr double kHotplugPhase = 2.0;
constexpr double kModeSwitchPhase = 3.0;
constexpr double kSecurePeriod = 5.0;
constexpr double kSecureShown = 2.0;
constexpr double kRemovalAfter = 3.0;
constexpr auto kRemovalBlackout = std::chrono::seconds(1);

double stepLength(Timeline timeline) {
    switch (timeline) {
        case Timeline::Hotplug: return kHotplugPhase;
        case Timeline::ModeSwitch: return kModeSwitchPhase;
        case Timeline::SecureDesktop: return kSecurePeriod - kSecureShown;  // boundaries at 3, 5, 8, 10, ...
        case Timeline::DeviceRemoval: return kRemovalAfter;
        case Timeline::None: break;
    }
    return 0;
}

int stepAt(Timeline timeline, double seconds) {
    if (timeline == Timeline::SecureDesktop) {
        const double period = std::floor(seconds / kSecurePeriod);
        const bool shown = seconds - period * kSecurePeriod >= kSecurePeriod - kSecureShown;
        return static_cast<int>(period) * 2 + (shown ? 1 : 0);
    }
    return static_cast<int>(std::floor(seconds / stepLength(timeline)));
}

struct Mode {
    UINT width, height;
    DXGI_FORMAT format;
};
constexpr Mode kModeCycle[] = {{1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM},
                               {2560, 1440, DXGI_FORMAT_B8G8R8A8_UNORM},
                               {2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT},
                               {1920, 1080, DXGI_FORMAT_R16G16B16A16_FLOAT}};

}  // namespace

void Machine::advanceTimeline(double seconds) {
    if (config_.timeline == Timeline::None) return;
    const int step = stepAt(config_.timeline, seconds);
    if (step == timelineStep_) return;
    timelineStep_ = step;
    switch (config_.timeline) {
        case Timeline::Hotplug:
            if (outputs_.size() > 1) {
                OutputConfig next = outputs_[1]->current;
                next.attached = step % 2 == 0;
                outputs_[1]->reconfigure(next);
            }
            break;
        case Timeline::ModeSwitch: {
            const Mode& mode = kModeCycle[step % 4];
            OutputConfig next = outputs_[0]->current;
            next.width = mode.width;
            next.height = mode.height;
            next.format = mode.format;
            outputs_[0]->reconfigure(next);
            break;
        }
        case Timeline::SecureDesktop:
            secureDesktop = step % 2 == 1;
            if (secureDesktop)
                for (auto& output : outputs_) ++output->epoch;
            notify();
            break;
        case Timeline::DeviceRemoval:
            if (step == 1 && !adapters_.empty())
                removeDevices(*this, *adapters_[0], DXGI_ERROR_DEVICE_REMOVED, kRemovalBlackout, Clock::now());
            break;
        case Timeline::None: break;
    }
}

void Machine::advanceCursor(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - created_).count();
    const auto move = static_cast<uint64_t>(seconds * config_.cursorHz);
    const auto shape = static_cast<uint64_t>(seconds / config_.cursorShapeSeconds);
    if (move == cursor.moves && shape == cursor.shapes) return;
    if (move != cursor.moves) {
        // Wander over the bounding box of the attached outputs.
        RECT bounds{0, 0, 1, 1};
        for (const auto& output : outputs_) {
            if (!output->current.attached) continue;
            const RECT r = output->current.desktopRect();
            bounds = RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                          std::max(bounds.bottom, r.bottom)};
        }
        const auto w = static_cast<uint64_t>(bounds.right - bounds.left);
        const auto h = static_cast<uint64_t>(bounds.bottom - bounds.top);
        cursor.position = POINT{bounds.left + static_cast<LONG>(move * 173 % w), bounds.top + static_cast<LONG>(move * 89 % h)};
        cursor.moves = move;
    }
    if (shape != cursor.shapes) {
        cursor.shape = standardCursor(static_cast<CursorKind>(shape % 3));
        cursor.shapes = shape;
        cursor.handle = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x20000 + shape));
    }
    notify();
}

Clock::time_point Machine::nextEvent(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    auto after = [&](Clock::time_point origin, double period) {
        const double elapsed = std::chrono::duration<double>(now - origin).count();
        const double due = (std::floor(elapsed / period) + 1) * period;
        next = std::min(next, origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due)));
    };
    if (timelineStarted_ && config_.timeline != Timeline::None) {
        after(timelineStart_, config_.timeline == Timeline::SecureDesktop ? 1.0 : stepLength(config_.timeline));
    }
    if (cursor.moving) {
        after(created_, 1.0 / config_.cursorHz);
        after(created_, config_.cursorShapeSeconds);
    }
    return next;
}

}  // namespace winsim
