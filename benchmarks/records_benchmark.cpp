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

template <bool ByRecords>
void writeBlock(benchmark::State& state) {
    std::vector<std::int32_t> values = volumeValues();
    gridorb::units::endRunOn(gridorb::units::openOutputFile(BENCH_UNIT, "/dev/null"));
    for (auto _ : state) {
        gridorb::records::FormattedWrite write(BENCH_UNIT, "(4I5)");
        if constexpr (ByRecords) {
            write.integers(values);
        } else {
            for (std::int32_t v : values) write.integer(v);
        }
        write.end();
    }
    gridorb::units::endRunOn(gridorb::units::closeUnit(BENCH_UNIT));
    // Bytes per block: 33162 records of 20 and one of 15, each with CR LF.
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * (33162 * 22 + 17));
}

// The path by whole records that integers() takes.
void BM_VolumeBlock(benchmark::State& state) { writeBlock<true>(state); }
// The same records one field at a time, as the other formats go.
void BM_VolumeBlockItemByItem(benchmark::State& state) { writeBlock<false>(state); }

BENCHMARK(BM_VolumeBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VolumeBlockItemByItem)->Unit(benchmark::kMicrosecond);

}  // namespace
