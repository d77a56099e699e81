// A vram_test report read back into its readings, and drawn as an SVG chart.
#pragma once
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vram_chart {

struct Reading {
    std::string label;
    uint64_t mb = 0;
};

// The rows that one test of the run printed: readings[first] to readings[last].
struct Band {
    char test = '?';          // 'A' to 'D'
    std::string description;  // "4 x full destroy/recreate"
    size_t first = 0;
    size_t last = 0;
};

struct Report {
    std::vector<Reading> readings;  // every [VRAM] row, in order
    std::vector<Band> bands;
    std::optional<uint64_t> baseline;   // the Direct3D 12 device alone
    std::optional<uint64_t> allocated;  // the rings allocated: what both leak margins are measured from
    std::string verdict;                // "pause/resume flat ; destroy/recreate LEAKS"; empty when missing
};

// Reads a report as vram_test prints it. Lines that are not the harness's (the capture library's
// notices, blank lines) are skipped, so a report with notices in between reads the same.
Report parseReport(std::istream& in);

// The chart: one point per reading, the tests as shaded bands, the baseline, the allocated level
// and both leak margins as lines, the verdict in the title.
std::string renderSvg(const Report& report);

std::string escapeXml(std::string_view text);

}  // namespace vram_chart
