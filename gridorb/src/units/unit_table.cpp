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

#include "units/fatal_report.h"
#include "units/run_end.h"

namespace gridorb::units {
namespace {

enum class Access { ReadOnly, WriteOnly, Both };

// One stream buffer per unit, in static storage: nothing is allocated while
// the run writes, and a signal handler can reach every byte still to go out.
constexpr std::size_t BUFFER_SIZE = 64 * 1024;

struct Unit {
    bool connected = false;
    bool standard = false;  // preconnected: the descriptor is never closed
    int fd = -1;
    std::string name;  // private copy, trailing blanks removed; empty if none
    bool formatted = true;
    bool seekable = false;
    bool regularFile = false;
    Access access = Access::Both;
    bool written = false;
    bool flushEachRecord = false;  // a terminal sees each record when it ends
    bool reportWriteFailures = false;

    // Output: bytes [0, pending) of the buffer are still to be written; the
    // file offset of the first of them is `outputOffset`. `pending` is only
    // raised after the bytes are in place, so a handler never writes half a
    // record.
    volatile std::size_t pending = 0;
    std::int64_t outputOffset = 0;

    // Input: the buffer holds the file's bytes [inputStart, inputStart +
    // inputLength); `readOffset` is the next byte the reader takes.
    std::int64_t inputStart = 0;
    std::size_t inputLength = 0;
    std::int64_t readOffset = 0;
};

Unit g_units[UNIT_COUNT];
char g_buffers[UNIT_COUNT][BUFFER_SIZE];

[[noreturn, gnu::cold]] void noSuchUnit() {
    endFailedRun(101, "unit number");  // no statement of the run names another unit
}

Unit& unitAt(int unit) {
    if (unit < 0 || unit >= UNIT_COUNT) [[unlikely]] noSuchUnit();
    return g_units[unit];
}

// The run's four signals are held back while a buffer is handed to the
// system, so that a handler never writes the same bytes twice.
class SignalHold {
public:
    SignalHold() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGFPE);
        sigaddset(&set, SIGABRT);
        sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    ~SignalHold() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

private:
    sigset_t saved_;
};

// write() until done; returns false with errno set on failure.
bool writeAll(int fd, const char* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Hands the buffered bytes to the system. Async-signal-safe.
bool flushPending(int index) {
    Unit& u = g_units[index];
    std::size_t n = u.pending;
    if (n == 0 || u.fd < 0) return true;
    bool ok = writeAll(u.fd, g_buffers[index], n);
    u.outputOffset += static_cast<std::int64_t>(n);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = 0;
    return ok;
}

// A failed write to a named output file ends the run; the console and
// standard error go on regardless.
void failIfReported(int index, bool ok, const char* context) {
    if (ok || !g_units[index].reportWriteFailures) return;
    int error = errno;
    Unit& u = g_units[index];
    // The unit is given up before the report, so that closing the others
    // does not try this stream again.
    if (!u.standard && u.fd >= 0) ::close(u.fd);
    u.fd = -1;
    u.connected = false;
    u.pending = 0;
    endFailedRun(error, context);
}

// Flush, cut at the current position when the unit was written, close.
// With `report` false every failure is ignored (a run already ending).
// Async-signal-safe when `report` is false.
void closeIndex(int index, bool report) {
    Unit& u = g_units[index];
    if (!u.connected) return;
    bool ok = flushPending(index);
    if (report) failIfReported(index, ok, "write");
    if (u.written && !u.name.empty() && u.seekable && u.regularFile && u.fd >= 0) {
        struct stat st;
        if (::fstat(u.fd, &st) == 0 && st.st_size > u.outputOffset) {
            bool cut = ::ftruncate(u.fd, u.outputOffset) == 0;
            if (report) failIfReported(index, cut, "endfile");
        }
    }
    if (!u.standard && u.fd >= 0) {
        bool closed = ::close(u.fd) == 0;
        u.fd = -1;
        if (report) failIfReported(index, closed, "close");
    }
    u.connected = false;
    u.pending = 0;
}

volatile sig_atomic_t g_closeAllStarted = 0;

std::string_view withoutTrailingBlanks(std::string_view name) {
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

void keepName(Unit& u, std::string_view name) {
    try {
        u.name.assign(name);
    } catch (const std::bad_alloc&) {
        endFailedRun(OUT_OF_FREE_SPACE, "no space");
    }
}

void connectStandard(int index, int fd, bool written) {
    Unit& u = g_units[index];
    u.connected = true;
    u.standard = true;
    u.fd = fd;
    u.name.clear();
    u.formatted = true;
    u.seekable = ::isatty(fd) == 0;
    u.access = Access::Both;
    u.written = written;
    // Standard error is unbuffered; a terminal console sees each record at once.
    u.flushEachRecord = index == STDERR_UNIT || !u.seekable;
    u.reportWriteFailures = false;
}

}  // namespace

void connectStandardUnits() {
    connectStandard(STDERR_UNIT, 2, true);
    connectStandard(STDIN_UNIT, 0, false);
    connectStandard(CONSOLE_UNIT, 1, true);
}

namespace {

// The start of an OPEN: the report shows the unit from here on.
Unit& startOpen(int unit) {
    Unit& u = unitAt(unit);
    StatementState& state = statementState();
    state.currentUnit = unit;
    state.external = true;
    return u;
}

}  // namespace

void openOutputFile(int unit, std::string_view name) {
    Unit& u = startOpen(unit);
    name = withoutTrailingBlanks(name);
    if (u.connected) {
        if (u.name == name) return;  // same file: nothing to renew but the blank mode
        closeIndex(unit, true);
    }
    if (name.empty()) endFailedRun(NULL_FILE_NAME, "open");
    keepName(u, name);

    u.formatted = true;
    u.written = false;
    u.access = Access::Both;
    u.pending = 0;
    u.outputOffset = 0;
    u.standard = false;
    u.reportWriteFailures = true;

    // Update, else read only (the first WRITE reopens for update), else create.
    int fd = ::open(u.name.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            u.access = Access::ReadOnly;
        } else {
            fd = ::open(u.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0) endFailedRun(errno, "open");
            u.access = Access::WriteOnly;
            u.written = true;
        }
    }
    struct stat st;
    u.regularFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    u.fd = fd;
    u.seekable = ::isatty(fd) == 0;
    u.flushEachRecord = !u.seekable;
    u.connected = true;
}

void openInputFile(int unit, std::string_view name) {
    Unit& u = startOpen(unit);
    name = withoutTrailingBlanks(name);
    if (u.connected) closeIndex(unit, true);
    if (name.empty()) endFailedRun(NULL_FILE_NAME, "open");
    keepName(u, name);

    // Only ever opened for reading: an input file is never created or emptied.
    int fd = ::open(u.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) endFailedRun(errno, "open");
    u.fd = fd;
    u.standard = false;
    u.formatted = false;
    u.access = Access::ReadOnly;
    u.written = false;
    u.seekable = ::isatty(fd) == 0;
    u.regularFile = false;
    u.flushEachRecord = false;
    u.reportWriteFailures = false;
    u.pending = 0;
    u.inputStart = 0;
    u.inputLength = 0;
    u.readOffset = 0;
    u.connected = true;
}

void closeUnit(int unit) {
    Unit& u = unitAt(unit);
    if (!u.connected) return;
    SignalHold hold;
    if (u.standard) {
        // The standard streams stay connected: CLOSE only flushes them.
        flushPending(unit);
        return;
    }
    closeIndex(unit, true);
}

bool closeAllUnits() {
    if (g_closeAllStarted) return false;
    g_closeAllStarted = 1;
    for (int i = 0; i < UNIT_COUNT; ++i) closeIndex(i, false);
    return true;
}

void flushStandardStreams() {
    flushPending(CONSOLE_UNIT);
    flushPending(STDERR_UNIT);
}

[[noreturn]] void stopRun() {
    {
        SignalHold hold;
        g_closeAllStarted = 1;
        // A failure to write out, cut or close an output file is reported:
        // a run whose files are incomplete must not end with status 0.
        for (int i = 0; i < UNIT_COUNT; ++i) {
            if (!g_units[i].standard) closeIndex(i, true);
        }
        flushStandardStreams();
    }
    exitRun(0);
}

void prepareForWrite(int unit, const char* failureContext) {
    Unit& u = unitAt(unit);
    if (!u.connected) endFailedRun(114, failureContext);
    if (u.access == Access::ReadOnly) {
        int fd = ::open(u.name.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            ::close(u.fd);
            u.fd = -1;
            u.connected = false;
            endFailedRun(CANT_WRITE_FILE, failureContext);
        }
        ::close(u.fd);
        u.fd = fd;
        u.access = Access::Both;
        u.outputOffset = u.readOffset;
        if (::lseek(fd, u.outputOffset, SEEK_SET) < 0) u.outputOffset = 0;
    }
    u.written = true;
}

void writeRecord(int unit, const char* bytes, std::size_t length) {
    Unit& u = unitAt(unit);
    if (!u.connected || u.fd < 0) return;
    u.written = true;
    std::size_t whole = length + LINE_END_LENGTH;
    if (u.pending + whole > BUFFER_SIZE) {
        SignalHold hold;
        failIfReported(unit, flushPending(unit), "write");
    }
    if (whole > BUFFER_SIZE) {
        // A record longer than the buffer goes out directly, still in one piece.
        SignalHold hold;
        struct iovec parts[2] = {{const_cast<char*>(bytes), length}, {const_cast<char*>(LINE_END), LINE_END_LENGTH}};
        bool ok = true;
        std::size_t total = whole;
        std::size_t done = 0;
        while (done < total) {
            ssize_t n = ::writev(u.fd, parts, 2);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            done += static_cast<std::size_t>(n);
            std::size_t skip = static_cast<std::size_t>(n);
            for (auto& part : parts) {
                std::size_t take = skip < part.iov_len ? skip : part.iov_len;
                part.iov_base = static_cast<char*>(part.iov_base) + take;
                part.iov_len -= take;
                skip -= take;
            }
        }
        u.outputOffset += static_cast<std::int64_t>(done);
        failIfReported(unit, ok, "write");
        return;
    }
    char* end = g_buffers[unit] + u.pending;
    if (length > 0) std::memcpy(end, bytes, length);
    std::memcpy(end + length, LINE_END, LINE_END_LENGTH);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = u.pending + whole;
    if (u.flushEachRecord) {
        SignalHold hold;
        failIfReported(unit, flushPending(unit), "write");
    }
}

namespace {

// Refills the input buffer with the bytes at `readOffset`. Sequential reads
// only, so that FOR013 may also be a pipe; a skip past the buffer seeks, or
// on a pipe reads and discards. Returns the bytes now buffered at
// `readOffset` (0 at end of file).
std::size_t refillInput(int index, const char* context) {
    Unit& u = g_units[index];
    char* buffer = g_buffers[index];
    std::int64_t fdOffset = u.inputStart + static_cast<std::int64_t>(u.inputLength);
    if (u.readOffset != fdOffset) {
        if (::lseek(u.fd, u.readOffset, SEEK_SET) >= 0) {
            fdOffset = u.readOffset;
        } else {
            while (fdOffset < u.readOffset) {
                std::int64_t gap = u.readOffset - fdOffset;
                std::size_t want = gap < static_cast<std::int64_t>(BUFFER_SIZE) ? static_cast<std::size_t>(gap) : BUFFER_SIZE;
                ssize_t n = ::read(u.fd, buffer, want);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) endFailedRun(errno, context);
                if (n == 0) {
                    u.inputStart = fdOffset;
                    u.inputLength = 0;
                    return 0;
                }
                fdOffset += n;
            }
        }
    }
    ssize_t n;
    do {
        n = ::read(u.fd, buffer, BUFFER_SIZE);
    } while (n < 0 && errno == EINTR);
    if (n < 0) endFailedRun(errno, context);
    u.inputStart = fdOffset;
    u.inputLength = static_cast<std::size_t>(n);
    return u.inputLength;
}

}  // namespace

