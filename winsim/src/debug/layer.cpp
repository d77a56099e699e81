#include "debug/layer.h"

#include <mutex>
#include <vector>

#include "winsim/gpu.h"

namespace winsim::debug {
namespace {
struct Layer {
    std::mutex mutex;
    std::vector<std::string> messages;
};
Layer& layer() {
    static Layer* instance = new Layer;
    return *instance;
}
}  // namespace

void message(const std::string& call, const std::string& reason) {
    std::lock_guard lock(layer().mutex);
    layer().messages.push_back(call + ": " + reason);
}
}  // namespace winsim::debug

namespace winsim {
int64_t debugMessageCount() {
    std::lock_guard lock(debug::layer().mutex);
    return static_cast<int64_t>(debug::layer().messages.size());
}

std::vector<std::string> debugMessages() {
    std::lock_guard lock(debug::layer().mutex);
    return debug::layer().messages;
}

void resetDebugLayer() {
    std::lock_guard lock(debug::layer().mutex);
    debug::layer().messages.clear();
}
}  // namespace winsim
