#pragma once

#include "command_line.h"
#include "grid_choice.h"
#include "model/molecule_record.h"
#include "orbital_values.h"
#include "picture/renderer.h"

// A picture of one orbital without a display: its two lobes as shaded
// surfaces (positive red, negative blue) with the atoms and bonds.
namespace gridorb::exporter {

// `molecule` in Bohr, as the grid was laid out.
picture::Image renderOrbital(const ExportVolume& volume, const ExportGrid& grid, const MoleculeRecord& molecule,
                             const Options& options);

}  // namespace gridorb::exporter
