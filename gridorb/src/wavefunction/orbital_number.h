#pragma once

#include <cstdint>
#include <string_view>

// The orbital number from command-line argument 1, read by the rules of
// list-directed integer input over a 25-character record.
namespace gridorb::wavefunction {

inline constexpr int ARGUMENT_BUFFER_LENGTH = 25;

// Reads argument 1 (nullptr when it is missing) as a list-directed read over
// its 25-character record: the statement state of an internal read, the scan
// below, then the range check (the 0 of a record that starts with "," or "/"
// included). Ends the run on the failures of list-directed input and on a
// number outside 1..orbitalCount; otherwise returns the number.
std::int32_t readOrbitalNumber(const char* argument, std::int32_t orbitalCount);

// What the scan of one list-directed integer found, without ending the run.
struct ListIntegerScan {
    enum class Outcome { Value, NoValue, Failure };
    Outcome outcome = Outcome::NoValue;
    // Outcome::Value: the value truncated toward zero. It is kept as a double
    // so that a value far outside the int32 range can be judged without an
    // undefined conversion; it may be infinite (9+999).
    double value = 0.0;
    // Outcome::Failure: the error number and context of the fatal report.
    int errorNumber = 0;
    const char* context = nullptr;
};

ListIntegerScan scanListInteger(std::string_view record);

}  // namespace gridorb::wavefunction
