#include "evaluator/volume_evaluation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include <sched.h>

#include "evaluator/atom_sweep.h"
#include "evaluator/helper_thread.h"
#include "evaluator/kernel_layout.h"
#include "evaluator/row_bounds.h"
#include "platform/pages.h"
#include "platform/processor.h"

namespace gridorb::evaluator {
namespace {

constexpr int CHUNKS = (POINTS_PER_AXIS + CHUNK_PLANES - 1) / CHUNK_PLANES;

// The chunks of z-planes from the middle of the box outwards: the box is
// laid around the atoms, so the first chunks hold values near the peak, and
// the rows of the later ones can be bounded against it.
constexpr std::array<int, CHUNKS> CHUNK_ORDER = [] {
    std::array<int, CHUNKS> order{};
    int n = 0;
    for (int step = 0; n < CHUNKS; ++step) {
        const int c = FIRST_CHUNK + (step % 2 == 0 ? -step / 2 : (step + 1) / 2);
        if (c >= 0 && c < CHUNKS) order[n++] = c;
    }
    return order;
}();

// The chunks in CHUNK_ORDER, each to whichever thread asks next. The calling
// thread holds the first from the start; a helper that the system starts
// late, or not at all, on a busy machine leaves its share to the calling
// thread instead of holding it up.
class PlaneChunks {
public:
    // The next chunk, or -1 when none is left.
    int claim() {
        const int k = next_.fetch_add(1, std::memory_order_relaxed);
        return k < CHUNKS ? CHUNK_ORDER[k] : -1;
    }

private:
    std::atomic<int> next_{1};
};

inline void spinPause() {
#if defined(__x86_64__)
    __builtin_ia32_pause();
#endif
}

// Every atom laid out once, by whichever thread claims it: a thread about to
// sweep atom i claims atom i if nobody has, and then one atom more, so that
// each lays out about as many as it sweeps while any are left. The helper
// waits (spinning) for an atom the calling thread has in hand; the calling
// thread never waits for the helper, but lays the atom out itself into `own`
// (seedPeakFloor waits briefly, before any chunk).
class SharedLayouts {
public:
    SharedLayouts(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                  std::array<KernelAtom, MAX_ATOMS>& store)
        : atoms_(atoms), frame_(frame), weights_(weights), store_(store) {}

    const KernelAtom& get(int i, KernelAtom* own) {
        if (ready_[i].load(std::memory_order_acquire)) return store_[i];
        layOutClaimed(i, 1);
        if (own != nullptr && !ready_[i].load(std::memory_order_acquire)) {
            layOut(i, *own);
            return *own;
        }
        // The atom is a few microseconds from ready: waiting asleep, the
        // helper paid 15-30 µs of waking each time, and as the two threads
        // start together it waited for most atoms.
        while (!ready_[i].load(std::memory_order_acquire)) spinPause();
        return store_[i];
    }

    // Lays out atoms until none is left to claim.
    void layOutUnclaimed() { layOutClaimed(atoms_.count, 0); }

    // Every atom in the store, for bounding rows against all of them.
    bool allReady() const { return readyCount_.load(std::memory_order_acquire) == atoms_.count; }
    const KernelAtom* store() const { return store_.data(); }

private:
    // Claims the unclaimed atoms up to `through` in order and lays each out,
    // then `beyond` more past it, as far as any are left.
    void layOutClaimed(int through, int beyond) {
        for (int m = next_.load(std::memory_order_relaxed); m < atoms_.count && (m <= through || beyond > 0);) {
            if (!next_.compare_exchange_weak(m, m + 1, std::memory_order_relaxed)) continue;
            if (m > through) --beyond;
            layOut(m, store_[m]);
            ready_[m].store(true, std::memory_order_release);
            readyCount_.fetch_add(1, std::memory_order_release);
            m = next_.load(std::memory_order_relaxed);
        }
    }

    void layOut(int i, KernelAtom& into) { prepareKernelAtom(computeAtomFactors(atoms_.atoms[i], frame_, weights_), into); }

