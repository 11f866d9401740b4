// Arbitrary bytes as FOR013, counts included: the reader, the completion in
// single precision and the cheap steps that consume what it read (one
// coefficient column, the grid frame and planes, every atom's factors and
// kernel layout), so that untrusted counts and values flow through them.
// The reader is held to a model of the file's framing written here from the
// file layout: which inputs it completes, aborts on or rejects (counts beyond
// the limits, a basis numbered otherwise than gridorb numbers it), and what
// it stores.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "basis/minimal_basis.h"
#include "coefficients/coefficient_product.h"
#include "evaluator/atom_factors.h"
#include "evaluator/kernel_layout.h"
#include "fuzz_support.h"
#include "grid/grid_frame_layout.h"
#include "model/coefficient_matrix.h"
#include "model/molecule_record.h"
#include "units/fatal_report.h"
#include "units/unit_table.h"
#include "wavefunction/wavefunction_file.h"

namespace {

using namespace gridorb;
using fuzzsupport::RunEnded;

static_assert(std::endian::native == std::endian::little, "the model reads the file's images in place");

// --- The model -----------------------------------------------------------

enum class Ending { Completed, Aborted, Rejected };

const char* name(Ending ending) {
    switch (ending) {
        case Ending::Completed: return "completed";
        case Ending::Aborted: return "aborted";
        case Ending::Rejected: return "rejected";
    }
    return "?";
}

// Where each group of items lies in the input, for a file the reader completes.
struct Expected {
    Ending ending = Ending::Completed;
    std::int32_t atomCount = 0;
    std::int32_t orbitalCount = 0;
    std::int32_t electronCount = 0;
    std::size_t coordinates[3] = {};  // x, y, z of atom 1
    std::size_t basisRanges = 0;
    std::size_t sExponents = 0, pExponents = 0, atomicNumbers = 0;
    std::size_t orbitalVectors = 0, basisTransform = 0;
};

// Unformatted sequential records, item by item: a length word, items
// counted against it, then a skip past the rest and the trailing word.
class Framing {
public:
    explicit Framing(std::span<const std::uint8_t> file) : file_(file) {}

    bool record() {
        if (position_ + 4 > size()) return false;  // end of file at the length word
        length_ = word(static_cast<std::size_t>(position_));
        position_ += 4;
        start_ = position_;
        taken_ = 0;
        return length_ >= 0;
    }
    // One item: false when it passes the record's length or the file's end.
    bool item(std::int64_t width, std::size_t* offset = nullptr) {
        if (taken_ + width > length_) return false;
        if (position_ + width > size()) return false;
        if (offset) *offset = static_cast<std::size_t>(position_);
        position_ += width;
        taken_ += width;
        return true;
    }
    bool items(std::int64_t width, std::int64_t count, std::size_t* first = nullptr) {
        for (std::int64_t k = 0; k < count; ++k) {
            if (!item(width, k == 0 ? first : nullptr)) return false;
        }
        return true;
    }
    void finish() { position_ = start_ + length_ + 4; }
    std::int32_t word(std::size_t at) const {
        std::int32_t value;
        std::memcpy(&value, file_.data() + at, 4);
        return value;
    }

private:
    std::int64_t size() const { return static_cast<std::int64_t>(file_.size()); }

    std::span<const std::uint8_t> file_;
    std::int64_t position_ = 0;
    std::int64_t start_ = 0;
    std::int64_t length_ = 0;
    std::int64_t taken_ = 0;
};

// Record 2 as a calculation writes it (per atom its last and first basis
// function: from 1, consecutive, none empty, ending at the orbital count),
// with an atom whose range holds other than 1 function for Z <= 2 or 4 for
// a heavier atom.
bool numbersTheBasisOtherwise(const Framing& f, const Expected& e) {
    std::int64_t next = 1;
    bool differs = false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(e.atomCount); ++i) {
        const std::int64_t last = f.word(e.basisRanges + 8 * i);
        const std::int64_t first = f.word(e.basisRanges + 8 * i + 4);
        if (first != next || last < first) return false;
        differs = differs || last - first + 1 != (f.word(e.atomicNumbers + 4 * i) > 2 ? 4 : 1);
        next = last + 1;
    }
    return e.atomCount > 0 && next == e.orbitalCount + 1 && differs;
}

