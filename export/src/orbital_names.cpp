#include "orbital_names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <set>

namespace gridorb::exporter {
namespace {

std::string lowered(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// Decimal digits only, no sign; nothing when anything else is there or the
// value is far beyond any orbital count.
std::optional<std::int64_t> digitsValue(std::string_view text) {
    if (text.empty() || text.size() > 9 || text[0] < '0' || text[0] > '9') return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string validRange(const Frontier& frontier) {
    std::string text = "orbitals 1 to " + std::to_string(frontier.orbitalCount);
    if (frontier.homo > 0) text += ", HOMO " + std::to_string(frontier.homo);
    if (frontier.lumo > 0) text += ", LUMO " + std::to_string(frontier.lumo);
    return text;
}

[[noreturn]] void refuse(std::string_view argument, std::string_view why, const Frontier& frontier) {
    throw OrbitalNameError("orbital '" + std::string(argument) + "': " + std::string(why) + " (" +
                           validRange(frontier) + ")");
}

// One orbital: a number, homo, lumo, homo-N or lumo+N.
std::int64_t orbitalOf(std::string_view term, std::string_view argument, const Frontier& frontier) {
    const std::string name = lowered(term);
    if (auto number = digitsValue(name)) return *number;
    for (std::string_view base : {"homo", "lumo"}) {
        if (name.compare(0, base.size(), base) != 0) continue;
        const bool isHomo = base == "homo";
        const std::int32_t reference = isHomo ? frontier.homo : frontier.lumo;
        std::int64_t offset = 0;
        if (name.size() > base.size()) {
            const char sign = name[base.size()];
            auto count = digitsValue(std::string_view(name).substr(base.size() + 1));
            if (sign != (isHomo ? '-' : '+') || !count) {
                refuse(argument, isHomo ? "write homo-N with N a whole number" : "write lumo+N with N a whole number",
                       frontier);
            }
            offset = isHomo ? -*count : *count;
        }
        if (reference == 0) refuse(argument, isHomo ? "the molecule has no HOMO" : "the molecule has no LUMO", frontier);
        return reference + offset;
    }
    refuse(argument, "not a number, homo, lumo, homo-N, lumo+N, a range A..B or all", frontier);
}

std::int32_t existing(std::int64_t orbital, std::string_view argument, const Frontier& frontier) {
    if (orbital < 1 || orbital > frontier.orbitalCount) {
        refuse(argument, "orbital " + std::to_string(orbital) + " does not exist", frontier);
    }
    return static_cast<std::int32_t>(orbital);
}

}  // namespace

Frontier frontierOf(std::int32_t electronCount, std::int32_t orbitalCount) {
    Frontier frontier;
    frontier.orbitalCount = orbitalCount;
    const std::int64_t homo = (static_cast<std::int64_t>(electronCount) + 1) / 2;
    if (homo >= 1 && homo <= orbitalCount) frontier.homo = static_cast<std::int32_t>(homo);
    if (homo >= 0 && homo + 1 <= orbitalCount) frontier.lumo = static_cast<std::int32_t>(homo + 1);
    return frontier;
}

std::string orbitalLabel(std::int32_t orbital, const Frontier& frontier) {
    if (frontier.homo > 0 && orbital <= frontier.homo) {
        return orbital == frontier.homo ? "HOMO" : "HOMO-" + std::to_string(frontier.homo - orbital);
    }
    if (frontier.lumo > 0 && orbital >= frontier.lumo) {
        return orbital == frontier.lumo ? "LUMO" : "LUMO+" + std::to_string(orbital - frontier.lumo);
    }
    return "";
}

std::vector<std::int32_t> selectOrbitals(const std::vector<std::string>& arguments, const Frontier& frontier) {
    std::set<std::int32_t> chosen;
    for (const std::string& argument : arguments) {
        if (lowered(argument) == "all") {
            for (std::int32_t m = 1; m <= frontier.orbitalCount; ++m) chosen.insert(m);
            continue;
        }
        const std::size_t dots = argument.find("..");
        if (dots == std::string::npos) {
            chosen.insert(existing(orbitalOf(argument, argument, frontier), argument, frontier));
            continue;
        }
        const std::string_view text(argument);
        const std::int32_t first = existing(orbitalOf(text.substr(0, dots), argument, frontier), argument, frontier);
        const std::int32_t last = existing(orbitalOf(text.substr(dots + 2), argument, frontier), argument, frontier);
        if (first > last) {
            refuse(argument, "the range runs from " + std::to_string(first) + " down to " + std::to_string(last),
                   frontier);
        }
        for (std::int32_t m = first; m <= last; ++m) chosen.insert(m);
    }
    return {chosen.begin(), chosen.end()};
}

}  // namespace gridorb::exporter
