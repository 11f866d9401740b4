// Computes the orbital volume in-process, on the frame of a run, every value
// of it, and writes the frame and the signed values as raw little-endian
// float32 for the check of VELD.VTK through an independent reader:
//   lowCorner[3], highCorner[3], signedVolume[132651] (x fastest)
// Usage: volume_probe ORBITAL OUTPUT   (in a folder holding FOR013)
#include <cstdio>
#include <cstdlib>

#include "coefficients/coefficient_product.h"
#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "units/unit_table.h"
#include "wavefunction/orbital_number.h"
#include "wavefunction/wavefunction_file.h"

namespace {
gridorb::MoleculeRecord g_molecule;
gridorb::RawWavefunction g_raw;
gridorb::CoefficientMatrix g_coefficients;
gridorb::OrbitalVolume g_volume;
}  // namespace

int main(int argc, char** argv) {
    using namespace gridorb;
    if (argc != 3) {
        std::fprintf(stderr, "usage: volume_probe ORBITAL OUTPUT\n");
        return 2;
    }
    units::connectStandardUnits();
    wavefunction::readWavefunctionFile(g_molecule, g_raw);
    wavefunction::completeMoleculeRecord(g_molecule, g_raw);
    const std::int32_t orbital = wavefunction::readOrbitalNumber(argv[1], g_molecule.orbitalCount);
    coefficients::buildCoefficientColumn(g_raw, g_molecule.orbitalCount, orbital, g_coefficients);
    GridFrame frame = grid::layOutGridFrame(g_molecule);
    grid::layOutPlanes(frame);
    evaluator::evaluateVolume(evaluator::gatherAtomInputs(g_molecule, g_coefficients, orbital), frame,
                              basis::prepareBasisWeights(), g_volume);

    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::fwrite(frame.lowCorner.data(), sizeof(float), 3, out);
    std::fwrite(frame.highCorner.data(), sizeof(float), 3, out);
    std::fwrite(g_volume.values.data(), sizeof(float), g_volume.values.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
