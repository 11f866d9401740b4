#pragma once

// How a run finally ends, once its units are closed: the fatal report
// aborts, rejected input and STOP exit with their status. These two live in
// their own source file so that the fuzz build can link replacements that
// hand control back to the fuzz target instead of ending the process.
namespace gridorb::units {

// SIGABRT back to its default action, then abort.
[[noreturn]] void abortRun();

// Exit at once with `status`; the units are already closed and flushed.
[[noreturn]] void exitRun(int status);

}  // namespace gridorb::units
