// The reparented variant. KB 3019314 ("Error generated when Desktop Duplication API-capable
// application is run against discrete GPU"): on a Microsoft Hybrid system a process Windows runs
// on the discrete GPU sees the monitors through that GPU, and IDXGIOutput1::DuplicateOutput
// fails with DXGI_ERROR_UNSUPPORTED by design; the article's resolution is to run on the
// integrated GPU.
#include <algorithm>

#include "machine/hybrid.h"

namespace winsim {
namespace {

template <class Adapters>
auto find(Adapters& adapters, HybridRole role) {
    return std::find_if(adapters.begin(), adapters.end(), [role](const AdapterConfig& a) { return a.hybrid == role; });
}

}  // namespace

MachineConfig reparented(MachineConfig config) {
    auto& adapters = config.adapters;
    if (!config.variants.reparented) return config;
    auto integratedAt = find(adapters, HybridRole::Integrated);
    auto discreteAt = find(adapters, HybridRole::Discrete);
    if (integratedAt == adapters.end() || discreteAt == adapters.end()) return config;
    AdapterConfig integrated = *integratedAt, discrete = *discreteAt;
    std::vector<OutputConfig> outputs = integrated.outputs;  // the panel first: output ids stay as they were
    for (OutputConfig& panel : outputs) panel.duplicable = false;
    outputs.insert(outputs.end(), discrete.outputs.begin(), discrete.outputs.end());
    discrete.outputs = std::move(outputs);
    integrated.outputs.clear();
    std::vector<AdapterConfig> others;
    for (const AdapterConfig& adapter : adapters)
        if (adapter.hybrid == HybridRole::None) others.push_back(adapter);
    adapters = {discrete, integrated};
    adapters.insert(adapters.end(), others.begin(), others.end());
    return config;
}

}  // namespace winsim
