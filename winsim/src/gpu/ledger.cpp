#include "gpu/ledger.h"

namespace winsim::gpu {

bool Ledger::charge(uint64_t bytes) {
    uint64_t current = used_.load();
    do {
        if (current + bytes > capacity_) return false;
    } while (!used_.compare_exchange_weak(current, current + bytes));
    return true;
}

std::shared_ptr<Allocation> Allocation::make(std::shared_ptr<Ledger> ledger, uint64_t bytes) {
    const uint64_t rounded = roundToPage(bytes);
    if (!ledger->charge(rounded)) return nullptr;
    return std::make_shared<Allocation>(std::move(ledger), rounded);
}

void Allocation::leak(Ledger& ledger, uint64_t bytes) { ledger.charge(roundToPage(bytes)); }

}  // namespace winsim::gpu
