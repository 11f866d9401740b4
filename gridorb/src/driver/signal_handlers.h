#pragma once

namespace gridorb::driver {

// SIGFPE "Floating Exception" and SIGABRT "IOT Trap" (then abort), SIGINT
// "Interrupt" and SIGTERM "Killed" (then exit status 1). A run started with
// interrupts ignored keeps ignoring them. Each handler closes every unit
// (files flushed and cut) with async-signal-safe calls only.
void installSignalHandlers();

}  // namespace gridorb::driver
