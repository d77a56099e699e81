// The harness's argument parsing, labels, report lines and verdict.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "report.h"

namespace {

vram::Arguments parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vram_test");
    return vram::parseArguments(static_cast<int>(args.size()), args.data());
}

TEST(Arguments, TableOfPositionalArguments) {
    EXPECT_EQ(parse({}).cycles, 12);
    EXPECT_EQ(parse({}).sourceCount, 0);
    EXPECT_EQ(parse({"3"}).cycles, 3);
    EXPECT_EQ(parse({"3"}).sourceCount, 0);
    EXPECT_EQ(parse({"3", "1"}).sourceCount, 1);
    EXPECT_EQ(parse({"3", "1", "9"}).sourceCount, 1);
    EXPECT_EQ(parse({"0"}).cycles, 0);
    EXPECT_EQ(parse({"-4"}).cycles, -4);
    EXPECT_EQ(parse({"abc"}).cycles, 0);
}

TEST(Arguments, ParsesAsAtoiAndClampsOutOfRange) {
    EXPECT_EQ(vram::parseCount("  \t+17xyz"), 17);
    EXPECT_EQ(vram::parseCount("-"), 0);
    EXPECT_EQ(vram::parseCount(""), 0);
    EXPECT_EQ(vram::parseCount(" - 5"), 0);
    EXPECT_EQ(vram::parseCount("2147483647"), INT_MAX);
    EXPECT_EQ(vram::parseCount("-2147483648"), INT_MIN);
    EXPECT_EQ(vram::parseCount("2147483648"), INT_MAX);
    EXPECT_EQ(vram::parseCount("-2147483649"), INT_MIN);
    EXPECT_EQ(vram::parseCount("99999999999999999999999999999999"), INT_MAX);
    EXPECT_EQ(vram::parseCount("-99999999999999999999999999999999"), INT_MIN);
    EXPECT_EQ(vram::parseCount("000000000000000000000042"), 42);
}

TEST(Arguments, SourceCountFallsBackToEveryOutput) {
    EXPECT_EQ(vram::clampSourceCount(0, 2), 2);
    EXPECT_EQ(vram::clampSourceCount(-1, 2), 2);
    EXPECT_EQ(vram::clampSourceCount(3, 2), 2);
    EXPECT_EQ(vram::clampSourceCount(1, 2), 1);
    EXPECT_EQ(vram::clampSourceCount(5, 0), 0);
}

TEST(Report, LabelsAndRowsKeepTheirColumns) {
    EXPECT_EQ(vram::numberedLabel("cycle %2d resumed", 3), "cycle  3 resumed");
    EXPECT_EQ(vram::numberedLabel("cycle %2d resumed", 11), "cycle 11 resumed");
    EXPECT_EQ(vram::numberedLabel("cycle %2d resumed", 123), "cycle 123 resumed");
    EXPECT_EQ(vram::rowLine("destroy 0", 42), "[VRAM] destroy 0                         42 MB\n");
    EXPECT_EQ(vram::rowLine("cycle 123 resumed", 123456), "[VRAM] cycle 123 resumed              123456 MB\n");
    EXPECT_EQ(vram::rowLine("after start (ring allocated)", 7), "[VRAM] after start (ring allocated)       7 MB\n");
    EXPECT_EQ(vram::numberedLabel("cycle %2d resumed", INT_MIN), "cycle -2147483648 resumed");
}

TEST(Report, VerdictIsStrictAtBothMargins) {
    EXPECT_STREQ(vram::leakWord(130, 100, 30), "flat");
    EXPECT_STREQ(vram::leakWord(131, 100, 30), "LEAKS");
    EXPECT_STREQ(vram::leakWord(0, 100, 30), "flat");
    EXPECT_EQ(vram::verdictLine(100, 130, 160), "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat\n");
    EXPECT_EQ(vram::verdictLine(100, 131, 161), "[VRAM] VERDICT: pause/resume LEAKS ; destroy/recreate LEAKS\n");
}

TEST(Report, SummaryAndFloorPrintSignedDifferences) {
    EXPECT_EQ(vram::summaryLine(0, 0, 0),
              "\n[VRAM] SUMMARY: allocated=0MB  afterPause=0MB(+0)  afterRecreate=0MB(+0 vs allocated)\n");
    EXPECT_EQ(vram::summaryLine(100, 90, 160),
              "\n[VRAM] SUMMARY: allocated=100MB  afterPause=90MB(-10)  afterRecreate=160MB(+60 vs allocated)\n");
    EXPECT_EQ(vram::floorLine(50, 80, 45), "[VRAM] stop() floor ~50MB (baseline was 80MB) \u2014 drop -5MB\n");
    EXPECT_EQ(vram::floorLine(50, 80, 75), "[VRAM] stop() floor ~50MB (baseline was 80MB) \u2014 drop 25MB\n");
    EXPECT_EQ(vram::outputsLine(0, 0), "[VRAM] 0 output(s) on adapter 0, using 0 capture source(s)\n");
}

}  // namespace
