#include "records/formatted_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/process_runner.h"
#include "support/record_capture.h"
#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::records {
namespace {

using testsupport::recordsWrittenBy;

std::string formattedRecords(const char* format, const std::function<void(FormattedWrite&)>& items) {
    return recordsWrittenBy([&](int unit) {
        FormattedWrite write(unit, format);
        items(write);
        write.end();
    });
}

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr std::int32_t INT_MIN32 = std::numeric_limits<std::int32_t>::min();

// --- One field ---------------------------------------------------------

struct FieldCase {
    const char* format;
    std::function<void(FormattedWrite&)> item;
    const char* field;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.format << " \"" << c.field << '"'; }

class FieldTest : public testing::TestWithParam<FieldCase> {};

TEST_P(FieldTest, IsTheWholeRecord) {
    EXPECT_EQ(formattedRecords(GetParam().format, GetParam().item), std::string(GetParam().field) + "\r\n");
}

FieldCase integerCase(const char* format, std::int32_t v, const char* field) {
    return {format, [v](FormattedWrite& w) { w.integer(v); }, field};
}
FieldCase realCase(const char* format, float v, const char* field) {
    return {format, [v](FormattedWrite& w) { w.real(v); }, field};
}
FieldCase textCase(const char* format, std::string v, const char* field) {
    return {format, [v](FormattedWrite& w) { w.text(v); }, field};
}

INSTANTIATE_TEST_SUITE_P(
    Integers, FieldTest,
    testing::Values(integerCase("(4I5)", 0, "    0"), integerCase("(4I5)", 256, "  256"),
                    integerCase("(4I5)", -1234, "-1234"), integerCase("(4I5)", 99999, "99999"),
                    integerCase("(4I5)", 999, "  999"), integerCase("(4I5)", 1000, " 1000"),
                    integerCase("(4I5)", 123456, "*****"), integerCase("(4I5)", -12345, "*****"),
                    integerCase("(4I5)", INT_MIN32, "*****")));

INSTANTIATE_TEST_SUITE_P(
    Reals, FieldTest,
    testing::Values(realCase("(8F10.6)", 0.5F, "   .500000"), realCase("(8F10.6)", -0.5F, "  -.500000"),
                    realCase("(8F10.6)", -0.0000001F, "   .000000"), realCase("(8F10.6)", 0.0F, "   .000000"),
                    realCase("(8F10.6)", -0.0F, "   .000000"), realCase("(8F10.6)", 12.345678F, " 12.345678"),
                    realCase("(8F10.6)", -99.9999F, "-99.999901"), realCase("(8F10.6)", 99.999999F, "100.000000"),
                    // Exact halves round to even: 1/128 and 3/128 end in a 5 at the seventh digit.
                    realCase("(8F10.6)", 0.0078125F, "   .007812"), realCase("(8F10.6)", -0.0234375F, "  -.023438"),
                    realCase("(8F10.6)", -123.456F, "**********"), realCase("(8F10.6)", 1234.5678F, "**********"),
                    realCase("(8F10.6)", INF, "  Infinity"), realCase("(8F10.6)", -INF, " -Infinity"),
                    realCase("(8F10.6)", std::numeric_limits<float>::quiet_NaN(), "       NaN")));

// A label under F or I is right-justified; a number its field cannot edit
// shows as asterisks.
INSTANTIATE_TEST_SUITE_P(
    OtherItemKinds, FieldTest,
    testing::Values(textCase("(8F10.6)", "XYZ", "       XYZ"), textCase("(8F10.6)", "", "          "),
                    textCase("(8F10.6)", "ELEVENCHARS", "**********"), textCase("(4I5)", "AB", "   AB"),
                    integerCase("(8F10.6)", 42, "**********"), realCase("(4I5)", 1.0F, "*****"),
                    textCase("(A)", " ", " "), textCase("(A)", "", "")));

// --- Records and reversion ---------------------------------------------

struct RecordCase {
    const char* name;
    const char* format;
    std::function<void(FormattedWrite&)> items;
    std::string expected;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class FormattedRecordTest : public testing::TestWithParam<RecordCase> {};

TEST_P(FormattedRecordTest, WritesExactBytes) {
    EXPECT_EQ(formattedRecords(GetParam().format, GetParam().items), GetParam().expected);
}

void integersFrom(FormattedWrite& w, int first, int last) {
    for (int v = first; v <= last; ++v) w.integer(v);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormattedRecordTest,
    testing::Values(
        RecordCase{"ProgressRecord", "(2(A,I5))",
                   [](FormattedWrite& w) { w.text("PROCESSING ATOM NUMBER ").integer(1).text(" ATOMIC NUMBER ").integer(6); },
                   "PROCESSING ATOM NUMBER     1 ATOMIC NUMBER     6\r\n"},
        RecordCase{"GroupRepeatsOnANewRecord", "(2(A,I5))",
                   [](FormattedWrite& w) { w.text("a").integer(1).text("b").integer(2).text("c").integer(3); },
                   "a    1b    2\r\nc    3\r\n"},
        RecordCase{"LabelAndNineReals", "(8F10.6)",
                   [](FormattedWrite& w) {
                       w.text("XYZ");
                       for (int i = 1; i <= 9; ++i) w.real(static_cast<float>(i) * -0.5F);
                   },
                   "       XYZ  -.500000 -1.000000 -1.500000 -2.000000 -2.500000 -3.000000 -3.500000\r\n"
                   " -4.000000 -4.500000\r\n"},
        RecordCase{"EightIntegersMakeTwoRecords", "(4I5)", [](FormattedWrite& w) { integersFrom(w, 1, 8); },
                   "    1    2    3    4\r\n    5    6    7    8\r\n"},
        RecordCase{"NoItemMakesOneEmptyRecord", "(4I5)", [](FormattedWrite&) {}, "\r\n"}),
    [](const testing::TestParamInfo<RecordCase>& info) { return std::string(info.param.name); });

// The volume file's blocks: 132651 values, four to a record. Every value of
// up to three digits falls in every place of a record, between runs of
// records of zeros (most of a real block).
TEST(FormattedWriteTest, VolumeBlockHas33162FullRecordsAndOneOfThree) {
    std::vector<std::int32_t> values(132651);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t record = i / 4, place = i % 4;
        values[i] = record / 23 % 2 == 0 ? 0 : static_cast<std::int32_t>((7 * record + 251 * place) % 1000);
    }
    std::string expected;
    char field[16];
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::snprintf(field, sizeof field, "%5d", values[i]);
        expected += field;
        if (i % 4 == 3 || i + 1 == values.size()) expected += "\r\n";
    }
    std::string written = formattedRecords("(4I5)", [&](FormattedWrite& w) { w.integers(values); });
    ASSERT_EQ(written.size(), 33162 * 22 + 17);
    EXPECT_EQ(written, expected);
}

