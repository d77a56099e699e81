#include "chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

#include "report.h"

namespace vram_chart {
namespace {

constexpr std::string_view kPrefix = "[VRAM] ";

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::optional<uint64_t> number(std::string_view digits) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty()) return std::nullopt;
    return value;
}

// "<label, padded> <mb> MB"
std::optional<Reading> row(std::string_view text) {
    if (!text.ends_with(" MB")) return std::nullopt;
    text.remove_suffix(3);
    size_t start = text.size();
    while (start > 0 && text[start - 1] >= '0' && text[start - 1] <= '9') --start;
    if (start == 0 || text[start - 1] != ' ') return std::nullopt;
    const auto mb = number(text.substr(start));
    const std::string_view label = trim(text.substr(0, start));
    if (!mb || label.empty()) return std::nullopt;
    return Reading{std::string(label), *mb};
}

// "=== Test A: 12 x pause/resume (doze mechanism) ==="
std::optional<Band> header(std::string_view text) {
    constexpr std::string_view open = "=== Test ", close = " ===";
    if (!text.starts_with(open) || !text.ends_with(close) || text.size() < open.size() + close.size() + 1)
        return std::nullopt;
    text = text.substr(open.size(), text.size() - open.size() - close.size());
    Band band;
    band.test = text.front();
    if (text.size() > 1 && text[1] == ':') band.description = std::string(trim(text.substr(2)));
    return band;
}

std::string fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A tick step of 1, 2 or 5 times a power of ten that cuts `span` into at most eight parts.
double tickStep(double span) {
    const double raw = span / 8.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= raw) return factor * power;
    return 10.0 * power;
}

}  // namespace

