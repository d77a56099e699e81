#include "report.h"

#include <cctype>
#include <climits>
#include <cstdio>

namespace vram {
namespace {

// Formats one report line into a string (every line fits 256 bytes).
template <class... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

long long difference(uint64_t a, uint64_t b) { return static_cast<long long>(a - b); }

}  // namespace

int parseCount(const char* text) {
    while (std::isspace(static_cast<unsigned char>(*text))) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // Accumulate the magnitude with a ceiling just past the int range, so long inputs stay safe.
    constexpr long long kCeiling = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > kCeiling) magnitude = kCeiling;
    }
    if (negative) return static_cast<int>(-magnitude);  // -2^31 at the most
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

Arguments parseArguments(int argc, const char* const* argv) {
    Arguments args;
    if (argc > 1) args.cycles = parseCount(argv[1]);
    if (argc > 2) args.sourceCount = parseCount(argv[2]);
    return args;
}

int clampSourceCount(int requested, int outputs) { return requested <= 0 || requested > outputs ? outputs : requested; }

std::string numberedLabel(const char* pattern, int number) {
    char label[64];
    std::snprintf(label, sizeof label, pattern, number);
    return label;
}

std::string rowLine(const std::string& label, uint64_t mb) {
    return format("[VRAM] %-30s %5llu MB\n", label.c_str(), static_cast<unsigned long long>(mb));
}

std::string outputsLine(int outputs, int sources) {
    return format("[VRAM] %d output(s) on adapter 0, using %d capture source(s)\n", outputs, sources);
}

std::string floorLine(uint64_t stopFloor, uint64_t runningBaseline, uint64_t afterResume) {
    return format("[VRAM] stop() floor ~%lluMB (baseline was %lluMB) \u2014 drop %lldMB\n",
                  static_cast<unsigned long long>(stopFloor), static_cast<unsigned long long>(runningBaseline),
                  difference(afterResume, stopFloor));
}

std::string summaryLine(uint64_t allocated, uint64_t afterPause, uint64_t afterRecreate) {
    return format("\n[VRAM] SUMMARY: allocated=%lluMB  afterPause=%lluMB(%+lld)  afterRecreate=%lluMB(%+lld vs allocated)\n",
                  static_cast<unsigned long long>(allocated), static_cast<unsigned long long>(afterPause),
                  difference(afterPause, allocated), static_cast<unsigned long long>(afterRecreate),
                  difference(afterRecreate, allocated));
}

const char* leakWord(uint64_t reading, uint64_t allocated, uint64_t margin) {
    return reading > allocated + margin ? "LEAKS" : "flat";
}

std::string verdictLine(uint64_t allocated, uint64_t afterPause, uint64_t afterRecreate) {
    return format("[VRAM] VERDICT: pause/resume %s ; destroy/recreate %s\n",
                  leakWord(afterPause, allocated, kPauseLeakMarginMb),
                  leakWord(afterRecreate, allocated, kRecreateLeakMarginMb));
}

}  // namespace vram
