#include "orbital_values.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "coefficients/coefficient_product.h"
#include "evaluator/volume_evaluation.h"
#include "model/orbital_volume.h"

namespace gridorb::exporter {
namespace {

using Table = std::vector<float>;

// [begin, end) outside which a table holds only exact zeros.
struct Span {
    int begin = 0;
    int end = 0;
};

Span nonZero(const Table& t) {
    const auto first = std::find_if(t.begin(), t.end(), [](float v) { return v != 0.0f; });
    if (first == t.end()) return {};
    const auto last = std::find_if(t.rbegin(), t.rend(), [](float v) { return v != 0.0f; });
    return {static_cast<int>(first - t.begin()), static_cast<int>(t.rend() - last)};
}

bool allFinite(const Table& t) {
    return std::all_of(t.begin(), t.end(), [](float v) { return std::isfinite(v); });
}

// gridorb's PrimitiveFactors, one value per plane of the export grid.
struct Primitive {
    Table sx, sy, sz, px, py, pz, gx, gy, gz;
};

// The core's factor tables, one value per plane of the export grid.
std::array<Primitive, 3> atomFactors(const evaluator::AtomInput& atom, const ExportGrid& grid,
                                     const basis::BasisWeights& weights, basis::Shell shell) {
    std::array<Primitive, 3> result;
    std::array<evaluator::PrimitiveTables, 3> tables;
    for (int k = 0; k < 3; ++k) {
        Primitive& f = result[k];
        for (Table* t : {&f.sx, &f.sy, &f.sz, &f.px, &f.py, &f.pz, &f.gx, &f.gy, &f.gz}) t->assign(grid.points, 0.0f);
        tables[k] = {f.sx, f.sy, f.sz, f.px, f.py, f.pz, f.gx, f.gy, f.gz};
    }
    evaluator::fillAtomFactors(atom, shell, {grid.planes[0], grid.planes[1], grid.planes[2]}, weights, tables);
    return result;
}

// Adds one primitive of one atom. Per point the s update comes before the p
// update, as in gridorb's loop nest; which point comes first does not matter,
// since every point stands alone.
void accumulate(const Primitive& f, bool sp, bool finite, int n, std::vector<float>& psi) {
    const Span whole{0, n};
    // A non-finite factor makes 0 * inf and NaN matter: nothing is skipped.
    const Span sX = finite ? nonZero(f.sx) : whole, sY = finite ? nonZero(f.sy) : whole,
               sZ = finite ? nonZero(f.sz) : whole;
    for (int iz = sZ.begin; iz < sZ.end; ++iz) {
        for (int iy = sY.begin; iy < sY.end; ++iy) {
            float* row = psi.data() + static_cast<std::size_t>(n) * (static_cast<std::size_t>(iy) + static_cast<std::size_t>(n) * iz);
            const double syz = static_cast<double>(f.sy[iy]) * f.sz[iz];
            const float* sx = f.sx.data();
            for (int ix = sX.begin; ix < sX.end; ++ix) row[ix] = static_cast<float>(row[ix] + syz * sx[ix]);
        }
    }
    if (!sp) return;
    const Span gX = finite ? nonZero(f.gx) : whole, gY = finite ? nonZero(f.gy) : whole,
               gZ = finite ? nonZero(f.gz) : whole;
    for (int iz = gZ.begin; iz < gZ.end; ++iz) {
        for (int iy = gY.begin; iy < gY.end; ++iy) {
            float* row = psi.data() + static_cast<std::size_t>(n) * (static_cast<std::size_t>(iy) + static_cast<std::size_t>(n) * iz);
            const double pyz = static_cast<double>(f.py[iy]) + f.pz[iz];
            const double gy = f.gy[iy], gz = f.gz[iz];
            const float* px = f.px.data();
            const float* gx = f.gx.data();
            for (int ix = gX.begin; ix < gX.end; ++ix) {
                const double bracket = pyz + px[ix];
                row[ix] = static_cast<float>(row[ix] + bracket * gx[ix] * gy * gz);
            }
        }
    }
}

}  // namespace

ExportVolume evaluateOnGrid(const evaluator::MoleculeAtoms& atoms, const ExportGrid& grid,
                            const basis::BasisWeights& weights) {
    ExportVolume volume;
    volume.points = grid.points;
    const auto n = static_cast<std::size_t>(grid.points);
    volume.values.assign(n * n * n, 0.0f);
    for (int a = 0; a < atoms.count; ++a) {
        const basis::Shell shell = basis::shellOf(atoms.atoms[a].atomicNumber);
        if (shell == basis::Shell::None) continue;
        const bool sp = shell != basis::Shell::OneS;
        const std::array<Primitive, 3> factors = atomFactors(atoms.atoms[a], grid, weights, shell);
        bool finite = true;
        for (const Primitive& f : factors) {
            for (const Table* t : {&f.sx, &f.sy, &f.sz, &f.px, &f.py, &f.pz, &f.gx, &f.gy, &f.gz}) {
                finite = finite && allFinite(*t);
            }
        }
        // Primitive by primitive over the whole grid: at every point the
        // updates still come in gridorb's order (k = 1..3, s before p).
        for (const Primitive& f : factors) accumulate(f, sp, finite, grid.points, volume.values);
    }
    return volume;
}

OrbitalEvaluator::OrbitalEvaluator(const MoleculeRecord& molecule, const RawWavefunction& raw, const ExportGrid& grid)
    : molecule_(molecule), raw_(raw), grid_(grid), weights_(basis::prepareBasisWeights()),
      coefficients_(std::make_unique<CoefficientMatrix>()) {}

ExportVolume OrbitalEvaluator::evaluate(std::int32_t orbital) {
    coefficients::buildCoefficientColumn(raw_, molecule_.orbitalCount, orbital, *coefficients_);
    const evaluator::MoleculeAtoms atoms = evaluator::gatherAtomInputs(molecule_, *coefficients_, orbital);
    if (grid_.points != POINTS_PER_AXIS) return evaluateOnGrid(atoms, grid_, weights_);

    // 51 planes: the core's frame and fast evaluator, whatever the margin.
    GridFrame frame;
    frame.lowCorner = grid_.lowCorner;
    frame.highCorner = grid_.highCorner;
    frame.origin = grid_.origin;
    frame.spacing = grid_.spacing;
    std::copy(grid_.planes[0].begin(), grid_.planes[0].end(), frame.planeX.begin());
    std::copy(grid_.planes[1].begin(), grid_.planes[1].end(), frame.planeY.begin());
    std::copy(grid_.planes[2].begin(), grid_.planes[2].end(), frame.planeZ.begin());
    auto psi = std::make_unique<OrbitalVolume>();
    evaluator::evaluateVolume(atoms, frame, weights_, *psi);
    ExportVolume volume;
    volume.points = POINTS_PER_AXIS;
    volume.values.assign(psi->values.begin(), psi->values.end());
    return volume;
}

}  // namespace gridorb::exporter
