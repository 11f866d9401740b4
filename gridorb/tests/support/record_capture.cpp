#include "support/record_capture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/process_runner.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::testsupport {

std::string recordsWrittenBy(const std::function<void(int unit)>& statements) {
    ScratchDirectory directory;
    const std::string file = (directory.path() / "records.txt").string();
    units::endRunOn(units::openOutputFile(SCRATCH_UNIT, file));
    statements(SCRATCH_UNIT);
    units::endRunOn(units::closeUnit(SCRATCH_UNIT));
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace gridorb::testsupport
