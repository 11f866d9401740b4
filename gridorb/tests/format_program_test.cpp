#include "records/format_program.h"

#include <gtest/gtest.h>

#include <string>

namespace gridorb::records {
namespace {

class AcceptedFormatTest : public testing::TestWithParam<std::string> {};
class RejectedFormatTest : public testing::TestWithParam<std::string> {};

TEST_P(AcceptedFormatTest, Parses) {
    FormatProgram program;
    EXPECT_TRUE(parseFormat(GetParam(), program));
}

TEST_P(RejectedFormatTest, DoesNotParse) {
    FormatProgram program;
    EXPECT_FALSE(parseFormat(GetParam(), program));
}

// A format whose one descriptor lies `depth` groups deep.
std::string nested(std::size_t depth) {
    std::string format(depth + 1, '(');
    format.append("I1");
    format.append(depth + 1, ')');
    return format;
}

INSTANTIATE_TEST_SUITE_P(Formats, AcceptedFormatTest,
                         testing::Values("(A)", "(4I5)", "(8F10.6)", "(2(A,I5))", " ( 4 I 5 ) ", "(1 0I5)", "(4i5)",
                                         "(F10.0)", "(F3.7)", "(A12)", "(2147483647I1)", nested(32)));

INSTANTIATE_TEST_SUITE_P(Formats, RejectedFormatTest,
                         testing::Values("", " ", "4I5", "(4I5", "4I5)", "()", "(2())", "(I5,)", "(,I5)", "(I5,,I5)",
                                         "(I5I5)", "(I)", "(I0)", "(0I5)", "(A0)", "(F10)", "(F10.)", "(F.6)",
                                         "(F0.0)", "(X)", "(1X,I5)", "('A')", "(I5/I5)", "(I5)junk", "(I5))",
                                         "(2147483648I1)", "(I99999999999)", "(-1I5)", nested(33)));

}  // namespace
}  // namespace gridorb::records
