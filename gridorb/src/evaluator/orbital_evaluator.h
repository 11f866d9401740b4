#pragma once

#include <cstdint>

#include "model/coefficient_matrix.h"
#include "model/grid_frame.h"
#include "model/molecule_record.h"
#include "evaluator/volume_evaluation.h"
#include "model/orbital_volume.h"

// Step 6 of a run, the evaluation as the console shows it: the header
// records, then the volume (volume_evaluation) with each atom's progress
// record written as the evaluation reaches that atom.
namespace gridorb::evaluator {

// Writes the evaluator's console records, lays out the planes and fills
// `volume` with the rows of orbital `orbitalNumber` (column of the
// coefficients) that the volume file can show (evaluateVisible, working in
// `layouts`, with `helper` if given; `valuesInPlace` as there); returns the
// range of all its values. Molecule coordinates are in Bohr.
ValueRange evaluateOrbital(const MoleculeRecord& molecule, const CoefficientMatrix& coefficients,
                           std::int32_t orbitalNumber, GridFrame& frame, AtomLayouts& layouts, PackedVolume& volume,
                           std::uint32_t valuesInPlace, HelperThread* helper);

}  // namespace gridorb::evaluator
