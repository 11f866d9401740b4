// gridorb against its floor program, side by side: whole processes in a
// scratch folder, alternating (the order swapped every pair), many pairs;
// the figure is the median of the pairs' ratios, which a busy machine
// disturbs less than either time alone. Both programs' files are checked
// against the bytes of the build-time run before anything is timed.
//
//   floor_ratio_benchmark [--runs N] [--gridorb PROGRAM] [FOLDER...]
//
// --gridorb times another build of gridorb (an earlier one, say) against
// the same floor.
// Each FOLDER gets a scratch folder of its own; the default is /dev/shm
// (tmpfs) and this build's folder (disk).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    const char* orbital;
    const char* input;      // FOR013
    const char* floor;      // the floor program for this input
    const char* reference;  // folder of the build-time run: console.txt, TARNEL.COR, VELD.VTK
};

const Case CASES[] = {
    {"perfluorohexadecane 151", "151", FLOOR_PERFLUOROHEXADECANE_INPUT, FLOOR_PERFLUOROHEXADECANE_PROGRAM,
     FLOOR_PERFLUOROHEXADECANE_REFERENCE},
    {"water 4", "4", FLOOR_WATER_INPUT, FLOOR_WATER_PROGRAM, FLOOR_WATER_REFERENCE},
};

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Wall time of one whole process in `folder`, its console into `console`.
double runOnce(const char* program, const char* orbital, const fs::path& folder, const fs::path& console) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(orbital), nullptr};
    fs::current_path(folder);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, program, &actions, nullptr, argv, environ) == 0) waitpid(pid, &status, 0);
    const auto stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed in %s\n", program, folder.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(stop - start).count();
}

bool sameOutputs(const fs::path& folder, const fs::path& console, const fs::path& reference) {
    return contents(console) == contents(reference / "console.txt") &&
           contents(folder / "TARNEL.COR") == contents(reference / "TARNEL.COR") &&
           contents(folder / "VELD.VTK") == contents(reference / "VELD.VTK");
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 200;
    std::string gridorb = GRIDORB_BINARY;
    std::vector<fs::path> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--gridorb" && i + 1 < argc) {
            gridorb = fs::absolute(argv[++i]);
        } else if (arg.starts_with("-")) {
            const bool known = arg == "--runs" || arg == "--gridorb";
            std::fprintf(stderr, "floor_ratio_benchmark: %s %s\nusage: floor_ratio_benchmark [--runs N] [--gridorb PROGRAM] [FOLDER...]\n",
                         known ? "a value is missing after" : "unknown option", arg.c_str());
            return 2;
        } else {
            folders.emplace_back(arg);
        }
    }
    if (folders.empty()) folders = {"/dev/shm", FLOOR_BUILD_FOLDER};

    const fs::path home = fs::current_path();
    std::printf("%-24s %-34s %9s %9s %7s %15s\n", "input", "folder", "gridorb", "floor", "ratio", "ratio 25-75%");
    for (const fs::path& base : folders) {
        for (const Case& c : CASES) {
            const fs::path scratch = base / ("gridorb-floor-" + std::to_string(::getpid()));
            fs::create_directories(scratch);
            fs::copy_file(c.input, scratch / "FOR013", fs::copy_options::overwrite_existing);
            const fs::path console = scratch / "console.txt";
            for (const char* program : {gridorb.c_str(), c.floor}) {
                runOnce(program, c.orbital, scratch, console);
                if (!sameOutputs(scratch, console, c.reference)) {
                    std::fprintf(stderr, "%s: outputs differ from the reference run (%s)\n", program, c.name);
                    return 1;
                }
            }
            // The console to /dev/null from here on, for both.
            std::vector<double> ours, floor, ratios;
            for (int r = 0; r < runs; ++r) {
                double g, f;
                if (r % 2 == 0) {
                    g = runOnce(gridorb.c_str(), c.orbital, scratch, "/dev/null");
                    f = runOnce(c.floor, c.orbital, scratch, "/dev/null");
                } else {
                    f = runOnce(c.floor, c.orbital, scratch, "/dev/null");
                    g = runOnce(gridorb.c_str(), c.orbital, scratch, "/dev/null");
                }
                ours.push_back(g);
                floor.push_back(f);
                ratios.push_back(g / f);
            }
            fs::current_path(home);
            fs::remove_all(scratch);
            char spread[32];
            std::snprintf(spread, sizeof spread, "%.2f-%.2f", quantile(ratios, 0.25), quantile(ratios, 0.75));
            std::printf("%-24s %-34s %7.0fus %7.0fus %6.2fx %15s\n", c.name, base.c_str(), median(ours),
                        median(floor), median(ratios), spread);
            std::fflush(stdout);
        }
    }
    return 0;
}
