#include "display/paths.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace winsim::display {
namespace {

LUID drivingAdapter(const Machine& machine, const AdapterState& adapter, const OutputConfig& config) {
    const auto& adapters = machine.adapters();
    if (config.drivenByAdapter >= 0 && config.drivenByAdapter < static_cast<int>(adapters.size()))
        return adapters[static_cast<size_t>(config.drivenByAdapter)]->config.luid;
    return adapter.config.luid;
}

void addOutputPaths(const Machine& machine, const AdapterState& adapter, const std::shared_ptr<OutputState>& output,
                    bool includeInactive, std::vector<Path>& paths) {
    const OutputConfig& config = output->current;
    if (!config.hasDisplayPath || (!config.attached && !includeInactive)) return;
    const int monitors = 1 + static_cast<int>(config.cloneSdrWhiteNits.size());
    for (int target = 0; target < monitors; ++target) {
        Path path;
        path.output = output;
        path.config = config;
        path.target = target;
        path.adapterId = drivingAdapter(machine, adapter, config);
        path.sourceId = static_cast<UINT32>(output->id());
        path.targetId = 0x100u * static_cast<UINT32>(output->id() + 1) + static_cast<UINT32>(target);
        path.active = config.attached;
        paths.push_back(std::move(path));
    }
}

const Path* findPath(const std::vector<Path>& paths, const LUID& adapterId, UINT32 id, UINT32 Path::*field) {
    auto it = std::find_if(paths.begin(), paths.end(), [&](const Path& path) {
        return path.active && path.adapterId == adapterId && path.*field == id;
    });
    return it == paths.end() ? nullptr : &*it;
}

}  // namespace

std::vector<Path> listPaths(const Machine& machine, bool includeInactive) {
    auto lock = machine.lock();  // one consistent picture of every output
    std::vector<Path> paths;
    for (const auto& adapter : machine.adapters())
        for (const auto& output : adapter->outputs) addOutputPaths(machine, *adapter, output, includeInactive, paths);
    return paths;
}

UINT32 sourceCount(const std::vector<Path>& paths) {
    std::set<const OutputState*> sources;
    for (const Path& path : paths) sources.insert(path.output.get());
    return static_cast<UINT32>(sources.size());
}

const Path* findSource(const std::vector<Path>& paths, const LUID& adapterId, UINT32 id) {
    return findPath(paths, adapterId, id, &Path::sourceId);
}

const Path* findTarget(const std::vector<Path>& paths, const LUID& adapterId, UINT32 id) {
    return findPath(paths, adapterId, id, &Path::targetId);
}

UINT32 sdrWhiteLevel(const Path& path) {
    const float nits = path.target == 0 ? path.config.sdrWhiteNits
                                        : path.config.cloneSdrWhiteNits[static_cast<size_t>(path.target - 1)];
    const double thousandths = std::round(static_cast<double>(nits) / 80.0 * 1000.0);
    return static_cast<UINT32>(std::clamp(thousandths, 0.0, 4294967295.0));
}

std::shared_ptr<Machine> currentState() {
    auto machine = currentMachine();
    if (machine) machine->tick();
    return machine;
}

std::shared_ptr<OutputState> outputWithMonitor(const Machine& machine, HMONITOR monitor) {
    for (const auto& output : machine.outputs())
        if (output->monitor() == monitor) return output;
    return nullptr;
}

}  // namespace winsim::display
