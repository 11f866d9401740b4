#include "records/formatted_write.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/processor.h"
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

constexpr std::size_t BLOCK_PER_RECORD = 4;
constexpr std::size_t BLOCK_STRIDE = BLOCK_PER_RECORD * 5 + units::LINE_END_LENGTH;

// Records of four zeros, one after another: most of an orbital's volume file
// (nine records in ten on the bundled molecules) is made of them. Whole
// records of zeros are not laid out: they go out straight from here,
// ZERO_COPIES at a time at most; the laying out copies them from here too.
constexpr std::size_t ZERO_COPIES = 1024;
constexpr std::array<char, BLOCK_STRIDE * ZERO_COPIES> ZERO_RECORDS = [] {
    std::array<char, BLOCK_STRIDE * ZERO_COPIES> records{};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t within = i % BLOCK_STRIDE;
        records[i] = within >= BLOCK_PER_RECORD * 5 ? units::LINE_END[within - BLOCK_PER_RECORD * 5]
                                                    : (within % 5 == 4 ? '0' : ' ');
    }
    return records;
}();

// `records` whole (4I5) records of `values`, BLOCK_STRIDE bytes each, at
// `out`, which has FIELD_SLACK bytes of room after them.
void blockRecords(const std::int32_t* values, std::size_t records, char* out) {
    for (std::size_t r = 0; r < records; ++r, out += BLOCK_STRIDE) {
        const std::int32_t* v = values + r * BLOCK_PER_RECORD;
        if ((v[0] | v[1] | v[2] | v[3]) == 0) {
            std::memcpy(out, ZERO_RECORDS.data(), BLOCK_STRIDE);
            continue;
        }
        i5Fields(v, BLOCK_PER_RECORD, out);
        std::memcpy(out + BLOCK_PER_RECORD * 5, units::LINE_END, units::LINE_END_LENGTH);
    }
}

#if defined(__x86_64__)
constexpr std::size_t TEXT_RECORDS = 8;
constexpr std::size_t TEXT_BYTES = TEXT_RECORDS * BLOCK_STRIDE;  // 176: three vectors, the last one part full

// For each output byte, its source: byte j of the pairs (hundreds, tens) of
// the 32 values, or 64 + j of the pairs (units, blank); and where the line
// ends go instead. The values are packed to 16 bits four at a time per
// 128-bit lane, the first sixteen's lane beside the second sixteen's.
struct BlockText {
    std::array<char, 192> sources{};
    std::array<char, 192> lineEnds{};
    std::array<std::uint64_t, 3> lineEndMasks{};
};

constexpr BlockText BLOCK_TEXT = [] {
    BlockText text;
    for (std::size_t at = 0; at < TEXT_BYTES; ++at) {
        const std::size_t record = at / BLOCK_STRIDE, within = at % BLOCK_STRIDE;
        const std::size_t value = BLOCK_PER_RECORD * record + within / 5, place = within % 5;
        if (within >= BLOCK_PER_RECORD * 5) {
            text.lineEnds[at] = units::LINE_END[within - BLOCK_PER_RECORD * 5];
            text.lineEndMasks[at / 64] |= std::uint64_t{1} << (at % 64);
            continue;
        }
        const std::size_t lane = value % 16 / 4, packed = 8 * lane + value / 16 * 4 + value % 4;
        const std::size_t pair = 2 * packed;
        const std::size_t sources[5] = {64 + pair + 1, 64 + pair + 1, pair, pair + 1, 64 + pair};
        text.sources[at] = static_cast<char>(sources[place]);
    }
    return text;
}();

