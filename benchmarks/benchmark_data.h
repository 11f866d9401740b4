#pragma once

// The wavefunctions the stage benchmarks run on.
#include <memory>
#include <string>

#include "support/wavefunction_fixture.h"

namespace gridorb::benchmarks {

inline std::unique_ptr<test_support::WavefunctionFixture> loadWavefunction(const std::string& name) {
    const std::string folder = name == "water" ? GRIDORB_EXAMPLES_DIR : GRIDORB_BENCHMARK_DATA;
    return test_support::readWavefunctionFixture(folder + "/" + name + "/FOR013");
}

}  // namespace gridorb::benchmarks
