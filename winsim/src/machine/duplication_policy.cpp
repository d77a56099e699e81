#include "machine/duplication_policy.h"

#include <algorithm>

namespace winsim {
namespace {

// The adapter whose devices may duplicate `output` (the one that enumerates it, unless another
// drives it), or null when the one named does not exist.
const AdapterState* drivingAdapter(const Machine& machine, const AdapterState& enumerating, const OutputConfig& output) {
    const auto& adapters = machine.adapters();
    if (output.drivenByAdapter < 0) return &enumerating;
    if (output.drivenByAdapter >= static_cast<int>(adapters.size())) return nullptr;
    return adapters[static_cast<size_t>(output.drivenByAdapter)].get();
}

bool accepts(std::span<const DXGI_FORMAT> accepted, DXGI_FORMAT format) {
    return std::find(accepted.begin(), accepted.end(), format) != accepted.end();
}

}  // namespace

DuplicationRefusal duplicationRefusal(const Machine& machine, const AdapterState& enumerating, const OutputState& output,
                                      uint64_t plugIns, const AdapterState& deviceAdapter) {
    // KB 3019314: on a hybrid machine, duplication "against the discrete GPU" fails with
    // DXGI_ERROR_UNSUPPORTED by design.
    if (!output.current.duplicable) return DuplicationRefusal::Unsupported;
    if (drivingAdapter(machine, enumerating, output.current) != &deviceAdapter) return DuplicationRefusal::OtherAdapter;
    // An output object enumerated before its monitor was unplugged stays detached when the
    // monitor comes back: only a new factory enumerates the output that is there now.
    if (!output.current.attached || output.plugIns != plugIns) return DuplicationRefusal::Detached;
    if (machine.secureDesktop) return DuplicationRefusal::SecureDesktop;
    if (machine.config().variants.sleepDenies && output.field.asleep) return DuplicationRefusal::Asleep;
    if (output.field.waking) return DuplicationRefusal::Waking;
    if (output.duplications > 0) return DuplicationRefusal::AlreadyDuplicated;
    // The limit counts processes: this one, once it duplicates, is among them already.
    if (machine.activeDuplications == 0 && machine.otherDuplicatingProcesses >= kMaxDuplicatingProcesses)
        return DuplicationRefusal::LimitReached;
    return DuplicationRefusal::None;
}

std::optional<DXGI_FORMAT> deliveredFormat(DXGI_FORMAT desktop, std::span<const DXGI_FORMAT> accepted) {
    if (accepts(accepted, desktop)) return desktop;
    if (accepts(accepted, DXGI_FORMAT_B8G8R8A8_UNORM)) return DXGI_FORMAT_B8G8R8A8_UNORM;
    return std::nullopt;
}

bool flickers(const Variants& variants, DXGI_FORMAT desktop, DXGI_FORMAT delivered, bool plainCall) {
    return variants.formatFlicker && desktop != DXGI_FORMAT_B8G8R8A8_UNORM && (plainCall || delivered == desktop);
}

}  // namespace winsim
