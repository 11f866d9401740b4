#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "grid_choice.h"
#include "model/coefficient_matrix.h"
#include "model/molecule_record.h"

// The orbital's values at the points of an export grid, with gridorb's
// arithmetic at every point.
namespace gridorb::exporter {

// points^3 values, x fastest, then y, then z (gridorb's point order).
struct ExportVolume {
    int points = 0;
    std::vector<float> values;

    std::size_t index(int ix, int iy, int iz) const {
        const auto n = static_cast<std::size_t>(points);
        return static_cast<std::size_t>(ix) + n * (static_cast<std::size_t>(iy) + n * static_cast<std::size_t>(iz));
    }
    float at(int ix, int iy, int iz) const { return values[index(ix, iy, iz)]; }
};

// psi on any grid: per atom and primitive the factor tables of gridorb's
// evaluator (one value per plane), then at every point the same updates in
// the same order, each rounded to float (atoms in order, primitives 1..3, the
// s update before the p update). Runs of points where a factor is exactly 0
// are skipped, as gridorb's fast kernel skips them: the term there is an
// exact 0 (only the sign of a zero value may differ).
ExportVolume evaluateOnGrid(const evaluator::MoleculeAtoms& atoms, const ExportGrid& grid,
                            const basis::BasisWeights& weights);

// One molecule, one grid, any number of orbitals. On 51 points the core's
// own evaluator runs; on any other count, evaluateOnGrid.
class OrbitalEvaluator {
public:
    // `molecule` in Bohr (after chooseGrid).
    OrbitalEvaluator(const MoleculeRecord& molecule, const RawWavefunction& raw, const ExportGrid& grid);
    ExportVolume evaluate(std::int32_t orbital);

private:
    const MoleculeRecord& molecule_;
    const RawWavefunction& raw_;
    const ExportGrid& grid_;
    basis::BasisWeights weights_;
    std::unique_ptr<CoefficientMatrix> coefficients_;
};

}  // namespace gridorb::exporter