namespace {

// Room for a record in place: the fast paths below stay small, the rare
// flush happens out of line.
char g_discarded[RECORD_ROOM_LIMIT];

[[gnu::noinline, gnu::cold]] void flushForRoom(int unit) {
    SignalHold hold;
    failIfReported(unit, flushPending(unit), "write");
}

}  // namespace

char* recordRoom(int unit, std::size_t capacity) {
    Unit& u = unitAt(unit);
    // A unit that cannot take the record gets scratch room: its bytes are dropped.
    if (!u.connected || u.fd < 0 || capacity > RECORD_ROOM_LIMIT) [[unlikely]] return g_discarded;
    if (u.pending + capacity > BUFFER_SIZE) [[unlikely]] flushForRoom(unit);
    return g_buffers[unit] + u.pending;
}

void endRecordsInRoom(int unit, std::size_t bytes) {
    Unit& u = unitAt(unit);
    if (!u.connected || u.fd < 0 || bytes > RECORD_ROOM_LIMIT) [[unlikely]] return;
    // Only now are the records part of the stream: a handler never sees half of one.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    u.pending = u.pending + bytes;
    u.written = true;
    if (u.flushEachRecord) [[unlikely]] flushForRoom(unit);
}

std::size_t readBytes(int unit, void* destination, std::size_t length, const char* context) {
    Unit& u = unitAt(unit);
    if (!u.connected || u.fd < 0) endFailedRun(114, context);
    char* out = static_cast<char*>(destination);
    std::size_t done = 0;
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
        if (refillInput(unit, context) == 0) break;  // end of file
    }
    return done;
}

void skipBytes(int unit, std::int64_t count) {
    Unit& u = unitAt(unit);
    u.readOffset += count;
}

bool isConnected(int unit) { return unit >= 0 && unit < UNIT_COUNT && g_units[unit].connected; }

std::string_view fileName(int unit) {
    if (unit < 0 || unit >= UNIT_COUNT) return {};
    return g_units[unit].name;
}

}  // namespace gridorb::units
