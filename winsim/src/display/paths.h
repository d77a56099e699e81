// The display configuration of a machine: a source per output and a path per monitor that
// shows it (two or more on one source in clone mode).
#pragma once
#include <memory>
#include <vector>

#include <windows.h>

#include "machine/machine.h"

namespace winsim::display {

struct Path {
    std::shared_ptr<OutputState> output;
    OutputConfig config;  // the output as it was when the paths were listed
    int target = 0;       // 0: the output's own monitor; 1 and up: its clones
    LUID adapterId{};     // the adapter that drives the output
    UINT32 sourceId = 0;
    UINT32 targetId = 0;
    bool active = true;   // false: a detached output, listed only when inactive paths are wanted
};

// The paths in the machine's order of adapters, outputs and monitors (takes the machine's lock).
std::vector<Path> listPaths(const Machine& machine, bool includeInactive);
// The number of distinct sources among `paths`.
UINT32 sourceCount(const std::vector<Path>& paths);

// The first active path with that source or target, or null.
const Path* findSource(const std::vector<Path>& paths, const LUID& adapterId, UINT32 id);
const Path* findTarget(const std::vector<Path>& paths, const LUID& adapterId, UINT32 id);

// The SDR white level of the path's monitor in thousandths of 80 nits.
UINT32 sdrWhiteLevel(const Path& path);

// The running machine, brought up to date with its timelines, or null.
std::shared_ptr<Machine> currentState();
// The output with that monitor handle, or null.
std::shared_ptr<OutputState> outputWithMonitor(const Machine& machine, HMONITOR monitor);

}  // namespace winsim::display
