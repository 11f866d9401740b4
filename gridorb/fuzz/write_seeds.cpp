// Writes the wavefunction fuzzer's seeds: small FOR013 files, valid and
// damaged in the ways the reader must tell apart, plus copies of the real
// files named on the command line.
//   write_seeds OUTPUT_FOLDER [NAME=PATH ...]
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>

#include "support/for013_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace gridorb::testsupport;

fs::path g_folder;

void seed(const std::string& name, const For013File& file) { writeFor013(g_folder / name, file); }

MoleculeSpec oneAtom(std::int32_t atomicNumber) {
    MoleculeSpec molecule;
    molecule.atoms = {{atomicNumber, 0.1, -0.2, 0.3, 1.2, 1.1}};
    molecule.orbitalCount = minimalBasisSize(molecule.atoms);
    molecule.electronCount = 1;
    molecule.orbitalVectors.assign(static_cast<std::size_t>(molecule.orbitalCount * molecule.orbitalCount), 0.5);
    molecule.basisTransform.assign(static_cast<std::size_t>(molecule.orbitalCount * molecule.orbitalCount), 1.0);
    return molecule;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: write_seeds OUTPUT_FOLDER [NAME=PATH ...]\n";
        return 1;
    }
    g_folder = argv[1];
    fs::create_directories(g_folder);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();

    const MoleculeSpec water = waterMolecule();
    const For013File exact = moleculeFile(water);
    seed("water", exact);

    For013File longer = exact;  // more data in every record than is read
    for (For013Record& record : longer.records) record.data.insert(record.data.end(), 12, 0xa5);
    seed("longer_records", longer);

    For013File trailing = exact;  // trailing words are never read
    trailing.records[0].trailingWordValue = -1;
    trailing.records[4].writeTrailingWord = false;
    trailing.tail = {1, 2, 3, 4, 5, 6, 7};
    seed("odd_trailing_words", trailing);

    For013File four = exact;
    four.records.pop_back();
    seed("four_records", four);

    For013File shortSecond = exact;  // record 2 shorter than 8 N
    shortSecond.records[1].lengthWord = 7;
    seed("record_2_too_short", shortSecond);

    For013File negative = exact;
    negative.records[2].lengthWord = -8;
    seed("negative_length", negative);

    For013File huge = exact;  // the skip after record 5 passes the end of the file
    huge.records[4].lengthWord = std::numeric_limits<std::int32_t>::max();
    seed("huge_length_last", huge);

    For013File skipPastEnd = exact;  // the skip after record 3 passes the end
    skipPastEnd.records[2].lengthWord = std::numeric_limits<std::int32_t>::max();
    seed("huge_length_middle", skipPastEnd);

    For013File cut = exact;
    cut.cutAt = exact.dataOffset(3) + 5;
    seed("cut_in_record_4", cut);
    cut.cutAt = exact.dataOffset(0) + 6;
    seed("cut_in_a_count", cut);

    auto withCounts = [&](const char* name, std::int32_t atoms, std::int32_t orbitals) {
        For013File file = exact;
        std::vector<std::uint8_t>& first = file.records[0].data;
        for (int i = 0; i < 4; ++i) {
            first[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(atoms) >> (8 * i));
            first[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(orbitals) >> (8 * i));
        }
        seed(name, file);
    };
    withCounts("51_atoms", 51, 6);
    withCounts("negative_atoms", -1, 6);
    withCounts("no_orbitals", 3, 0);
    withCounts("201_orbitals", 3, 201);
    withCounts("more_atoms_than_data", 50, 6);
    withCounts("more_orbitals_than_data", 3, 200);

    MoleculeSpec empty;  // no atoms, one orbital
    empty.orbitalCount = 1;
    empty.orbitalVectors = {1.0};
    empty.basisTransform = {1.0};
    seed("no_atoms", moleculeFile(empty));

    seed("hydrogen", moleculeFile(oneAtom(1)));
    seed("chlorine", moleculeFile(oneAtom(17)));
    seed("potassium", moleculeFile(oneAtom(19)));  // beyond the basis
    seed("negative_atomic_number", moleculeFile(oneAtom(-5)));

    MoleculeSpec wild = oneAtom(8);  // values beyond float, and not numbers
    wild.atoms[0] = {8, 1e300, -inf, nan, inf, 1e-320};
    wild.orbitalVectors[0] = 1e300;
    wild.basisTransform[5] = nan;
    wild.electronCount = -7;
    seed("non_finite_values", moleculeFile(wild));

    MoleculeSpec far = waterMolecule();  // every atom beyond the seeds of the extents
    for (AtomSpec& atom : far.atoms) atom.x += 250.0;
    seed("far_atoms", moleculeFile(far));

    for (int i = 2; i < argc; ++i) {
        const std::string seedArgument = argv[i];
        const std::size_t equals = seedArgument.find('=');
        if (equals == std::string::npos) {
            std::cerr << "write_seeds: expected NAME=PATH, got " << seedArgument << "\n";
            return 1;
        }
        fs::copy_file(seedArgument.substr(equals + 1), g_folder / seedArgument.substr(0, equals), fs::copy_options::overwrite_existing);
    }
    return 0;
}
