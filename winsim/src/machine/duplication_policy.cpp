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
                                      const AdapterState& deviceAdapter) {
    if (drivingAdapter(machine, enumerating, output.current) != &deviceAdapter) return DuplicationRefusal::OtherAdapter;
    if (!output.current.attached) return DuplicationRefusal::Detached;
    if (machine.secureDesktop) return DuplicationRefusal::SecureDesktop;
    if (output.duplications > 0) return DuplicationRefusal::AlreadyDuplicated;
    if (machine.activeDuplications >= kMaxDuplications) return DuplicationRefusal::LimitReached;
    return DuplicationRefusal::None;
}

std::optional<DXGI_FORMAT> deliveredFormat(DXGI_FORMAT desktop, std::span<const DXGI_FORMAT> accepted) {
    if (accepts(accepted, desktop)) return desktop;
    if (accepts(accepted, DXGI_FORMAT_B8G8R8A8_UNORM)) return DXGI_FORMAT_B8G8R8A8_UNORM;
    return std::nullopt;
}

}  // namespace winsim
