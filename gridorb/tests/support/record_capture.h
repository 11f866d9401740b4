#pragma once

#include <functional>
#include <string>

// Seeing the bytes that output statements produce: a scratch unit is
// connected to a temporary file, the statements run, the unit is closed and
// the file is read back whole.
namespace gridorb::testsupport {

inline constexpr int SCRATCH_UNIT = 77;

// The bytes, line ends included, that `statements` write on the unit they
// are given.
std::string recordsWrittenBy(const std::function<void(int unit)>& statements);

}  // namespace gridorb::testsupport
