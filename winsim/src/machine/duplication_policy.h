// Whether the machine lets a process duplicate an output, and in which format it delivers the
// desktop when it does.
#pragma once
#include <optional>
#include <span>

#include <dxgiformat.h>

#include "machine/machine.h"

namespace winsim {

// Why a duplication is refused.
enum class DuplicationRefusal {
    None,
    OtherAdapter,       // the device is not on the adapter that drives the output
    Detached,           // the output shows no desktop, or its monitor was unplugged since it was enumerated
    SecureDesktop,      // the secure desktop is showing
    Asleep,             // sleep-denies: the output's monitor sleeps
    Waking,             // sleep-denies: the output settles after its monitor woke
    AlreadyDuplicated,  // this process duplicates the output already
    LimitReached,       // as many other processes duplicate as the platform allows at once
    Unsupported,        // the output cannot be duplicated from this process at all (OutputConfig::duplicable)
};

// The platform's limit on processes that duplicate at the same time. DuplicateOutput's remarks:
// "only four processes can use a IDXGIOutputDuplication interface at the same time within a
// single session"; one process may duplicate each output of the desktop.
inline constexpr int kMaxDuplicatingProcesses = 4;

// Why the machine refuses a duplication of `output` (enumerated by `enumerating`, when the
// output's monitor had been plugged in `plugIns` times) for a device on `deviceAdapter` now
// (lock held).
DuplicationRefusal duplicationRefusal(const Machine& machine, const AdapterState& enumerating, const OutputState& output,
                                      uint64_t plugIns, const AdapterState& deviceAdapter);

// The format a duplication delivers given the formats its caller accepts: the desktop's when
// accepted, else B8G8R8A8 when accepted, else none.
std::optional<DXGI_FORMAT> deliveredFormat(DXGI_FORMAT desktop, std::span<const DXGI_FORMAT> accepted);

// Whether a duplication delivering `delivered` of a `desktop` changes the format of its images
// from frame to frame (the format-flicker variant): only on a desktop that is not B8G8R8A8, for
// DuplicateOutput (`plainCall`) or for DuplicateOutput1 when it delivers the desktop's format. A
// DuplicateOutput1 caller that did not list that format gets the B8G8R8A8 it asked for.
bool flickers(const Variants& variants, DXGI_FORMAT desktop, DXGI_FORMAT delivered, bool plainCall);

}  // namespace winsim
