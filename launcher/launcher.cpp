// launcher: starts the Tcl/Tk front end and ends at once.
//
// The front end is the script main.tcl in the launcher's current directory,
// run by the windowing shell found on the search path. The launcher does no
// work of its own: it neither waits for the shell nor reports whether it could
// be started, and its own arguments are not handed on. The child inherits the
// environment and the working directory; once the launcher has exited it is
// adopted (and eventually reaped) by the system, so no zombie is left behind.
#include <spawn.h>
#include <sys/types.h>

extern char** environ;

int main() {
    char shell[] = "wish";
    char script[] = "main.tcl";
    char* childArguments[] = {shell, script, nullptr};
    pid_t child = 0;
    // Any failure (no shell on the search path, say) is deliberately ignored.
    (void)posix_spawnp(&child, shell, nullptr, nullptr, childArguments, environ);
    return 0;
}
