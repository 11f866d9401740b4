// The volume file stage: the split, the console summary, the header and
// three blocks of VELD.VTK, against a plain write() of as many bytes to the
// same place: the floor for writing the file at all.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "model/grid_frame.h"
#include "model/molecule_record.h"
#include "model/orbital_volume.h"
#include "output/volume_file.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace {

namespace fs = std::filesystem;

gridorb::PackedVolume g_signed;  // every row, in place

fs::path scratchFolder() {
    fs::path folder = fs::temp_directory_path() / ("gridorb-volume-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    return folder;
}

// A smooth two-lobed field, like an orbital's.
void fillVolume() {
    for (int r = 0; r < gridorb::GRID_ROWS; ++r) g_signed.offset[r] = static_cast<std::uint32_t>(r) * 51;
    g_signed.count = gridorb::GRID_POINTS;
    for (int iz = 0; iz < 51; ++iz) {
        for (int iy = 0; iy < 51; ++iy) {
            for (int ix = 0; ix < 51; ++ix) {
                const double x = (ix - 25) / 8.0, y = (iy - 25) / 8.0, z = (iz - 25) / 8.0;
                g_signed.values[gridorb::OrbitalVolume::index(ix, iy, iz)] =
                    static_cast<float>(x * std::exp(-(x * x + y * y + z * z)));
            }
        }
    }
}

void BM_WriteVolumeOutput(benchmark::State& state) {
    gridorb::units::connectStandardUnits();
    // The two console lines go to /dev/null, not into the measurement's terminal.
    const int console = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    fillVolume();
    gridorb::ValueRange range;  // as the evaluation reports it
    for (float v : g_signed.values) {
        range.minimum = v < range.minimum ? v : range.minimum;
        range.maximum = v > range.maximum ? v : range.maximum;
    }
    gridorb::GridFrame frame;
    frame.lowCorner = {-3.0f, -3.0f, -3.0f};
    frame.highCorner = {3.0f, 3.0f, 3.0f};
    gridorb::MoleculeRecord molecule;
    molecule.atomCount = 1;
    molecule.orbitalCount = 4;
    const fs::path folder = scratchFolder();
    const fs::path previous = fs::current_path();
    fs::current_path(folder);  // the file is written under its fixed name, here
    const std::string file = (folder / "VELD.VTK").string();
    std::size_t bytes = 0;
    for (auto _ : state) {
        ::unlink(file.c_str());
        state.PauseTiming();
        fillVolume();  // the writer scales the volume in place
        state.ResumeTiming();
        gridorb::output::writeVolumeOutput(frame, molecule, g_signed, range);
        gridorb::units::endRunOn(gridorb::units::closeUnit(gridorb::output::VOLUME_UNIT));
        gridorb::units::flushStandardStreams();
        bytes = fs::file_size(file);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    ::dup2(console, STDOUT_FILENO);
    fs::current_path(previous);
    fs::remove_all(folder);
}

void BM_WritePlainBytes(benchmark::State& state) {
    const std::vector<char> bytes(2189095, ' ');  // the size of a VELD.VTK
    const fs::path folder = scratchFolder();
    const std::string file = (folder / "PLAIN").string();
    for (auto _ : state) {
        ::unlink(file.c_str());
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::size_t done = 0; done < bytes.size();) {
            const std::size_t chunk = std::min<std::size_t>(64 * 1024, bytes.size() - done);
            done += static_cast<std::size_t>(::write(fd, bytes.data() + done, chunk));
        }
        ::close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
    fs::remove_all(folder);
}

BENCHMARK(BM_WriteVolumeOutput)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WritePlainBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
