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

// Up to this many basis functions the volume file's rows are summed on the
// calling thread alone: starting a helper and ending it cost more than it
// saves there (water, 6 functions: one thread 8% faster a whole run;
// formaldehyde, 10: two threads 2% faster, benzene 9%).
constexpr std::int32_t ONE_THREAD_FUNCTIONS = 8;

// Returns the count of basis functions.
std::int32_t writeCountingPass(const MoleculeRecord& molecule, int atomCount) {
    std::int32_t count = 0;
    for (int i = 0; i < atomCount; ++i) {
        const std::int32_t z = molecule.atomicNumbers[i];
        count += basis::countedFunctions(z);
        if (z > 18) records::ListWrite(CONSOLE).text(" ATOMIC NUMBERS > 18 NOT YET IMPLEMENTED").end();
    }
    records::ListWrite(CONSOLE).integer(count).text(" WAVEFUNCTIONS TO BE PROCESSED ").end();
    return count;
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
                           std::int32_t orbitalNumber, GridFrame& frame, AtomLayouts& layouts, PackedVolume& volume) {
    const MoleculeAtoms atoms = gatherAtomInputs(molecule, coefficients, orbitalNumber);

    records::ListWrite(CONSOLE).text(" EVALUATING THE SEMIEMPIRICAL WAVEFUNCTION").end();
    const std::int32_t functions = writeCountingPass(molecule, atoms.count);
    writeCoordinateListing(molecule, atoms.count);

    grid::layOutPlanes(frame);
    const basis::BasisWeights weights = basis::prepareBasisWeights();

    // Each atom's progress record goes out as this thread starts that atom:
    // an interrupted run shows the atoms it reached.
    const int threads = functions > ONE_THREAD_FUNCTIONS ? defaultThreadCount() : 1;
    return evaluateVisible(atoms, frame, weights, layouts, volume, threads, [&](int i) {
        records::FormattedWrite(CONSOLE, "(2(A,I5))")
            .text("PROCESSING ATOM NUMBER ")
            .integer(i + 1)
            .text(" ATOMIC NUMBER ")
            .integer(molecule.atomicNumbers[i])
            .end();
    });
}

}  // namespace gridorb::evaluator
