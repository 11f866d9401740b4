#include "gridorb_results.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

const GridorbResult& gridorbResult(const std::string& name, int orbital) {
    static std::map<std::string, GridorbResult> done;
    const std::string key = name + "/" + std::to_string(orbital);
    if (auto found = done.find(key); found != done.end()) return found->second;

    fs::path input = fs::path(PROJECT_SOURCE) / "examples" / name / "FOR013";
    if (!fs::exists(input)) input = fs::path(PROJECT_SOURCE) / "benchmarks" / "data" / name / "FOR013";
    const fs::path folder = fs::path(PICTURE_SCRATCH) / (name + "-" + std::to_string(orbital));
    fs::create_directories(folder);
    fs::copy_file(input, folder / "FOR013", fs::copy_options::overwrite_existing);
    const std::string command = "cd '" + folder.string() + "' && '" GRIDORB_BINARY "' " + std::to_string(orbital) +
                                " > console.txt";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("gridorb failed: " + command);
    std::ifstream console(folder / "console.txt", std::ios::binary);
    std::ostringstream text;
    text << console.rdbuf();
    return done[key] = GridorbResult{folder.string(), text.str()};
}
