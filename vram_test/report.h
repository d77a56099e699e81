// The harness's arguments, report lines and verdict, kept apart from the run so that tests can
// check every boundary without a whole run.
#pragma once
#include <cstdint>
#include <string>

namespace vram {

struct Arguments {
    int cycles = 12;      // Test A cycles
    int sourceCount = 0;  // 0: one source per output
};

// Parses a number as atoi does (leading white space, optional sign, digits up to the first
// non-digit, 0 without digits), but clamps out-of-range values to the int range.
int parseCount(const char* text);
Arguments parseArguments(int argc, const char* const* argv);

// The number of sources to run: `requested` unless it is not positive or exceeds `outputs`.
int clampSourceCount(int requested, int outputs);

// A numbered row label, "cycle %2d resumed" and the like, at most 63 characters.
std::string numberedLabel(const char* pattern, int number);

std::string rowLine(const std::string& label, uint64_t mb);
std::string outputsLine(int outputs, int sources);
std::string floorLine(uint64_t stopFloor, uint64_t runningBaseline, uint64_t afterResume);
std::string summaryLine(uint64_t allocated, uint64_t afterPause, uint64_t afterRecreate);

// "LEAKS" when `reading` is more than `margin` MiB above `allocated`, else "flat".
const char* leakWord(uint64_t reading, uint64_t allocated, uint64_t margin);
std::string verdictLine(uint64_t allocated, uint64_t afterPause, uint64_t afterRecreate);

constexpr uint64_t kPauseLeakMarginMb = 30;
constexpr uint64_t kRecreateLeakMarginMb = 60;

}  // namespace vram
