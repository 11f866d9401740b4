#include "units/run_end.h"

#include <signal.h>

#include <cstdlib>

namespace gridorb::units {

[[noreturn]] void abortRun() {
    ::signal(SIGABRT, SIG_DFL);
    std::abort();
}

[[noreturn]] void exitRun(int status) { std::_Exit(status); }

}  // namespace gridorb::units
