#include "gpu/debug.h"

#include <mutex>
#include <vector>

#include "winsim/gpu.h"

namespace winsim::gpu {
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

void debugMessage(const std::string& call, const std::string& reason) {
    std::lock_guard lock(layer().mutex);
    layer().messages.push_back(call + ": " + reason);
}
}  // namespace winsim::gpu

namespace winsim {
int64_t debugMessageCount() {
    std::lock_guard lock(gpu::layer().mutex);
    return static_cast<int64_t>(gpu::layer().messages.size());
}

std::vector<std::string> debugMessages() {
    std::lock_guard lock(gpu::layer().mutex);
    return gpu::layer().messages;
}

void resetDebugLayer() {
    std::lock_guard lock(gpu::layer().mutex);
    gpu::layer().messages.clear();
}
}  // namespace winsim