Expected model(std::span<const std::uint8_t> file) {
    Expected e;
    Framing f(file);
    e.ending = Ending::Aborted;
    std::size_t at = 0;
    if (!f.record() || !f.item(4, &at)) return e;
    const std::int32_t n = f.word(at);
    if (!f.item(4, &at)) return e;
    const std::int32_t m = f.word(at);
    if (n < 0 || n > MAX_ATOMS || m < 1 || m > MAX_ORBITALS) {
        e.ending = Ending::Rejected;
        return e;
    }
    e.atomCount = n;
    e.orbitalCount = m;
    if (!f.item(4, &at)) return e;
    e.electronCount = f.word(at);
    for (std::size_t& axis : e.coordinates) {
        if (!f.items(8, n, &axis)) return e;
    }
    f.finish();
    if (!f.record() || !f.items(4, 2 * n, &e.basisRanges)) return e;
    f.finish();
    if (!f.record() || !f.items(8, n, &e.sExponents) || !f.items(8, n, &e.pExponents) || !f.items(8, n) ||
        !f.items(4, n, &e.atomicNumbers))
        return e;
    f.finish();
    const std::int64_t elements = static_cast<std::int64_t>(m) * m;
    if (!f.record() || !f.items(8, elements, &e.orbitalVectors)) return e;
    f.finish();
    if (!f.record() || !f.items(8, elements, &e.basisTransform)) return e;
    e.ending = numbersTheBasisOtherwise(f, e) ? Ending::Rejected : Ending::Completed;
    return e;
}

// --- The run's records, static as in a run ---------------------------------

MoleculeRecord g_molecule;
RawWavefunction g_raw;
CoefficientMatrix g_coefficients;
evaluator::KernelAtom g_kernelAtom;
std::int32_t g_lastColumn = 0;
basis::BasisWeights g_weights;

std::string g_scratch;     // the folder FOR013 is written into
int g_startFolder = -1;    // the fuzzer's own working folder

double doubleAt(std::span<const std::uint8_t> file, std::size_t offset) {
    double value;
    std::memcpy(&value, file.data() + offset, 8);
    return value;
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Round to nearest; beyond the float range the largest float or an infinity
// of the same sign; NaN stays NaN.
bool narrowedFrom(float narrowed, double value) {
    if (std::isnan(value)) return std::isnan(narrowed);
    if (std::fabs(value) <= static_cast<double>(FLT_MAX)) return sameBits(narrowed, static_cast<double>(static_cast<float>(value)));
    return std::signbit(narrowed) == std::signbit(value) && (std::fabs(narrowed) == FLT_MAX || std::isinf(narrowed));
}

void checkAgainstModel(std::span<const std::uint8_t> file, const Expected& e) {
    auto where = [&] { return "a file of " + std::to_string(file.size()) + " bytes"; };
    FUZZ_CHECK(g_molecule.atomCount == e.atomCount && g_molecule.orbitalCount == e.orbitalCount &&
                   g_molecule.electronCount == e.electronCount,
               where() + ": counts");
    const auto n = static_cast<std::size_t>(e.atomCount);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            FUZZ_CHECK(sameBits(g_raw.coordinates[i][axis], doubleAt(file, e.coordinates[axis] + 8 * i)),
                       where() + ": coordinate " + std::to_string(axis) + " of atom " + std::to_string(i + 1));
        }
        FUZZ_CHECK(sameBits(g_raw.sExponents[i], doubleAt(file, e.sExponents + 8 * i)), where() + ": s exponent");
        FUZZ_CHECK(sameBits(g_raw.pExponents[i], doubleAt(file, e.pExponents + 8 * i)), where() + ": p exponent");
        std::int32_t z;
        std::memcpy(&z, file.data() + e.atomicNumbers + 4 * i, 4);
        FUZZ_CHECK(g_molecule.atomicNumbers[i] == z, where() + ": atomic number");
    }
    const std::size_t bytes = 8 * static_cast<std::size_t>(e.orbitalCount) * static_cast<std::size_t>(e.orbitalCount);
    FUZZ_CHECK(std::memcmp(g_raw.orbitalVectors.data(), file.data() + e.orbitalVectors, bytes) == 0, where() + ": record 4");
    FUZZ_CHECK(std::memcmp(g_raw.basisTransform.data(), file.data() + e.basisTransform, bytes) == 0, where() + ": record 5");
}

void checkCompletion() {
    for (int i = 0; i < g_molecule.atomCount; ++i) {
        FUZZ_CHECK(narrowedFrom(g_molecule.sExponents[i], g_raw.sExponents[i]), "s exponent narrowed");
        FUZZ_CHECK(narrowedFrom(g_molecule.pExponents[i], g_raw.pExponents[i]), "p exponent narrowed");
        for (int axis = 0; axis < 3; ++axis) {
            FUZZ_CHECK(narrowedFrom(g_molecule.coordinates[i][axis], g_raw.coordinates[i][axis]), "coordinate narrowed");
        }
    }
}

bool rangeFits(evaluator::IndexRange r, int limit) { return r.empty() || (0 <= r.begin && r.begin < r.end && r.end <= limit); }

