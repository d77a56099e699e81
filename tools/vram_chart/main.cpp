// vram_chart: reads a vram_test report on standard input and writes an SVG chart of its readings.
//   vram_test | vram_chart > vram.svg
#include <cstdio>
#include <iostream>

#include "chart.h"

int main(int argc, char**) {
    if (argc > 1) {
        std::fputs("usage: vram_test | vram_chart > vram.svg\n", stderr);
        return 2;
    }
    const vram_chart::Report report = vram_chart::parseReport(std::cin);
    if (report.readings.empty()) {
        std::fputs("vram_chart: no [VRAM] readings on standard input\n", stderr);
        return 1;
    }
    std::cout << vram_chart::renderSvg(report);
    return std::cout.good() ? 0 : 1;
}
