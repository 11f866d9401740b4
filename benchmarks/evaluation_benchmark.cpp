// The orbital on the grid, without the console: the tests' plain reference
// (atom by atom, scalar, one thread, here built with optimisation) against
// the program's evaluator on 1 and 2 threads. Both include the per-atom
// factors.
#include <benchmark/benchmark.h>

#include "benchmark_data.h"
#include "coefficients/coefficient_product.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "reference/reference_evaluator.h"

namespace gridorb::benchmarks {
namespace {

struct Prepared {
    MoleculeRecord molecule;
    CoefficientMatrix coefficients;
    std::array<float, MAX_ORBITALS> column;
    GridFrame frame;
    evaluator::MoleculeAtoms atoms;
    basis::BasisWeights weights;
    OrbitalVolume psi;
};

std::unique_ptr<Prepared> prepare(const std::string& name, int orbital) {
    auto w = loadWavefunction(name);
    auto p = std::make_unique<Prepared>();
    p->molecule = w->molecule;
    coefficients::buildCoefficientColumn(w->raw, w->molecule.orbitalCount, orbital, p->coefficients);
    for (int row = 1; row <= MAX_ORBITALS; ++row) p->column[row - 1] = p->coefficients.at(row, orbital);
    p->frame = grid::layOutGridFrame(p->molecule);
    grid::layOutPlanes(p->frame);
    p->atoms = evaluator::gatherAtomInputs(p->molecule, p->coefficients, orbital);
    p->weights = basis::prepareBasisWeights();
    return p;
}

void literal(benchmark::State& state, const std::string& name, int orbital) {
    auto p = prepare(name, orbital);
    for (auto _ : state) {
        reference::evaluate(p->molecule, p->column.data(), {p->frame.planeX, p->frame.planeY, p->frame.planeZ},
                            p->psi.values.data());
        benchmark::DoNotOptimize(p->psi.values.data());
    }
}

void fast(benchmark::State& state, const std::string& name, int orbital) {
    auto p = prepare(name, orbital);
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        evaluator::evaluateVolume(p->atoms, p->frame, p->weights, p->psi, threads);
        benchmark::DoNotOptimize(p->psi.values.data());
    }
}

void BM_EvaluateLiteralPerfluorohexadecane(benchmark::State& s) { literal(s, "perfluorohexadecane", 151); }
void BM_EvaluateFastPerfluorohexadecane(benchmark::State& s) { fast(s, "perfluorohexadecane", 151); }
void BM_EvaluateLiteralWater(benchmark::State& s) { literal(s, "water", 4); }
void BM_EvaluateFastWater(benchmark::State& s) { fast(s, "water", 4); }

BENCHMARK(BM_EvaluateLiteralPerfluorohexadecane)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EvaluateFastPerfluorohexadecane)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EvaluateLiteralWater)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EvaluateFastWater)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace gridorb::benchmarks

BENCHMARK_MAIN();
