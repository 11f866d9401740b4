#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "units/error_numbers.h"

// The numbered units of a run: the one process-wide state of gridorb.
//
// Unit 0 is standard error, 5 standard input, 6 standard output (the
// console); the run itself uses 13 (FOR013), 22 (TARNEL.COR) and
// 24 (VELD.VTK). Output goes through our own buffers over file descriptors,
// so that the line ends are ours (CR LF everywhere) and so that a signal
// handler can flush, cut and close every file with async-signal-safe calls.
// A primitive that can fail returns what it met (a Failure); the statement
// that called it ends the run with it.
namespace gridorb::units {

inline constexpr int UNIT_COUNT = 100;
inline constexpr int STDERR_UNIT = 0;
inline constexpr int STDIN_UNIT = 5;
inline constexpr int CONSOLE_UNIT = 6;

// Connects the preconnected units 0, 5 and 6. Called once at start-up.
void connectStandardUnits();

// OPEN of a formatted output file, no status: update ("r+"), else read only
// ("r": the first WRITE tries to reopen for update), else create ("w").
// An existing file is written from its first byte.
Failure openOutputFile(int unit, std::string_view name);

// OPEN of an existing file for unformatted sequential reading only. The
// system never writes such a file, whatever its permissions.
Failure openInputFile(int unit, std::string_view name);

// CLOSE with no status (keep): a written, named regular file is cut at its
// current position (a failed cut is error 111, "endfile"); a standard
// stream keeps its descriptor.
Failure closeUnit(int unit);

// STOP: closeOutputUnits, then exit with status 0; what closing met ends the
// run through the report instead (stop_run.cpp).
[[noreturn]] void stopRun();

// Closes units 0..99 once, as CLOSE does, and flushes the standard streams;
// stops at the first failure.
Failure closeOutputUnits();

// Closes every unit as at the end of a run, at most once per process.
// Async-signal-safe. Returns false when closing had already started.
bool closeAllUnits();

// Writes what the console and standard error hold buffered. Async-signal-safe.
void flushStandardStreams();

// --- Record output -------------------------------------------------------

// Start of a WRITE statement on a unit: a unit that could only be opened for
// reading is reopened for update here; failing that, error 127 under the
// given context ("list output start" or "write start").
Failure prepareForWrite(int unit, const char* failureContext);

// Each unit buffers its input or output in a buffer of its own,
// UNIT_BUFFER_SIZE bytes in static storage. lendOutputBuffer gives a
// connected unit `size` bytes of the caller's for its output instead (at
// least UNIT_BUFFER_SIZE; less is not taken), until it is closed or opened
// again: memory the run has used before and needs no more, whose pages are
// in already (a fresh page costs about 2 µs on the machines measured), and
// the more of it the fewer writes (on ext4 each costs about 5 µs more). The
// memory must outlive the unit's connection; a signal handler may flush
// from it.
inline constexpr std::size_t UNIT_BUFFER_SIZE = 64 * 1024;
void lendOutputBuffer(int unit, char* memory, std::size_t size);

// Ends a record: the bytes plus CR LF go to the unit's stream in one piece.
// A console that is a terminal receives the record at once.
Failure writeRecord(int unit, const char* bytes, std::size_t length);

// Every record ends with these two bytes, on every stream.
inline constexpr char LINE_END[] = "\r\n";
inline constexpr std::size_t LINE_END_LENGTH = 2;

// Record output without a copy, for records assembled in place: room for
// up to `capacity` bytes (capacity <= RECORD_ROOM_LIMIT) in the unit's
// stream buffer, where the caller lays out whole records, each followed by
// LINE_END; then their end, with the bytes actually laid out. Nothing else
// may write to the unit between the two. A flush that fails to make room
// sets `failure` and gives scratch room.
inline constexpr std::size_t RECORD_ROOM_LIMIT = 16384;
char* recordRoom(int unit, std::size_t capacity, Failure& failure);
Failure endRecordsInRoom(int unit, std::size_t bytes);

// `count` copies of one whole record (its bytes and LINE_END, `length` in
// all) after the records so far, written straight from `copies`, which
// holds them one after another and outlives the run: nothing is laid out.
// Like records in room, nothing else may be mid-record on the unit.
Failure repeatRecord(int unit, const char* copies, std::size_t length, std::size_t count);

// --- Unformatted input ---------------------------------------------------

// Reads up to `length` bytes at the unit's current position into
// `destination` and sets `done` to the count read, less only at end of file.
// A read error is the system's, under `context`.
Failure readBytes(int unit, void* destination, std::size_t length, const char* context, std::size_t& done);

// Moves the unit's read position forward; past the end of the file is
// allowed (the next read then meets end of file).
void skipBytes(int unit, std::int64_t count);

// --- Inspection for the fatal report and tests ---------------------------

bool isConnected(int unit);
// The unit's file name, empty for the standard streams or an unconnected unit.
std::string_view fileName(int unit);

}  // namespace gridorb::units
