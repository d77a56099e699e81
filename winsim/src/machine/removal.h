// Lost devices. After a driver update, a TDR or a GPU going away, every device made on the
// adapter until then is removed for good: its calls fail with the reason, its fences count as
// reached, its duplications lose access. New devices can be made again after a while.
#pragma once
#include <atomic>
#include <memory>

#include "machine/machine.h"

namespace winsim {

// A device's tie to its adapter: removed once the adapter's devices are removed after it was made.
class DeviceLife {
public:
    explicit DeviceLife(std::shared_ptr<AdapterState> adapter)
        : adapter_(std::move(adapter)), removalsAtBirth_(adapter_->removals.load()) {}
    bool removed() const { return own_.load() != S_OK || adapter_->removals.load() != removalsAtBirth_; }
    // S_OK while the device lives, else why it was removed.
    HRESULT reason() const {
        const HRESULT own = own_.load();
        return own != S_OK ? own : removed() ? adapter_->removedReason.load() : S_OK;
    }
    // Removes this device alone (a hung device).
    void remove(HRESULT reason) { own_ = reason; }

private:
    std::shared_ptr<AdapterState> adapter_;
    uint64_t removalsAtBirth_;
    std::atomic<HRESULT> own_{S_OK};
};

// Removes every device of `adapter` with `reason`; new devices can be made `blackout` after `now`.
// Its outputs' duplications lose access. The machine's lock is held.
void removeDevices(Machine& machine, AdapterState& adapter, HRESULT reason, Clock::duration blackout, Clock::time_point now);
// S_OK when a device can be made on `adapter` at `now`, else the reason its devices went.
HRESULT deviceCreatable(const AdapterState& adapter, Clock::time_point now);

}  // namespace winsim
