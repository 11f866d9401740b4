#pragma once

// The wavefunctions the stage benchmarks run on.
#include <memory>
#include <string>

#include "support/wavefunction_fixture.h"

namespace gridorb::benchmarks {

inline std::unique_ptr<testsupport::WavefunctionFixture> loadWavefunction(const std::string& name) {
    const std::string folder = name == "water" ? GRIDORB_EXAMPLES_DIR : GRIDORB_BENCHMARK_DATA;
    return testsupport::readWavefunctionFixture(folder + "/" + name + "/FOR013");
}

}  // namespace gridorb::benchmarks
