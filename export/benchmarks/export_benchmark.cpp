// Wall time of whole gridorb-export processes on perfluorohexadecane (50
// atoms, 200 orbitals), as a user sees it: start, read FOR013, evaluate,
// write the files, exit. Files go to a scratch folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

void runExport(benchmark::State& state, std::vector<std::string> arguments) {
    const fs::path scratch = fs::temp_directory_path() / ("export-bench-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    arguments.insert(arguments.begin(), {EXPORT_BINARY, "--quiet", "-C", BENCHMARK_DATA "/perfluorohexadecane", "-o",
                                         scratch.string()});
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start gridorb-export");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("gridorb-export failed");
            break;
        }
    }
    fs::remove_all(scratch);
}

void BM_TenCubesAt51Points(benchmark::State& state) { runExport(state, {"homo-9..homo"}); }
void BM_OneCubeAt101Points(benchmark::State& state) { runExport(state, {"--points", "101", "homo"}); }
void BM_OnePicture(benchmark::State& state) { runExport(state, {"--png", "homo"}); }

BENCHMARK(BM_TenCubesAt51Points)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneCubeAt101Points)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OnePicture)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
