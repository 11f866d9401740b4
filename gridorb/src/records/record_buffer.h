#pragma once

#include <cstddef>
#include <cstring>

#include "units/run_end.h"
#include "units/unit_table.h"

// The one record buffer of the process, shared by every unit: the record in
// progress is assembled here and handed to its unit in one piece when it
// ends. It grows when a record outgrows it and never shrinks, so a record has
// no length limit but memory; it is reused for every record.
namespace gridorb::records {

class RecordBuffer {
public:
    // The record position: characters assembled so far.
    std::size_t length() const { return length_; }
    void clear() { length_ = 0; }

    // Room for `extra` more bytes after the record; they count once
    // commit() says so. Growth that fails ends the run ("malloc failure").
    char* reserve(std::size_t extra) {
        if (capacity_ - length_ < extra) grow(extra);
        return data_ + length_;
    }
    void commit(std::size_t count) { length_ += count; }

    void append(const char* bytes, std::size_t count) {
        char* at = reserve(count);
        if (count > 0) std::memcpy(at, bytes, count);
        length_ += count;
    }

    // The record's bytes go to the unit (which adds the line end) and stay
    // here, so that the same record can go to another unit too.
    void writeTo(int unit) const { units::endRunOn(units::writeRecord(unit, data_ == nullptr ? "" : data_, length_)); }

    // Ends the record: its bytes go to the unit, and the record position
    // is 0 again.
    void endRecord(int unit) {
        writeTo(unit);
        length_ = 0;
    }

private:
    void grow(std::size_t extra);

    // No destructor: the buffer lives until the process ends, and a fatal
    // report or signal may end it while a record is being assembled.
    char* data_ = nullptr;
    std::size_t length_ = 0;
    std::size_t capacity_ = 0;
};

namespace detail {
extern constinit RecordBuffer g_recordBuffer;
}

// Inline: the volume file ends 100 000 records through it.
inline RecordBuffer& recordBuffer() { return detail::g_recordBuffer; }

}  // namespace gridorb::records
