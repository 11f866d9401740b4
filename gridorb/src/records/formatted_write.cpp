#include "records/formatted_write.h"

#include <array>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "records/format_program.h"
#include "records/real_text.h"
#include "records/record_buffer.h"
#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::records {

struct FormattedWrite::Parsed {
    FormatProgram program;
    FormatCursor cursor{program};
    // "(4I5)" and the like: one repeated Iw and nothing else, which the
    // volume file writes by the hundred thousand.
    bool repeatedInteger = false;
    const char* format = nullptr;
};

namespace {

// The texts of 0..999 right-justified in four columns: with the blanks
// in front, an Iw field (w >= 4) of such a value is a copy.
constexpr std::array<char, 4000> makeSmallIntegerTexts() {
    std::array<char, 4000> texts{};
    for (int v = 0; v < 1000; ++v) {
        char* t = &texts[static_cast<std::size_t>(v) * 4];
        t[0] = ' ';
        t[1] = v >= 100 ? static_cast<char>('0' + v / 100) : ' ';
        t[2] = v >= 10 ? static_cast<char>('0' + v / 10 % 10) : ' ';
        t[3] = static_cast<char>('0' + v % 10);
    }
    return texts;
}
constexpr std::array<char, 4000> SMALL_INTEGER_TEXTS = makeSmallIntegerTexts();

// Width of A for a numeric item: its length as stored, 4 bytes.
constexpr std::size_t NUMBER_ITEM_LENGTH = 4;

// For a width known at compile time: the Iw fields of 0..999 as 8-byte
// entries, the field first and blanks after it, so that one store writes
// a field (the blanks after it fall on the next field or the slack).
template <std::size_t Width>
constexpr std::array<char, 8000> makeFieldTexts() {
    static_assert(Width >= 4 && Width <= 8);
    std::array<char, 8000> texts{};
    for (std::size_t v = 0; v < 1000; ++v) {
        char* t = &texts[v * 8];
        for (std::size_t i = 0; i < 8; ++i) t[i] = ' ';
        std::size_t n = v;
        std::size_t at = Width;
        do {
            t[--at] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
    }
    return texts;
}
template <std::size_t Width>
constexpr std::array<char, 8000> FIELD_TEXTS = makeFieldTexts<Width>();

// `count` Iw fields at `out`, which has FIELD_SLACK bytes of room after
// them; Width is w when it is a constant, else 0.
template <std::size_t Width>
inline void integerFields(const std::int32_t* values, std::size_t count, std::size_t width, char* out) {
    for (std::size_t i = 0; i < count; ++i) {
        auto v = static_cast<std::uint32_t>(values[i]);
        if constexpr (Width != 0) {
            if (v < 1000) {
                std::memcpy(out, &FIELD_TEXTS<Width>[v * 8], 8);
            } else {
                integerField(values[i], Width, out);
            }
            out += Width;
        } else {
            if (width >= 4 && v < 1000) {
                std::memset(out, ' ', width - 4);
                std::memcpy(out + width - 4, &SMALL_INTEGER_TEXTS[v * 4], 4);
            } else {
                integerField(values[i], width, out);
            }
            out += width;
        }
    }
}

// The values of an integers() call under a plain repeated Iw, `perRecord`
// fields to a record; `used` fields of the current pass are taken already
// and the count is updated. Each record still ends through the unit, one
// by one; only the walk of the format is skipped. PerRecord, when not 0,
// is perRecord as a constant, so that a full record's loop unrolls.
template <std::size_t Width, std::size_t PerRecord = 0>
void integerRecords(int unit, const std::int32_t* next, std::size_t left, std::size_t perRecord, std::size_t width,
                    std::size_t& used) {
    RecordBuffer& buffer = recordBuffer();
    std::size_t take = perRecord - used < left ? perRecord - used : left;
    integerFields<Width>(next, take, width, buffer.reserve(take * width + FIELD_SLACK));
    buffer.commit(take * width);
    next += take;
    left -= take;
    used += take;
    if (left == 0) return;
    buffer.endRecord(unit);  // the format starts again

    // Whole records, assembled straight in the unit's stream buffer, a batch
    // at a time. The last one is left in the record buffer, not yet ended:
    // an item after it, or the end of the statement, ends it.
    const std::size_t recordBytes = perRecord * width;
    const std::size_t stride = recordBytes + units::LINE_END_LENGTH;
    const std::size_t batch = (units::RECORD_ROOM_LIMIT - FIELD_SLACK) / stride;
    while (left > perRecord) {
        if (batch == 0) {  // a record too long for the stream buffer's room
            integerFields<Width>(next, perRecord, width, buffer.reserve(recordBytes + FIELD_SLACK));
            buffer.commit(recordBytes);
            buffer.endRecord(unit);
            next += perRecord;
            left -= perRecord;
            continue;
        }
        std::size_t records = (left - 1) / perRecord;  // whole records before the last
        if (records > batch) records = batch;
        char* out = units::recordRoom(unit, records * stride + FIELD_SLACK);
        for (std::size_t r = 0; r < records; ++r) {
            integerFields<Width>(next, PerRecord != 0 ? PerRecord : perRecord, width, out);
            std::memcpy(out + recordBytes, units::LINE_END, units::LINE_END_LENGTH);
            out += stride;
            next += perRecord;
        }
        units::endRecordsInRoom(unit, records * stride);
        left -= records * perRecord;
    }
    integerFields<Width>(next, left, width, buffer.reserve(left * width + FIELD_SLACK));
    buffer.commit(left * width);
    used = left;
}

// A field of the descriptor's width, filled by `fill(out)`.
template <typename Fill>
void appendField(std::size_t width, Fill fill) {
    RecordBuffer& buffer = recordBuffer();
    char* out = buffer.reserve(width + FIELD_SLACK);
    fill(out);
    buffer.commit(width);
}

}  // namespace

FormattedWrite::FormattedWrite(int unit, const char* format) : unit_(unit), parsed_(nullptr) {
    units::StatementState& state = units::statementState();
    state.currentUnit = unit;
    state.formatText = format;
    state.reading = false;
    state.sequential = true;
    state.formatted = true;
    state.external = true;
    bool parsed = false;
    try {
        parsed_ = new Parsed;
        parsed = format != nullptr && parseFormat(format, parsed_->program);
    } catch (const std::bad_alloc&) {
        units::endFailedRun(units::OUT_OF_FREE_SPACE, "malloc failure");
    }
    // A bad format is found before the unit is touched: its file stays as it was.
    if (!parsed) units::endFailedRun(units::ERROR_IN_FORMAT, "startio");
    parsed_->format = format;
    const std::vector<FormatOp>& ops = parsed_->program.ops;
    parsed_->repeatedInteger = ops.size() == 2 && ops[0].kind == FormatOp::Kind::Data && ops[0].code == 'I';
    units::prepareForWrite(unit, "write start");
    recordBuffer().clear();
}

FormattedWrite::~FormattedWrite() {
    // A statement dropped without end() must not leave the report showing
    // a format text that may be gone.
    units::StatementState& state = units::statementState();
    if (parsed_ != nullptr && state.formatText == parsed_->format) state.formatText = nullptr;
    delete parsed_;
}

namespace {

const FormatOp& nextDescriptor(FormatCursor& cursor, int unit) {
    bool recordEnds = false;
    const FormatOp& op = cursor.next(recordEnds);
    if (recordEnds) recordBuffer().endRecord(unit);
    return op;
}

std::size_t widthOf(const FormatOp& op, std::size_t itemLength) {
    return op.width == ITEM_WIDTH ? itemLength : static_cast<std::size_t>(op.width);
}

// A field that cannot show its item (a real under I, a number under A):
// asterisks, as for a value too wide.
void appendAsterisks(std::size_t width) { recordBuffer().appendRepeated('*', width); }

}  // namespace

FormattedWrite& FormattedWrite::integer(std::int32_t value) {
    const FormatOp& op = nextDescriptor(parsed_->cursor, unit_);
    auto width = widthOf(op, NUMBER_ITEM_LENGTH);
    switch (op.code) {
        case 'I':
            appendField(width, [&](char* out) { integerField(value, width, out); });
            break;
        case 'F':
            // Every int32 is exactly a double, so the value is edited as a real.
            appendField(width, [&](char* out) {
                fixedField(value, width, static_cast<std::size_t>(op.fraction), out);
            });
            break;
        default:
            appendAsterisks(width);
            break;
    }
    return *this;
}

FormattedWrite& FormattedWrite::real(float value) {
    const FormatOp& op = nextDescriptor(parsed_->cursor, unit_);
    auto width = widthOf(op, NUMBER_ITEM_LENGTH);
    if (op.code == 'F') {
        appendField(width, [&](char* out) {
            fixedField(value, width, static_cast<std::size_t>(op.fraction), out);
        });
    } else {
        // No rounding rule makes a real an integer; the field shows it cannot.
        appendAsterisks(width);
    }
    return *this;
}

FormattedWrite& FormattedWrite::text(std::string_view value) {
    const FormatOp& op = nextDescriptor(parsed_->cursor, unit_);
    RecordBuffer& buffer = recordBuffer();
    if (op.code == 'A') {
        if (op.width == ITEM_WIDTH) {
            buffer.append(value.data(), value.size());
        } else {
            // Aw: a shorter text is right-justified, a longer one cut to its first w bytes.
            auto width = static_cast<std::size_t>(op.width);
            if (width > value.size()) buffer.appendRepeated(' ', width - value.size());
            buffer.append(value.data(), width < value.size() ? width : value.size());
        }
    } else {
        // A label under I or F: the text right-justified in the field.
        auto width = static_cast<std::size_t>(op.width);
        appendField(width, [&](char* out) { rightJustifiedField(value, width, out); });
    }
    return *this;
}

FormattedWrite& FormattedWrite::integers(std::span<const std::int32_t> values) {
    if (!parsed_->repeatedInteger) {
        for (std::int32_t v : values) integer(v);
        return *this;
    }
    // One repeated Iw: r fields to a record, nothing else; the cursor's
    // place is a count of fields in the current pass.
    FormatCursor& cursor = parsed_->cursor;
    const FormatOp& op = parsed_->program.ops[0];
    auto perRecord = static_cast<std::size_t>(op.repeat);
    auto width = static_cast<std::size_t>(op.width);
    auto used = static_cast<std::size_t>(cursor.fieldsUsedInPass());
    if (values.empty()) return *this;
    if (used == perRecord) {
        recordBuffer().endRecord(unit_);
        used = 0;
    }
    switch (width) {
        case 4: integerRecords<4>(unit_, values.data(), values.size(), perRecord, width, used); break;
        case 5:
            if (perRecord == 4) {  // "(4I5)", the volume file's blocks
                integerRecords<5, 4>(unit_, values.data(), values.size(), perRecord, width, used);
            } else {
                integerRecords<5>(unit_, values.data(), values.size(), perRecord, width, used);
            }
            break;
        case 6: integerRecords<6>(unit_, values.data(), values.size(), perRecord, width, used); break;
        case 7: integerRecords<7>(unit_, values.data(), values.size(), perRecord, width, used); break;
        case 8: integerRecords<8>(unit_, values.data(), values.size(), perRecord, width, used); break;
        default: integerRecords<0>(unit_, values.data(), values.size(), perRecord, width, used); break;
    }
    cursor.setFieldsUsedInPass(static_cast<std::int32_t>(used));
    return *this;
}

void FormattedWrite::end() {
    // The last item never leaves an empty record behind: reversion only
    // ends a record when another item comes.
    recordBuffer().endRecord(unit_);
    units::statementState().formatText = nullptr;
}

}  // namespace gridorb::records
