// End to end: the real gridorb with the chloromethane example (11 orbitals)
// and arguments of every kind. Bad arguments end the run with the exact
// report or rejection and leave earlier output files alone; good ones run
// exactly as the plain number does.
#include <gtest/gtest.h>

#include <signal.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/process_runner.h"

namespace gridorb {
namespace {

using testsupport::ProcessResult;
using testsupport::ScratchDirectory;

std::string chloromethane() {
    ScratchDirectory reader;
    std::filesystem::copy_file(std::filesystem::path(GRIDORB_EXAMPLES_DIR) / "chloromethane" / "FOR013",
                               reader.path() / "FOR013");
    return reader.read("FOR013").value();
}

std::string internalReadReport(const std::string& firstLine) {
    return firstLine + "\r\napparent state: internal I/O\r\nlately reading sequential formatted internal IO\r\n";
}

std::string displayed(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return "no argument";
    std::string shown;
    for (const std::string& a : arguments) {
        shown += shown.empty() ? "\"" : " \"";
        for (char c : a) shown += c == '\t' ? std::string("\\t") : std::string(1, c);
        shown += '"';
    }
    return shown;
}

std::string testName(const std::vector<std::string>& arguments, std::size_t index) {
    std::string name = "case" + std::to_string(index);
    bool gap = true;
    for (char c : displayed(arguments)) {
        bool keep = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (keep && gap) name += '_';
        if (keep) name += c;
        gap = !keep;
    }
    return name;
}

struct BadArgument {
    std::vector<std::string> arguments;
    std::string expectedError;
    bool aborts;  // the fatal report; otherwise a rejection with exit status 2
};

void PrintTo(const BadArgument& c, std::ostream* os) { *os << displayed(c.arguments); }

BadArgument fatal(std::vector<std::string> arguments, const std::string& firstLine) {
    return {std::move(arguments), internalReadReport(firstLine), true};
}

BadArgument rejected(std::vector<std::string> arguments, const std::string& number) {
    return {std::move(arguments), "orbital " + number + " does not exist: FOR013 has orbitals 1 to 11\r\n", false};
}

const std::string END_OF_FILE = "list in: end of file";
const std::string INVALID_NUMBER = "invalid number: incomprehensible list input";
const std::string INVALID_INTEGER = "invalid integer: read unexpected character";

class EndToEndOrbitalNumberRejected : public testing::TestWithParam<BadArgument> {};

TEST_P(EndToEndOrbitalNumberRejected, EndsTheRunAndLeavesEarlierOutputs) {
    ScratchDirectory directory;
    directory.write("FOR013", chloromethane());
    testsupport::placeEarlierOutputs(directory);

    ProcessResult result = testsupport::runGridorb(directory, GetParam().arguments);

    EXPECT_TRUE(testsupport::sameText(GetParam().expectedError, result.standardError));
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_TRUE(testsupport::endedAsFailure(result, GetParam().aborts));
    EXPECT_TRUE(testsupport::earlierOutputsUntouched(directory));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EndToEndOrbitalNumberRejected,
    testing::Values(fatal({}, END_OF_FILE), fatal({""}, END_OF_FILE), fatal({"  \t  "}, END_OF_FILE),
                    // Only the first 25 characters are read: all blanks here.
                    fatal({std::string(25, ' ') + "7"}, END_OF_FILE),
                    fatal({"x7"}, INVALID_NUMBER), fatal({"+ 7"}, INVALID_NUMBER),
                    fatal({"7.0"}, INVALID_INTEGER), fatal({"7e0"}, INVALID_INTEGER),
                    fatal({"5+"}, "exponent field: incomprehensible list input"),
                    fatal({"*5"}, "bad repetition count: incomprehensible list input"),
                    fatal({"2**3"}, INVALID_NUMBER),
                    // Argument 1 decides, whatever follows it.
                    fatal({"x", "7"}, INVALID_NUMBER),
                    // No value, or one that is no orbital of the file.
                    rejected({","}, "0"), rejected({"/"}, "0"), rejected({"-0"}, "0"), rejected({"5-3"}, "0"),
                    rejected({"12"}, "12"), rejected({"-3"}, "-3"), rejected({"5+2"}, "500"), rejected({"5+1*"}, "50"),
                    rejected({"99999999999"}, "99999999999"), rejected({"9+30"}, "9e+30")),
    [](const testing::TestParamInfo<BadArgument>& info) { return testName(info.param.arguments, info.index); });

struct GoodArgument {
    std::vector<std::string> arguments;
    std::string sameAs;  // the plain number it must run as
};

void PrintTo(const GoodArgument& c, std::ostream* os) { *os << displayed(c.arguments); }

struct RunOutputs {
    std::string standardOutput;
    std::string coordinates;
    std::string volume;
};

RunOutputs runToCompletion(const std::vector<std::string>& arguments) {
    ScratchDirectory directory;
    directory.write("FOR013", chloromethane());
    testsupport::placeEarlierOutputs(directory);
    ProcessResult result = testsupport::runGridorb(directory, arguments);
    EXPECT_TRUE(result.exited && result.exitStatus == 0) << displayed(arguments) << ": " << result.describe();
    EXPECT_EQ(result.standardError, "") << displayed(arguments);
    return {result.standardOutput, directory.read("TARNEL.COR").value_or("<missing>"),
            directory.read("VELD.VTK").value_or("<missing>")};
}

// One run per plain number, shared by the cases that must match it.
const RunOutputs& plainRun(const std::string& number) {
    static std::map<std::string, RunOutputs> runs;
    auto found = runs.find(number);
    if (found == runs.end()) found = runs.emplace(number, runToCompletion({number})).first;
    return found->second;
}

class EndToEndOrbitalNumberAccepted : public testing::TestWithParam<GoodArgument> {};

TEST_P(EndToEndOrbitalNumberAccepted, RunsAsThePlainNumber) {
    const RunOutputs& expected = plainRun(GetParam().sameAs);
    RunOutputs actual = runToCompletion(GetParam().arguments);
    EXPECT_TRUE(testsupport::sameText(expected.standardOutput, actual.standardOutput)) << "standard output";
    EXPECT_TRUE(testsupport::sameText(expected.coordinates, actual.coordinates)) << "TARNEL.COR";
    EXPECT_TRUE(testsupport::sameText(expected.volume, actual.volume)) << "VELD.VTK";
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, EndToEndOrbitalNumberAccepted,
    testing::Values(GoodArgument{{"   7"}, "7"}, GoodArgument{{"\t 7"}, "7"}, GoodArgument{{"7,8"}, "7"},
                    GoodArgument{{"7 8"}, "7"}, GoodArgument{{"007"}, "7"}, GoodArgument{{"+7"}, "7"},
                    GoodArgument{{"7abc"}, "7"}, GoodArgument{{"7000-3"}, "7"}, GoodArgument{{"7", "x"}, "7"},
                    GoodArgument{{std::string(24, ' ') + "799"}, "7"}, GoodArgument{{"2*5"}, "5"}, GoodArgument{{"2*3*4"}, "3"},
                    GoodArgument{{"1+1"}, "10"}),
    [](const testing::TestParamInfo<GoodArgument>& info) { return testName(info.param.arguments, info.index); });

}  // namespace
}  // namespace gridorb
