// The soak: one capture source through many pause/resume cycles, stop/resume cycles, unplugs,
// mode changes and device removals, interleaved, with the newest frame checked after each, and
// nothing left behind at the end.
//   velda_soak [pauses [stops [unplugs [modes [removals]]]]]   (default 1000 200 100 100 20)
// Prints its figures on lines that start with "soak:"; exits 1 on any failure.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/capture_rig.h"
#include "winsim/control.h"
#include "winsim/gpu.h"
#include "winsim/monitors.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 20s;

enum Op { Pause, Stop, Unplug, Mode, Removal, OpCount };
const char* const kOpNames[OpCount] = {"pause/resume", "stop/resume", "unplug/replug", "mode change", "device removal"};

struct Figures {
    int64_t peakObjects = 0;
    uint64_t peakVram = 0;
    uint64_t framesChecked = 0;
    int failures = 0;
};

// Each kind's operations spread evenly over the run, so every kind meets every other.
std::vector<Op> schedule(const int (&counts)[OpCount]) {
    std::vector<std::pair<double, Op>> at;
    for (int op = 0; op < OpCount; ++op)
        for (int k = 0; k < counts[op]; ++k) at.emplace_back((k + 0.5) / counts[op], static_cast<Op>(op));
    std::stable_sort(at.begin(), at.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Op> ops;
    for (const auto& [when, op] : at) ops.push_back(op);
    return ops;
}

class Soak {
public:
    bool run(Op op, int nth) {
        switch (op) {
        case Pause: return pause();
        case Stop: return restart();
        case Unplug: return unplug();
        case Mode: return changeMode(nth);
        case Removal: return nth % 2 ? removeEverything() : hangPrivateDevice();
        case OpCount: break;
        }
        return false;
    }

    bool begin() { return rig_.source().start(rig_.consumer()) && frames(2); }
    rig::CaptureRig& rig() { return rig_; }
    Figures figures;
    std::string why;

private:
    bool frames(int count) {
        if (!rig_.freshFrames(count, kDeadline, why)) return false;
        ++figures.framesChecked;
        figures.peakObjects = std::max(figures.peakObjects, winsim::liveObjectCount());
        figures.peakVram = std::max(figures.peakVram, winsim::vramUsage(0));
        return true;
    }
    bool pause() {
        rig_.source().setPaused(true);
        const bool idle = rig_.idle(kDeadline);
        rig_.source().setPaused(false);
        return (idle || (why = "still duplicating while paused", false)) && frames(1);
    }
    bool restart() {
        rig_.source().stop();
        return (rig_.resume() || (why = "resume refused", false)) && frames(1);
    }
    bool unplug() {
        winsim::setOutputAttached(0, false);
        const bool idle = rig_.idle(kDeadline);
        winsim::setOutputAttached(0, true);
        return (idle || (why = "still duplicating an unplugged output", false)) && frames(1);
    }
    bool changeMode(int nth) {
        static const struct { UINT w, h; DXGI_FORMAT f; } kModes[] = {
            {256, 144, DXGI_FORMAT_R16G16B16A16_FLOAT},
            {320, 180, DXGI_FORMAT_R10G10B10A2_UNORM},
            {320, 180, DXGI_FORMAT_B8G8R8A8_UNORM},
            {256, 144, DXGI_FORMAT_B8G8R8A8_UNORM},
        };
        const auto& mode = kModes[nth % 4];
        winsim::setOutputMode(0, mode.w, mode.h, mode.f);
        return frames(2);
    }
    // A hung private device: the source replaces it by itself.
    bool hangPrivateDevice() {
        rig_.source().setPaused(true);  // the device is read while the capture thread dozes
        rig_.idle(kDeadline);
        Microsoft::WRL::ComPtr<ID3D11Device> device = rig_.record().device;
        rig_.source().setPaused(false);
        return (winsim::removeDevice(device.Get()) || (why = "no device to remove", false)) && frames(2);
    }
    // Every device of the adapter, the consumer's too: the owner starts the source on a new one.
    bool removeEverything() {
        winsim::removeDevices(0, DXGI_ERROR_DEVICE_REMOVED, 50);
        rig_.source().stop();
        const auto until = rig::Clock::now() + kDeadline;
        while (!rig_.remakeConsumer()) {  // refused during the blackout
            if (rig::Clock::now() > until) return (why = "no new consumer device", false);
            std::this_thread::sleep_for(5ms);
        }
        return (rig_.source().start(rig_.consumer()) || (why = "start on the new device refused", false)) && frames(2);
    }

    rig::CaptureRig rig_;
};

double peakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv) {
    int counts[OpCount] = {1000, 200, 100, 100, 20};
    for (int i = 1; i < argc && i <= OpCount; ++i) counts[i - 1] = std::max(0, std::atoi(argv[i]));
    const auto start = rig::Clock::now();
    Soak soak;
    if (!soak.begin()) {
        std::printf("soak: FAILED at the start: %s\n", soak.why.c_str());
        return 1;
    }
    int done[OpCount] = {};
    for (Op op : schedule(counts)) {
        if (soak.run(op, done[op]++)) continue;
        ++soak.figures.failures;
        std::printf("soak: FAILED at %s %d: %s\n", kOpNames[op], done[op], soak.why.c_str());
        if (!soak.rig().resume()) break;  // go on where the source still can
    }
    soak.rig().source().stop();
    soak.rig().dropSource();
    const std::string left = soak.rig().leftovers();
    std::printf("soak: %d pause/resume, %d stop/resume, %d unplug/replug, %d mode changes, %d device removals in %.1f s\n",
                counts[Pause], counts[Stop], counts[Unplug], counts[Mode], counts[Removal], rig::msSince(start) / 1000.0);
    std::printf("soak: %llu frames checked, peak %lld live objects, peak video memory %.1f MiB, peak resident memory %.1f MiB\n",
                static_cast<unsigned long long>(soak.figures.framesChecked), static_cast<long long>(soak.figures.peakObjects),
                static_cast<double>(soak.figures.peakVram) / (1 << 20), peakRssMiB());
    std::printf("soak: at the end %lld live objects and %lld open handles (the consumer device's own); %s\n",
                static_cast<long long>(winsim::liveObjectCount()), static_cast<long long>(winsim::openHandleCount()),
                left.empty() ? "nothing left behind" : ("left behind: " + left).c_str());
    const bool ok = soak.figures.failures == 0 && left.empty();
    std::printf("soak: %s\n", ok ? "passed" : "FAILED");
    return ok ? 0 : 1;
}
