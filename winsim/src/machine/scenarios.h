// The scenario catalogue's machines that others are made from, and the machines that model what
// users of capture tools report of real Windows machines (field_scenarios.cpp).
#pragma once
#include "winsim/machine.h"

namespace winsim {

MachineConfig defaultMachine();
MachineConfig singleMachine();

MachineConfig advancedColorSdr();
MachineConfig softwareCursor();
MachineConfig protectedVideo();
MachineConfig displaySleep();
MachineConfig fullscreenGame();
MachineConfig fastPointer();

MachineConfig hybridLaptop();
MachineConfig windows10v1903();
MachineConfig windows10v2004();

}  // namespace winsim
