#pragma once

namespace gridorb::driver {

// The whole run: start-up, the nine steps in their fixed order, STOP.
// Never returns normally; the int is for main's signature.
int runGridorb(int argc, char** argv);

}  // namespace gridorb::driver
