#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Orbitals by number or by name (homo, lumo, homo-N, lumo+N), ranges A..B of
// these and "all"; and the labels that the front end shows for them.
namespace gridorb::exporter {

// The frontier orbitals of a molecule. The HOMO is half the electron count,
// rounded up for an odd count; none (0) when that lies outside the orbitals.
struct Frontier {
    std::int32_t orbitalCount = 0;
    std::int32_t homo = 0;  // 0: none
    std::int32_t lumo = 0;  // 0: none
};

Frontier frontierOf(std::int32_t electronCount, std::int32_t orbitalCount);

// "HOMO", "HOMO-2", "LUMO", "LUMO+1"; empty when the molecule has no HOMO to
// count from.
std::string orbitalLabel(std::int32_t orbital, const Frontier& frontier);

struct OrbitalNameError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The orbitals that the arguments name, ascending and each once. A name that
// does not parse or an orbital that does not exist is refused with a message
// that quotes the argument and gives the valid range.
std::vector<std::int32_t> selectOrbitals(const std::vector<std::string>& arguments, const Frontier& frontier);

}  // namespace gridorb::exporter
