#pragma once

#include "model/grid_frame.h"
#include "model/molecule_record.h"

namespace gridorb::output {

inline constexpr const char* COORDINATE_FILE_NAME = "TARNEL.COR";
inline constexpr int COORDINATE_UNIT = 22;

// TARNEL.COR on unit 22, each atom line echoed on the console, then closed.
// The molecule's coordinates are in Bohr here.
void writeCoordinateFile(const MoleculeRecord& molecule, const GridFrame& frame);

}  // namespace gridorb::output
