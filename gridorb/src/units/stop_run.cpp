#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::units {

// A failure to write out, cut or close an output file is reported: a run
// whose files are incomplete must not end with status 0.
[[noreturn]] void stopRun() {
    endRunOn(closeOutputUnits());
    exitRun(0);
}

}  // namespace gridorb::units
