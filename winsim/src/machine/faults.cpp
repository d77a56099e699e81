#include "machine/faults.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "winsim/control.h"

namespace winsim {
namespace {
struct Entry {
    int id;
    Fault fault;
    int seen = 0;  // matching calls so far
};
struct Table {
    std::mutex mutex;
    std::vector<Entry> entries;
    std::map<std::string, int, std::less<>> calls;
    int nextId = 1;
};
Table& table() {
    static Table* instance = new Table;
    return *instance;
}
}  // namespace

int addFault(Fault fault) {
    std::lock_guard lock(table().mutex);
    const int id = table().nextId++;
    table().entries.push_back(Entry{id, std::move(fault)});
    return id;
}

void removeFault(int id) {
    std::lock_guard lock(table().mutex);
    std::erase_if(table().entries, [id](const Entry& entry) { return entry.id == id; });
}

void clearFaults() {
    std::lock_guard lock(table().mutex);
    table().entries.clear();
    table().calls.clear();
}

int callCount(std::string_view call) {
    std::lock_guard lock(table().mutex);
    auto it = table().calls.find(call);
    return it == table().calls.end() ? 0 : it->second;
}

std::optional<HRESULT> fault(std::string_view call, int index) {
    std::lock_guard lock(table().mutex);
    auto counted = table().calls.find(call);
    if (counted == table().calls.end()) counted = table().calls.emplace(std::string(call), 0).first;
    ++counted->second;
    for (Entry& entry : table().entries) {
        const Fault& f = entry.fault;
        if (f.call != call || (f.when && !f.when(index))) continue;
        const int n = entry.seen++;
        if (n < f.skip) continue;
        if (f.count >= 0 && n >= f.skip + f.count) continue;
        return f.result;
    }
    return std::nullopt;
}

}  // namespace winsim