// integers() goes by whole records for "(4I5)"; it must agree with editing
// the values one by one, across record boundaries.
TEST(FormattedWriteTest, IntegerBlocksAgreeWithItemByItemEditing) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<std::int32_t> small(0, 999);
    std::uniform_int_distribution<std::int32_t> any(INT_MIN32, std::numeric_limits<std::int32_t>::max());
    std::uniform_int_distribution<std::int32_t> near(-99999, 99999);
    std::vector<std::int32_t> values(4003);  // more than one batch of whole records
    for (auto& v : values) {
        int k = kind(random);
        v = k < 6 ? small(random) : k < 8 ? near(random) : any(random);
    }
    values[5] = INT_MIN32;
    values[6] = std::numeric_limits<std::int32_t>::max();
    values[7] = 1000;
    values[8] = -1;
    const std::string oneByOne = formattedRecords("(4I5)", [&](FormattedWrite& w) {
        for (std::int32_t v : values) w.integer(v);
    });
    EXPECT_EQ(formattedRecords("(4I5)", [&](FormattedWrite& w) { w.integers(values); }), oneByOne);
    std::span<const std::int32_t> all(values);
    EXPECT_EQ(formattedRecords("(4I5)",
                               [&](FormattedWrite& w) {
                                   w.integer(all[0]);
                                   w.integers(all.subspan(1, 2));
                                   w.integers(all.subspan(3, 0));
                                   w.integer(all[3]);
                                   w.integers(all.subspan(4, 13));
                                   w.integers(all.subspan(17, 1));
                                   for (std::int32_t v : all.subspan(18, 5)) w.integer(v);
                                   w.integers(all.subspan(23));
                               }),
              oneByOne);
}

