#pragma once

#include <string>

// gridorb's result for one bundled molecule, computed once per process in a
// scratch folder by the gridorb of this build.
struct GridorbResult {
    std::string folder;   // holds VELD.VTK and TARNEL.COR
    std::string console;  // what gridorb printed
};

// name: a folder of examples/ or benchmarks/data/ holding FOR013.
const GridorbResult& gridorbResult(const std::string& name, int orbital);
