// The variants a machine can carry: their names, and the list WINSIM_VARIANTS gives.
#include <array>
#include <string>

#include "winsim/machine.h"

namespace winsim {
namespace {

struct Named {
    const char* name;
    bool Variants::*flag;
};

constexpr std::array<Named, 7> kVariants{{
    {"mode-format-scanout", &Variants::modeFormatScanout},
    {"d3d12-single-mip-sharing", &Variants::d3d12SingleMipSharing},
    {"dpi-process", &Variants::dpiProcess},
    {"format-flicker", &Variants::formatFlicker},
    {"sdr-white-hdr-only", &Variants::sdrWhiteHdrOnly},
    {"sleep-denies", &Variants::sleepDenies},
    {"reparented", &Variants::reparented},
}};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Sets the variant `name` names (every one for "all"); false for a name that is none.
bool add(std::string_view name, Variants& out) {
    if (name == "all") {
        for (const auto& variant : kVariants) out.*variant.flag = true;
        return true;
    }
    for (const auto& variant : kVariants) {
        if (name != variant.name) continue;
        out.*variant.flag = true;
        return true;
    }
    return false;
}

}  // namespace

bool parseVariants(std::string_view list, Variants& out, std::string* bad) {
    Variants parsed = out;
    while (!list.empty()) {
        const size_t comma = list.find(',');
        const std::string_view name = trimmed(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        if (name.empty() || add(name, parsed)) continue;
        if (bad) *bad = std::string(name);
        return false;
    }
    out = parsed;
    return true;
}

std::vector<std::string> variantNames() {
    std::vector<std::string> names;
    for (const auto& variant : kVariants) names.emplace_back(variant.name);
    return names;
}

}  // namespace winsim