// zeros() sends whole records of zeros out unformatted; in any mix with
// other values, from any place in a record, it must agree with integer(0)
// one by one: many stretches (more than the unit holds pending at once), one
// longer than the copies it writes from, and one at the very end.
TEST(FormattedWriteTest, ZerosAgreeWithItemByItemEditing) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> run(0, 7), stretch(0, 70);
    std::vector<std::int32_t> values;
    std::vector<std::pair<std::size_t, std::size_t>> zeroStretches;  // start, count
    for (int piece = 0; piece < 400; ++piece) {
        for (int n = run(random); n > 0; --n) values.push_back(1 + static_cast<std::int32_t>(values.size() % 999));
        const std::size_t zeros = piece == 200 ? 5003 : static_cast<std::size_t>(stretch(random));
        zeroStretches.emplace_back(values.size(), zeros);
        values.insert(values.end(), zeros, 0);
    }
    const std::string oneByOne = formattedRecords("(4I5)", [&](FormattedWrite& w) {
        for (std::int32_t v : values) w.integer(v);
    });
    EXPECT_EQ(formattedRecords("(4I5)",
                               [&](FormattedWrite& w) {
                                   std::size_t at = 0;
                                   for (const auto& [start, count] : zeroStretches) {
                                       w.integers(std::span<const std::int32_t>(values).subspan(at, start - at));
                                       w.zeros(count);
                                       at = start + count;
                                   }
                               }),
              oneByOne);
    for (std::size_t count : {4, 8, 4100}) {  // whole records, the statement ending right after them
        EXPECT_EQ(formattedRecords("(4I5)", [&](FormattedWrite& w) { w.integer(7).integer(7).integer(7).integer(7).zeros(count); }),
                  formattedRecords("(4I5)", [&](FormattedWrite& w) {
                      w.integer(7).integer(7).integer(7).integer(7);
                      for (std::size_t i = 0; i < count; ++i) w.integer(0);
                  }));
    }
    EXPECT_EQ(formattedRecords("(2(A,I5))", [](FormattedWrite& w) { w.text("A").zeros(3); }),
              formattedRecords("(2(A,I5))", [](FormattedWrite& w) { w.text("A").integer(0).integer(0).integer(0); }));
}

TEST(FormattedWriteState, SetsTheFormatForTheStatementOnly) {
    units::StatementState& state = units::statementState();
    state = {};
    state.reading = true;
    static const char FORMAT[] = "(A)";
    recordsWrittenBy([&](int unit) {
        FormattedWrite write(unit, FORMAT);
        EXPECT_EQ(state.currentUnit, unit);
        EXPECT_EQ(state.formatText, FORMAT);
        EXPECT_FALSE(state.reading);
        EXPECT_TRUE(state.sequential);
        EXPECT_TRUE(state.formatted);
        EXPECT_TRUE(state.external);
        write.text("x").end();
        EXPECT_EQ(state.formatText, nullptr);
    });
    // Dropped without end(): the report must not keep pointing at the format.
    recordsWrittenBy([&](int unit) { FormattedWrite(unit, FORMAT).text("x"); });
    EXPECT_EQ(state.formatText, nullptr);
}

TEST(FormattedWriteDeathTest, AnUnknownFormatEndsTheRun) {
    EXPECT_EXIT(
        {
            units::connectStandardUnits();
            units::statementState() = {};
            FormattedWrite(units::CONSOLE_UNIT, "(4I5").integer(1).end();
        },
        testing::KilledBySignal(SIGABRT),
        testing::Eq("startio: error in format\r\n"
                    "apparent state: unit 6 (unnamed)\r\n"
                    "last format: (4I5\r\n"
                    "lately writing sequential formatted external IO\r\n"));
}

TEST(FormattedWriteDeathTest, ReadOnlyFileEndsTheRun) {
    testsupport::ScratchDirectory directory;
    std::filesystem::create_directory(directory.path() / "SCRATCH.COR");
    EXPECT_EXIT(
        {
            units::connectStandardUnits();
            if (::chdir(directory.path().c_str()) != 0) std::_Exit(99);
            units::statementState() = {};
            units::endRunOn(units::openOutputFile(22, "SCRATCH.COR"));
            FormattedWrite(22, "(A)").text("never written").end();
        },
        testing::KilledBySignal(SIGABRT),
        testing::Eq("write start: can't write file\r\n"
                    "apparent state: unit 22 named SCRATCH.COR\r\n"
                    "last format: (A)\r\n"
                    "lately writing sequential formatted external IO\r\n"));
}

// The record buffer's growth failing: the address space is capped in the
// child (which a sanitizer's shadow memory cannot live with).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GRIDORB_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define GRIDORB_ADDRESS_SANITIZER 1
#endif
#ifndef GRIDORB_ADDRESS_SANITIZER
TEST(FormattedWriteDeathTest, RecordBufferThatCannotGrowEndsTheRun) {
    EXPECT_EXIT(
        {
            units::connectStandardUnits();
            units::statementState() = {};
            const std::string big(100 << 20, 'x');
            long pages = 0;
            if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
                std::fclose(statm);
            }
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64 << 20);
            if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(99);
            FormattedWrite(units::CONSOLE_UNIT, "(A)").text(big).end();
        },
        testing::KilledBySignal(SIGABRT),
        testing::Eq("malloc failure: out of free space\r\n"
                    "apparent state: unit 6 (unnamed)\r\n"
                    "last format: (A)\r\n"
                    "lately writing sequential formatted external IO\r\n"));
}
#endif

}  // namespace
}  // namespace gridorb::records
