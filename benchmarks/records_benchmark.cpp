// The volume file's value blocks: 132651 integers under "(4I5)" in one
// formatted WRITE, 33163 records. The records go to /dev/null, so what is
// measured is the record layer and the unit's buffering, not a disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "records/formatted_write.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace {

constexpr int BENCH_UNIT = 24;
constexpr std::size_t BLOCK_VALUES = 132651;

std::vector<std::int32_t> volumeValues() {
    std::vector<std::int32_t> values(BLOCK_VALUES);
    std::uint32_t state = 12345;
    for (auto& v : values) {
        state = state * 1664525U + 1013904223U;
        v = static_cast<std::int32_t>((state >> 8) % 257);  // 0..256, as the scaled volumes
    }
    return values;
}

void writeBlock(benchmark::State& state, const char* format) {
    std::vector<std::int32_t> values = volumeValues();
    gridorb::units::endRunOn(gridorb::units::openOutputFile(BENCH_UNIT, "/dev/null"));
    for (auto _ : state) {
        gridorb::records::FormattedWrite(BENCH_UNIT, format).integers(values).end();
    }
    gridorb::units::endRunOn(gridorb::units::closeUnit(BENCH_UNIT));
    // Bytes per block: 33162 records of 20 and one of 15, each with CR LF.
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (33162 * 22 + 17));
}

// The short cut that a plain repeated Iw takes.
void BM_VolumeBlock(benchmark::State& state) { writeBlock(state, "(4I5)"); }
// The same records through the general walk of the format.
void BM_VolumeBlockGeneralPath(benchmark::State& state) { writeBlock(state, "(4(I5))"); }

BENCHMARK(BM_VolumeBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VolumeBlockGeneralPath)->Unit(benchmark::kMicrosecond);

}  // namespace
