#include "cube_file.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace gridorb::exporter {
namespace {

constexpr int FIELD = 13;
constexpr int PER_LINE = 6;

std::string count(int value) {
    std::string text = std::to_string(value);
    return std::string(text.size() < 5 ? 5 - text.size() : 0, ' ') + text;
}

std::string axisLine(int points, int axis, float step) {
    std::string line = count(points);
    for (int a = 0; a < 3; ++a) line += formatLength(a == axis ? step : 0.0);
    return line + "\n";
}

// Comments are single lines whatever they were given.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text + "\n";
}

}  // namespace

void formatValue(float value, char* field) {
    char digits[32];
    int length = 0;
    if (value == 0.0f) {
        std::memcpy(digits, "0.00000E+00", 11);
        length = 11;
    } else if (!std::isfinite(value)) {
        const char* text = std::isnan(value) ? (std::signbit(value) ? "-NAN" : "NAN") : (value < 0 ? "-INF" : "INF");
        length = static_cast<int>(std::strlen(text));
        std::memcpy(digits, text, static_cast<std::size_t>(length));
    } else {
        // Correctly rounded like printf's %.5E, and free of the locale.
        auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific, 5);
        length = static_cast<int>(result.ptr - digits);
        for (int i = 0; i < length; ++i) {
            if (digits[i] == 'e') digits[i] = 'E';
        }
    }
    std::memset(field, ' ', FIELD);
    std::memcpy(field + (FIELD - length), digits, static_cast<std::size_t>(length));
}

std::string formatLength(double value) {
    char digits[64];
    auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    std::string text(digits, result.ptr);
    // A full field would run into the one before it; readers split on blanks.
    return std::string(text.size() < 12 ? 12 - text.size() : 1, ' ') + text;
}

void writeCube(const CubeHeader& header, const ExportGrid& grid, const ExportVolume& volume, const ByteSink& sink) {
    std::string head = oneLine(header.comment1) + oneLine(header.comment2);
    head += count(static_cast<int>(header.atoms.size()));
    for (int a = 0; a < 3; ++a) head += formatLength(grid.origin[a]);
    head += "\n";
    for (int a = 0; a < 3; ++a) head += axisLine(grid.points, a, grid.spacing[a]);
    for (const CubeAtom& atom : header.atoms) {
        head += count(atom.atomicNumber) + formatLength(atom.atomicNumber);
        for (int a = 0; a < 3; ++a) head += formatLength(atom.position[a]);
        head += "\n";
    }
    sink(head);

    // The volume holds x fastest; the file wants z fastest.
    const int n = volume.points;
    const int linesPerRun = (n + PER_LINE - 1) / PER_LINE;
    const std::size_t runBytes = static_cast<std::size_t>(n) * FIELD + static_cast<std::size_t>(linesPerRun);
    std::string buffer;
    const std::size_t flushAt = 1 << 16;
    buffer.reserve(flushAt + runBytes);
    for (int ix = 0; ix < n; ++ix) {
        for (int iy = 0; iy < n; ++iy) {
            const std::size_t start = buffer.size();
            buffer.resize(start + runBytes);
            char* out = buffer.data() + start;
            for (int iz = 0; iz < n; ++iz) {
                formatValue(volume.at(ix, iy, iz), out);
                out += FIELD;
                if (iz % PER_LINE == PER_LINE - 1 || iz == n - 1) *out++ = '\n';
            }
            if (buffer.size() >= flushAt) {
                sink(buffer);
                buffer.clear();
            }
        }
    }
    if (!buffer.empty()) sink(buffer);
}

}  // namespace gridorb::exporter
