#pragma once

#include <functional>
#include <string>

// Seeing the bytes that output statements produce: a scratch unit is
// connected to a temporary file, the statements run, the unit is closed and
// the file is read back whole.
namespace gridorb::test_support {

inline constexpr int SCRATCH_UNIT = 77;

// The bytes, line ends included, that `statements` write on the unit they
// are given.
std::string recordsWrittenBy(const std::function<void(int unit)>& statements);

// A fresh directory under the temporary directory, removed with everything
// in it when this goes out of scope.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace gridorb::test_support
