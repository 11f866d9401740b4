#include "units/unit_table.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "units/error_numbers.h"
#include "units/signal_mask.h"
#include "units/statement_state.h"

namespace gridorb::units {
namespace {

struct Unit {
    bool connected = false;
    bool standard = false;  // preconnected: the descriptor is never closed
    int fd = -1;
    std::string name;  // private copy, trailing blanks removed; empty if none
    bool regularFile = false;  // the only kind of file that is cut at CLOSE
    bool readOnly = false;     // opened for reading; a WRITE reopens it for update
    bool written = false;
    bool flushEachRecord = false;  // a terminal sees each record when it ends
    bool reportWriteFailures = false;

    // Output: bytes [0, pending) of the buffer are still to be written; the
    // file offset of the first of them is `outputOffset`. `pending` is only
    // raised after the bytes are in place, so a handler never writes half a
    // record.
    volatile std::size_t pending = 0;
    std::int64_t outputOffset = 0;
    // Entries of g_repeats[unit] pending after the buffered bytes. With the
    // unit, not the entries: every flush and close reads it.
    volatile std::size_t repeats = 0;
    // Where the output is buffered when not in the unit's own buffer
    // (lendOutputBuffer), and how much that holds.
    char* volatile lent = nullptr;
    std::size_t capacity = UNIT_BUFFER_SIZE;

