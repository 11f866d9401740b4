// Stand-in for gridorb, used by the front-end tests until the real program
// is built in the same tree. It behaves as gridorb does towards its caller:
// reads FOR013 in the working directory, takes the orbital number as argument
// 1, writes console lines ending in CR LF, writes TARNEL.COR and VELD.VTK in
// gridorb's layout, and fails the way gridorb fails (report on stderr, then
// abort). The orbital itself is a made-up sum of Gaussian lobes around the
// atoms: only its shape on the grid matters to the front end.
//
// GRIDORB_STANDIN_FAIL=limit|interrupt makes it fail as gridorb does for an
// out-of-range input (one line, exit 2) or an interrupt (exit 1);
// GRIDORB_STANDIN_FAIL=slow makes it wait half a minute after its first
// progress line, so that a caller can interrupt it (SIGINT: "Interrupt",
// exit 1, as gridorb does).
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kPoints = 51;

[[noreturn]] void fatalReport(const std::string& first, const char* state, const char* lately) {
    std::fprintf(stderr, "%s\r\n%s\r\n%s\r\n", first.c_str(), state, lately);
    std::fflush(stderr);
    std::abort();
}

bool readRecord(std::ifstream& in, std::vector<char>& data) {
    std::int32_t length = 0;
    if (!in.read(reinterpret_cast<char*>(&length), 4) || length < 0) return false;
    data.resize(static_cast<std::size_t>(length));
    if (!in.read(data.data(), length)) return false;
    in.ignore(4);
    return true;
}

template <typename T>
T item(const std::vector<char>& data, std::size_t offset) {
    T value{};
    if (offset + sizeof(T) <= data.size()) std::memcpy(&value, data.data() + offset, sizeof(T));
    return value;
}

