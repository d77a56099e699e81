// The built vram_test binary, end to end on winsim machines.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/dxgi_format.h"

namespace {

struct HarnessRun {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines;
};

HarnessRun runHarness(const std::string& scenario, const std::string& args) {
    char errPath[] = "/tmp/vram_test_stderr_XXXXXX";
    const int fd = mkstemp(errPath);
    EXPECT_GE(fd, 0);
    close(fd);
    const std::string command =
        "WINSIM_SCENARIO=" + scenario + " '" VRAM_TEST_BINARY "' " + args + " 2>'" + errPath + "'";
    HarnessRun run;
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errPath);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    std::remove(errPath);
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
    return run;
}

// The labels of every row, in order, for `cycles` Test A cycles.
std::vector<std::string> rowLabels(int cycles) {
    std::vector<std::string> labels = {"baseline (D3D12 device only)", "after start (ring allocated)"};
    for (int c = 0; c < cycles; ++c) {
        char label[64];
        std::snprintf(label, sizeof label, "cycle %2d resumed", c);
        labels.push_back(label);
    }
    for (int r = 0; r < 4; ++r) {
        labels.push_back("destroy " + std::to_string(r));
        labels.push_back("recreate " + std::to_string(r));
    }
    for (int s = 0; s < 4; ++s) {
        labels.push_back("stop " + std::to_string(s));
        labels.push_back("resume " + std::to_string(s));
    }
    labels.push_back("after resume-on-running");
    labels.push_back("final (all destroyed)");
    return labels;
}

std::vector<std::string> rowsOf(const HarnessRun& run) {
    std::vector<std::string> labels;
    for (const auto& line : run.lines) {
        // A row is "[VRAM] " + a 30-column label + " " + a 5-column number + " MB".
        if (line.size() == 7 + 30 + 1 + 5 + 3 && line.compare(line.size() - 3, 3, " MB") == 0) {
            std::string label = line.substr(7, 30);
            label.erase(label.find_last_not_of(' ') + 1);
            labels.push_back(label);
        }
    }
    return labels;
}

bool has(const HarnessRun& run, const std::string& line) {
    return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

TEST(HarnessEndToEnd, HeadlessMachineRunsEveryTestWithNoSources) {
    const HarnessRun run = runHarness("headless", "1");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(rowsOf(run), rowLabels(1));
    EXPECT_TRUE(has(run, "[VRAM] 0 output(s) on adapter 0, using 0 capture source(s)"));
    EXPECT_TRUE(has(run, "[VRAM] === Test A: 1 x pause/resume (doze mechanism) ==="));
    EXPECT_TRUE(has(run, "[VRAM] === Test B: 4 x full destroy/recreate ==="));
    EXPECT_TRUE(has(run, "[VRAM] === Test C: 4 x stop()/resume() (doze lever) ==="));
    EXPECT_TRUE(has(run, "[VRAM] === Test D: resume() on running source (no crash) ==="));
    EXPECT_TRUE(has(run, "[VRAM] Test D survived (no crash)"));
    EXPECT_TRUE(has(run, "[VRAM] stop() floor ~4MB (baseline was 4MB) \u2014 drop 0MB"));
    EXPECT_TRUE(has(run, "[VRAM] SUMMARY: allocated=4MB  afterPause=4MB(+0)  afterRecreate=4MB(+0 vs allocated)"));
    EXPECT_EQ(run.lines.back(), "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat");
}

TEST(HarnessEndToEnd, WithoutVideoMemoryQueriesEveryReadingIsZero) {
    const HarnessRun run = runHarness("no-vram-query", "0");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(rowsOf(run), rowLabels(0));
    EXPECT_TRUE(has(run, "[VRAM] === Test A: 0 x pause/resume (doze mechanism) ==="));
    for (const auto& line : run.lines) {
        if (line.size() > 3 && line.compare(line.size() - 3, 3, " MB") == 0) {
            EXPECT_EQ(line.substr(line.size() - 5), " 0 MB") << line;
        }
    }
    EXPECT_TRUE(has(run, "[VRAM] SUMMARY: allocated=0MB  afterPause=0MB(+0)  afterRecreate=0MB(+0 vs allocated)"));
    EXPECT_EQ(run.lines.back(), "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat");
}

TEST(HarnessEndToEnd, FailingDeviceExitsWithOneLineOnStandardError) {
    const HarnessRun run = runHarness("no-d3d12", "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "D3D12CreateDevice failed\n");
    EXPECT_EQ(run.out, "");
}

TEST(HarnessEndToEnd, UnknownMachineFailsQuietlyOnStandardOutput) {
    const HarnessRun run = runHarness("no-such-machine", "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("unknown scenario"), std::string::npos);
}

// The MB reading of the row labelled `label`.
uint64_t reading(const HarnessRun& run, const std::string& label) {
    for (const auto& line : run.lines) {
        if (line.rfind("[VRAM] " + label + " ", 0) == 0) return std::stoull(line.substr(7 + 30 + 1, 5));
    }
    ADD_FAILURE() << "no row " << label;
    return 0;
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(HarnessEndToEnd, DefaultMachineCapturesBothOutputsAndReturnsToTheBaseline) {
    const HarnessRun run = runHarness("default", "2");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(has(run, "capture: output 1 HDR (scRGB FP16) \u2014 tone-mapping to sRGB, SDR white 240 nits")) << run.out;
    const uint64_t baseline = reading(run, "baseline (D3D12 device only)");
    // Two mipped rings (1920x1080 and 2560x1440) and the FP16 intermediate of the second.
    const uint64_t rings = 3 * (winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 1920, 1080, 11) +
                                winsim::gpu::textureBytes(DXGI_FORMAT_B8G8R8A8_UNORM, 2560, 1440, 12)) +
                           winsim::gpu::textureBytes(DXGI_FORMAT_R16G16B16A16_FLOAT, 2560, 1440, 1);
    EXPECT_GE(reading(run, "after start (ring allocated)"), baseline + (rings >> 20));
    EXPECT_EQ(reading(run, "final (all destroyed)"), baseline);
    EXPECT_EQ(run.lines.back(), "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat");
}

TEST(HarnessEndToEnd, LeakyDriverIsCalledOut) {
    // Eight cycles: even a source too busy to see every pause leaks well past the margin.
    const HarnessRun run = runHarness("leaky-driver", "8");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.lines.back(), "[VRAM] VERDICT: pause/resume LEAKS ; destroy/recreate LEAKS");
}

TEST(HarnessEndToEnd, HybridMachineRefusesOncePerSourceAndCompletes) {
    const HarnessRun run = runHarness("hybrid", "1");
    EXPECT_EQ(run.status, 0);
    // One source at the start and one new source for each of Test B's four rounds.
    EXPECT_EQ(count(run.err, "capture: DuplicateOutput failed (0x887a0004) \u2014 retrying (persistent UNSUPPORTED = "
                             "output on another GPU? hybrid graphics is not supported in v1)\n"),
              5u)
        << run.err;
    EXPECT_EQ(run.lines.back(), "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat");
}

TEST(HarnessEndToEnd, DefaultMachineCompletesWithOneSourceLimit) {
    const HarnessRun run = runHarness("default", "0 1");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(has(run, "[VRAM] 2 output(s) on adapter 0, using 1 capture source(s)"));
    EXPECT_EQ(rowsOf(run), rowLabels(0));
}

}  // namespace
