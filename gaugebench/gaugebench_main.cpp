// gaugebench: runs built gauge modules on a scenario without the simulator. The command line
// arrives in UTF-16 and is held in UTF-8; messages and the timeline go out in UTF-8.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <exception>
#include <new>

#include "options.h"
#include "output_file.h"
#include "runner.h"
#include "toolbox.h"

static int run(int argc, wchar_t **argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(toolbox::narrow(argv[i]));
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

// An exception that cannot reach wmain's handler (one thrown where it cannot unwind) would
// otherwise abort with exit code 3, which means something else here.
static void report_terminate()
{
    bench::discard_open_outputs();
    fputs("gaugebench: error: an unexpected error ended the run\n", stderr);
    fflush(stderr);
    _exit(bench::EXIT_RUN_ERROR);
}

// Ctrl+C, Ctrl+Break or a closed console window: the temporary outputs go, then the default
// handling ends the process.
static BOOL WINAPI discard_outputs_on_interrupt(DWORD)
{
    bench::discard_open_outputs();
    return FALSE;
}

// A fault in the bench's own code ends here, never in Wine's debugger: one line on stderr, exit
// 4. A gauge's fault never reaches it: the stand-in host ends that call and the run goes on to
// end itself. So this hook, like the two above, needs nothing of the run but the temporary
// files' names.
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
    std::set_terminate(report_terminate);
    SetConsoleCtrlHandler(discard_outputs_on_interrupt, TRUE);
    SetUnhandledExceptionFilter(report_crash);
    // No dialog boxes: a missing drive or a crash is reported on stderr and the run ends.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Plain line feeds: the output is mostly read on Linux, through the launcher.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::string failure;
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        failure = "out of memory";
    } catch (const std::exception &exception) {
        failure = exception.what();
    } catch (...) {
        failure = "an unexpected error";
    }
    bench::discard_open_outputs();
    fprintf(stderr, "gaugebench: error: %s\n", failure.c_str());
    fflush(stderr);
    return bench::EXIT_RUN_ERROR;
}
