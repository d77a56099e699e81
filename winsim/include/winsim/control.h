// winsim control API for tests and tools: which machine runs, faults, counters.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "machine.h"

namespace winsim {

// Replaces the running machine. Objects of the previous machine keep working on their own state.
void useMachine(const MachineConfig& config);
// Picks a catalogue machine; false (and no change) for an unknown name.
bool useScenario(std::string_view name);
// The machine WINSIM_SCENARIO names, as a process starts with it ("default" when unset).
void useEnvironmentMachine();

// Video memory the ledger of adapter `adapter` holds, in bytes.
uint64_t vramUsage(int adapter = 0);
// System memory the adapter's non-local ledger holds (upload and read-back heaps), in bytes.
uint64_t nonLocalMemoryUsage(int adapter = 0);
// Fixed video memory charge of a Direct3D 12 device, documented with the device.
uint64_t d3d12DeviceBaselineBytes();
// Fixed video memory charge of a Direct3D 11 device, documented with the device.
uint64_t d3d11DeviceBaselineBytes();

// Live COM objects by kind, their total, open kernel handles, and a one-line report of both.
std::map<std::string, int64_t> liveObjects();
int64_t liveObjectCount();
int64_t openHandleCount();
std::string leakReport();

// The fault table. A platform call named `call` ("ID3D11Device::CreateTexture2D",
// "CreateDXGIFactory1", ...; faultCalls() lists them all) returns `result` instead of doing its
// work: after `skip` matching calls, for `count` calls (-1: for good), where `when` (given the
// call's index argument, or -1) holds.
struct Fault {
    Fault() = default;
    Fault(std::string call_, HRESULT result_ = E_FAIL, int skip_ = 0, int count_ = -1,
          std::function<bool(int index)> when_ = {})
        : call(std::move(call_)), result(result_), skip(skip_), count(count_), when(std::move(when_)) {}

    std::string call;
    HRESULT result = E_FAIL;
    int skip = 0;
    int count = -1;
    std::function<bool(int index)> when;
};
// Returns the fault's id. A name that no platform call has is refused: it is printed on standard
// error with the catalogue's similar names, and std::invalid_argument is thrown.
int addFault(Fault fault);
void removeFault(int id);
void clearFaults();
// How many calls fault `id` has failed so far (0 once it is removed).
int faultHits(int id);
// Every call name the fault table knows, in catalogue order.
std::vector<std::string> faultCalls();
// How often a call was made since the last clearFaults (faulted calls included); an unknown name
// is refused as addFault refuses it.
int callCount(std::string_view call);
// Every catalogued call made since the last clearFaults, with its count.
std::map<std::string, int> callCounts();
// While one lives, the calls its thread makes are neither counted nor failed: a test's own
// checks (a read-back through Direct3D 12, say) stay out of the way of the calls it sweeps.
class FaultExemption {
public:
    FaultExemption();
    ~FaultExemption();
    FaultExemption(const FaultExemption&) = delete;
    FaultExemption& operator=(const FaultExemption&) = delete;
};

}  // namespace winsim
