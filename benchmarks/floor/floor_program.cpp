// The floor under a gridorb run: what no program doing gridorb's job can
// avoid. It reads FOR013 whole, then writes the very bytes gridorb writes
// for one input (console lines, TARNEL.COR, VELD.VTK), taken from memory,
// opening and closing the two files as gridorb does: update if the file
// exists, else create; cut at the end of what was written. The bytes are
// those of a run of gridorb at build time, linked in below.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>

#define FLOOR_EMBED(symbol, path)                                                                          \
    asm(".section .rodata\n.balign 64\n.global " #symbol "\n" #symbol ":\n.incbin \"" path "\"\n.global " #symbol \
        "_end\n" #symbol "_end:\n.previous\n")

FLOOR_EMBED(floor_console, FLOOR_CONSOLE);
FLOOR_EMBED(floor_coordinates, FLOOR_COORDINATES);
FLOOR_EMBED(floor_volume, FLOOR_VOLUME);

extern "C" const char floor_console[], floor_console_end[], floor_coordinates[], floor_coordinates_end[],
    floor_volume[], floor_volume_end[];

namespace {

// FOR013 of up to 1 MiB (200 orbitals take 640 KB).
char g_input[1 << 20];

bool writeAll(int fd, const char* bytes, const char* end) {
    while (bytes < end) {
        ssize_t n = ::write(fd, bytes, static_cast<std::size_t>(end - bytes));
        if (n <= 0) return false;
        bytes += n;
    }
    return true;
}

bool writeFile(const char* name, const char* bytes, const char* end) {
    int fd = ::open(name, O_RDWR | O_CLOEXEC);
    if (fd < 0) fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || !writeAll(fd, bytes, end)) return false;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size > end - bytes && ::ftruncate(fd, end - bytes) != 0) return false;
    return ::close(fd) == 0;
}

}  // namespace

int main() {
    int fd = ::open("FOR013", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 2;
    std::size_t got = 0;
    for (ssize_t n; (n = ::read(fd, g_input + got, sizeof g_input - got)) > 0;) got += static_cast<std::size_t>(n);
    ::close(fd);
    if (got == 0) return 2;
    writeAll(STDOUT_FILENO, floor_console, floor_console_end);
    if (!writeFile("TARNEL.COR", floor_coordinates, floor_coordinates_end)) return 1;
    if (!writeFile("VELD.VTK", floor_volume, floor_volume_end)) return 1;
    return 0;
}