    // Input: the buffer holds the file's bytes [inputStart, inputStart +
    // inputLength); `readOffset` is the next byte the reader takes.
    std::int64_t inputStart = 0;
    std::size_t inputLength = 0;
    std::int64_t readOffset = 0;
};

Unit g_units[UNIT_COUNT];
// One stream buffer per unit, in static storage: nothing is allocated while
// the run writes, and a signal handler can reach every byte still to go out.
char g_buffers[UNIT_COUNT][UNIT_BUFFER_SIZE];

// Copies of a record that go out after the first `at` pending bytes of the
// unit's buffer, written straight from `copies`, which holds at least
// `count` of them, each `length` bytes. Entries [0, count) are pending, in
// order; an entry is complete before the unit's `repeats` count takes it in.
// Apart from the units, so that the unit table's start-up does not touch
// them, and only a unit that repeats records touches its own.
struct Repeat {
    std::size_t at;
    const char* copies;
    std::size_t length;
    std::size_t count;
};
constexpr std::size_t MAX_REPEATS = 128;
Repeat g_repeats[UNIT_COUNT][MAX_REPEATS];

bool validUnit(int unit) { return unit >= 0 && unit < UNIT_COUNT; }

char* outputBuffer(int index) {
    char* lent = g_units[index].lent;
    return lent != nullptr ? lent : g_buffers[index];
}

constexpr Failure NO_SUCH_UNIT{ILLEGAL_UNIT_NUMBER, "unit number"};  // no statement of the run names another unit

// What one write() or writev() gave: the bytes written, 0 to try again
// (interrupted), or -1 with errno set (nothing written counts as EIO).
ssize_t bytesWritten(ssize_t n) {
    if (n < 0) return errno == EINTR ? 0 : -1;
    if (n == 0) errno = EIO;
    return n == 0 ? -1 : n;
}

// write() until done; returns false with errno set on failure.
bool writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t n = bytesWritten(::write(fd, bytes, length));
        if (n < 0) return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// writev() until every piece is out; returns false with errno set on failure.
bool writeAllPieces(int fd, iovec* pieces, int count) {
    while (count > 0) {
        const ssize_t n = bytesWritten(::writev(fd, pieces, count));
        if (n < 0) return false;
        for (auto done = static_cast<std::size_t>(n); done > 0;) {
            if (done >= pieces->iov_len) {
                done -= pieces->iov_len;
                ++pieces;
                --count;
            } else {
                pieces->iov_base = static_cast<char*>(pieces->iov_base) + done;
                pieces->iov_len -= done;
                done = 0;
            }
        }
    }
    return true;
}

// Hands the buffered bytes, and the repeated records between them, to the
// system. Async-signal-safe.
bool flushPending(int index) {
    Unit& u = g_units[index];
    const Repeat* repeats = g_repeats[index];
    const std::size_t n = u.pending, r = u.repeats;
    if ((n == 0 && r == 0) || u.fd < 0) return true;
    bool ok;
    std::size_t total = n;
    char* const buffer = outputBuffer(index);
    if (r == 0) {
        ok = writeAll(u.fd, buffer, n);
    } else {
        iovec pieces[2 * MAX_REPEATS + 1];
        int count = 0;
        std::size_t from = 0;
        for (std::size_t i = 0; i < r; ++i) {
            const Repeat& repeat = repeats[i];
            if (repeat.at > from) pieces[count++] = {buffer + from, repeat.at - from};
            pieces[count++] = {const_cast<char*>(repeat.copies), repeat.length * repeat.count};
            total += repeat.length * repeat.count;
            from = repeat.at;
        }
        if (n > from) pieces[count++] = {buffer + from, n - from};
        ok = writeAllPieces(u.fd, pieces, count);
    }
    u.outputOffset += static_cast<std::int64_t>(total);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = 0;
    u.repeats = 0;
    return ok;
}

// What a failed step on a named output file gives: `number`, or the system's
// error when that is 0. The unit is given up first, so that closing the
// others does not try this stream again. The console and standard error
// never fail: a closed pipe does not stop the run.
Failure failed(int index, bool ok, const char* context, int number = 0) {
    Unit& u = g_units[index];
    if (ok || !u.reportWriteFailures) return {};
    int error = number != 0 ? number : errno;
    if (!u.standard && u.fd >= 0) ::close(u.fd);
    u.fd = -1;
    u.connected = false;
    u.pending = 0;
    u.repeats = 0;
    return {error, context};
}

// Flush, cut at the current position when the unit was written, close.
// With `report` false every failure is ignored (a run already ending).
// Async-signal-safe when `report` is false.
Failure closeIndex(int index, bool report) {
    Unit& u = g_units[index];
    if (!u.connected) return {};
    auto failedStep = [&](bool ok, const char* context, int number = 0) {
        return report ? failed(index, ok, context, number) : Failure{};
    };
    if (Failure f = failedStep(flushPending(index), "write")) return f;
    if (u.written && !u.name.empty() && u.regularFile && u.fd >= 0) {
        struct stat st;
        if (::fstat(u.fd, &st) == 0 && st.st_size > u.outputOffset) {
            bool cut = ::ftruncate(u.fd, u.outputOffset) == 0;
            if (Failure f = failedStep(cut, "endfile", TRUNCATION_FAILED)) return f;
        }
    }
    if (!u.standard && u.fd >= 0) {
        bool closed = ::close(u.fd) == 0;
        u.fd = -1;
        if (Failure f = failedStep(closed, "close")) return f;
    }
    u.connected = false;
    u.pending = 0;
    u.lent = nullptr;
    u.capacity = UNIT_BUFFER_SIZE;
    u.repeats = 0;
    return {};
}

volatile sig_atomic_t g_closeAllStarted = 0;

std::string_view withoutTrailingBlanks(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

// The start of an OPEN: the report shows the unit from here on. The file
// the unit had is closed, and the unit starts afresh under the new name.
Failure startOpen(int unit, std::string_view name) {
    if (!validUnit(unit)) return NO_SUCH_UNIT;
    beginStatement(Statement::Open, unit);
    Unit& u = g_units[unit];
    if (u.connected) {
        RunSignalsHeld held;
        if (Failure f = closeIndex(unit, true)) return f;
    }
    if (name.empty()) return {NULL_FILE_NAME, "open"};
    std::string copy;
    try {
        copy.assign(name);
    } catch (const std::bad_alloc&) {
        return {OUT_OF_FREE_SPACE, "no space"};
    }
    u = Unit{.name = std::move(copy)};
    return {};
}

void connectStandard(int index, int fd, bool written) {
    // Standard error is unbuffered; a terminal console sees each record at once.
    g_units[index] = Unit{.connected = true, .standard = true, .fd = fd, .name = {}, .written = written,
                          .flushEachRecord = index == STDERR_UNIT || ::isatty(fd) != 0};
}

}  // namespace

void connectStandardUnits() {
    connectStandard(STDERR_UNIT, 2, true);
    connectStandard(STDIN_UNIT, 0, false);
    connectStandard(CONSOLE_UNIT, 1, true);
}

Failure openOutputFile(int unit, std::string_view name) {
    name = withoutTrailingBlanks(name);
    // The same file: nothing to renew but the blank mode.
    if (validUnit(unit) && g_units[unit].connected && g_units[unit].name == name) {
        beginStatement(Statement::Open, unit);
        return {};
    }
    if (Failure f = startOpen(unit, name)) return f;
    Unit& u = g_units[unit];
    u.reportWriteFailures = true;

    // Update, else read only (the first WRITE reopens for update), else create.
    int fd = ::open(u.name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            u.readOnly = true;
        } else {
            fd = ::open(u.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0) return {errno, "open"};
            u.written = true;
        }
    }
    struct stat st;
    u.regularFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    u.fd = fd;
    u.flushEachRecord = !u.regularFile && ::isatty(fd) != 0;  // a file is no terminal: no need to ask
    u.connected = true;
    return {};
}

Failure openInputFile(int unit, std::string_view name) {
    if (Failure f = startOpen(unit, withoutTrailingBlanks(name))) return f;
    Unit& u = g_units[unit];
    // Only ever opened for reading: an input file is never created or emptied.
    int fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {errno, "open"};
    u.fd = fd;
    u.readOnly = true;
    u.connected = true;
    return {};
}

Failure closeUnit(int unit) {
    if (!validUnit(unit)) return NO_SUCH_UNIT;
    if (!g_units[unit].connected) return {};
    RunSignalsHeld held;
    // The standard streams stay connected: CLOSE only flushes them.
    if (g_units[unit].standard) return failed(unit, flushPending(unit), "write");
    return closeIndex(unit, true);
}

bool closeAllUnits() {
    if (g_closeAllStarted) return false;
    g_closeAllStarted = 1;
    for (int i = 0; i < UNIT_COUNT; ++i) (void)closeIndex(i, false);
    return true;
}

Failure closeOutputUnits() {
    RunSignalsHeld held;
    g_closeAllStarted = 1;
    for (int i = 0; i < UNIT_COUNT; ++i) {
        if (g_units[i].standard) continue;
        if (Failure f = closeIndex(i, true)) return f;
    }
    flushStandardStreams();
    return {};
}

void flushStandardStreams() {
    flushPending(CONSOLE_UNIT);
    flushPending(STDERR_UNIT);
}

Failure prepareForWrite(int unit, const char* failureContext) {
    if (!validUnit(unit)) return NO_SUCH_UNIT;
    Unit& u = g_units[unit];
    if (!u.connected) return {UNIT_NOT_CONNECTED, failureContext};
    if (u.readOnly) {
        int fd = ::open(u.name.c_str(), O_RDWR | O_CLOEXEC);
        ::close(u.fd);
        if (fd < 0) {
            u.fd = -1;
            u.connected = false;
            return {CANT_WRITE_FILE, failureContext};
        }
        u.fd = fd;
        u.readOnly = false;
        u.outputOffset = u.readOffset;
        if (::lseek(fd, u.outputOffset, SEEK_SET) < 0) u.outputOffset = 0;
    }
    u.written = true;
    return {};
}

void lendOutputBuffer(int unit, char* memory, std::size_t size) {
    if (!validUnit(unit) || !g_units[unit].connected || size < UNIT_BUFFER_SIZE) return;
    Unit& u = g_units[unit];
    // Bytes already buffered move along; a handler meanwhile finds them in either place.
    if (u.pending > 0) std::memcpy(memory, outputBuffer(unit), u.pending);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.lent = memory;
    u.capacity = size;
}

Failure writeRecord(int unit, const char* bytes, std::size_t length) {
    if (!validUnit(unit)) return NO_SUCH_UNIT;
    Unit& u = g_units[unit];
    if (!u.connected || u.fd < 0) return {};
    u.written = true;
    std::size_t whole = length + LINE_END_LENGTH;
    if (u.pending + whole > u.capacity) {
        RunSignalsHeld held;
        if (Failure f = failed(unit, flushPending(unit), "write")) return f;
        if (whole > u.capacity) {
            // Longer than the buffer: straight out, the signals held so that
            // a handler never sees part of it.
            bool ok = writeAll(u.fd, bytes, length) && writeAll(u.fd, LINE_END, LINE_END_LENGTH);
            u.outputOffset += static_cast<std::int64_t>(whole);
            return failed(unit, ok, "write");
        }
    }
    char* end = outputBuffer(unit) + u.pending;
    if (length > 0) std::memcpy(end, bytes, length);
    std::memcpy(end + length, LINE_END, LINE_END_LENGTH);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = u.pending + whole;
    if (!u.flushEachRecord) return {};
    RunSignalsHeld held;
    return failed(unit, flushPending(unit), "write");
}

namespace {

// Brings the descriptor to `readOffset`. Sequential reads only, so that
// FOR013 may also be a pipe: a skip past what was read seeks, or on a pipe
// reads and discards. Sets `atEnd` when the file ends first.
Failure positionInput(int index, const char* context, bool& atEnd) {
    Unit& u = g_units[index];
    char* buffer = g_buffers[index];
    atEnd = false;
    std::int64_t fdOffset = u.inputStart + static_cast<std::int64_t>(u.inputLength);
    if (u.readOffset == fdOffset) return {};
    if (::lseek(u.fd, u.readOffset, SEEK_SET) >= 0) {
        u.inputStart = u.readOffset;
        u.inputLength = 0;
        return {};
    }
    while (fdOffset < u.readOffset) {
        std::int64_t gap = u.readOffset - fdOffset;
        std::size_t want =
            gap < static_cast<std::int64_t>(UNIT_BUFFER_SIZE) ? static_cast<std::size_t>(gap) : UNIT_BUFFER_SIZE;
        ssize_t n = ::read(u.fd, buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return {errno, context};
        if (n == 0) {
            atEnd = true;
            break;
        }
        fdOffset += n;
    }
    u.inputStart = fdOffset;
    u.inputLength = 0;
    return {};
}

// Reads up to `length` bytes at `readOffset` into `into`; `got` is 0 at end
// of file. The input buffer is left empty at the new offset unless `into`
// is the buffer itself.
Failure readInput(int index, char* into, std::size_t length, const char* context, std::size_t& got) {
    Unit& u = g_units[index];
    got = 0;
    bool atEnd = false;
    if (Failure f = positionInput(index, context, atEnd)) return f;
    if (atEnd) return {};
    ssize_t n;
    do {
        n = ::read(u.fd, into, length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return {errno, context};
    got = static_cast<std::size_t>(n);
    const bool buffered = into == g_buffers[index];
    u.inputStart = u.readOffset + (buffered ? 0 : static_cast<std::int64_t>(got));
    u.inputLength = buffered ? got : 0;
    return {};
}

// Room for a record in place: the fast paths below stay small, the rare
// flush happens out of line.
char g_discarded[RECORD_ROOM_LIMIT];

[[gnu::noinline, gnu::cold]] Failure flushForRoom(int unit) {
    RunSignalsHeld held;
    return failed(unit, flushPending(unit), "write");
}

}  // namespace

char* recordRoom(int unit, std::size_t capacity, Failure& failure) {
    // A unit that cannot take the record gets scratch room: its bytes are dropped.
    if (!validUnit(unit) || !g_units[unit].connected || g_units[unit].fd < 0 || capacity > RECORD_ROOM_LIMIT)
        [[unlikely]] return g_discarded;
    Unit& u = g_units[unit];
    if (u.pending + capacity > u.capacity) [[unlikely]] {
        failure = flushForRoom(unit);
        if (failure) return g_discarded;
    }
    return outputBuffer(unit) + u.pending;
}

Failure repeatRecord(int unit, const char* copies, std::size_t length, std::size_t count) {
    if (!validUnit(unit) || !g_units[unit].connected || g_units[unit].fd < 0) [[unlikely]] return {};
    Unit& u = g_units[unit];
    if (count == 0) return {};
    if (u.repeats == MAX_REPEATS) {
        if (Failure f = flushForRoom(unit)) return f;
    }
    g_repeats[unit][u.repeats] = {u.pending, copies, length, count};
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.repeats = u.repeats + 1;
    u.written = true;
    if (u.flushEachRecord) [[unlikely]] return flushForRoom(unit);
    return {};
}

Failure endRecordsInRoom(int unit, std::size_t bytes) {
    if (!validUnit(unit) || !g_units[unit].connected || g_units[unit].fd < 0 || bytes > RECORD_ROOM_LIMIT)
        [[unlikely]] return {};
    Unit& u = g_units[unit];
    // Only now are the records part of the stream: a handler never sees half of one.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = u.pending + bytes;
    u.written = true;
    if (u.flushEachRecord) [[unlikely]] return flushForRoom(unit);
    return {};
}

Failure readBytes(int unit, void* destination, std::size_t length, const char* context, std::size_t& done) {
    done = 0;
    if (!validUnit(unit)) return NO_SUCH_UNIT;
    Unit& u = g_units[unit];
    if (!u.connected || u.fd < 0) return {UNIT_NOT_CONNECTED, context};
    char* out = static_cast<char*>(destination);
    const char* buffer = g_buffers[unit];
    while (done < length) {
        std::int64_t bufferEnd = u.inputStart + static_cast<std::int64_t>(u.inputLength);
        if (u.readOffset >= u.inputStart && u.readOffset < bufferEnd) {
            std::size_t at = static_cast<std::size_t>(u.readOffset - u.inputStart);
            std::size_t take = u.inputLength - at;
            if (take > length - done) take = length - done;
            std::memcpy(out + done, buffer + at, take);
            done += take;
            u.readOffset += static_cast<std::int64_t>(take);
            continue;
        }
        std::size_t got = 0;
        if (length - done >= UNIT_BUFFER_SIZE) {
            // Large items (the matrices) straight into place: one copy, not two.
            if (Failure f = readInput(unit, out + done, length - done, context, got)) return f;
            done += got;
            u.readOffset += static_cast<std::int64_t>(got);
        } else {
            // As much as the item needs, in whole pages: a file of small
            // records (the head of FOR013) touches one page of the buffer, not 16.
            constexpr std::size_t PAGE = 4096;
            const std::size_t want = std::min(UNIT_BUFFER_SIZE, (length - done + PAGE - 1) / PAGE * PAGE);
            if (Failure f = readInput(unit, g_buffers[unit], want, context, got)) return f;
        }
        if (got == 0) break;  // end of file
    }
    return {};
}

void skipBytes(int unit, std::int64_t count) {
    if (validUnit(unit)) g_units[unit].readOffset += count;
}

bool isConnected(int unit) { return validUnit(unit) && g_units[unit].connected; }

std::string_view fileName(int unit) {
    if (!validUnit(unit)) return {};
    return g_units[unit].name;
}

}  // namespace gridorb::units
