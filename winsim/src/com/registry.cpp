// Counts of live COM objects by kind.
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include "com/object.h"
#include "winsim/control.h"

namespace winsim::com {
namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, int64_t> live;
};
Registry& registry() {
    static Registry* instance = new Registry;  // outlives every static object that holds a COM pointer
    return *instance;
}
}  // namespace

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
    out << "; " << openHandleCount() << " open handle(s)";
    return out.str();
}
}  // namespace winsim
