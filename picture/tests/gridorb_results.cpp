#include "gridorb_results.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

// CTest runs the tests as separate processes, possibly at once: each result
// is made in a folder of its own and renamed into place whole, and the first
// one there is used by all. The folder is named for the gridorb binary's
// time, so that a rebuilt gridorb is run again.
const GridorbResult& gridorbResult(const std::string& name, int orbital) {
    static std::map<std::string, GridorbResult> done;
    const std::string key = name + "-" + std::to_string(orbital);
    if (auto found = done.find(key); found != done.end()) return found->second;

    const auto built = static_cast<unsigned long long>(fs::last_write_time(GRIDORB_BINARY).time_since_epoch().count());
    const fs::path folder = fs::path(PICTURE_SCRATCH) / ("results-" + std::to_string(built)) / key;
    if (!fs::exists(folder / "console.txt")) {
        fs::path input = fs::path(PROJECT_SOURCE) / "examples" / name / "FOR013";
        if (!fs::exists(input)) input = fs::path(PROJECT_SOURCE) / "benchmarks" / "data" / name / "FOR013";
        const fs::path making = folder.string() + ".making-" + std::to_string(getpid());
        fs::create_directories(making);
        fs::copy_file(input, making / "FOR013", fs::copy_options::overwrite_existing);
        const std::string command = "cd '" + making.string() + "' && '" GRIDORB_BINARY "' " + std::to_string(orbital) +
                                    " > console.txt";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("gridorb failed: " + command);
        std::error_code taken;
        fs::rename(making, folder, taken);
        if (taken) fs::remove_all(making);  // another process was first
    }
    std::ifstream console(folder / "console.txt", std::ios::binary);
    std::ostringstream text;
    text << console.rdbuf();
    return done[key] = GridorbResult{folder.string(), text.str()};
}
