// The DPI awareness settings of an application manifest, read as "Setting the default DPI
// awareness for a process" in the Windows documentation describes them:
// - <dpiAwareness> (Windows 10 1607 on) holds a comma-separated list; the first value the system
//   recognises wins (PerMonitorV2, PerMonitor, System, Unaware); a list with none it recognises
//   leaves the process unaware. When present it overrides <dpiAware>.
// - <dpiAware> (Vista on): "true/pm" or "per monitor" is per-monitor aware, any other value
//   beginning with T ("true") system aware, anything else ("false") unaware.
// Values are read without regard to case or surrounding spaces, and elements whatever their
// namespace prefix. Commented-out elements do not count.
#include "machine/manifest.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <optional>
#include <string>

#include "winsim/manifest.h"

namespace winsim {
namespace {

constexpr intptr_t kUnaware = -1;
constexpr intptr_t kSystem = -2;
constexpr intptr_t kPerMonitor = -3;
constexpr intptr_t kPerMonitorV2 = -4;

std::string lowerTrimmed(std::string_view text) {
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string withoutComments(std::string_view xml) {
    std::string out;
    for (size_t at = 0; at < xml.size();) {
        const size_t open = xml.find("<!--", at);
        out.append(xml.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at));
        if (open == std::string_view::npos) break;
        const size_t close = xml.find("-->", open + 4);
        at = close == std::string_view::npos ? xml.size() : close + 3;
    }
    return out;
}

bool nameEndsAt(std::string_view xml, size_t at) {
    return at < xml.size() && (xml[at] == '>' || xml[at] == '/' || std::isspace(static_cast<unsigned char>(xml[at])));
}

// The text of the first element called `name` (with or without a namespace prefix); nullopt when
// there is none.
std::optional<std::string_view> elementText(std::string_view xml, std::string_view name) {
    for (size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at + 1)) {
        size_t start = at + 1;
        const size_t colon = xml.find_first_of(":>/ \t\r\n", start);
        if (colon != std::string_view::npos && xml[colon] == ':') start = colon + 1;
        if (xml.substr(start, name.size()) != name || !nameEndsAt(xml, start + name.size())) continue;
        const size_t tagEnd = xml.find('>', start);
        if (tagEnd == std::string_view::npos) return std::nullopt;
        if (xml[tagEnd - 1] == '/') return std::string_view();  // <name/>
        const size_t textEnd = xml.find('<', tagEnd + 1);
        return xml.substr(tagEnd + 1, (textEnd == std::string_view::npos ? xml.size() : textEnd) - tagEnd - 1);
    }
    return std::nullopt;
}

std::optional<intptr_t> awarenessValue(const std::string& value) {
    if (value == "permonitorv2") return kPerMonitorV2;
    if (value == "permonitor") return kPerMonitor;
    if (value == "system") return kSystem;
    if (value == "unaware") return kUnaware;
    return std::nullopt;
}

intptr_t fromDpiAwareness(std::string_view list) {
    for (size_t at = 0; at <= list.size();) {
        const size_t comma = std::min(list.find(',', at), list.size());
        if (const auto value = awarenessValue(lowerTrimmed(list.substr(at, comma - at)))) return *value;
        at = comma + 1;
    }
    return kUnaware;
}

intptr_t fromDpiAware(std::string_view text) {
    const std::string value = lowerTrimmed(text);
    if (value == "true/pm" || value == "per monitor") return kPerMonitor;
    return !value.empty() && value[0] == 't' ? kSystem : kUnaware;
}

std::atomic<intptr_t>& registered() {
    static std::atomic<intptr_t> context{0};
    return context;
}

}  // namespace

intptr_t manifestDpiContext(std::string_view xml) {
    const std::string text = withoutComments(xml);
    if (const auto list = elementText(text, "dpiAwareness")) return fromDpiAwareness(*list);
    if (const auto value = elementText(text, "dpiAware")) return fromDpiAware(*value);
    return 0;
}

intptr_t applicationManifestDpiContext() { return registered().load(); }

void setApplicationManifest(const char* text) { registered() = text ? manifestDpiContext(text) : 0; }

}  // namespace winsim
