#include "export_run.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "command_line.h"
#include "cube_file.h"
#include "grid_choice.h"
#include "molecule_formula.h"
#include "orbital_names.h"
#include "orbital_picture.h"
#include "orbital_values.h"
#include "output_files.h"
#include "picture/png_file.h"
#include "wavefunction_input.h"

#ifndef GRIDORB_VERSION
#error "GRIDORB_VERSION must name the project's version"
#endif

namespace gridorb::exporter {
namespace {

constexpr const char* PROGRAM = "gridorb-export";
constexpr int USAGE_FAILURE = 2;
constexpr int WRITE_FAILURE = 1;
// Work that lasts longer than this shows a line per orbital.
constexpr std::chrono::milliseconds MOMENT{300};

int refuse(int status, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM, message.c_str());
    return status;
}

std::string shortest(double value) {
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, result.ptr);
}

CubeHeader cubeHeader(const MoleculeRecord& molecule, const std::string& formula, std::int32_t orbital,
                      const std::string& label, const Options& options) {
    CubeHeader header;
    header.comment1 = formula + ", orbital " + std::to_string(orbital) + (label.empty() ? "" : " (" + label + ")") +
                      " of " + std::to_string(molecule.orbitalCount) + ", psi in atomic units";
    const std::string n = std::to_string(options.points);
    header.comment2 = "grid " + n + " x " + n + " x " + n + ", margin " + shortest(options.margin) +
                      " Angstrom, lengths in Bohr; " + PROGRAM + " " + GRIDORB_VERSION;
    for (int i = 0; i < molecule.atomCount && i < MAX_ATOMS; ++i) {
        header.atoms.push_back({molecule.atomicNumbers[i], molecule.coordinates[i]});
    }
    return header;
}

// The output folder as an absolute path, taken before the run moves into
// the input folder; it must already exist.
std::string outputFolder(const Options& options) {
    const std::string given = options.outputFolder.value_or(options.inputFolder);
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(given, error);
    if (error) throw UsageError((options.outputFolder ? "-o " : "-C ") + given + ": " + error.message());
    if (!std::filesystem::is_directory(folder, error)) {
        throw UsageError((options.outputFolder ? "-o " : "-C ") + given + ": " +
                         (std::filesystem::exists(folder) ? "not a folder" : "no such folder"));
    }
    return folder.string();
}

}  // namespace

int runExport(const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    CommandLine line;
    std::string folder;
    try {
        line = parseCommandLine(arguments);
        if (line.request == Request::Help) {
            std::fputs(usageText().c_str(), stdout);
            return 0;
        }
        if (line.request == Request::Version) {
            std::printf("%s %s\n", PROGRAM, GRIDORB_VERSION);
            return 0;
        }
        folder = outputFolder(line.options);
    } catch (const UsageError& error) {
        return refuse(USAGE_FAILURE, error.what());
    }
    const Options& options = line.options;
    installInterruptCleanup();

    Wavefunction wavefunction;
    std::vector<std::int32_t> orbitals;
    try {
        wavefunction = readWavefunction(options.inputFolder);
        const Frontier frontier = frontierOf(wavefunction.molecule.electronCount, wavefunction.molecule.orbitalCount);
        orbitals = selectOrbitals(options.orbitals, frontier);
    } catch (const InputError& error) {
        return refuse(USAGE_FAILURE, error.what());
    } catch (const OrbitalNameError& error) {
        return refuse(USAGE_FAILURE, error.what());
    }
    MoleculeRecord& molecule = wavefunction.molecule;
    const Frontier frontier = frontierOf(molecule.electronCount, molecule.orbitalCount);
    const std::string formula = molecularFormula(molecule);
    const ExportGrid grid = chooseGrid(molecule, options.points, static_cast<float>(options.margin));
    OrbitalEvaluator evaluator(molecule, *wavefunction.raw, grid);

    bool showProgress = false;
    for (std::size_t done = 0; done < orbitals.size(); ++done) {
        const std::int32_t orbital = orbitals[done];
        const std::string label = orbitalLabel(orbital, frontier);
        const ExportVolume volume = evaluator.evaluate(orbital);
        std::string written;
        try {
            if (options.cube) {
                AtomicFile file(folder, outputFileName(orbital, label, "cube"));
                writeCube(cubeHeader(molecule, formula, orbital, label, options), grid, volume,
                          [&](std::string_view bytes) { file.write(bytes); });
                file.commit();
                written = file.path();
            }
            if (options.png) {
                const picture::Image image = renderOrbital(volume, grid, molecule, options);
                AtomicFile file(folder, outputFileName(orbital, label, "png"));
                try {
                    picture::writePng(image, file.temporaryPath());
                } catch (const picture::WriteError& error) {
                    throw WriteError(file.path() + ": " + error.what());
                }
                file.commit();
                written += (written.empty() ? "" : ", ") + file.path();
            }
        } catch (const WriteError& error) {
            return refuse(WRITE_FAILURE, error.what());
        }
        showProgress = showProgress || std::chrono::steady_clock::now() - start > MOMENT;
        if (showProgress && !options.quiet) {
            std::fprintf(stderr, "%s: orbital %d%s, %zu of %zu: %s\n", PROGRAM, static_cast<int>(orbital),
                         label.empty() ? "" : (" (" + label + ")").c_str(), done + 1, orbitals.size(), written.c_str());
        }
    }
    return 0;
}

}  // namespace gridorb::exporter