// What a run does next with a file read whole, short of the 51^3 evaluation.
void consume() {
    const std::int32_t m = g_molecule.orbitalCount;
    // The electron count, not used by a run, picks the orbital.
    const auto orbital = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_molecule.electronCount) % static_cast<std::uint32_t>(m)) + 1;
    if (g_lastColumn != 0) {
        for (int row = 1; row <= MAX_ORBITALS; ++row) g_coefficients.at(row, g_lastColumn) = 0.0f;
    }
    coefficients::buildCoefficientColumn(g_raw, m, orbital, g_coefficients);
    g_lastColumn = orbital;
    for (int row = m + 1; row <= MAX_ORBITALS; ++row) {
        FUZZ_CHECK(std::bit_cast<std::uint32_t>(g_coefficients.at(row, orbital)) == 0, "a row below the order written");
    }

    GridFrame frame = grid::layOutGridFrame(g_molecule);
    grid::layOutPlanes(frame);

    const evaluator::MoleculeAtoms atoms = evaluator::gatherAtomInputs(g_molecule, g_coefficients, orbital);
    FUZZ_CHECK(atoms.count == g_molecule.atomCount, "atoms gathered");
    for (int i = 0; i < atoms.count; ++i) {
        const evaluator::AtomFactors factors = evaluator::computeAtomFactors(atoms.atoms[i], frame, g_weights);
        evaluator::prepareKernelAtom(factors, g_kernelAtom);
        for (const evaluator::KernelPrimitive& p : g_kernelAtom.primitive) {
            for (evaluator::IndexRange r : {p.sX, p.sY, p.sZ, p.pX, p.pY, p.pZ}) FUZZ_CHECK(rangeFits(r, POINTS_PER_AXIS), "a plane range");
            for (evaluator::IndexRange r : {p.sXVectors, p.pXVectors}) {
                FUZZ_CHECK(rangeFits(r, evaluator::PADDED_ROW) && r.begin % 4 == 0, "a vector range");
            }
        }
    }
}

void writeInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = g_scratch + "/" + wavefunction::WAVEFUNCTION_FILE_NAME;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0, "cannot write " + path);
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        FUZZ_CHECK(n > 0, "cannot write " + path);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

// FOR013 is read from the working folder: the input's run happens in the
// scratch folder, everything else of the fuzzer in its own.
class InScratchFolder {
public:
    InScratchFolder() { FUZZ_CHECK(::chdir(g_scratch.c_str()) == 0, "cannot enter " + g_scratch); }
    ~InScratchFolder() {
        if (::fchdir(g_startFolder) != 0) std::abort();
    }
    InScratchFolder(const InScratchFolder&) = delete;
    InScratchFolder& operator=(const InScratchFolder&) = delete;
};

void removeScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    g_startFolder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Every input is written as a file: in memory, where there is a place
    // for it, that is ten times as fast as on a disk.
    const bool memory = ::access("/dev/shm", W_OK | X_OK) == 0;
    std::string base = (memory ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string()) + "/gridorb-fuzz-XXXXXX";
    std::vector<char> pattern(base.begin(), base.end());
    pattern.push_back('\0');
    if (g_startFolder < 0 || ::mkdtemp(pattern.data()) == nullptr) std::abort();
    g_scratch = pattern.data();
    std::atexit(removeScratch);
    g_weights = basis::prepareBasisWeights();

    // A crash inside the reader happens in the scratch folder: the fuzzer's
    // relative artifact paths are made absolute, so that the input is kept
    // where it would have been.
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    const std::string here = std::filesystem::current_path().string() + "/";
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string a = (*argv)[i];
        for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
            const std::size_t length = std::strlen(flag);
            if (a.compare(0, length, flag) == 0) {
                if (a[1] == 'a') prefixGiven = true;
                if (a.size() > length && a[length] != '/') a.insert(length, here);
            }
        }
        arguments.push_back(a);
    }
    if (!prefixGiven) arguments.push_back("-artifact_prefix=" + here);
    for (std::string& a : arguments) pointers.push_back(a.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const Expected expected = model(file);
    writeInput(data, size);

    units::connectStandardUnits();
    Ending ending = Ending::Completed;
    {
        InScratchFolder folder;
        try {
            wavefunction::readWavefunctionFile(g_molecule, g_raw);
        } catch (const RunEnded& ended) {
            FUZZ_CHECK(ended.kind == RunEnded::Kind::Aborted || ended.status == 2,
                       "a status of " + std::to_string(ended.status));
            ending = ended.kind == RunEnded::Kind::Aborted ? Ending::Aborted : Ending::Rejected;
        }
    }
    // The next input opens unit 13 again; a fatal report closes it only the
    // first time (closing every unit happens once per process).
    (void)units::closeUnit(wavefunction::WAVEFUNCTION_UNIT);
    FUZZ_CHECK(!units::isConnected(wavefunction::WAVEFUNCTION_UNIT), "unit 13 still connected");

    FUZZ_CHECK(ending == expected.ending,
               std::string("the reader ") + name(ending) + " a file of " + std::to_string(size) + " bytes that it should have " +
                   name(expected.ending));
    if (ending != Ending::Completed) return 0;
    checkAgainstModel(file, expected);
    wavefunction::completeMoleculeRecord(g_molecule, g_raw);
    checkCompletion();
    consume();
    return 0;
}
