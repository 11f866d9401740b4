// Wall time of whole gridorb processes, as a user sees it: start, read
// FOR013, evaluate, write both files, exit. Each run is in a scratch folder
// holding a copy of the wavefunction; output goes to /dev/null.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

extern char** environ;

namespace {

namespace fs = std::filesystem;

void runGridorb(benchmark::State& state, const fs::path& dataFolder, const char* molecule, const char* orbital) {
    const fs::path scratch = fs::temp_directory_path() / ("gridorb-bench-" + std::to_string(::getpid()) + "-" + molecule);
    fs::create_directories(scratch);
    fs::copy_file(dataFolder / molecule / "FOR013", scratch / "FOR013",
                  fs::copy_options::overwrite_existing);
    const std::string binary = GRIDORB_BINARY;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string previous = fs::current_path();
    fs::current_path(scratch);
    char* argv[] = {const_cast<char*>(binary.c_str()), const_cast<char*>(orbital), nullptr};
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start gridorb");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("gridorb failed");
            break;
        }
    }
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    fs::remove_all(scratch);
}

void BM_WholeRunWater(benchmark::State& state) { runGridorb(state, GRIDORB_EXAMPLES_DIR, "water", "4"); }
void BM_WholeRunPerfluorohexadecane(benchmark::State& state) {
    runGridorb(state, GRIDORB_BENCHMARK_DATA, "perfluorohexadecane", "151");
}

BENCHMARK(BM_WholeRunWater)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeRunPerfluorohexadecane)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
