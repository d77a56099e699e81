#include "machine/faults.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "winsim/control.h"

namespace winsim {
namespace {
struct Entry {
    int id;
    size_t call;  // catalogue index
    Fault fault;
    int seen = 0;  // matching calls so far
    int hits = 0;  // calls it failed
};
struct Table {
    std::mutex mutex;
    std::vector<Entry> entries;
    std::array<int, kFaultCallCount> calls{};
    int nextId = 1;
};
Table& table() {
    static Table* instance = new Table;
    return *instance;
}
thread_local int exemptions = 0;  // FaultExemption scopes alive on this thread

// The catalogue's names that share the method (the part after "::") with `name`, for the refusal.
std::string similarNames(std::string_view name) {
    const auto method = name.substr(name.rfind(':') == std::string_view::npos ? 0 : name.rfind(':') + 1);
    std::string similar;
    for (const char* known : kFaultCalls) {
        const std::string_view candidate = known;
        if (method.empty() || candidate.find(method) == std::string_view::npos) continue;
        similar += similar.empty() ? " (did you mean " : ", ";
        similar += known;
    }
    return similar.empty() ? similar : similar + "?)";
}

// The catalogue index of `call`; refuses a name no platform call uses, loudly.
size_t catalogued(std::string_view call, const char* who) {
    if (auto index = findFaultCall(call)) return *index;
    const std::string message =
        std::string("winsim::") + who + ": no platform call is named \"" + std::string(call) + "\"" + similarNames(call);
    std::fprintf(stderr, "%s\n", message.c_str());
    throw std::invalid_argument(message);
}
}  // namespace

int addFault(Fault fault) {
    const size_t call = catalogued(fault.call, "addFault");
    std::lock_guard lock(table().mutex);
    const int id = table().nextId++;
    table().entries.push_back(Entry{id, call, std::move(fault)});
    return id;
}

void removeFault(int id) {
    std::lock_guard lock(table().mutex);
    std::erase_if(table().entries, [id](const Entry& entry) { return entry.id == id; });
}

void clearFaults() {
    std::lock_guard lock(table().mutex);
    table().entries.clear();
    table().calls.fill(0);
}

int faultHits(int id) {
    std::lock_guard lock(table().mutex);
    for (const Entry& entry : table().entries)
        if (entry.id == id) return entry.hits;
    return 0;
}

int callCount(std::string_view call) {
    const size_t index = catalogued(call, "callCount");
    std::lock_guard lock(table().mutex);
    return table().calls[index];
}

std::map<std::string, int> callCounts() {
    std::lock_guard lock(table().mutex);
    std::map<std::string, int> counts;
    for (size_t i = 0; i < kFaultCallCount; ++i)
        if (table().calls[i]) counts.emplace(kFaultCalls[i], table().calls[i]);
    return counts;
}

std::vector<std::string> faultCalls() { return {std::begin(kFaultCalls), std::end(kFaultCalls)}; }

FaultExemption::FaultExemption() { ++exemptions; }
FaultExemption::~FaultExemption() { --exemptions; }

std::optional<HRESULT> fault(FaultCall call, int index) {
    if (exemptions > 0) return std::nullopt;
    std::lock_guard lock(table().mutex);
    ++table().calls[call.index()];
    for (Entry& entry : table().entries) {
        const Fault& f = entry.fault;
        if (entry.call != call.index() || (f.when && !f.when(index))) continue;
        const int n = entry.seen++;
        if (n < f.skip) continue;
        if (f.count >= 0 && n >= f.skip + f.count) continue;
        ++entry.hits;
        return f.result;
    }
    return std::nullopt;
}

}  // namespace winsim
