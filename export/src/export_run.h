#pragma once

#include <string>
#include <vector>

// One run of gridorb-export: the command line (argv[1] onwards) to the files,
// with every message on standard error. Returns the exit status: 0 when
// every requested file is complete, 1 after a failed write, 2 for bad usage
// or input.
namespace gridorb::exporter {

int runExport(const std::vector<std::string>& arguments);

}  // namespace gridorb::exporter
