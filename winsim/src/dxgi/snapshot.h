// What a DXGI factory knows of the displays: the outputs each adapter enumerated and how they
// were configured when the factory was made. EnumAdapters1's page: "When you create a factory,
// the factory enumerates the set of adapters that are available in the system"; Microsoft's
// device-resources templates make a new factory once IDXGIFactory1::IsCurrent returns FALSE, as
// it does after the first display change (an output plugged or unplugged, a change of mode,
// format or rotation). Outputs answer EnumOutputs and GetDesc from here, not from the machine.
#pragma once
#include <memory>
#include <vector>

#include "machine/machine.h"

namespace winsim::dxgi {

struct OutputSnapshot {
    std::shared_ptr<OutputState> state;
    OutputConfig config;   // as it was
    RECT desktopCoordinates{};  // as it described them then
    uint64_t plugIns = 0;  // the output's plug-ins then: a later unplug leaves this output detached
};

struct DisplaySnapshot {
    struct Adapter {
        const AdapterState* state = nullptr;
        std::vector<OutputSnapshot> outputs;  // those attached then, in enumeration order
    };
    uint64_t displayChanges = 0;  // the machine's count when it was taken
    std::vector<Adapter> adapters;

    // The outputs `adapter` enumerated then; none for an adapter of another machine.
    const std::vector<OutputSnapshot>& outputsOf(const AdapterState& adapter) const;
};

// The machine's displays now (takes the machine's lock).
std::shared_ptr<const DisplaySnapshot> takeSnapshot(Machine& machine);

}  // namespace winsim::dxgi
