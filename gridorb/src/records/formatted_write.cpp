#include "records/formatted_write.h"

#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "records/format_program.h"
#include "records/real_text.h"
#include "records/record_buffer.h"
#include "units/fatal_report.h"
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

// `count` Iw fields of `Width` columns (>= 4) at `out`, which has room for
// them plus FIELD_SLACK.
template <std::size_t Width>
void integerFields(const std::int32_t* values, std::size_t count, std::size_t width, char* out) {
    std::size_t w = Width != 0 ? Width : width;
    for (std::size_t i = 0; i < count; ++i, out += w) {
        auto v = static_cast<std::uint32_t>(values[i]);
        if (v < 1000) {
            std::memset(out, ' ', w - 4);
            std::memcpy(out + w - 4, &SMALL_INTEGER_TEXTS[v * 4], 4);
        } else {
            integerField(values[i], w, out);
        }
    }
}

void appendIntegerFields(const std::int32_t* values, std::size_t count, std::size_t width) {
    RecordBuffer& buffer = recordBuffer();
    char* out = buffer.reserve(count * width + FIELD_SLACK);
    switch (width) {
        case 4: integerFields<4>(values, count, width, out); break;
        case 5: integerFields<5>(values, count, width, out); break;
        case 6: integerFields<6>(values, count, width, out); break;
        default:
            if (width > 4) {
                integerFields<0>(values, count, width, out);
            } else {
                for (std::size_t i = 0; i < count; ++i) integerField(values[i], width, out + i * width);
            }
            break;
    }
    buffer.commit(count * width);
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
        units::fatalError(units::OUT_OF_FREE_SPACE, "malloc failure");
    }
    // A bad format is found before the unit is touched: its file stays as it was.
    if (!parsed) units::fatalError(units::ERROR_IN_FORMAT, "startio");
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
    const std::int32_t* next = values.data();
    std::size_t left = values.size();
    if (left == 0) return *this;
    if (used < perRecord) {
        std::size_t take = perRecord - used < left ? perRecord - used : left;
        appendIntegerFields(next, take, width);
        next += take;
        left -= take;
        used += take;
    }
    RecordBuffer& buffer = recordBuffer();
    while (left > 0) {
        buffer.endRecord(unit_);
        std::size_t take = perRecord < left ? perRecord : left;
        appendIntegerFields(next, take, width);
        next += take;
        left -= take;
        used = take;
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