    const MoleculeAtoms& atoms_;
    const GridFrame& frame_;
    const basis::BasisWeights& weights_;
    std::array<KernelAtom, MAX_ATOMS>& store_;
    std::atomic<int> next_{0};
    std::array<std::atomic<bool>, MAX_ATOMS> ready_{};
    std::atomic<int> readyCount_{0};
};

void combine(ValueRange& range, const ValueRange& other) {
    range.minimum = other.minimum < range.minimum ? other.minimum : range.minimum;
    range.maximum = other.maximum > range.maximum ? other.maximum : range.maximum;
}

// Widens `range` to `count` finished values. Eight running
// extremes side by side in a vector type (as plain loops the compiler left
// them scalar), then combined. Taking the smaller of two values never
// depends on the order but for equal zeros of opposite sign, which no output
// shows; a NaN is never taken.
typedef float Float8 __attribute__((vector_size(32)));

[[gnu::always_inline]] inline void widenRangeBody(const float* values, int count, ValueRange& range) {
    constexpr int LANES = 8;
    const float m = range.minimum, n = range.maximum;
    Float8 low = {m, m, m, m, m, m, m, m}, high = {n, n, n, n, n, n, n, n};
    const int whole = count / LANES * LANES;
    for (int i = 0; i < whole; i += LANES) {
        Float8 v;
        std::memcpy(&v, values + i, sizeof v);
        low = v < low ? v : low;
        high = v > high ? v : high;
    }
    for (int i = whole; i < count; ++i) {
        low[0] = values[i] < low[0] ? values[i] : low[0];
        high[0] = values[i] > high[0] ? values[i] : high[0];
    }
    for (int l = 0; l < LANES; ++l) combine(range, {low[l], high[l]});
}

GRIDORB_AVX2_TARGET void widenRangeAvx2(const float* values, int count, ValueRange& range) {
    widenRangeBody(values, count, range);
}

void widenRange(const float* values, int count, ValueRange& range) {
    if (platform::hasAvx2()) {
        widenRangeAvx2(values, count, range);
    } else {
        widenRangeBody(values, count, range);
    }
}

// What both threads share while they sweep.
struct SharedSweep {
    SharedLayouts& layouts;
    PlaneChunks& chunks;
    int atomCount;
    // Where each row goes: every row in place (values + 51 * r), or (packed)
    // the rows that can show, each chunk's placed after the last one handed out.
    float* values;
    std::uint32_t* offset;
    bool packed;
    std::atomic<std::uint32_t> used{0};  // packed values handed out
    std::atomic<std::uint32_t> faultedIn{0};  // values whose pages are in place
    // The largest |v| of the chunks finished so far (float bits, never NaN):
    // no greater than the normaliser of the volume file.
    std::atomic<std::uint32_t> peakFloor{0};
    // Set once the calling thread has seeded peakFloor (or given up): the
    // helper's first chunk waits for it.
    std::atomic<bool> seeded{false};
};

// One thread's share of the results.
struct SweptPart {
    ValueRange range;       // of its chunks' rows
    float deadPeak = 0.0f;  // the largest bound of a row it left out
};

void raisePeakFloor(std::atomic<std::uint32_t>& floor, const ValueRange& range) {
    // No value taken yet (every row so far left out, or all NaN): the range's
    // infinite seeds are no values of the grid.
    if (!(range.minimum <= range.maximum)) return;
    const float peak = std::max(std::fabs(range.minimum), std::fabs(range.maximum));
    if (!(peak > 0.0f)) return;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(peak);  // ordered as the values are, for peak >= 0
    std::uint32_t seen = floor.load(std::memory_order_relaxed);
    while (bits > seen && !floor.compare_exchange_weak(seen, bits, std::memory_order_relaxed)) {
    }
}

// The packed rows are handed out from the start of their memory on; where
// it is fresh, zeroing them page by page would trap at each page.
void faultIn(SharedSweep& work, std::uint32_t start, std::uint32_t next) {
    constexpr std::uintptr_t PAGE = platform::PAGE_SIZE;
    std::uint32_t done = work.faultedIn.load(std::memory_order_relaxed);
    if (next <= done) return;
    // The page that holds value done - 1 is in place already.
    auto from = reinterpret_cast<std::uintptr_t>(work.values + std::max(start, done));
    if (start <= done && done > 0) from = (from + PAGE - 1) & ~(PAGE - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(work.values + next);
    if (from < end) platform::populatePages(reinterpret_cast<const void*>(from), end - from);
    while (next > done && !work.faultedIn.compare_exchange_weak(done, next, std::memory_order_relaxed)) {
    }
}

// Places the rows of chunk [izBegin, izEnd) that are to be summed and
// zeroes them; returns where their values start and how many there are.
std::pair<std::uint32_t, int> placeRows(SharedSweep& work, int izBegin, int izEnd, SweptPart& part) {
    const int firstRow = izBegin * POINTS_PER_AXIS, rowCount = (izEnd - izBegin) * POINTS_PER_AXIS;
    if (!work.packed) {
        const std::uint32_t start = static_cast<std::uint32_t>(firstRow) * POINTS_PER_AXIS;
        std::fill(work.values + start, work.values + start + rowCount * POINTS_PER_AXIS, 0.0f);
        return {start, rowCount * POINTS_PER_AXIS};
    }
    // The rows are bounded against the peak found so far, once every atom is laid out.
    const float floor = std::bit_cast<float>(work.peakFloor.load(std::memory_order_relaxed));
    const bool bound = floor > 0.0f && work.layouts.allReady();
    std::uint64_t live[CHUNK_PLANES];
    int kept = 0;
    for (int iz = izBegin; iz < izEnd; ++iz) {
        PlaneRows rows;
        if (bound) rows = boundPlaneRows(work.layouts.store(), work.atomCount, iz, floor);
        live[iz - izBegin] = rows.live;
        kept += std::popcount(rows.live);
        part.deadPeak = std::max(part.deadPeak, rows.deadPeak);
    }
    const std::uint32_t start = work.used.fetch_add(static_cast<std::uint32_t>(kept) * POINTS_PER_AXIS, std::memory_order_relaxed);
    std::uint32_t next = start;
    for (int r = 0; r < rowCount; ++r) {
        const bool keep = (live[r / POINTS_PER_AXIS] >> (r % POINTS_PER_AXIS) & 1) != 0;
        work.offset[firstRow + r] = keep ? next : PackedVolume::NO_ROW;
        next += keep ? POINTS_PER_AXIS : 0;
    }
    faultIn(work, start, next);
    std::fill(work.values + start, work.values + next, 0.0f);
    return {start, kept * POINTS_PER_AXIS};
}

// Before any chunk, with every atom laid out, the floor is seeded from one
// row: without it the first chunk of each thread was summed whole (water:
// 719 rows summed, 614 with the seed). The row is the middle plane's with
// the largest bound; its values are values of the grid, summed as the chunk
// will sum them again.
void seedPeakFloor(SharedSweep& work) {
    work.layouts.layOutUnclaimed();
    // The helper's last atoms are a microsecond or two from ready. A helper
    // the system has stopped is waited for about 10 µs, no longer: the
    // chunks then go unbounded until a first one is finished, as without
    // the seed.
    constexpr int SPINS = 400;
    for (int spin = 0; spin < SPINS && !work.layouts.allReady(); ++spin) spinPause();
    if (work.layouts.allReady()) {
        constexpr int PLANE = POINTS_PER_AXIS / 2;
        static_assert(PLANE / CHUNK_PLANES == FIRST_CHUNK);
        const int row = strongestRow(work.layouts.store(), work.atomCount, PLANE);
        // Placed through the plane's entries of the offset table, which the
        // first chunk sets again.
        std::uint32_t* plane = work.offset + PLANE * POINTS_PER_AXIS;
        std::fill(plane, plane + POINTS_PER_AXIS, PackedVolume::NO_ROW);
        plane[row] = 0;
        float pilot[PADDED_ROW] = {};
        for (int i = 0; i < work.atomCount; ++i)
            sweepAtom(work.layouts.store()[i], PLANE, PLANE + 1, {pilot, work.offset});
        ValueRange range;
        widenRange(pilot, POINTS_PER_AXIS, range);
        raisePeakFloor(work.peakFloor, range);
    }
    work.seeded.store(true, std::memory_order_release);
}

// Sweeps chunk c for every atom; `atomStarted`, if given, is told of each
// atom this thread starts for the first time.
void sweepChunk(SharedSweep& work, int c, KernelAtom* own, SweptPart& part, const AtomStarted* atomStarted,
                int& announced) {
    const int izBegin = c * CHUNK_PLANES, izEnd = std::min(izBegin + CHUNK_PLANES, POINTS_PER_AXIS);
    const auto [start, count] = placeRows(work, izBegin, izEnd, part);
    for (int i = 0; i < work.atomCount; ++i) {
        if (atomStarted != nullptr && i == announced && *atomStarted) (*atomStarted)(announced++);
        sweepAtom(work.layouts.get(i, own), izBegin, izEnd, {work.values, work.offset});
    }
    widenRange(work.values + start, count, part.range);
    if (work.packed) raisePeakFloor(work.peakFloor, part.range);
}

// Every value left out lies within +-deadPeak. Where the range reaches past
// that on both sides, it is the range of the whole volume; otherwise (an
// orbital of one sign, or with a faint second lobe) the rows left out are
// summed after all, and the range taken again.
ValueRange completeRange(SharedSweep& work, const ValueRange& range, float deadPeak) {
    if (deadPeak == 0.0f || (range.minimum <= -deadPeak && range.maximum >= deadPeak)) return range;
    std::array<std::uint32_t, GRID_ROWS> added;  // places for the rows left out, and only for them
    const std::uint32_t start = work.used.load(std::memory_order_relaxed);
    std::uint32_t next = start;
    for (int r = 0; r < GRID_ROWS; ++r) {
        const bool leftOut = work.offset[r] == PackedVolume::NO_ROW;
        added[r] = leftOut ? next : PackedVolume::NO_ROW;
        next += leftOut ? POINTS_PER_AXIS : 0;
    }
    std::fill(work.values + start, work.values + next, 0.0f);
    for (int i = 0; i < work.atomCount; ++i) sweepAtom(work.layouts.get(i, nullptr), 0, POINTS_PER_AXIS, {work.values, added.data()});
    for (int r = 0; r < GRID_ROWS; ++r) {
        if (added[r] != PackedVolume::NO_ROW) work.offset[r] = added[r];
    }
    work.used.store(next, std::memory_order_relaxed);
    ValueRange whole;
    widenRange(work.values, static_cast<int>(next), whole);
    return whole;
}

// The helper's part: chunks while any are left.
struct HelperWork {
    SharedSweep& shared;
    SweptPart part;
};

void helperMain(void* context) {
    auto& work = *static_cast<HelperWork*>(context);
    work.shared.layouts.layOutUnclaimed();
    while (!work.shared.seeded.load(std::memory_order_acquire)) spinPause();
    int announced = 0;
    for (int c; (c = work.shared.chunks.claim()) >= 0;) sweepChunk(work.shared, c, nullptr, work.part, nullptr, announced);
}

ValueRange evaluate(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                    AtomLayouts& store, float* values, std::uint32_t* offset, bool packed, std::uint32_t valuesInPlace,
                    HelperThread* helper, const AtomStarted& atomStarted, std::uint32_t& used) {
    SharedLayouts layouts(atoms, frame, weights, store.atoms);
    PlaneChunks chunks;
    SharedSweep shared{layouts, chunks, atoms.count, values, offset, packed};
    shared.faultedIn.store(valuesInPlace, std::memory_order_relaxed);

    HelperWork work{shared, {}};
    const bool helped = helper != nullptr && helper->started();
    if (helped) helper->run(helperMain, &work);
    if (packed) {
        seedPeakFloor(shared);
    } else {
        shared.seeded.store(true, std::memory_order_release);
    }
    // The first chunk announces each atom as this thread reaches it.
    SweptPart part;
    int announced = 0;
    for (int c = FIRST_CHUNK; c >= 0; c = chunks.claim()) sweepChunk(shared, c, &store.own, part, &atomStarted, announced);
    if (helped) helper->finish();  // its part complete, or never begun
    combine(part.range, work.part.range);
    const ValueRange range = completeRange(shared, part.range, std::max(part.deadPeak, work.part.deadPeak));
    used = shared.used.load(std::memory_order_relaxed);
    return range;
}

}  // namespace

int defaultThreadCount() {
    // The processors this process may use (not those the machine has: a
    // run limited to one gets one thread), without reading /sys as the
    // standard library's count does.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    return CPU_COUNT(&set) >= 2 ? 2 : 1;
}

ValueRange evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                          OrbitalVolume& psi, int threadCount, const AtomStarted& atomStarted) {
    // Static: the layouts of 50 atoms take 94 pages, which a benchmark's
    // repeated calls should not fault in afresh. One evaluation at a time.
    static std::mutex storeMutex;
    static AtomLayouts store;
    std::lock_guard lock(storeMutex);
    std::array<std::uint32_t, GRID_ROWS> inPlace;
    for (int r = 0; r < GRID_ROWS; ++r) inPlace[r] = static_cast<std::uint32_t>(r) * POINTS_PER_AXIS;
    std::uint32_t used = 0;
    std::optional<HelperThread> helper;
    if (threadCount >= 2) helper.emplace();
    return evaluate(atoms, frame, weights, store, psi.values.data(), inPlace.data(), false, 0,
                    helper ? &*helper : nullptr, atomStarted, used);
}

ValueRange evaluateVisible(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                           AtomLayouts& layouts, PackedVolume& volume, std::uint32_t valuesInPlace,
                           HelperThread* helper, const AtomStarted& atomStarted) {
    return evaluate(atoms, frame, weights, layouts, volume.values.data(), volume.offset.data(), true, valuesInPlace,
                    helper, atomStarted, volume.count);
}

}  // namespace gridorb::evaluator
