// gaugebench: runs built gauge modules on a scenario without the simulator.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include "bench_run.h"

int main(int argc, char **argv)
{
    // Plain line feeds: the output is mostly read on Linux, through the launcher.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args(argv + 1, argv + argc);
    bench::Options options;
    std::string error;
    if (!bench::parse_options(args, options, error)) {
        fprintf(stderr, "gaugebench: error: %s\n", error.c_str());
        return bench::EXIT_USAGE;
    }
    if (options.help) {
        fputs(bench::usage_text(), stdout);
        return bench::EXIT_OK;
    }
    return bench::run_bench(options, stdout, stderr);
}
