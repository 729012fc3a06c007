// gaugebench's run: loads the modules into the stand-in host, runs the scenario at the panel
// rate in the host's order, and writes the timeline, snapshot, audio and report.
#pragma once

#include <stdio.h>

#include "options.h"

namespace bench {

// Runs the bench; the timeline goes to `out`, warnings and errors to `err`, one line each.
// Returns an exit code. A gauge that crashes, calls a missing host service or breaks a register
// the host keeps ends the run there, with the timeline up to it written and every temporary
// output removed.
int run_bench(const Options &options, FILE *out, FILE *err);

}  // namespace bench
