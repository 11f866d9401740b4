#include "driver/run_driver.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <optional>
#include <span>
#include <type_traits>

#include "coefficients/coefficient_product.h"
#include "driver/signal_handlers.h"
#include "evaluator/helper_thread.h"
#include "evaluator/orbital_evaluator.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "model/coefficient_matrix.h"
#include "model/grid_frame.h"
#include "model/molecule_record.h"
#include "model/orbital_volume.h"
#include "output/coordinate_file.h"
#include "output/volume_file.h"
#include "platform/pages.h"
#include "units/unit_table.h"
#include "wavefunction/orbital_number.h"
#include "wavefunction/wavefunction_file.h"

namespace gridorb::driver {
namespace {

// The evaluation's memory: the atoms laid out, then the rows of the volume.
struct Evaluation {
    evaluator::AtomLayouts layouts;
    PackedVolume volume;
};

// The raw matrices are spent once the coefficient column is formed; the
// evaluation then works in the same memory, whose pages reading them has
// faulted in already (with 200 orbitals, 640 KB: the layouts of 50 atoms
// and the rows a volume file of such a molecule shows take less). A fresh
// page costs about 2 µs on these machines, and more at exit.
static_assert(std::is_trivially_default_constructible_v<Evaluation>, "placed over the matrices without writing a byte");
union SpentThenEvaluation {
    constexpr SpentThenEvaluation() : raw() {}
    RawWavefunction raw;
    Evaluation evaluation;
};

// Everything a run holds, zero-filled from process start, never freed.
struct RunRecords {
    MoleculeRecord molecule;
    SpentThenEvaluation storage;
    CoefficientMatrix coefficients;
    GridFrame frame;
};

constinit RunRecords g_run;

// Up to this many orbitals (basis functions) the volume file's rows are
// summed on the main thread alone: a helper costs more to start and end
// than it saves there (water, 6: one thread 8% faster a whole run;
// formaldehyde, 10: two threads 2% faster, benzene 9%).
constexpr std::int32_t ONE_THREAD_ORBITALS = 8;
// From this many orbitals on (256 KB of matrices) the helper is started as
// soon as record 1 is read, to fault in the matrices' pages while they are
// read; for fewer, the reading is over before it could start, and it is
// started for the evaluation (C16F34, 200: a whole run 5% faster; benzene,
// 30, started early: 2% slower).
constexpr std::int32_t WARMING_ORBITALS = 128;

// The two stretches of the run's storage that reading FOR013 wrote, whose
// pages are in place: the coordinates, exponents and matrix A, and matrix B
// (each of order n, from its start).
struct ReadStretches {
    std::array<const char*, 2> begin;
    std::array<const char*, 2> end;
};

ReadStretches readStretches(const RawWavefunction& raw, std::int32_t n) {
    const auto elements = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    const auto* a = reinterpret_cast<const char*>(&raw);
    const auto* b = reinterpret_cast<const char*>(raw.basisTransform.data());
    return {{a, b},
            {reinterpret_cast<const char*>(raw.orbitalVectors.data() + elements),
             reinterpret_cast<const char*>(raw.basisTransform.data() + elements)}};
}

// Faults in together the pages of `region` that the reading left fresh:
// one at a time, each first write traps.
void populateUnread(const ReadStretches& read, std::span<char> region) {
    const char* from = region.data();
    const char* const end = region.data() + region.size();
    for (std::size_t k = 0; k < 2 && from < end; ++k) {
        const char* const fresh = std::min(read.begin[k], end);
        if (from < fresh) platform::populatePages(from, static_cast<std::size_t>(fresh - from));
        from = std::max(from, read.end[k]);
    }
    if (from < end) platform::populatePages(from, static_cast<std::size_t>(end - from));
}

// How many floats from `values` on lie in what the reading wrote.
std::uint32_t floatsInPlace(const ReadStretches& read, const float* values) {
    const auto* p = reinterpret_cast<const char*>(values);
    for (std::size_t k = 0; k < 2; ++k) {
        if (p >= read.begin[k] && p < read.end[k])
            return static_cast<std::uint32_t>(std::min<std::size_t>(static_cast<std::size_t>(read.end[k] - p) / sizeof(float), GRID_POINTS));
    }
    return 0;
}

bool wantsHelper(std::int32_t orbitalCount) {
    return orbitalCount > ONE_THREAD_ORBITALS && evaluator::defaultThreadCount() >= 2;
}

}  // namespace

int runGridorb(int argc, char** argv) {
    installSignalHandlers();
    units::connectStandardUnits();
    RunRecords& run = g_run;

    // 1-3: FOR013 is read whole before the argument is looked at, so a
    // damaged file is reported first. With large matrices the helper thread
    // is started as soon as record 1 is read: it faults in their pages from
    // their end while this thread reads them from their start.
    RawWavefunction& raw = run.storage.raw;
    std::optional<evaluator::HelperThread> helper;
    wavefunction::readWavefunctionFile(run.molecule, raw, [&](std::int32_t orbitalCount) {
        if (orbitalCount < WARMING_ORBITALS || !wantsHelper(orbitalCount)) return;
        const auto elements = static_cast<std::size_t>(orbitalCount) * static_cast<std::size_t>(orbitalCount);
        helper.emplace(std::as_writable_bytes(std::span(raw.basisTransform.data(), elements)),
                       std::as_writable_bytes(std::span(raw.orbitalVectors.data(), elements)));
    });
    if (helper) helper->stopWarming();
    wavefunction::completeMoleculeRecord(run.molecule, raw);

    // 4: the orbital number; only its column of the product is ever used.
    const char* argument = argc > 1 ? argv[1] : nullptr;
    std::int32_t orbitalNumber = wavefunction::readOrbitalNumber(argument, run.molecule.orbitalCount);
    coefficients::buildCoefficientColumn(raw, run.molecule.orbitalCount, orbitalNumber, run.coefficients);
    // Nothing reads the raw matrices from here on; the evaluation sets what it uses.
    Evaluation& evaluation = *::new (&run.storage.evaluation) Evaluation;

    // 5: the box; the atoms are in Bohr from here on.
    run.frame = grid::layOutGridFrame(run.molecule);

    // 6: the orbital on the grid, the helper summing its share of the rows.
    // The atoms' layouts are later VELD.VTK's buffer, as much of them as the
    // atoms fill: its pages are faulted in together, where they are fresh.
    static_assert(sizeof evaluation.layouts >= units::UNIT_BUFFER_SIZE);
    const std::size_t laidOut = static_cast<std::size_t>(run.molecule.atomCount) * sizeof(evaluator::KernelAtom);
    const std::span<char> volumeBuffer(reinterpret_cast<char*>(&evaluation.layouts),
                                       std::clamp(laidOut, units::UNIT_BUFFER_SIZE, sizeof evaluation.layouts));
    const ReadStretches read = readStretches(raw, run.molecule.orbitalCount);
    populateUnread(read, volumeBuffer);
    if (!helper && wantsHelper(run.molecule.orbitalCount)) helper.emplace();
    const ValueRange values = evaluator::evaluateOrbital(run.molecule, run.coefficients, orbitalNumber, run.frame,
                                                         evaluation.layouts, evaluation.volume,
                                                         floatsInPlace(read, evaluation.volume.values.data()),
                                                         helper ? &*helper : nullptr);

    // 7: TARNEL.COR, complete and closed before VELD.VTK is opened.
    output::writeCoordinateFile(run.molecule, run.frame);

    // 8: VELD.VTK and the console summary, buffered in the atoms' layouts,
    // which the run needs no more.
    output::writeVolumeOutput(run.frame, run.molecule, evaluation.volume, values, volumeBuffer);

    // 9: the helper, its job done or taken back unbegun, is joined last, so
    // that one the system was slow to run holds up nothing.
    helper.reset();
    units::stopRun();
}

}  // namespace gridorb::driver