void onInterrupt(int) {
    static const char message[] = "Interrupt\r\n";
    (void)!write(2, message, sizeof message - 1);
    _exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = std::getenv("GRIDORB_STANDIN_FAIL");
    std::ifstream in("FOR013", std::ios::binary);
    if (!in) {
        fatalReport("open: No such file or directory", "apparent state: unit 13 named FOR013",
                    "lately writing direct unformatted external IO");
    }
    std::vector<char> record1, record2, record3;
    if (!readRecord(in, record1) || !readRecord(in, record2) || !readRecord(in, record3)) {
        fatalReport("start: end of file", "apparent state: unit 13 named FOR013",
                    "lately reading sequential unformatted external IO");
    }
    const int atoms = item<std::int32_t>(record1, 0);
    const int orbitals = item<std::int32_t>(record1, 4);
    if (argc < 2) {
        fatalReport("list in: end of file", "apparent state: internal I/O",
                    "lately reading sequential formatted internal IO");
    }
    const int orbital = std::atoi(argv[1]);
    if ((mode && std::strcmp(mode, "limit") == 0) || atoms < 1 || atoms > 50 || orbital < 1 ||
        orbital > orbitals) {
        std::fprintf(stderr, "orbital number %d is outside 1 to %d\r\n", orbital, orbitals);
        return 2;
    }

    std::vector<double> position(3 * atoms);
    std::vector<int> atomicNumber(atoms);
    for (int axis = 0; axis < 3; ++axis)
        for (int a = 0; a < atoms; ++a)
            position[3 * a + axis] = item<double>(record1, 12 + 8 * (axis * atoms + a));
    for (int a = 0; a < atoms; ++a) atomicNumber[a] = item<std::int32_t>(record3, 24 * atoms + 4 * a);

    std::printf(" EVALUATING THE SEMIEMPIRICAL WAVEFUNCTION\r\n");
    std::printf(" %d WAVEFUNCTIONS TO BE PROCESSED \r\n", orbitals);
    std::fflush(stdout);

    double low[3], high[3], spacing[3];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = 1e30;
        high[axis] = -1e30;
        for (int a = 0; a < atoms; ++a) {
            low[axis] = std::fmin(low[axis], position[3 * a + axis] - 3.0);
            high[axis] = std::fmax(high[axis], position[3 * a + axis] + 3.0);
        }
        spacing[axis] = (high[axis] - low[axis]) / (kPoints - 1);
    }

    // A p-like lobe pair on the first atom, oriented by the orbital number,
    // plus s-like lobes of alternating sign on the others.
    const int pAxis = orbital % 3;
    std::vector<double> psi(static_cast<std::size_t>(kPoints) * kPoints * kPoints, 0.0);
    // The handler is in place before the first progress line: a caller may
    // interrupt as soon as it sees that line.
    const bool slow = mode && std::strcmp(mode, "slow") == 0;
    if (slow) std::signal(SIGINT, onInterrupt);
    for (int a = 0; a < atoms; ++a) {
        std::printf("PROCESSING ATOM NUMBER %5d ATOMIC NUMBER %5d\r\n", a + 1, atomicNumber[a]);
        std::fflush(stdout);
        if (slow) sleep(30);
        if (mode && std::strcmp(mode, "interrupt") == 0) {
            std::fprintf(stderr, "Interrupt\r\n");
            return 1;
        }
        const double weight = (a == 0) ? 1.0 : (((a + orbital) % 2) ? 0.6 : -0.6);
        std::size_t k = 0;
        for (int iz = 0; iz < kPoints; ++iz)
            for (int iy = 0; iy < kPoints; ++iy)
                for (int ix = 0; ix < kPoints; ++ix, ++k) {
                    const double d[3] = {low[0] + ix * spacing[0] - position[3 * a],
                                         low[1] + iy * spacing[1] - position[3 * a + 1],
                                         low[2] + iz * spacing[2] - position[3 * a + 2]};
                    const double r2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
                    const double shape = (a == 0) ? d[pAxis] : 1.0;
                    psi[k] += weight * shape * std::exp(-1.2 * r2);
                }
    }

    std::FILE* cor = std::fopen("TARNEL.COR", "wb");
    if (!cor) {
        fatalReport(std::string("open: ") + std::strerror(errno), "apparent state: unit 22 named TARNEL.COR",
                    "lately writing sequential formatted external IO");
    }
    std::fprintf(cor, " COORDENADAS DE FOR013 EN FORMATO QMX\r\n powered by QUILLONDRAVEX\r\n \r\n"
                      " NUMATOM COORX COORY COORZ\r\n");
    for (int a = 0; a < atoms; ++a) {
        char line[160];
        std::snprintf(line, sizeof line, " %d   %.9g  %.9g  %.9g\r\n", atomicNumber[a], position[3 * a],
                      position[3 * a + 1], position[3 * a + 2]);
        std::fputs(line, cor);
        std::fputs(line, stdout);
    }
    std::fputs("  26.4583492\r\n", cor);
    std::fclose(cor);

    double minimum = 1000.0, maximum = -1000.0;
    for (double v : psi) {
        minimum = std::fmin(minimum, v);
        maximum = std::fmax(maximum, v);
    }
    const double normaliser = std::fmax(std::fabs(minimum), std::fabs(maximum));
    std::printf(" MIN, MAX DENSITY(VALUE) COMPUTED IS  %.9g  %.9g\r\n", minimum, maximum);
    std::printf(" NORBS %2dNATB %2d\r\n", orbitals, atoms);
    std::fflush(stdout);

    std::FILE* vtk = std::fopen("VELD.VTK", "wb");
    if (!vtk) {
        fatalReport(std::string("open: ") + std::strerror(errno), "apparent state: unit 24 named VELD.VTK",
                    "lately writing sequential formatted external IO");
    }
    std::fprintf(vtk,
                 "# vtk DataFile Version 2.0\r\nA Simple Matrix of values\r\nASCII\r\n"
                 "DATASET STRUCTURED_POINTS\r\n DIMENSIONS  51 51 51\r\n ORIGIN  %.9g %.9g %.9g\r\n"
                 " SPACING  %.9g %.9g %.9g\r\n \r\n POINT_DATA  132651\r\n",
                 low[0], low[1], low[2], spacing[0], spacing[1], spacing[2]);
    const char* names[3] = {"POS", "NEG", "TOT"};
    for (int block = 0; block < 3; ++block) {
        std::fprintf(vtk, "SCALARS %s float\r\nLOOKUP_TABLE default\r\n", names[block]);
        for (std::size_t k = 0; k < psi.size(); ++k) {
            double v = psi[k];
            if (block == 0 && v <= 0) v = 0;
            if (block == 1 && v > 0) v = 0;
            const long scaled = std::labs(static_cast<long>(v * 256.0 / normaliser));
            std::fprintf(vtk, "%5ld", scaled);
            if (k % 4 == 3 || k + 1 == psi.size()) std::fputs("\r\n", vtk);
        }
    }
    std::fclose(vtk);
    return 0;
}
