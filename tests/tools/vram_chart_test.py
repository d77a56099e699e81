#!/usr/bin/env python3
"""vram_chart on reports of real vram_test runs, its SVG read back with an XML parser.

Usage: vram_chart_test.py VRAM_CHART SOURCE_DIR

For each report in tests/tools/data: the SVG parses; the title carries the report's verdict; there
is one point per [VRAM] row, in order, with the row's reading; the points and the level lines
share one scale; the levels are the baseline row, the summary's allocated figure and the two leak
margins of vram_test/report.h above it; each test's band spans exactly the points of its rows.
The charts in docs/ are what vram_chart makes of these reports today.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
ROW = re.compile(r"^\[VRAM\] (.*\S)\s+(\d+) MB$")
HEADER = re.compile(r"^\[VRAM\] === Test ([A-D]):")

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def margins(source):
    with open(os.path.join(source, "vram_test", "report.h")) as f:
        text = f.read()
    def value(name):
        return int(re.search(name + r"\s*=\s*(\d+)", text).group(1))
    return value("kPauseLeakMarginMb"), value("kRecreateLeakMarginMb")


def expected(report):
    """The rows, the bands (test -> row indices) and the summary figures of a report."""
    rows, bands, test = [], {}, None
    allocated = verdict = None
    for line in report.splitlines():
        row = ROW.match(line)
        header = HEADER.match(line)
        if row:
            rows.append(int(row.group(2)))
            if test:
                bands.setdefault(test, []).append(len(rows) - 1)
        elif header:
            test = header.group(1)
        elif line.startswith("[VRAM]"):
            test = None
            m = re.search(r"SUMMARY: allocated=(\d+)MB", line)
            if m:
                allocated = int(m.group(1))
            m = re.search(r"VERDICT: (.*)$", line)
            if m:
                verdict = m.group(1).strip()
    return rows, bands, allocated, verdict


def chart(binary, report_path):
    with open(report_path, "rb") as report:
        result = subprocess.run([binary], stdin=report, capture_output=True, check=False)
    check(result.returncode == 0, f"{report_path}: exit status {result.returncode}")
    return result.stdout


def check_chart(name, svg, report, pause_margin, recreate_margin):
    rows, bands, allocated, verdict = expected(report)
    root = ET.fromstring(svg)
    check(root.tag == SVG + "svg", f"{name}: root is {root.tag}")
    title = root.find(SVG + "title").text
    check(verdict and verdict in title, f"{name}: title {title!r} lacks the verdict {verdict!r}")

    circles = root.findall(f".//{SVG}g[@class='readings']/{SVG}circle")
    check([int(c.get("data-mb")) for c in circles] == rows, f"{name}: points do not match the rows")
    xs = [float(c.get("cx")) for c in circles]
    check(xs == sorted(xs) and len(set(xs)) == len(xs), f"{name}: points are not in row order")

    levels = {line.get("class").split()[1]: line for line in root.iter(SVG + "line")
              if (line.get("class") or "").startswith("level ")}
    wanted = {"baseline": rows[0], "allocated": allocated,
              "pause-margin": allocated + pause_margin, "recreate-margin": allocated + recreate_margin}
    for level, mb in wanted.items():
        check(level in levels and int(levels[level].get("data-mb")) == mb, f"{name}: level {level} is not at {mb}")

    # One linear scale for points and lines; more MiB is higher up.
    marks = [(int(c.get("data-mb")), float(c.get("cy"))) for c in circles]
    marks += [(int(l.get("data-mb")), float(l.get("y1"))) for l in levels.values()]
    low, high = min(marks), max(marks)
    check(high[0] > low[0] and high[1] < low[1], f"{name}: the scale is not upright")
    slope = (high[1] - low[1]) / (high[0] - low[0])
    for mb, y in marks:
        check(abs(low[1] + (mb - low[0]) * slope - y) < 0.2, f"{name}: {mb} MiB drawn at {y}, off the scale")

    drawn = {g.get("data-test"): g.find(SVG + "rect") for g in root.iter(SVG + "g") if g.get("class") == "band"}
    check(sorted(drawn) == sorted(bands), f"{name}: bands {sorted(drawn)}, tests {sorted(bands)}")
    for test, indices in bands.items():
        if test not in drawn:
            continue
        left = float(drawn[test].get("x"))
        right = left + float(drawn[test].get("width"))
        inside = [i for i, x in enumerate(xs) if left < x < right]
        check(inside == indices, f"{name}: band {test} covers rows {inside}, not {indices}")


def main():
    binary, source = sys.argv[1], sys.argv[2]
    pause_margin, recreate_margin = margins(source)
    data = os.path.join(source, "tests", "tools", "data")
    reports = sorted(f for f in os.listdir(data) if f.startswith("vram-") and f.endswith(".txt"))
    check(len(reports) >= 2, "fewer than two sample reports")
    for report in reports:
        path = os.path.join(data, report)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        svg = chart(binary, path)
        check_chart(report, svg, text, pause_margin, recreate_margin)
        doc = os.path.join(source, "docs", report[:-4] + ".svg")
        if os.path.exists(doc):
            with open(doc, "rb") as f:
                check(f.read() == svg, f"{doc} is not what vram_chart makes of {report}: regenerate it")

    empty = subprocess.run([binary], input=b"no report here\n", capture_output=True, check=False)
    check(empty.returncode == 1 and not empty.stdout, "a report without readings is not refused")

    for failure in failures:
        print("FAIL:", failure)
    print(f"vram_chart_svg: {len(reports)} reports, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
