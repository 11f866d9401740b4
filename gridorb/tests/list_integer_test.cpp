// The list-directed scan of the orbital number, in-process: which records
// give which value, and which failure (number and context) the others meet.
// The failure texts as a user sees them are checked end to end.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

#include "units/fatal_report.h"
#include "wavefunction/orbital_number.h"

namespace gridorb::wavefunction {
namespace {

using Outcome = ListIntegerScan::Outcome;

// The 25-character record the argument becomes.
std::string record(const std::string& argument) {
    std::string padded = argument.substr(0, ARGUMENT_BUFFER_LENGTH);
    padded.resize(ARGUMENT_BUFFER_LENGTH, ' ');
    return padded;
}

struct ValueCase {
    const char* argument;
    double value;
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class ListIntegerValue : public testing::TestWithParam<ValueCase> {};

TEST_P(ListIntegerValue, GivesTheValue) {
    ListIntegerScan scan = scanListInteger(record(GetParam().argument));
    ASSERT_EQ(scan.outcome, Outcome::Value) << "context " << (scan.context ? scan.context : "-");
    EXPECT_EQ(scan.value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ListIntegerValue,
    testing::Values(ValueCase{"7", 7}, ValueCase{"   7", 7}, ValueCase{"\t \t7", 7}, ValueCase{"007", 7},
                    ValueCase{"+7", 7}, ValueCase{"-7", -7}, ValueCase{"-0", 0},
                    // The first character that cannot continue the value ends it.
                    ValueCase{"12abc", 12}, ValueCase{"7 8", 7}, ValueCase{"7,8", 7}, ValueCase{"7/", 7},
                    ValueCase{"7\t8", 7}, ValueCase{"7x.5", 7},
                    // A sign after the digits opens an exponent; truncation toward zero.
                    ValueCase{"5+2", 500}, ValueCase{"5-3", 0}, ValueCase{"5-0", 5}, ValueCase{"7000-3", 7},
                    ValueCase{"69999-4", 6}, ValueCase{"-69999-4", -6}, ValueCase{"5+02x", 500},
                    ValueCase{"1+9", 1e9},
                    // Repeat counts.
                    ValueCase{"2*5", 5}, ValueCase{"01*5", 5}, ValueCase{"3*-4", -4}, ValueCase{"2*5+1", 50},
                    // An asterisk after the value (or its exponent) ends it.
                    ValueCase{"2*3*4", 3}, ValueCase{"1*1*1", 1}, ValueCase{"3*2*", 2}, ValueCase{"1*2*3*4", 2},
                    ValueCase{"2*7*", 7}, ValueCase{"2*-3*", -3}, ValueCase{"5+1*", 50}, ValueCase{"5+2*3", 500},
                    // Far beyond int32: kept as a double, never converted.
                    ValueCase{"99999999999", 99999999999.0}, ValueCase{"-99999999999", -99999999999.0},
                    ValueCase{"9+30", 9e30}, ValueCase{"0000000000000000000000007", 7},
                    ValueCase{"1-99999999999999999999", 0}));

TEST(ListIntegerValue, HugeExponentsGiveInfinityNotUndefinedBehaviour) {
    ListIntegerScan scan = scanListInteger(record("9+999"));
    ASSERT_EQ(scan.outcome, Outcome::Value);
    EXPECT_TRUE(std::isinf(scan.value) && scan.value > 0);
    scan = scanListInteger(record("-1+99999999999999999999"));
    ASSERT_EQ(scan.outcome, Outcome::Value);
    EXPECT_TRUE(std::isinf(scan.value) && scan.value < 0);
}

TEST(ListIntegerValue, LeadingSeparatorOrNullRepeatAssignsNothing) {
    for (const char* argument : {",", "/", "  ,7", "\t/7", "2*", "2* 5", "2*,5", "2*/"}) {
        EXPECT_EQ(scanListInteger(record(argument)).outcome, Outcome::NoValue) << '"' << argument << '"';
    }
}

struct FailureCase {
    const char* argument;
    int errorNumber;
    const char* context;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class ListIntegerFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ListIntegerFailure, FailsWithContext) {
    ListIntegerScan scan = scanListInteger(record(GetParam().argument));
    ASSERT_EQ(scan.outcome, Outcome::Failure) << "value " << scan.value;
    EXPECT_EQ(scan.errorNumber, GetParam().errorNumber);
    EXPECT_STREQ(scan.context, GetParam().context);
}

constexpr int EOF_ = units::END_OF_FILE;
constexpr int INCOMPREHENSIBLE = units::INCOMPREHENSIBLE_LIST_INPUT;
constexpr int UNEXPECTED = units::READ_UNEXPECTED_CHARACTER;

INSTANTIATE_TEST_SUITE_P(
    Rules, ListIntegerFailure,
    testing::Values(
        // Nothing but blanks: the record ends and there is no other.
        FailureCase{"", EOF_, "list in"}, FailureCase{" \t  \t", EOF_, "list in"},
        // A first character that cannot start a number; a lone sign.
        FailureCase{"x7", INCOMPREHENSIBLE, "invalid number"}, FailureCase{"e5", INCOMPREHENSIBLE, "invalid number"},
        FailureCase{"+ 7", INCOMPREHENSIBLE, "invalid number"}, FailureCase{"-", INCOMPREHENSIBLE, "invalid number"},
        FailureCase{"+\t7", INCOMPREHENSIBLE, "invalid number"}, FailureCase{"+,", INCOMPREHENSIBLE, "invalid number"},
        FailureCase{"+x", INCOMPREHENSIBLE, "invalid number"},
        FailureCase{"                        +", INCOMPREHENSIBLE, "invalid number"},
        // A point, or an exponent letter after the digits.
        FailureCase{"7.0", UNEXPECTED, "invalid integer"}, FailureCase{"7.", UNEXPECTED, "invalid integer"},
        FailureCase{".5", UNEXPECTED, "invalid integer"}, FailureCase{"-.5", UNEXPECTED, "invalid integer"},
        FailureCase{"7e1", UNEXPECTED, "invalid integer"}, FailureCase{"7D0", UNEXPECTED, "invalid integer"},
        FailureCase{"2*7.5", UNEXPECTED, "invalid integer"},
        // A sign after the digits without exponent digits.
        FailureCase{"5+", INCOMPREHENSIBLE, "exponent field"}, FailureCase{"5-x", INCOMPREHENSIBLE, "exponent field"},
        FailureCase{"5+ 2", INCOMPREHENSIBLE, "exponent field"},
        FailureCase{"                       5+", INCOMPREHENSIBLE, "exponent field"},  // "+" is character 25
        // An asterisk without a positive repeat count before it.
        FailureCase{"*5", INCOMPREHENSIBLE, "bad repetition count"},
        FailureCase{"0*5", INCOMPREHENSIBLE, "bad repetition count"},
        FailureCase{"-2*5", INCOMPREHENSIBLE, "bad repetition count"},
        FailureCase{"+*5", INCOMPREHENSIBLE, "bad repetition count"},
        // After a count, a value cannot begin with an asterisk or a lone sign.
        FailureCase{"2**3", INCOMPREHENSIBLE, "invalid number"},
        FailureCase{"2*+*", INCOMPREHENSIBLE, "invalid number"}));

TEST(ReadOrbitalNumber, ReadsTheFirst25CharactersOfTheArgument) {
    EXPECT_EQ(readOrbitalNumber("6", 6), 6);
    EXPECT_EQ(readOrbitalNumber("2*5", 6), 5);
    // Character 25 is the last one read: "799" is cut to "7".
    EXPECT_EQ(readOrbitalNumber((std::string(24, ' ') + "799").c_str(), 11), 7);
    EXPECT_EQ(readOrbitalNumber((std::string(23, ' ') + "1" + "0" + "5+7").c_str(), 11), 10);
}

TEST(ReadOrbitalNumber, SetsTheStateOfAnInternalRead) {
    units::StatementState& state = units::statementState();
    state = units::StatementState{13, nullptr, false, true, false, true};
    readOrbitalNumber("1", 1);
    EXPECT_EQ(state.currentUnit, -1);
    EXPECT_TRUE(state.reading);
    EXPECT_TRUE(state.formatted);
    EXPECT_FALSE(state.external);
    EXPECT_TRUE(state.sequential);  // not set by this read: kept from FOR013's
}

}  // namespace
}  // namespace gridorb::wavefunction
