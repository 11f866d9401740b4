// gridorb-export run as a user runs it, in scratch folders: the files it
// writes and their names, what it leaves alone, and every way it refuses or
// fails, with its message and exit status.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

struct Outcome {
    int status = -1;  // exit status; -1 for a death by signal
    std::string out, err;
};

// Runs argv (argv[0] the program) with no display, its streams caught in
// files; `started`, if given, is called with the child's pid while it runs.
Outcome run(const std::vector<std::string>& argv, const fs::path& scratch,
            const std::function<void(pid_t)>& started = nullptr, const fs::path& folder = ".") {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string out = (scratch / ".stdout").string(), err = (scratch / ".stderr").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::unsetenv("DISPLAY");
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(127);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (started) started(pid);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}

std::vector<std::string> fileNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class Export : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_ = fs::temp_directory_path() / ("export-e2e-" + std::to_string(::getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_);
        molecule_ = scratch_ / "water";
        fs::create_directories(molecule_);
        fs::copy_file(EXAMPLES_DIR "/water/FOR013", molecule_ / "FOR013");
        writeFile(molecule_ / "TARNEL.COR", "an earlier run's atoms\r\n");
        writeFile(molecule_ / "VELD.VTK", "an earlier run's volume\r\n");
    }
    void TearDown() override { fs::remove_all(scratch_); }

    Outcome exportIn(const fs::path& folder, std::vector<std::string> arguments,
                 const std::function<void(pid_t)>& started = nullptr) {
        arguments.insert(arguments.begin(), {EXPORT_BINARY, "-C", folder.string()});
        return run(arguments, scratch_, started);
    }
    // A refusal or failure: one line, nothing on standard output, and the
    // folder's earlier files as they were.
    void expectRefusal(const Outcome& result, int status, const std::string& line) {
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.err, "gridorb-export: " + line + "\n");
        EXPECT_EQ(result.out, "");
        expectInputsUntouched();
    }
    void expectInputsUntouched() {
        EXPECT_EQ(readFile(molecule_ / "TARNEL.COR"), "an earlier run's atoms\r\n");
        EXPECT_EQ(readFile(molecule_ / "VELD.VTK"), "an earlier run's volume\r\n");
        EXPECT_EQ(readFile(molecule_ / "FOR013"), readFile(EXAMPLES_DIR "/water/FOR013"));
    }

    fs::path scratch_, molecule_;
};

