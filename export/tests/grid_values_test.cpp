#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "coefficients/coefficient_product.h"
#include "grid_choice.h"
#include "orbital_names.h"
#include "orbital_values.h"
#include "wavefunction_input.h"

namespace gridorb::exporter {
namespace {

struct Molecule {
    const char* name;
    std::string folder;
};

std::vector<Molecule> bundledMolecules() {
    return {{"water", EXAMPLES_DIR "/water"},
            {"chloromethane", EXAMPLES_DIR "/chloromethane"},
            {"perfluorohexadecane", BENCHMARK_DATA_DIR "/perfluorohexadecane"}};
}

// The export's own grid code and evaluator, run with gridorb's 51 points and
// 3 Å margin, against gridorb's frame and signedVolume computed by the core
// directly: the same planes and the same value at every point.
TEST(GridValues, TheGeneralPathAtGridorbsGridIsGridorbsVolume) {
    for (const Molecule& m : bundledMolecules()) {
        SCOPED_TRACE(m.name);
        Wavefunction w = readWavefunction(m.folder);
        MoleculeRecord coreMolecule = w.molecule;
        GridFrame frame = grid::layOutGridFrame(coreMolecule);
        grid::layOutPlanes(frame);
        // The general layout, asked for 51 planes the long way round.
        ExportGrid general = chooseGrid(w.molecule, 51, 3.0f);
        ASSERT_EQ(general.planes[0], std::vector<float>(frame.planeX.begin(), frame.planeX.end()));
        ASSERT_EQ(general.planes[2], std::vector<float>(frame.planeZ.begin(), frame.planeZ.end()));

        const basis::BasisWeights weights = basis::prepareBasisWeights();
        auto coefficients = std::make_unique<CoefficientMatrix>();
        auto signedVolume = std::make_unique<OrbitalVolume>();
        const Frontier frontier = frontierOf(w.molecule.electronCount, w.molecule.orbitalCount);
        for (std::int32_t orbital : {1, frontier.homo, frontier.lumo, w.molecule.orbitalCount}) {
            coefficients::buildCoefficientColumn(*w.raw, w.molecule.orbitalCount, orbital, *coefficients);
            const auto atoms = evaluator::gatherAtomInputs(coreMolecule, *coefficients, orbital);
            evaluator::evaluateVolume(atoms, frame, weights, *signedVolume);
            const ExportVolume mine = evaluateOnGrid(atoms, general, weights);
            ASSERT_EQ(mine.values.size(), signedVolume->values.size());
            for (std::size_t i = 0; i < mine.values.size(); ++i) {
                ASSERT_EQ(mine.values[i], signedVolume->values[i]) << "orbital " << orbital << ", point " << i;
            }
        }
    }
}

// Physics: every occupied orbital of each bundled molecule holds one
// electron's worth of |psi|^2 on a 101-point grid whose 5 Å margin holds it.
TEST(GridValues, OccupiedOrbitalsAreNormalisedOnAFineGrid) {
    for (const Molecule& m : bundledMolecules()) {
        SCOPED_TRACE(m.name);
        Wavefunction w = readWavefunction(m.folder);
        const ExportGrid grid = chooseGrid(w.molecule, 101, 5.0f);
        const double cell = static_cast<double>(grid.spacing[0]) * grid.spacing[1] * grid.spacing[2];
        OrbitalEvaluator evaluator(w.molecule, *w.raw, grid);
        const Frontier frontier = frontierOf(w.molecule.electronCount, w.molecule.orbitalCount);
        for (std::int32_t orbital = 1; orbital <= frontier.homo; ++orbital) {
            const ExportVolume volume = evaluator.evaluate(orbital);
            double sum = 0;
            for (float v : volume.values) sum += static_cast<double>(v) * v;
            EXPECT_NEAR(sum * cell, 1.0, 0.02) << "orbital " << orbital;
        }
    }
}

}  // namespace
}  // namespace gridorb::exporter
