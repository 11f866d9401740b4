#include "picture/result_files.h"

#include <array>
#include <cmath>
#include <string_view>

#include "line_reader.h"

namespace picture {
namespace {

using detail::LineReader;

constexpr int MAX_POINTS_PER_AXIS = 1000;  // keeps a damaged header from asking for gigabytes
constexpr int MAX_FILE_VALUE = 256;        // gridorb scales the largest magnitude to 256

void expectExactly(LineReader& lines, std::string_view text) {
    std::string expected(1, '"');  // (built up: g++ 12 warns wrongly about "..." + string)
    expected.append(text).push_back('"');
    const std::string_view line = lines.next(expected);
    if (line != text) lines.fail(expected, line);
}

// A line of a keyword and three numbers, as gridorb's list-directed records
// write them: " DIMENSIONS  51 51 51", " SPACING   .144934595 ...".
std::array<double, 3> keywordAndThree(LineReader& lines, std::string_view keyword, std::string_view expected,
                                      bool positive) {
    const std::string_view line = lines.next(expected);
    const auto parts = detail::words(line);
    std::array<double, 3> values{};
    if (line.empty() || line[0] != ' ' || parts.size() != 4 || parts[0] != keyword) lines.fail(expected, line);
    for (int k = 0; k < 3; ++k) {
        double& value = values[static_cast<std::size_t>(k)];
        if (!detail::parseReal(parts[static_cast<std::size_t>(k) + 1], value) || (positive && !(value > 0.0))) {
            lines.fail(expected, line);
        }
    }
    return values;
}

std::array<int, 3> readDimensions(LineReader& lines) {
    const std::string expected = "\"DIMENSIONS\" and three whole numbers from 2 to " + std::to_string(MAX_POINTS_PER_AXIS);
    const std::string_view line = lines.next(expected);
    const auto parts = detail::words(line);
    std::array<int, 3> dimensions{};
    if (line.empty() || line[0] != ' ' || parts.size() != 4 || parts[0] != "DIMENSIONS") lines.fail(expected, line);
    for (std::size_t k = 0; k < 3; ++k) {
        long n = 0;
        if (!detail::parseInteger(parts[k + 1], n) || n < 2 || n > MAX_POINTS_PER_AXIS) lines.fail(expected, line);
        dimensions[k] = static_cast<int>(n);
    }
    return dimensions;
}

// One "(4I5)" field: blanks, then at least one digit, right-justified.
bool parseField(const char* field, int& value) {
    int i = 0;
    while (i < 5 && field[i] == ' ') ++i;
    if (i == 5) return false;
    int n = 0;
    for (; i < 5; ++i) {
        const char c = field[i];
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    value = n;
    return n <= MAX_FILE_VALUE;
}

// A block of `count` values, four to a line of 20 characters, the last line
// holding what is left.
void readBlock(LineReader& lines, std::string_view name, std::vector<int>& values) {
    expectExactly(lines, "SCALARS " + std::string(name) + " float");
    expectExactly(lines, "LOOKUP_TABLE default");
    const std::size_t count = values.size();
    static const char* const numbers[] = {"", "one whole number", "two whole numbers", "three whole numbers",
                                          "four whole numbers"};
    const std::string full = std::string(numbers[4]) + " from 0 to 256 in five columns each";
    const std::string last = std::string(numbers[count % 4 == 0 ? 4 : count % 4]) + " from 0 to 256 in five columns each";
    for (std::size_t first = 0; first < count; first += 4) {
        const std::size_t onLine = count - first < 4 ? count - first : 4;
        const std::string& expected = first + 4 < count ? full : last;
        const std::string_view line = lines.next(expected, onLine * 5);
        if (line.size() != onLine * 5) lines.fail(expected, line);
        for (std::size_t k = 0; k < onLine; ++k) {
            if (!parseField(line.data() + 5 * k, values[first + k])) lines.fail(expected, line);
        }
    }
}

}  // namespace

Volume readVolumeFile(const std::string& path, double peak) {
    LineReader lines(path);
    expectExactly(lines, "# vtk DataFile Version 2.0");
    expectExactly(lines, "A Simple Matrix of values");
    expectExactly(lines, "ASCII");
    expectExactly(lines, "DATASET STRUCTURED_POINTS");

    Volume volume;
    volume.dimensions = readDimensions(lines);
    volume.origin = keywordAndThree(lines, "ORIGIN", "\"ORIGIN\" and three numbers", false);
    volume.spacing = keywordAndThree(lines, "SPACING", "\"SPACING\" and three numbers greater than 0", true);
    expectExactly(lines, " ");
    const std::size_t count = static_cast<std::size_t>(volume.dimensions[0]) * static_cast<std::size_t>(volume.dimensions[1]) *
                              static_cast<std::size_t>(volume.dimensions[2]);
    expectExactly(lines, " POINT_DATA  " + std::to_string(count));

    std::vector<int> positive(count), negative(count), whole(count);
    readBlock(lines, "POS", positive);
    const int negativeStart = lines.lineNumber() + 3;  // first value line of NEG
    readBlock(lines, "NEG", negative);
    const int wholeStart = lines.lineNumber() + 3;
    readBlock(lines, "TOT", whole);
    lines.expectEnd("the end of the file after the TOT block");

    // gridorb splits each value into one of the two lobes; TOT is its magnitude.
    for (std::size_t i = 0; i < count; ++i) {
        const int line = static_cast<int>(i / 4);
        if (positive[i] != 0 && negative[i] != 0) {
            lines.failAtLine(negativeStart + line, "0 at point " + std::to_string(i + 1) + ", where POS is " +
                                                       std::to_string(positive[i]),
                             std::to_string(negative[i]));
        }
        if (whole[i] != positive[i] + negative[i]) {
            lines.failAtLine(wholeStart + line, std::to_string(positive[i] + negative[i]) + " (POS + NEG) at point " +
                                                    std::to_string(i + 1),
                             std::to_string(whole[i]));
        }
    }

    volume.values.resize(count);
    const double unit = peak > 0.0 ? peak / 256.0 : 1.0;
    for (std::size_t i = 0; i < count; ++i) {
        volume.values[i] = static_cast<float>(static_cast<double>(positive[i] - negative[i]) * unit);
    }
    return volume;
}

Molecule readCoordinateFile(const std::string& path) {
    LineReader lines(path);
    expectExactly(lines, " COORDENADAS DE FOR013 EN FORMATO QMX");
    expectExactly(lines, " powered by QUILLONDRAVEX");
    expectExactly(lines, " ");
    expectExactly(lines, " NUMATOM COORX COORY COORZ");

    static constexpr std::string_view expected =
        "an atomic number from 0 to 118 and three coordinates, or the closing \"26.4583492\"";
    Molecule molecule;
    for (;;) {
        const std::string_view line = lines.next(expected);
        const auto parts = detail::words(line);
        if (line.empty() || line[0] != ' ') lines.fail(expected, line);
        if (parts.size() == 1 && parts[0] == "26.4583492") break;
        Atom atom;
        long z = -1;
        if (parts.size() != 4 || !detail::parseInteger(parts[0], z) || z < 0 || z > 118) lines.fail(expected, line);
        atom.atomicNumber = static_cast<int>(z);
        for (std::size_t k = 0; k < 3; ++k) {
            if (!detail::parseReal(parts[k + 1], atom.position[k])) lines.fail(expected, line);
        }
        molecule.atoms.push_back(atom);
    }
    lines.expectEnd("the end of the file after the closing line");
    return molecule;
}

double peakFromConsole(std::string_view console) {
    static constexpr std::string_view label = " MIN, MAX DENSITY(VALUE) COMPUTED IS ";
    const std::size_t at = console.find(label);
    if (at == std::string_view::npos) throw ReadError("gridorb's console: no line \"MIN, MAX DENSITY(VALUE) COMPUTED IS\"");
    std::size_t stop = console.find_first_of("\r\n", at);
    if (stop == std::string_view::npos) stop = console.size();
    const std::string_view rest = console.substr(at + label.size(), stop - at - label.size());
    const auto parts = detail::words(rest);
    double minimum = 0.0, maximum = 0.0;
    if (parts.size() != 2 || !detail::parseReal(parts[0], minimum) || !detail::parseReal(parts[1], maximum)) {
        throw ReadError("gridorb's console: expected two numbers after \"COMPUTED IS\", found \"" + std::string(rest) + "\"");
    }
    return std::fmax(std::fabs(minimum), std::fabs(maximum));
}

}  // namespace picture
