#pragma once

// The error numbers of the fatal report: 0..99 a system error (errno), -1
// end of file, 100..131 the record library's own (their texts are in
// fatal_report.cpp). These are the ones gridorb meets.
namespace gridorb::units {

inline constexpr int END_OF_FILE = -1;
inline constexpr int ERROR_IN_FORMAT = 100;
inline constexpr int ILLEGAL_UNIT_NUMBER = 101;
inline constexpr int NULL_FILE_NAME = 107;
inline constexpr int OFF_END_OF_RECORD = 110;
inline constexpr int TRUNCATION_FAILED = 111;
inline constexpr int INCOMPREHENSIBLE_LIST_INPUT = 112;
inline constexpr int OUT_OF_FREE_SPACE = 113;
inline constexpr int UNIT_NOT_CONNECTED = 114;
inline constexpr int READ_UNEXPECTED_CHARACTER = 115;
inline constexpr int CANT_WRITE_FILE = 127;

// What a unit primitive met: number 0 is nothing; otherwise the error number
// and the context word of the report, which the statement that called the
// primitive ends the run with (endRunOn, run_end.h).
struct [[nodiscard]] Failure {
    int number = 0;
    const char* context = nullptr;
    explicit operator bool() const { return number != 0; }
};

}  // namespace gridorb::units
