// gaugebench: runs built gauge modules on a scenario without the simulator. The command line
// arrives in UTF-16 and is held in UTF-8; messages and the timeline go out in UTF-8.
#include <stdio.h>
#include <windows.h>

#include "console.h"
#include "options.h"
#include "output_file.h"
#include "runner.h"
#include "toolbox.h"

static int run(const std::vector<std::string> &args)
{
    bench::Options options;
    std::string error;
    if (!bench::parse_options(args, options, error)) {
        fprintf(stderr, "gaugebench: error: %s\n", error.c_str());
        return bench::EXIT_USAGE;
    }
    if (options.help) {
        fputs(bench::usage_text(), stdout);
        return fflush(stdout) == 0 ? bench::EXIT_OK : bench::EXIT_RUN_ERROR;
    }
    return bench::run_bench(options, stdout, stderr);
}

// A fault in the bench's own code ends here, never in Wine's debugger: one line on stderr, exit
// 4. A gauge's fault never reaches it: the stand-in host ends that call and the run goes on to
// end itself. So this hook needs nothing of the run but the temporary files' names.
static LONG WINAPI report_crash(EXCEPTION_POINTERS *pointers)
{
    bench::discard_open_outputs();
    fprintf(stderr, "gaugebench: error: crashed: exception 0x%08lX at address %p\n",
            (unsigned long)pointers->ExceptionRecord->ExceptionCode, pointers->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    ExitProcess(bench::EXIT_GAUGE_CRASHED);
}

int wmain(int argc, wchar_t **argv)
{
    SetUnhandledExceptionFilter(report_crash);
    // An interrupt, an exception or one that cannot unwind removes the temporary outputs first:
    // the targets stay as they were.
    return toolbox::run_console_tool({"gaugebench", "no output was replaced", false,
                                      []() -> const char * {
                                          return bench::discard_open_outputs() ? "some outputs were replaced already"
                                                                               : nullptr;
                                      }},
                                     argc, argv, run);
}
