// Counts of live COM objects by kind.
#include <algorithm>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include "com/object.h"
#include "com/private_data.h"
#include "winsim/control.h"

namespace winsim::com {
namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, int64_t> live;
    std::map<const void*, std::string> names;  // debug names of live objects
};
Registry& registry() {
    static Registry* instance = new Registry;  // outlives every static object that holds a COM pointer
    return *instance;
}
}  // namespace

void noteName(const void* owner, std::string label) {
    std::lock_guard lock(registry().mutex);
    registry().names[owner] = std::move(label);
}

void forgetName(const void* owner) {
    std::lock_guard lock(registry().mutex);
    registry().names.erase(owner);
}

std::vector<std::string> liveNames() {
    std::lock_guard lock(registry().mutex);
    std::vector<std::string> out;
    for (const auto& [owner, label] : registry().names) out.push_back(label);
    std::sort(out.begin(), out.end());
    return out;
}

void noteCreated(const char* kind) {
    std::lock_guard lock(registry().mutex);
    ++registry().live[kind];
}

void noteDestroyed(const char* kind) {
    std::lock_guard lock(registry().mutex);
    auto it = registry().live.find(kind);
    if (it != registry().live.end() && --it->second == 0) registry().live.erase(it);
}
}  // namespace winsim::com

namespace winsim {
std::map<std::string, int64_t> liveObjects() {
    std::lock_guard lock(com::registry().mutex);
    return com::registry().live;
}

int64_t liveObjectCount() {
    int64_t total = 0;
    for (const auto& [kind, count] : liveObjects()) total += count;
    return total;
}

std::string leakReport() {
    std::ostringstream out;
    out << liveObjectCount() << " live object(s)";
    for (const auto& [kind, count] : liveObjects()) out << ", " << kind << " x" << count;
    const auto names = com::liveNames();
    if (!names.empty()) {
        out << "; named:";
        for (size_t i = 0; i < names.size(); ++i) out << (i ? ", " : " ") << names[i];
    }
    out << "; " << openHandleCount() << " open handle(s)";
    return out.str();
}
}  // namespace winsim