// The same as blockRecords, eight records at a time wherever their 32
// values all lie in 0..999 (all of a volume file's but its overflows): the
// table costs a load and a store per field, and the blocks are most of what
// a run writes. The three digits of each value are formed side by side in
// 16-bit lanes (a blank for a leading zero), and one byte permute per 64
// output bytes lays the fields out, the line ends blended in after: about
// twice as fast as the table.
GRIDORB_AVX512_VBMI_TARGET void blockRecordsVbmi(const std::int32_t* values, std::size_t records, char* out) {
    const __m512i blank = _mm512_set1_epi16(' '), zero = _mm512_set1_epi16('0');
    const __m512i limit = _mm512_set1_epi32(999), nine = _mm512_set1_epi16(9), ninetyNine = _mm512_set1_epi16(99);
    const __m512i byHundred = _mm512_set1_epi16(656), byTen = _mm512_set1_epi16(6554), ten = _mm512_set1_epi16(10);
    const __m512i blankHigh = _mm512_set1_epi16(' ' << 8);
    constexpr __mmask64 LAST_PART = (__mmask64{1} << (TEXT_BYTES - 128)) - 1;
    __m512i sources[3], lineEnds[3], zeros[3];  // zeros: eight records of four zeros
    for (int part = 0; part < 3; ++part) {
        sources[part] = _mm512_loadu_si512(BLOCK_TEXT.sources.data() + 64 * part);
        lineEnds[part] = _mm512_loadu_si512(BLOCK_TEXT.lineEnds.data() + 64 * part);
        zeros[part] = _mm512_loadu_si512(ZERO_RECORDS.data() + 64 * part);
    }
    std::size_t r = 0;
    for (; r + TEXT_RECORDS <= records; r += TEXT_RECORDS, out += TEXT_BYTES) {
        const std::int32_t* group = values + r * BLOCK_PER_RECORD;
        const __m512i low = _mm512_loadu_si512(group), high = _mm512_loadu_si512(group + 16);
        const __m512i either = _mm512_or_si512(low, high);
        if (_mm512_test_epi32_mask(either, either) == 0) {
            _mm512_storeu_si512(out, zeros[0]);
            _mm512_storeu_si512(out + 64, zeros[1]);
            _mm512_mask_storeu_epi8(out + 128, LAST_PART, zeros[2]);
            continue;
        }
        if ((_mm512_cmpgt_epu32_mask(low, limit) | _mm512_cmpgt_epu32_mask(high, limit)) != 0) {  // negatives too
            blockRecords(group, TEXT_RECORDS, out);
            continue;
        }
        const __m512i v = _mm512_packus_epi32(low, high);  // in the lane order BLOCK_TEXT follows
        // v / 100 and v / 10 as the high halves of products: exact below 1000.
        const __m512i hundreds = _mm512_mulhi_epu16(v, byHundred);
        const __m512i tenths = _mm512_mulhi_epu16(v, byTen);
        const __m512i tens = _mm512_sub_epi16(tenths, _mm512_mullo_epi16(hundreds, ten));
        const __m512i ones = _mm512_sub_epi16(v, _mm512_mullo_epi16(tenths, ten));
        const __m512i first = _mm512_mask_add_epi16(blank, _mm512_cmpgt_epu16_mask(v, ninetyNine), hundreds, zero);
        const __m512i second = _mm512_mask_add_epi16(blank, _mm512_cmpgt_epu16_mask(v, nine), tens, zero);
        const __m512i leading = _mm512_or_si512(first, _mm512_slli_epi16(second, 8));
        const __m512i trailing = _mm512_or_si512(_mm512_add_epi16(ones, zero), blankHigh);
        __m512i text[3];
        for (int part = 0; part < 3; ++part) {
            text[part] = _mm512_mask_blend_epi8(BLOCK_TEXT.lineEndMasks[part],
                                                _mm512_permutex2var_epi8(leading, sources[part], trailing), lineEnds[part]);
        }
        _mm512_storeu_si512(out, text[0]);
        _mm512_storeu_si512(out + 64, text[1]);
        _mm512_mask_storeu_epi8(out + 128, LAST_PART, text[2]);
    }
    blockRecords(values + r * BLOCK_PER_RECORD, records - r, out);
}
#endif

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
    constexpr std::size_t BATCH = (units::RECORD_ROOM_LIMIT - FIELD_SLACK) / BLOCK_STRIDE;
    RecordBuffer& buffer = recordBuffer();
    while (!values.empty()) {
        if (used_ == BLOCK_PER_RECORD) {
            buffer.endRecord(unit_);
            used_ = 0;
        }
        if (used_ == 0 && values.size() > BLOCK_PER_RECORD) {
            // Whole records, laid out straight in the unit's stream buffer a
            // batch at a time. The last one stays in the record buffer: an
            // item after it, or the end of the statement, ends it.
            std::size_t records = (values.size() - 1) / BLOCK_PER_RECORD;
            if (records > BATCH) records = BATCH;
            units::Failure failure;
            char* out = units::recordRoom(unit_, records * BLOCK_STRIDE + FIELD_SLACK, failure);
            units::endRunOn(failure);
#if defined(__x86_64__)
            if (platform::hasAvx512Vbmi()) {
                blockRecordsVbmi(values.data(), records, out);
            } else {
                blockRecords(values.data(), records, out);
            }
#else
            blockRecords(values.data(), records, out);
#endif
            units::endRunOn(units::endRecordsInRoom(unit_, records * BLOCK_STRIDE));
            values = values.subspan(records * BLOCK_PER_RECORD);
            continue;
        }
        std::size_t take = BLOCK_PER_RECORD - used_ < values.size() ? BLOCK_PER_RECORD - used_ : values.size();
        i5Fields(values.data(), take, buffer.reserve(take * 5 + FIELD_SLACK));
        buffer.commit(take * 5);
        used_ += take;
        values = values.subspan(take);
    }
    return *this;
}

FormattedWrite& FormattedWrite::zeros(std::size_t count) {
    static constexpr std::int32_t ZERO_VALUES[BLOCK_PER_RECORD] = {};
    if (fields_.data() != BLOCK_FIELDS) {
        for (; count > 0; --count) integer(0);
        return *this;
    }
    // The current record first, then whole records straight from
    // ZERO_RECORDS; as in integers(), the last record stays in the record
    // buffer for whatever comes next to end.
    const std::size_t head = (BLOCK_PER_RECORD - used_ % BLOCK_PER_RECORD) % BLOCK_PER_RECORD;
    const std::size_t first = head < count ? head : count;
    integers({ZERO_VALUES, first});
    count -= first;
    if (count > BLOCK_PER_RECORD) {
        if (used_ == BLOCK_PER_RECORD) {
            recordBuffer().endRecord(unit_);
            used_ = 0;
        }
        for (std::size_t records = (count - 1) / BLOCK_PER_RECORD; records > 0;) {
            const std::size_t take = records < ZERO_COPIES ? records : ZERO_COPIES;
            units::endRunOn(units::repeatRecord(unit_, ZERO_RECORDS.data(), BLOCK_STRIDE, take));
            records -= take;
            count -= take * BLOCK_PER_RECORD;
        }
    }
    for (; count > 0; count -= count < BLOCK_PER_RECORD ? count : BLOCK_PER_RECORD) {
        integers({ZERO_VALUES, count < BLOCK_PER_RECORD ? count : BLOCK_PER_RECORD});
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
