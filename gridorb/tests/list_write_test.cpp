#include "records/list_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <ostream>
#include <string>

#include "support/process_runner.h"
#include "support/record_capture.h"
#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::records {
namespace {

using testsupport::recordsWrittenBy;

std::string listRecords(const std::function<void(ListWrite&)>& items) {
    return recordsWrittenBy([&](int unit) {
        ListWrite write(unit);
        items(write);
        write.end();
    });
}

std::string repeated(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

struct ListCase {
    const char* name;
    std::function<void(ListWrite&)> items;
    std::string expected;
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class ListRecordTest : public testing::TestWithParam<ListCase> {};

TEST_P(ListRecordTest, WritesExactBytes) { EXPECT_EQ(listRecords(GetParam().items), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Examples, ListRecordTest,
    testing::Values(
        ListCase{"TextsAndIntegers", [](ListWrite& w) { w.text("NORBS ").integer(21).text("NATB ").integer(5); },
                 " NORBS  21NATB  5\r\n"},
        ListCase{"Dimensions", [](ListWrite& w) { w.text("DIMENSIONS ").integer(51).integer(51).integer(51); },
                 " DIMENSIONS  51 51 51\r\n"},
        ListCase{"MixedItems", [](ListWrite& w) { w.integer(6).text(" ").real(0.529167F).real(-1.25F).real(0.0F); },
                 " 6   .529166996 -1.25  0.\r\n"},
        ListCase{"EmptyText", [](ListWrite& w) { w.text(""); }, " \r\n"},
        ListCase{"NoItem", [](ListWrite&) {}, "\r\n"},
        ListCase{"WidenedReal", [](ListWrite& w) { w.real(26.458349F); }, "  26.4583492\r\n"},
        ListCase{"ExponentForms", [](ListWrite& w) { w.real(1.0E-5F).real(1.0E10F).real(123456789.0F); },
                 "  9.99999975E-006  1.E+010  123456792.\r\n"},
        ListCase{"Integers",
                 [](ListWrite& w) {
                     w.integer(-7).integer(0).integer(std::numeric_limits<std::int32_t>::min()).integer(
                         std::numeric_limits<std::int32_t>::max());
                 },
                 " -7 0 -2147483648 2147483647\r\n"},
        ListCase{"TextKeepsTrailingBlanksAndQuotes", [](ListWrite& w) { w.text("it's  ").text("\"x\" "); },
                 " it's  \"x\" \r\n"},
        ListCase{"TenRealsOverTwoRecords",
                 [](ListWrite& w) {
                     for (int i = 0; i < 10; ++i) w.real(1.2345679F);
                 },
                 repeated("  1.23456788", 6) + "\r\n" + repeated("  1.23456788", 4) + "\r\n"},
        ListCase{"LongTextGetsARecordOfItsOwn",
                 [](ListWrite& w) { w.integer(1).text(std::string(85, 'x')).integer(2); },
                 " 1\r\n " + std::string(85, 'x') + "\r\n 2\r\n"},
        ListCase{"LongTextFirstStaysOnTheFirstRecord",
                 [](ListWrite& w) { w.text(std::string(85, 'x')).real(1.0F); },
                 " " + std::string(85, 'x') + "\r\n  1.\r\n"}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

// The "ended first" tests at the last column: 76 x's put the record
// position at 77, 77 x's at 78.
INSTANTIATE_TEST_SUITE_P(
    LastColumn, ListRecordTest,
    testing::Values(
        // Integers count only their digits: a record can reach 80, or 81 with a sign.
        ListCase{"IntegerReachesColumn80", [](ListWrite& w) { w.text(std::string(76, 'x')).integer(12); },
                 " " + std::string(76, 'x') + " 12\r\n"},
        ListCase{"NegativeIntegerReachesColumn81", [](ListWrite& w) { w.text(std::string(76, 'x')).integer(-12); },
                 " " + std::string(76, 'x') + " -12\r\n"},
        ListCase{"IntegerTooLong", [](ListWrite& w) { w.text(std::string(76, 'x')).integer(123); },
                 " " + std::string(76, 'x') + "\r\n 123\r\n"},
        // A real's two leading characters count.
        ListCase{"RealFits", [](ListWrite& w) { w.text(std::string(74, 'x')).real(1.0F); },
                 " " + std::string(74, 'x') + "  1.\r\n"},
        ListCase{"RealTooLong", [](ListWrite& w) { w.text(std::string(75, 'x')).real(1.0F); },
                 " " + std::string(75, 'x') + "\r\n  1.\r\n"},
        ListCase{"TextFits", [](ListWrite& w) { w.text(std::string(76, 'x')).text("ab"); },
                 " " + std::string(76, 'x') + "ab\r\n"},
        ListCase{"TextTooLong", [](ListWrite& w) { w.text(std::string(77, 'x')).text("ab"); },
                 " " + std::string(77, 'x') + "\r\n ab\r\n"}),
    [](const testing::TestParamInfo<ListCase>& info) { return std::string(info.param.name); });

struct RealCase {
    float value;
    const char* text;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ListRealTextTest : public testing::TestWithParam<RealCase> {};

TEST_P(ListRealTextTest, IsTheWholeRecord) {
    EXPECT_EQ(listRecords([](ListWrite& w) { w.real(GetParam().value); }), std::string(GetParam().text) + "\r\n");
}

constexpr float INF = std::numeric_limits<float>::infinity();
constexpr float NAN_VALUE = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, ListRealTextTest,
    testing::Values(RealCase{0.0F, "  0."}, RealCase{-0.0F, "  0."}, RealCase{0.25F, "  .25"}, RealCase{0.5F, "  .5"},
                    RealCase{1.0F, "  1."}, RealCase{-7.5F, " -7.5"}, RealCase{100.0F, "  100."},
                    RealCase{0.00015F, "  .000150000007"}, RealCase{0.0001F, "  9.99999975E-005"},
                    RealCase{999999999.0F, "  1.E+009"}, RealCase{500000000.0F, "  500000000."},
                    RealCase{1.2345679F, "  1.23456788"}, RealCase{-1.0E-20F, " -9.99999968E-021"},
                    RealCase{std::numeric_limits<float>::max(), "  3.40282347E+038"},
                    RealCase{-std::numeric_limits<float>::min(), " -1.17549435E-038"},
                    RealCase{std::numeric_limits<float>::denorm_min(), "  1.40129846E-045"},
                    RealCase{INF, "  Infinity"}, RealCase{-INF, " -Infinity"}, RealCase{NAN_VALUE, "  NaN"},
                    RealCase{-NAN_VALUE, "  NaN"}));

// Where the exact integer path ends and to_chars takes over (2^-76 and
// 2^64), its rounding (ties to even, a remainder over 2^40's ten digits),
// the fixed form's two ends, and the one float whose nine digits round up
// to a power of ten.
INSTANTIATE_TEST_SUITE_P(
    Edges, ListRealTextTest,
    testing::Values(RealCase{0x1p-76F, "  1.32348898E-023"}, RealCase{0x1.fffffep-77F, "  1.3234889E-023"},
                    RealCase{0x1.fffffep63F, "  1.8446743E+019"}, RealCase{0x1p64F, "  1.84467441E+019"},
                    RealCase{1048576.125F, "  1048576.12"}, RealCase{1048576.375F, "  1048576.38"},
                    RealCase{0x1p40F, "  1.09951163E+012"}, RealCase{1.00000005E-4F, "  .000100000005"},
                    RealCase{999999936.0F, "  999999936."}, RealCase{1.0E-23F, "  1.E-023"}));

TEST(ListWriteState, SetsTheStateThatTheFatalReportShows) {
    for (bool sequential : {false, true}) {
        units::StatementState& state = units::statementState();
        state = {};
        state.reading = true;
        state.sequential = sequential;
        int unitSeen = -1;
        recordsWrittenBy([&](int unit) {
            ListWrite(unit).integer(1).end();
            unitSeen = unit;
        });
        EXPECT_EQ(state.currentUnit, unitSeen);
        ASSERT_NE(state.formatText, nullptr);
        EXPECT_STREQ(state.formatText, "list io");  // kept after the statement
        EXPECT_FALSE(state.reading);
        EXPECT_EQ(state.sequential, sequential);  // not a flag this statement sets
        EXPECT_TRUE(state.formatted);
        EXPECT_TRUE(state.external);
    }
}

// The echo is a list WRITE of its own: the same record on its unit, and the
// state a fatal report during it shows names that unit.
TEST(ListWriteState, EchoWritesTheSameRecordOnItsOwnUnit) {
    testsupport::ScratchDirectory directory;
    constexpr int ECHO_UNIT = 78;
    units::endRunOn(units::openOutputFile(ECHO_UNIT, (directory.path() / "echo.txt").string()));
    const std::string written =
        recordsWrittenBy([](int unit) { ListWrite(unit).integer(9).text(" ").real(-0.5F).endEchoedOn(ECHO_UNIT); });
    EXPECT_EQ(units::statementState().currentUnit, ECHO_UNIT);
    units::endRunOn(units::closeUnit(ECHO_UNIT));
    EXPECT_EQ(written, " 9  -.5\r\n");
    EXPECT_EQ(directory.read("echo.txt"), written);
}

// A directory can be opened, but only for reading: the first WRITE's
// reopen for update then fails, whoever runs the test.
TEST(ListWriteDeathTest, ReadOnlyFileEndsTheRun) {
    testsupport::ScratchDirectory directory;
    std::filesystem::create_directory(directory.path() / "SCRATCH.COR");
    EXPECT_EXIT(
        {
            units::connectStandardUnits();
            if (::chdir(directory.path().c_str()) != 0) std::_Exit(99);
            units::statementState() = {};
            units::statementState().sequential = true;  // as the run's earlier statements leave it
            units::endRunOn(units::openOutputFile(22, "SCRATCH.COR"));
            ListWrite(22).text("never written").end();
        },
        testing::KilledBySignal(SIGABRT),
        testing::Eq("list output start: can't write file\r\n"
                    "apparent state: unit 22 named SCRATCH.COR\r\n"
                    "last format: list io\r\n"
                    "lately writing sequential formatted external IO\r\n"));
}

}  // namespace
}  // namespace gridorb::records
