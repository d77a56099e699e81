// What scenarios change by themselves as time passes: monitors that come and go or sleep, modes
// that switch, the secure desktop, protected video, fullscreen games, and a cursor that wanders
// and changes shape.
#include <cmath>
#include <optional>

#include "machine/field.h"
#include "machine/machine.h"
#include "machine/removal.h"

namespace winsim {
namespace {

constexpr double kHotplugPhase = 2.0;
constexpr double kModeSwitchPhase = 3.0;
constexpr double kRemovalAfter = 3.0;
constexpr auto kRemovalBlackout = std::chrono::seconds(1);
// The protected video's place on output 0's desktop.
constexpr RECT kVideoArea{200, 200, 200 + 640, 200 + 360};

// A timeline that shows something for the last `shown` seconds of every `period`: its steps are
// 0, 1 (shown), 2, 3 (shown), ...
struct Periodic {
    double period, shown;
};

std::optional<Periodic> periodic(Timeline timeline) {
    switch (timeline) {
        case Timeline::SecureDesktop: return Periodic{5.0, 2.0};
        case Timeline::ProtectedVideo: return Periodic{4.0, 2.0};
        case Timeline::DisplaySleep: return Periodic{6.0, 3.0};
        case Timeline::FullscreenGame: return Periodic{4.0, 2.0};
        default: return std::nullopt;
    }
}

double stepLength(Timeline timeline) {
    switch (timeline) {
        case Timeline::Hotplug: return kHotplugPhase;
        case Timeline::ModeSwitch: return kModeSwitchPhase;
        case Timeline::DeviceRemoval: return kRemovalAfter;
        default: return 0;
    }
}

int stepAt(Timeline timeline, double seconds) {
    if (const auto p = periodic(timeline)) {
        const double period = std::floor(seconds / p->period);
        const bool shown = seconds - period * p->period >= p->period - p->shown;
        return static_cast<int>(period) * 2 + (shown ? 1 : 0);
    }
    return static_cast<int>(std::floor(seconds / stepLength(timeline)));
}

// When the step after the one at `seconds` begins, in seconds from the timeline's start.
double nextStepAt(Timeline timeline, double seconds) {
    if (const auto p = periodic(timeline)) {
        const double start = std::floor(seconds / p->period) * p->period;
        const double show = start + p->period - p->shown;
        return seconds < show ? show : start + p->period;
    }
    return (std::floor(seconds / stepLength(timeline)) + 1) * stepLength(timeline);
}

struct Mode {
    UINT width, height;
    DXGI_FORMAT format;
};
constexpr Mode kModeCycle[] = {{1920, 1080, DXGI_FORMAT_B8G8R8A8_UNORM},
                               {2560, 1440, DXGI_FORMAT_B8G8R8A8_UNORM},
                               {2560, 1440, DXGI_FORMAT_R16G16B16A16_FLOAT},
                               {1920, 1080, DXGI_FORMAT_R16G16B16A16_FLOAT}};

void plug(OutputState& output, bool attached) {
    OutputConfig next = output.current;
    next.attached = attached;
    output.reconfigure(next);
}

void switchMode(OutputState& output, const Mode& mode) {
    OutputConfig next = output.current;
    next.width = mode.width;
    next.height = mode.height;
    next.format = mode.format;
    output.reconfigure(next);
}

}  // namespace

void Machine::advanceTimeline(double seconds, Clock::time_point now) {
    if (config_.timeline == Timeline::None) return;
    // Time runs forward only: a step once taken is never taken again, also when a test has run
    // the timeline ahead of the clock.
    const int step = stepAt(config_.timeline, seconds);
    if (step <= timelineStep_) return;
    timelineStep_ = step;
    applyTimelineStep(step, now);
}

void Machine::applyTimelineStep(int step, Clock::time_point now) {
    const bool odd = step % 2 == 1;
    OutputState* first = outputs_.empty() ? nullptr : outputs_[0].get();
    OutputState* second = outputs_.size() > 1 ? outputs_[1].get() : nullptr;
    switch (config_.timeline) {
        case Timeline::Hotplug: if (second) plug(*second, !odd); break;
        case Timeline::ModeSwitch: if (first) switchMode(*first, kModeCycle[step % 4]); break;
        case Timeline::SecureDesktop:
            secureDesktop = odd;
            for (auto& output : outputs_) output->epoch += odd ? 1 : 0;
            notify();
            break;
        case Timeline::DeviceRemoval:
            if (step == 1 && !adapters_.empty())
                removeDevices(*this, *adapters_[0], DXGI_ERROR_DEVICE_REMOVED, kRemovalBlackout, Clock::now());
            break;
        case Timeline::ProtectedVideo: if (first) setProtectedArea(*this, *first, odd ? kVideoArea : RECT{}); break;
        case Timeline::DisplaySleep: if (second) setAsleep(*this, *second, odd, now); break;
        case Timeline::FullscreenGame: if (first) setFullscreenGame(*first, odd); break;
        case Timeline::None: break;
    }
}

Clock::time_point Machine::nextEvent(Clock::time_point now) const {
    auto next = Clock::time_point::max();
    auto elapsed = [&](Clock::time_point origin) { return std::chrono::duration<double>(now - origin).count(); };
    // `seconds` after `origin`, one tick late so that whatever falls due then has happened.
    auto at = [&](Clock::time_point origin, double seconds) {
        const auto due = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        next = std::min(next, origin + due + Clock::duration(1));
    };
    auto every = [&](Clock::time_point origin, double period) {
        at(origin, (std::floor(elapsed(origin) / period) + 1) * period);
    };
    if (timelineStarted_ && config_.timeline != Timeline::None)
        at(timelineStart_, nextStepAt(config_.timeline, elapsed(timelineStart_)));
    if (cursor.moving) {
        if (config_.cursorHz > 0) every(created_, 1.0 / config_.cursorHz);
        if (config_.cursorShapeSeconds > 0) every(created_, config_.cursorShapeSeconds);
    }
    for (const auto& output : outputs_)
        if (output->field.waking) next = std::min(next, output->field.settlesAt);
    return next;
}

}  // namespace winsim
