#pragma once

#include <cstdint>
#include <string_view>

// The orbital number from command-line argument 1, read by the rules of
// list-directed integer input over a 25-character record.
namespace gridorb::wavefunction {

inline constexpr int ARGUMENT_BUFFER_LENGTH = 25;

// Reads argument 1 (nullptr when it is missing) and returns the orbital
// number; a number outside 1..orbitalCount is rejected. Any failure ends the
// run.
std::int32_t readOrbitalNumber(const char* argument, std::int32_t orbitalCount);

// The list-directed read itself, over the 25 characters of `record`: returns
// the value, or 0 when the record starts with "," or "/". Ends the run on
// the failures of list-directed input.
std::int32_t readListInteger(std::string_view record, std::int32_t orbitalCount);

}  // namespace gridorb::wavefunction
