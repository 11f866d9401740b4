#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "grid_choice.h"
#include "orbital_values.h"

// The Gaussian cube file of one orbital: two comment lines, the atom count
// and the origin, the point count and step vector of each axis, one line per
// atom, then the values with x slowest and z fastest, six to a line in
// %13.5E form and a new line after each run of z. Lengths in Bohr, values in
// atomic units, '.' as decimal point, LF line ends.
namespace gridorb::exporter {

struct CubeAtom {
    int atomicNumber = 0;
    std::array<float, 3> position{};  // Bohr
};

struct CubeHeader {
    std::string comment1;
    std::string comment2;
    std::vector<CubeAtom> atoms;
};

// Receives the file's bytes, a piece at a time, in order.
using ByteSink = std::function<void(std::string_view)>;

void writeCube(const CubeHeader& header, const ExportGrid& grid, const ExportVolume& volume, const ByteSink& sink);

// One value in %13.5E form (13 characters; a zero of either sign as
// " 0.00000E+00"). Exposed for its tests.
void formatValue(float value, char* field);

// One length in %12.6f form, with a blank before it should it fill all 12.
std::string formatLength(double value);

}  // namespace gridorb::exporter
