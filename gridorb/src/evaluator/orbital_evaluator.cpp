#include "evaluator/orbital_evaluator.h"

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "records/formatted_write.h"
#include "records/list_write.h"

namespace gridorb::evaluator {
namespace {

constexpr int CONSOLE = 6;

void writeCountingPass(const MoleculeRecord& molecule, int atomCount) {
    std::int32_t count = 0;
    for (int i = 0; i < atomCount; ++i) {
        const std::int32_t z = molecule.atomicNumbers[i];
        count += basis::countedFunctions(z);
        if (z > 18) records::ListWrite(CONSOLE).text(" ATOMIC NUMBERS > 18 NOT YET IMPLEMENTED").end();
    }
    records::ListWrite(CONSOLE).integer(count).text(" WAVEFUNCTIONS TO BE PROCESSED ").end();
}

void writeCoordinateListing(const MoleculeRecord& molecule, int atomCount) {
    records::FormattedWrite listing(CONSOLE, "(8F10.6)");
    listing.text("XYZ");
    for (int i = 0; i < atomCount; ++i) {
        for (int axis = 0; axis < 3; ++axis) listing.real(molecule.coordinates[i][axis]);
    }
    listing.end();
}

}  // namespace

ValueRange evaluateOrbital(const MoleculeRecord& molecule, const CoefficientMatrix& coefficients,
                           std::int32_t orbitalNumber, GridFrame& frame, AtomLayouts& layouts, PackedVolume& volume,
                           std::uint32_t valuesInPlace, HelperThread* helper) {
    const MoleculeAtoms atoms = gatherAtomInputs(molecule, coefficients, orbitalNumber);

    records::ListWrite(CONSOLE).text(" EVALUATING THE SEMIEMPIRICAL WAVEFUNCTION").end();
    writeCountingPass(molecule, atoms.count);
    writeCoordinateListing(molecule, atoms.count);

    grid::layOutPlanes(frame);
    const basis::BasisWeights weights = basis::prepareBasisWeights();

    // Each atom's progress record goes out as this thread starts that atom:
    // an interrupted run shows the atoms it reached.
    return evaluateVisible(atoms, frame, weights, layouts, volume, valuesInPlace, helper, [&](int i) {
        records::FormattedWrite(CONSOLE, "(2(A,I5))")
            .text("PROCESSING ATOM NUMBER ")
            .integer(i + 1)
            .text(" ATOMIC NUMBER ")
            .integer(molecule.atomicNumbers[i])
            .end();
    });
}

}  // namespace gridorb::evaluator
