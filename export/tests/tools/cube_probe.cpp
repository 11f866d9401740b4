// The volume that gridorb-export computes for one orbital, in memory, for the
// check of its cube file through an independent reader; on gridorb's own grid
// also gridorb's signedVolume, computed by the core directly. Raw
// little-endian: int32 points, int32 atoms, float32 origin[3] and spacing[3]
// (Bohr), int32 atomic numbers, float32 positions (Bohr, x y z per atom),
// float32 values (x fastest), then, on 51 points and a 3 Å margin only, the
// float32 signedVolume in the same order.
// Usage: cube_probe FOLDER POINTS MARGIN ORBITAL OUTPUT
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "coefficients/coefficient_product.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "grid_choice.h"
#include "orbital_values.h"
#include "wavefunction_input.h"

using namespace gridorb;

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: cube_probe FOLDER POINTS MARGIN ORBITAL OUTPUT\n");
        return 2;
    }
    // Taken before the reader moves into FOLDER.
    const std::string output = std::filesystem::absolute(argv[5]).string();
    exporter::Wavefunction w = exporter::readWavefunction(argv[1]);
    const int points = std::atoi(argv[2]);
    const float margin = std::strtof(argv[3], nullptr);
    const std::int32_t orbital = std::atoi(argv[4]);
    MoleculeRecord coreMolecule = w.molecule;
    const exporter::ExportGrid grid = exporter::chooseGrid(w.molecule, points, margin);
    exporter::OrbitalEvaluator evaluator(w.molecule, *w.raw, grid);
    const exporter::ExportVolume volume = evaluator.evaluate(orbital);

    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (out == nullptr) {
        std::perror(output.c_str());
        return 1;
    }
    const std::int32_t counts[2] = {points, w.molecule.atomCount};
    std::fwrite(counts, sizeof counts[0], 2, out);
    std::fwrite(grid.origin.data(), sizeof(float), 3, out);
    std::fwrite(grid.spacing.data(), sizeof(float), 3, out);
    std::fwrite(w.molecule.atomicNumbers.data(), sizeof(std::int32_t), static_cast<std::size_t>(counts[1]), out);
    for (int i = 0; i < counts[1]; ++i) std::fwrite(w.molecule.coordinates[i].data(), sizeof(float), 3, out);
    std::fwrite(volume.values.data(), sizeof(float), volume.values.size(), out);

    if (points == POINTS_PER_AXIS && margin == 3.0f) {
        GridFrame frame = grid::layOutGridFrame(coreMolecule);
        grid::layOutPlanes(frame);
        auto coefficients = std::make_unique<CoefficientMatrix>();
        coefficients::buildCoefficientColumn(*w.raw, coreMolecule.orbitalCount, orbital, *coefficients);
        auto signedVolume = std::make_unique<OrbitalVolume>();
        evaluator::evaluateVolume(evaluator::gatherAtomInputs(coreMolecule, *coefficients, orbital), frame,
                                  basis::prepareBasisWeights(), *signedVolume);
        std::fwrite(signedVolume->values.data(), sizeof(float), signedVolume->values.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
