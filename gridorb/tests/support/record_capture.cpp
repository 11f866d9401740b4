#include "support/record_capture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "units/unit_table.h"

namespace gridorb::test_support {

TemporaryDirectory::TemporaryDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gridorb-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string recordsWrittenBy(const std::function<void(int unit)>& statements) {
    TemporaryDirectory directory;
    std::string file = directory.path() + "/records.txt";
    units::openOutputFile(SCRATCH_UNIT, file);
    statements(SCRATCH_UNIT);
    units::closeUnit(SCRATCH_UNIT);
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace gridorb::test_support
