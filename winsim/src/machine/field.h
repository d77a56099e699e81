// What happens to outputs on real machines besides changes of their configuration: monitors that
// sleep, protected content that duplication may not show, and exclusive-fullscreen games that
// take an output over. Each is a change of the output's field state (machine.h); the timelines
// and the control API make them. The machine's lock is held throughout.
#pragma once
#include <chrono>

#include "machine/machine.h"

namespace winsim {

// How long an output settles after its monitor woke (the sleep-denies variant).
inline constexpr auto kWakeSettle = std::chrono::milliseconds(300);
// The mode an exclusive-fullscreen game takes an output in.
inline constexpr UINT kGameWidth = 1280;
inline constexpr UINT kGameHeight = 720;

// The output's monitor falls asleep or wakes at `now`.
void setAsleep(Machine& machine, OutputState& output, bool asleep, Clock::time_point now);
// Ends the settling after a wake once `now` reaches its end.
void settle(OutputState& output, Clock::time_point now);
// A fullscreen game takes the output over or gives it back in the mode it took.
void setFullscreenGame(OutputState& output, bool running);
// Protected content covers `area` of the output's desktop (empty or inverted: none).
void setProtectedArea(Machine& machine, OutputState& output, RECT area);

}  // namespace winsim
