#include "records/formatted_write.h"

#include <array>
#include <cstring>

#include "records/real_text.h"
#include "records/record_buffer.h"
#include "units/run_end.h"
#include "units/statement_state.h"
#include "units/unit_table.h"

namespace gridorb::records {
namespace {

using Field = FormattedWrite::Field;

constexpr Field A{'A', 0, 0};
constexpr Field I5{'I', 5, 0};
constexpr Field F10_6{'F', 10, 6};

constexpr Field PROGRESS_FIELDS[] = {A, I5, A, I5};  // 2(A,I5)
constexpr Field BLOCK_FIELDS[] = {I5, I5, I5, I5};
constexpr Field LISTING_FIELDS[] = {F10_6, F10_6, F10_6, F10_6, F10_6, F10_6, F10_6, F10_6};

struct Format {
    const char* text;
    std::span<const Field> fields;
};
constexpr Format FORMATS[] = {
    {"(A)", {&A, 1}},
    {"(4I5)", BLOCK_FIELDS},
    {"(8F10.6)", LISTING_FIELDS},
    {"(2(A,I5))", PROGRESS_FIELDS},
};

// The I5 fields of 0..999 as 8-byte entries, the field first and blanks
// after it, so that one store writes a field (the blanks after it fall on
// the next field or the slack).
constexpr std::array<char, 8000> SMALL_I5_FIELDS = [] {
    std::array<char, 8000> texts{};
    for (std::size_t v = 0; v < 1000; ++v) {
        char* t = &texts[v * 8];
        for (std::size_t i = 0; i < 8; ++i) t[i] = ' ';
        std::size_t n = v;
        std::size_t at = 5;
        do {
            t[--at] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
    }
    return texts;
}();

// `count` I5 fields at `out`, which has FIELD_SLACK bytes of room after them.
void i5Fields(const std::int32_t* values, std::size_t count, char* out) {
    for (std::size_t i = 0; i < count; ++i, out += 5) {
        auto v = static_cast<std::uint32_t>(values[i]);
        if (v < 1000) {
            std::memcpy(out, &SMALL_I5_FIELDS[v * 8], 8);
        } else {
            integerField(values[i], 5, out);
        }
    }
}

// A field of `width` filled by `fill(out)`.
template <typename Fill>
void appendField(std::size_t width, Fill fill) {
    RecordBuffer& buffer = recordBuffer();
    fill(buffer.reserve(width + FIELD_SLACK));
    buffer.commit(width);
}

}  // namespace

FormattedWrite::FormattedWrite(int unit, const char* format) : unit_(unit), format_(format) {
    units::beginStatement(units::Statement::FormattedWrite, unit, format);
    for (const Format& known : FORMATS) {
        if (format != nullptr && std::strcmp(format, known.text) == 0) fields_ = known.fields;
    }
    // A bad format is found before the unit is touched: its file stays as it was.
    if (fields_.empty()) units::endFailedRun(units::ERROR_IN_FORMAT, "startio");
    units::endRunOn(units::prepareForWrite(unit, "write start"));
    recordBuffer().clear();
}

FormattedWrite::~FormattedWrite() {
    // A statement dropped without end() must not leave the report showing
    // a format text that may be gone.
    units::StatementState& state = units::statementState();
    if (state.formatText == format_) state.formatText = nullptr;
}

const FormattedWrite::Field& FormattedWrite::nextField() {
    if (used_ == fields_.size()) {
        recordBuffer().endRecord(unit_);
        used_ = 0;
    }
    return fields_[used_++];
}

FormattedWrite& FormattedWrite::integer(std::int32_t value) {
    const Field& field = nextField();
    appendField(field.width, [&](char* out) {
        if (field.code == 'I') {
            integerField(value, field.width, out);
        } else {
            asteriskField(field.width, out);
        }
    });
    return *this;
}

FormattedWrite& FormattedWrite::real(float value) {
    const Field& field = nextField();
    appendField(field.width, [&](char* out) {
        if (field.code == 'F') {
            fixedField(value, field.width, field.fraction, out);
        } else {
            asteriskField(field.width, out);
        }
    });
    return *this;
}

FormattedWrite& FormattedWrite::text(std::string_view value) {
    const Field& field = nextField();
    if (field.code == 'A') {
        recordBuffer().append(value.data(), value.size());
    } else {
        appendField(field.width, [&](char* out) { rightJustifiedField(value, field.width, out); });
    }
    return *this;
}

FormattedWrite& FormattedWrite::integers(std::span<const std::int32_t> values) {
    if (fields_.data() != BLOCK_FIELDS) {
        for (std::int32_t v : values) integer(v);
        return *this;
    }
    constexpr std::size_t PER_RECORD = 4;
    constexpr std::size_t STRIDE = PER_RECORD * 5 + units::LINE_END_LENGTH;
    constexpr std::size_t BATCH = (units::RECORD_ROOM_LIMIT - FIELD_SLACK) / STRIDE;
    RecordBuffer& buffer = recordBuffer();
    while (!values.empty()) {
        if (used_ == PER_RECORD) {
            buffer.endRecord(unit_);
            used_ = 0;
        }
        if (used_ == 0 && values.size() > PER_RECORD) {
            // Whole records, laid out straight in the unit's stream buffer a
            // batch at a time. The last one stays in the record buffer: an
            // item after it, or the end of the statement, ends it.
            std::size_t records = (values.size() - 1) / PER_RECORD;
            if (records > BATCH) records = BATCH;
            units::Failure failure;
            char* out = units::recordRoom(unit_, records * STRIDE + FIELD_SLACK, failure);
            units::endRunOn(failure);
            for (std::size_t r = 0; r < records; ++r, out += STRIDE) {
                i5Fields(values.data() + r * PER_RECORD, PER_RECORD, out);
                std::memcpy(out + PER_RECORD * 5, units::LINE_END, units::LINE_END_LENGTH);
            }
            units::endRunOn(units::endRecordsInRoom(unit_, records * STRIDE));
            values = values.subspan(records * PER_RECORD);
            continue;
        }
        std::size_t take = PER_RECORD - used_ < values.size() ? PER_RECORD - used_ : values.size();
        i5Fields(values.data(), take, buffer.reserve(take * 5 + FIELD_SLACK));
        buffer.commit(take * 5);
        used_ += take;
        values = values.subspan(take);
    }
    return *this;
}

void FormattedWrite::end() {
    // The last item never leaves an empty record behind: reversion only
    // ends a record when another item comes.
    recordBuffer().endRecord(unit_);
    units::statementState().formatText = nullptr;
}

}  // namespace gridorb::records
