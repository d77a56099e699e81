// Video memory: one ledger per adapter, and allocations that are charged to it for as long as
// anything holds them (a COM object, an open NT handle, queued GPU work).
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

namespace winsim::gpu {

constexpr uint64_t kPageBytes = 64 * 1024;

constexpr uint64_t roundToPage(uint64_t bytes) { return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes; }

class Ledger {
public:
    explicit Ledger(uint64_t capacity) : capacity_(capacity) {}
    // Charges `bytes`; false (and nothing charged) past the adapter's capacity.
    bool charge(uint64_t bytes);
    void credit(uint64_t bytes) { used_ -= bytes; }
    uint64_t used() const { return used_; }
    uint64_t capacity() const { return capacity_; }

private:
    const uint64_t capacity_;
    std::atomic<uint64_t> used_{0};
};

class Allocation {
public:
    // Charges `bytes` rounded up to 64 KiB; null when the ledger is full.
    static std::shared_ptr<Allocation> make(std::shared_ptr<Ledger> ledger, uint64_t bytes);
    // Charges for good: a driver leak that nothing ever returns.
    static void leak(Ledger& ledger, uint64_t bytes);

    Allocation(std::shared_ptr<Ledger> ledger, uint64_t bytes) : ledger_(std::move(ledger)), bytes_(bytes) {}
    ~Allocation() { ledger_->credit(bytes_); }
    Allocation(const Allocation&) = delete;
    Allocation& operator=(const Allocation&) = delete;

    uint64_t bytes() const { return bytes_; }
    const std::shared_ptr<Ledger>& ledger() const { return ledger_; }

private:
    std::shared_ptr<Ledger> ledger_;
    uint64_t bytes_;
};

}  // namespace winsim::gpu
