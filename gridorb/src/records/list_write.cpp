#include "records/list_write.h"

#include <charconv>

#include "records/real_text.h"
#include "records/record_buffer.h"
#include "units/run_end.h"
#include "units/statement_state.h"
#include "units/unit_table.h"

namespace gridorb::records {
namespace {

constexpr std::size_t RECORD_WIDTH = 80;

// An item of `counted` characters that would reach the last column goes
// onto a new record, unless it would be the record's first item.
void endRecordBefore(int unit, std::size_t counted) {
    RecordBuffer& buffer = recordBuffer();
    std::size_t position = buffer.length();
    if (position != 0 && position + counted >= RECORD_WIDTH) buffer.endRecord(unit);
}

}  // namespace

ListWrite::ListWrite(int unit) : unit_(unit) {
    units::beginStatement(units::Statement::ListWrite, unit);
    units::endRunOn(units::prepareForWrite(unit, "list output start"));
    recordBuffer().clear();
}

ListWrite& ListWrite::integer(std::int32_t value) {
    char text[16];
    text[0] = ' ';
    char* end = std::to_chars(text + 1, text + sizeof text, value).ptr;
    // Only the digits count: the blank and the sign are not tested.
    auto length = static_cast<std::size_t>(end - text);
    endRecordBefore(unit_, length - 1 - (value < 0 ? 1 : 0));
    recordBuffer().append(text, length);
    return *this;
}

ListWrite& ListWrite::real(float value) {
    char text[LIST_REAL_TEXT_CAPACITY];
    std::size_t length = listRealText(value, text);
    endRecordBefore(unit_, length);
    recordBuffer().append(text, length);
    return *this;
}

ListWrite& ListWrite::text(std::string_view value) {
    endRecordBefore(unit_, value.size());
    RecordBuffer& buffer = recordBuffer();
    // Only a record's first item has a blank before it; a text after
    // another item follows it directly.
    if (buffer.length() == 0) buffer.append(" ", 1);
    buffer.append(value.data(), value.size());
    return *this;
}

void ListWrite::end() { recordBuffer().endRecord(unit_); }

void ListWrite::endEchoedOn(int unit) {
    RecordBuffer& buffer = recordBuffer();
    buffer.writeTo(unit_);
    // The echo starts as any list WRITE does: a fatal report on it names its unit.
    units::beginStatement(units::Statement::ListWrite, unit);
    units::endRunOn(units::prepareForWrite(unit, "list output start"));
    buffer.endRecord(unit);
}

}  // namespace gridorb::records
