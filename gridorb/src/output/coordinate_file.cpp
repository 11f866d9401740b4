#include "output/coordinate_file.h"

#include "model/capacities.h"
#include "records/list_write.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::output {
namespace {

struct AtomPosition {
    float x, y, z;
};

// Back to Å in single precision: the coordinates were taken to Bohr by the
// single-precision reciprocal, so a written value is the input's float or
// one unit in the last place away from it.
AtomPosition positionInAngstrom(const MoleculeRecord& molecule, int atom) {
    const auto& bohr = molecule.coordinates[static_cast<std::size_t>(atom)];
    return {static_cast<float>(static_cast<double>(bohr[0]) * static_cast<double>(BOHR_LENGTH)),
            static_cast<float>(static_cast<double>(bohr[1]) * static_cast<double>(BOHR_LENGTH)),
            static_cast<float>(static_cast<double>(bohr[2]) * static_cast<double>(BOHR_LENGTH))};
}

// The line goes to TARNEL.COR, then the same bytes to the console. It is
// at most 64 columns (" -2147483648", " " and three reals of 17), so it is
// one record.
void writeAtomLine(std::int32_t atomicNumber, const AtomPosition& position) {
    records::ListWrite(COORDINATE_UNIT)
        .integer(atomicNumber)
        .text(" ")
        .real(position.x)
        .real(position.y)
        .real(position.z)
        .endEchoedOn(units::CONSOLE_UNIT);
}

}  // namespace

void writeCoordinateFile(const MoleculeRecord& molecule, const GridFrame& frame) {
    units::endRunOn(units::openOutputFile(COORDINATE_UNIT, COORDINATE_FILE_NAME));
    records::ListWrite(COORDINATE_UNIT).text("COORDENADAS DE FOR013 EN FORMATO QMX").end();
    records::ListWrite(COORDINATE_UNIT).text("powered by QUILLONDRAVEX").end();
    records::ListWrite(COORDINATE_UNIT).text("").end();
    records::ListWrite(COORDINATE_UNIT).text("NUMATOM COORX COORY COORZ").end();

    const int atomCount = molecule.atomCount;
    for (int atom = 0; atom < atomCount; ++atom) {
        writeAtomLine(molecule.atomicNumbers[static_cast<std::size_t>(atom)], positionInAngstrom(molecule, atom));
    }

    records::ListWrite(COORDINATE_UNIT).real(frame.spanDivisor).end();
    units::endRunOn(units::closeUnit(COORDINATE_UNIT));
}

}  // namespace gridorb::output