std::string escapeXml(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

Report parseReport(std::istream& in) {
    Report report;
    Band open;  // the test whose rows are being read, while isOpen
    bool isOpen = false;
    auto closeBand = [&] {
        if (isOpen && open.first < report.readings.size()) {
            open.last = report.readings.size() - 1;
            report.bands.push_back(open);
        }
        isOpen = false;
    };
    for (std::string line; std::getline(in, line);) {
        std::string_view text = trim(line);
        if (!text.starts_with(kPrefix)) continue;
        text = trim(text.substr(kPrefix.size()));
        if (auto reading = row(text)) {
            report.readings.push_back(*reading);
            if (!report.baseline && reading->label.starts_with("baseline")) report.baseline = reading->mb;
            if (!report.allocated && reading->label.starts_with("after start")) report.allocated = reading->mb;
        } else if (auto band = header(text)) {
            closeBand();
            open = std::move(*band);
            open.first = report.readings.size();
            isOpen = true;
        } else {
            // Any other line of the harness ends the test before it.
            closeBand();
            if (text.starts_with("SUMMARY:")) {
                const size_t at = text.find("allocated=");
                if (at != std::string_view::npos) {
                    std::string_view digits = text.substr(at + 10);
                    digits = digits.substr(0, digits.find_first_not_of("0123456789"));
                    if (auto mb = number(digits)) report.allocated = *mb;
                }
            } else if (text.starts_with("VERDICT:")) {
                report.verdict = std::string(trim(text.substr(8)));
            }
        }
    }
    closeBand();
    return report;
}

std::string renderSvg(const Report& report) {
    constexpr double width = 960, height = 520, left = 100, right = 720, top = 60, bottom = 350;
    const size_t count = std::max<size_t>(report.readings.size(), 1);

    struct Level {
        const char* name;
        const char* colour;
        const char* dash;
        std::string caption;
        uint64_t mb;
    };
    std::vector<Level> levels;
    if (report.baseline) levels.push_back({"baseline", "#7f7f7f", "4 3", "baseline", *report.baseline});
    if (report.allocated) {
        const uint64_t allocated = *report.allocated;
        levels.push_back({"allocated", "#1f77b4", "", "allocated", allocated});
        levels.push_back({"pause-margin", "#e08a00", "6 3",
                          "pause leak: allocated + " + std::to_string(vram::kPauseLeakMarginMb),
                          allocated + vram::kPauseLeakMarginMb});
        levels.push_back({"recreate-margin", "#d62728", "6 3",
                          "recreate leak: allocated + " + std::to_string(vram::kRecreateLeakMarginMb),
                          allocated + vram::kRecreateLeakMarginMb});
    }

    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const Reading& reading : report.readings) {
        low = std::min(low, double(reading.mb));
        high = std::max(high, double(reading.mb));
    }
    for (const Level& level : levels) {
        low = std::min(low, double(level.mb));
        high = std::max(high, double(level.mb));
    }
    if (!(low <= high)) low = high = 0;
    const double step = tickStep(std::max(high - low, 8.0));
    const double axisLow = std::floor(low / step) * step;
    double axisHigh = std::ceil(high / step) * step;
    if (axisHigh <= axisLow) axisHigh = axisLow + step;

    const double slot = (right - left) / double(count);
    auto x = [&](size_t index) { return left + (double(index) + 0.5) * slot; };
    auto y = [&](double mb) { return bottom - (mb - axisLow) / (axisHigh - axisLow) * (bottom - top); };

    const bool leaks = report.verdict.find("LEAKS") != std::string::npos;
    const std::string title =
        "vram_test: " + (report.verdict.empty() ? std::string("no verdict (incomplete report)") : report.verdict);

    std::string svg;
    auto add = [&svg](const std::string& text) { svg += text + "\n"; };
    add("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    add("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fixed(width) + "\" height=\"" + fixed(height) +
        "\" viewBox=\"0 0 " + fixed(width) + " " + fixed(height) + "\" font-family=\"sans-serif\" font-size=\"11\">");
    add("<title>" + escapeXml(title) + "</title>");
    add("<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>");
    add("<text class=\"title\" x=\"" + fixed(left) + "\" y=\"28\" font-size=\"16\" font-weight=\"bold\" fill=\"" +
        (leaks ? "#d62728" : "#222222") + "\">" + escapeXml(title) + "</text>");

    static const char* const bandColours[] = {"#4e79a7", "#f28e2b", "#59a14f", "#b07aa1"};
    add("<g class=\"bands\">");
    for (size_t i = 0; i < report.bands.size(); ++i) {
        const Band& band = report.bands[i];
        const double from = x(band.first) - slot / 2, to = x(band.last) + slot / 2;
        add("<g class=\"band\" data-test=\"" + escapeXml(std::string(1, band.test)) + "\"><title>Test " +
            escapeXml(std::string(1, band.test)) + ": " + escapeXml(band.description) + "</title>");
        add("<rect x=\"" + fixed(from) + "\" y=\"" + fixed(top) + "\" width=\"" + fixed(to - from) + "\" height=\"" +
            fixed(bottom - top) + "\" fill=\"" + bandColours[i % 4] + "\" fill-opacity=\"0.15\"/>");
        add("<text x=\"" + fixed((from + to) / 2) + "\" y=\"" + fixed(top - 6) +
            "\" text-anchor=\"middle\" font-weight=\"bold\">Test " + escapeXml(std::string(1, band.test)) + "</text>");
        add("</g>");
    }
    add("</g>");

    add("<g class=\"axis\" stroke=\"#dddddd\">");
    for (double tick = axisLow; tick <= axisHigh + step / 2; tick += step) {
        add("<line x1=\"" + fixed(left) + "\" x2=\"" + fixed(right) + "\" y1=\"" + fixed(y(tick)) + "\" y2=\"" +
            fixed(y(tick)) + "\"/>");
        add("<text x=\"" + fixed(left - 6) + "\" y=\"" + fixed(y(tick) + 4) +
            "\" text-anchor=\"end\" stroke=\"none\" fill=\"#444444\">" + std::to_string(uint64_t(tick)) + "</text>");
    }
    add("<text transform=\"translate(" + fixed(left - 48) + " " + fixed((top + bottom) / 2) +
        ") rotate(-90)\" text-anchor=\"middle\" stroke=\"none\" fill=\"#444444\">local video memory in use (MiB)</text>");
    add("</g>");

    // Captions of levels close together are pushed apart, top to bottom, to stay readable.
    std::sort(levels.begin(), levels.end(), [](const Level& a, const Level& b) { return a.mb > b.mb; });
    std::vector<double> captionY;
    for (const Level& level : levels)
        captionY.push_back(std::max(y(double(level.mb)) + 4, captionY.empty() ? -HUGE_VAL : captionY.back() + 13));
    add("<g class=\"levels\">");
    for (size_t i = 0; i < levels.size(); ++i) {
        const Level& level = levels[i];
        add("<line class=\"level " + std::string(level.name) + "\" data-mb=\"" + std::to_string(level.mb) + "\" x1=\"" +
            fixed(left) + "\" x2=\"" + fixed(right) + "\" y1=\"" + fixed(y(double(level.mb))) + "\" y2=\"" +
            fixed(y(double(level.mb))) + "\" stroke=\"" + level.colour + "\" stroke-width=\"1.5\"" +
            (*level.dash ? " stroke-dasharray=\"" + std::string(level.dash) + "\"" : std::string()) + "/>");
        add("<text x=\"" + fixed(right + 6) + "\" y=\"" + fixed(captionY[i]) + "\" fill=\"" + level.colour +
            "\">" + escapeXml(level.caption) + " (" + std::to_string(level.mb) + ")</text>");
    }
    add("</g>");

    std::string points;
    for (size_t i = 0; i < report.readings.size(); ++i)
    {
        if (i) points += ' ';
        points += fixed(x(i));
        points += ',';
        points += fixed(y(double(report.readings[i].mb)));
    }
    add("<polyline points=\"" + points + "\" fill=\"none\" stroke=\"#333333\" stroke-width=\"1.2\"/>");
    add("<g class=\"readings\" fill=\"#333333\">");
    for (size_t i = 0; i < report.readings.size(); ++i) {
        const Reading& reading = report.readings[i];
        add("<circle cx=\"" + fixed(x(i)) + "\" cy=\"" + fixed(y(double(reading.mb))) + "\" r=\"3.5\" data-mb=\"" +
            std::to_string(reading.mb) + "\"><title>" + escapeXml(reading.label) + ": " + std::to_string(reading.mb) +
            " MiB</title></circle>");
        add("<text transform=\"translate(" + fixed(x(i) + 3) + " " + fixed(bottom + 10) +
            ") rotate(-60)\" text-anchor=\"end\" font-size=\"10\" fill=\"#444444\">" + escapeXml(reading.label) +
            "</text>");
    }
    add("</g>");
    add("</svg>");
    return svg;
}

}  // namespace vram_chart