TEST_F(Export, CubesNamedForTheirOrbitalsBesideTheUntouchedInputs) {
    const Outcome result = exportIn(molecule_, {"--quiet", "homo-1..lumo"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(fileNames(molecule_), (std::vector<std::string>{"FOR013", "TARNEL.COR", "VELD.VTK", "orbital-003-homo-1.cube",
                                                             "orbital-004-homo.cube", "orbital-005-lumo.cube"}));
    expectInputsUntouched();
    const std::string cube = readFile(molecule_ / "orbital-004-homo.cube");
    EXPECT_EQ(cube.substr(0, cube.find('\n', cube.find('\n') + 1) + 1),
              "H2O, orbital 4 (HOMO) of 6, psi in atomic units\n"
              "grid 51 x 51 x 51, margin 3 Angstrom, lengths in Bohr; gridorb-export " GRIDORB_VERSION "\n");
    EXPECT_EQ(cube.find('\r'), std::string::npos);

    // Elsewhere with -o, and by number: the same bytes.
    const fs::path elsewhere = scratch_ / "cubes";
    fs::create_directories(elsewhere);
    ASSERT_EQ(exportIn(molecule_, {"-o", elsewhere.string(), "4", "--quiet"}).status, 0);
    EXPECT_EQ(fileNames(elsewhere), std::vector<std::string>{"orbital-004-homo.cube"});
    EXPECT_EQ(readFile(elsewhere / "orbital-004-homo.cube"), cube);
}

TEST_F(Export, HelpAndVersion) {
    const Outcome help = run({EXPORT_BINARY, "--help"}, scratch_);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: gridorb-export [OPTIONS] ORBITAL...\n", 0), 0u);
    const Outcome version = run({EXPORT_BINARY, "--version"}, scratch_);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "gridorb-export " GRIDORB_VERSION "\n");
}

TEST_F(Export, BadUsageAndBadInputExitWithStatus2) {
    const std::string in = molecule_.string();
    expectRefusal(exportIn(molecule_, {}), 2, "no orbital named (for example: gridorb-export homo)");
    expectRefusal(exportIn(molecule_, {"--points", "50", "homo"}), 2, "--points 50: must be an odd number from 11 to 201");
    expectRefusal(exportIn(molecule_, {"7"}), 2, "orbital '7': orbital 7 does not exist (orbitals 1 to 6, HOMO 4, LUMO 5)");
    expectRefusal(exportIn(molecule_, {"-o", in + "/none", "homo"}), 2, "-o " + in + "/none: no such folder");
    expectRefusal(exportIn(molecule_ / "none", {"homo"}), 2, "-C " + in + "/none: no such folder");

    // A folder without FOR013, and damaged ones: the reader's own words.
    const fs::path empty = scratch_ / "empty";
    fs::create_directories(empty);
    expectRefusal(exportIn(empty, {"homo"}), 2, empty.string() + "/FOR013: open: No such file or directory");
    const fs::path damaged = scratch_ / "damaged";
    fs::create_directories(damaged);
    writeFile(damaged / "FOR013", readFile(molecule_ / "FOR013").substr(0, 100));
    expectRefusal(exportIn(damaged, {"homo"}), 2, damaged.string() + "/FOR013: do_us: end of file");
    writeFile(damaged / "FOR013", readFile(molecule_ / "FOR013").substr(0, 512));  // records 1 to 4
    expectRefusal(exportIn(damaged, {"homo"}), 2, damaged.string() + "/FOR013: start: end of file");
    EXPECT_EQ(fileNames(damaged), std::vector<std::string>{"FOR013"});
}

// A basis with d functions is refused in gridorb's own words.
TEST_F(Export, ABasisWithDFunctionsIsRefusedAsGridorbRefusesIt) {
    const fs::path folder = scratch_ / "dimethylsulfoxide";
    fs::create_directories(folder);
    fs::copy_file(TEST_DATA_DIR "/dimethylsulfoxide_pm7/FOR013", folder / "FOR013");
    const Outcome gridorb = run({GRIDORB_BINARY, "13"}, scratch_, nullptr, folder);
    ASSERT_EQ(gridorb.status, 2);
    ASSERT_EQ(gridorb.err.rfind("FOR013: ", 0), 0u);
    ASSERT_EQ(gridorb.err.substr(gridorb.err.size() - 2), "\r\n");
    const std::string words = gridorb.err.substr(8, gridorb.err.size() - 10);
    expectRefusal(exportIn(folder, {"homo"}), 2, folder.string() + "/FOR013: " + words);
}

// A failed write ends the run with status 1 and leaves no partial file; the
// files finished before it stay.
TEST_F(Export, AFailedWriteExitsWithStatus1AndLeavesNoHalfFile) {
    fs::create_directories(molecule_ / "orbital-004-homo.cube" / "in-the-way");
    expectRefusal(exportIn(molecule_, {"--quiet", "homo-1..lumo"}), 1,
                  molecule_.string() + "/orbital-004-homo.cube: cannot replace: Is a directory");
    EXPECT_EQ(fileNames(molecule_), (std::vector<std::string>{"FOR013", "TARNEL.COR", "VELD.VTK",
                                                             "orbital-003-homo-1.cube", "orbital-004-homo.cube"}));
    fs::remove_all(molecule_ / "orbital-004-homo.cube");
    fs::remove(molecule_ / "orbital-003-homo-1.cube");

    // A file size limit below a cube's size: the write itself fails.
    const Outcome limited = run({"/bin/sh", "-c", "ulimit -f 100; exec \"$0\" \"$@\"", EXPORT_BINARY, "-C",
                             molecule_.string(), "homo"},
                            scratch_);
    expectRefusal(limited, 1, molecule_.string() + "/orbital-004-homo.cube: cannot write: File too large");
    EXPECT_EQ(fileNames(molecule_), (std::vector<std::string>{"FOR013", "TARNEL.COR", "VELD.VTK"}));
}

// Interrupted while a cube is being written: no temporary and no half file.
TEST_F(Export, AnInterruptedExportLeavesOnlyWholeFiles) {
    const Outcome result = exportIn(molecule_, {"--points", "101", "all"}, [&](pid_t pid) {
        for (int i = 0; i < 20000; ++i) {
            for (const auto& entry : fs::directory_iterator(molecule_)) {
                if (entry.path().filename().string().rfind(".orbital-", 0) == 0) {
                    ::kill(pid, SIGTERM);
                    return;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("gridorb-export: interrupted\n"), std::string::npos);
    for (const std::string& name : fileNames(molecule_)) {
        EXPECT_NE(name[0], '.') << name;
        if (name.rfind("orbital-", 0) == 0) {
            const std::string cube = readFile(molecule_ / name);
            EXPECT_EQ(std::count(cube.begin(), cube.end(), '\n'), 9 + 101 * 101 * 17) << name;
        }
    }
}

// The HOMO of each bundled molecule as a picture, made with no display: the
// requested size, and both lobes there, red and blue, each in many shades.
// Water's HOMO stands out of the molecule's plane, so face-on one lobe hides
// the other: it is seen from the side.
TEST_F(Export, PicturesOfEachBundledMoleculesHomo) {
    const std::pair<const char*, const char*> cases[] = {{EXAMPLES_DIR "/water", "x"},
                                                         {EXAMPLES_DIR "/chloromethane", "auto"},
                                                         {BENCHMARK_DATA_DIR "/perfluorohexadecane", "auto"}};
    for (const auto& [folder, view] : cases) {
        SCOPED_TRACE(folder);
        const fs::path out = scratch_ / "pictures";
        fs::remove_all(out);
        fs::create_directories(out);
        const Outcome result = exportIn(folder, {"--quiet", "--png", "--size", "400x300", "--view", view, "-o", out.string(), "homo"});
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> names = fileNames(out);
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].substr(names[0].size() - 9), "-homo.png");

        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, (out / names[0]).c_str())) << image.message;
        EXPECT_EQ(image.width, 400u);
        EXPECT_EQ(image.height, 300u);
        image.format = PNG_FORMAT_RGB;
        std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
        std::set<int> reds, blues;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
            const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
            if (r > 2 * g + 20 && r > 2 * b + 20) reds.insert(r);
            if (b > 2 * g + 20 && b > 2 * r + 20) blues.insert(b);
        }
        EXPECT_GE(reds.size(), 20u) << "shades of red";
        EXPECT_GE(blues.size(), 20u) << "shades of blue";
    }
}

}  // namespace
