// The benchmarks' main: Google Benchmark's, with the vector path that winsim runs (see
// shader/isa.h) in the context it prints first and on a line of its own.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>

#include "shader/isa.h"

int main(int argc, char** argv) {
    const char* isa = winsim::shader::isaName(winsim::shader::activeIsa());
    std::printf("vector path: %s (processor: %s)\n", isa, winsim::shader::isaName(winsim::shader::processorIsa()));
    benchmark::AddCustomContext("isa", isa);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
