// vram_chart's reading of a report: which lines are readings, where each test's band begins and
// ends, and where the levels come from when the report is cut short.
#include <gtest/gtest.h>

#include <sstream>

#include "chart.h"

namespace {

using vram_chart::parseReport;
using vram_chart::Report;

Report parse(const std::string& text) {
    std::istringstream in(text);
    return parseReport(in);
}

constexpr const char* kShortRun =
    "[VRAM] baseline (D3D12 device only)       4 MB\n"
    "[VRAM] 2 output(s) on adapter 0, using 2 capture source(s)\n"
    "capture: output 0 \"\\\\.\\DISPLAY1\" 1920x1080, 11 mips, 3-buffer ring\n"
    "[VRAM] after start (ring allocated)     161 MB\n"
    "\n"
    "[VRAM] === Test A: 2 x pause/resume (doze mechanism) ===\n"
    "[VRAM] cycle  0 resumed                 161 MB\n"
    "[VRAM] cycle  1 resumed                 169 MB\n"
    "\n"
    "[VRAM] === Test B: 4 x full destroy/recreate ===\n"
    "[VRAM] destroy 0                          4 MB\n"
    "capture: output 0 \"\\\\.\\DISPLAY1\" 1920x1080, 11 mips, 3-buffer ring\n"
    "[VRAM] recreate 0                       177 MB\n"
    "\n"
    "[VRAM] === Test D: resume() on running source (no crash) ===\n"
    "[VRAM] after resume-on-running          177 MB\n"
    "[VRAM] Test D survived (no crash)\n"
    "[VRAM] stop() floor ~4MB (baseline was 177MB) \u2014 drop 173MB\n"
    "[VRAM] final (all destroyed)             12 MB\n"
    "\n"
    "[VRAM] SUMMARY: allocated=160MB  afterPause=169MB(+9)  afterRecreate=177MB(+17 vs allocated)\n"
    "[VRAM] VERDICT: pause/resume flat ; destroy/recreate flat\n";

TEST(VramChartParse, ReadsEveryRowAndNothingElse) {
    const Report report = parse(kShortRun);
    ASSERT_EQ(report.readings.size(), 8u);
    EXPECT_EQ(report.readings[0].label, "baseline (D3D12 device only)");
    EXPECT_EQ(report.readings[0].mb, 4u);
    EXPECT_EQ(report.readings[2].label, "cycle  0 resumed");  // inner spacing kept, padding dropped
    EXPECT_EQ(report.readings[3].mb, 169u);
    EXPECT_EQ(report.readings[7].label, "final (all destroyed)");
    EXPECT_EQ(report.readings[7].mb, 12u);
    EXPECT_EQ(*report.baseline, 4u);
    // The summary's figure wins over the row's: it is what the verdict was measured from.
    EXPECT_EQ(*report.allocated, 160u);
    EXPECT_EQ(report.verdict, "pause/resume flat ; destroy/recreate flat");
}

TEST(VramChartParse, BandsHoldTheirTestsRowsOnly) {
    const Report report = parse(kShortRun);
    ASSERT_EQ(report.bands.size(), 3u);
    EXPECT_EQ(report.bands[0].test, 'A');
    EXPECT_EQ(report.bands[0].description, "2 x pause/resume (doze mechanism)");
    EXPECT_EQ(report.bands[0].first, 2u);
    EXPECT_EQ(report.bands[0].last, 3u);
    // The capture library's notice inside Test B does not end it.
    EXPECT_EQ(report.bands[1].test, 'B');
    EXPECT_EQ(report.bands[1].first, 4u);
    EXPECT_EQ(report.bands[1].last, 5u);
    // "final" follows Test D's closing lines and is not part of it.
    EXPECT_EQ(report.bands[2].test, 'D');
    EXPECT_EQ(report.bands[2].first, 6u);
    EXPECT_EQ(report.bands[2].last, 6u);
}

TEST(VramChartParse, ACutShortReportStillCharts) {
    const Report report = parse(
        "[VRAM] baseline (D3D12 device only)       4 MB\r\n"
        "[VRAM] after start (ring allocated)     161 MB\r\n"
        "[VRAM] === Test A: 0 x pause/resume (doze mechanism) ===\r\n"
        "[VRAM] === Test B: 4 x full destroy/recreate ===\r\n"
        "[VRAM] destroy 0                          4 MB\r\n");
    ASSERT_EQ(report.readings.size(), 3u);
    EXPECT_EQ(*report.allocated, 161u);  // from the row, without a summary
    EXPECT_TRUE(report.verdict.empty());
    ASSERT_EQ(report.bands.size(), 1u);  // Test A ran no cycle: no band
    EXPECT_EQ(report.bands[0].test, 'B');
    EXPECT_NE(vram_chart::renderSvg(report).find("no verdict"), std::string::npos);
}

TEST(VramChartParse, LinesThatOnlyLookLikeRowsAreNotReadings) {
    const Report report = parse(
        "capture: ring of 3 at 161 MB\n"                      // not the harness's
        "[VRAM] stop() floor ~4MB (baseline was 161MB) \u2014 drop 157MB\n"
        "[VRAM] MB\n"
        "[VRAM] 12 MB\n"                                       // no label
        "[VRAM] label x12 MB\n");                              // no space before the number
    EXPECT_TRUE(report.readings.empty());
    EXPECT_FALSE(report.baseline);
    EXPECT_FALSE(report.allocated);
}

TEST(VramChartRender, LabelsAreEscaped) {
    const Report report = parse("[VRAM] a <b> & \"c\"   7 MB\n");
    const std::string svg = vram_chart::renderSvg(report);
    EXPECT_NE(svg.find("a &lt;b&gt; &amp; &quot;c&quot;: 7 MiB"), std::string::npos);
    EXPECT_EQ(svg.find("<b>"), std::string::npos);
}

}  // namespace
