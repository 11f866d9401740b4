#include "records/record_buffer.h"

#include <new>

#include "units/error_numbers.h"
#include "units/run_end.h"

namespace gridorb::records {

// constinit: usable from the first statement, whatever the order in which
// static objects of other files are set up.
constinit RecordBuffer detail::g_recordBuffer;

namespace {
constexpr std::size_t MINIMUM_CAPACITY = 1024;
}  // namespace

void RecordBuffer::grow(std::size_t extra) {
    constexpr std::size_t LIMIT = static_cast<std::size_t>(-1) / 2;
    if (extra > LIMIT - length_) units::endFailedRun(units::OUT_OF_FREE_SPACE, "malloc failure");
    std::size_t wanted = length_ + extra;
    std::size_t capacity = capacity_ < MINIMUM_CAPACITY ? MINIMUM_CAPACITY : capacity_;
    while (capacity < wanted) capacity = capacity > LIMIT / 2 ? wanted : capacity * 2;
    char* bigger = nullptr;
    try {
        bigger = new char[capacity];
    } catch (const std::bad_alloc&) {
        units::endFailedRun(units::OUT_OF_FREE_SPACE, "malloc failure");
    }
    if (length_ > 0) std::memcpy(bigger, data_, length_);
    delete[] data_;
    data_ = bigger;
    capacity_ = capacity;
}

}  // namespace gridorb::records
