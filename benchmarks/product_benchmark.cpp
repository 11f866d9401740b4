// The coefficient product: the plain triple loop of a straightforward port
// (the whole 200 x 200 product, k innermost) against the program's step as
// the run takes it (the chosen column, narrowed).
#include <benchmark/benchmark.h>

#include <vector>

#include "benchmark_data.h"
#include "coefficients/coefficient_product.h"

namespace gridorb::benchmarks {
namespace {

void plainProduct(const double* a, const double* b, double* p, int n) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double sum = a[i * n] * b[j];
            for (int k = 1; k < n; ++k) sum = sum + a[i * n + k] * b[k * n + j];
            p[i * n + j] = sum;
        }
}

void BM_ProductPlainPort(benchmark::State& state) {
    auto w = loadWavefunction("perfluorohexadecane");
    const int n = w->molecule.orbitalCount;
    std::vector<double> p(static_cast<std::size_t>(n) * n);
    for (auto _ : state) {
        plainProduct(w->raw.orbitalVectors.data(), w->raw.basisTransform.data(), p.data(), n);
        benchmark::DoNotOptimize(p.data());
    }
}

void BM_ProductChosenColumn(benchmark::State& state) {
    auto w = loadWavefunction("perfluorohexadecane");
    auto c = std::make_unique<CoefficientMatrix>();
    for (auto _ : state) {
        coefficients::buildCoefficientColumn(w->raw, w->molecule.orbitalCount, 151, *c);
        benchmark::DoNotOptimize(c->values.data());
    }
}

BENCHMARK(BM_ProductPlainPort)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProductChosenColumn)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace gridorb::benchmarks

BENCHMARK_MAIN();
