// gaugecheck: looks at a simulator folder and says, one line a finding, why the VQT7 gauges
// would be silent or missing there and how to fix it. Only reads; never runs what it inspects.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <exception>
#include <new>

#include "checks.h"
#include "folders.h"
#include "release_sums.h"
#include "toolbox.h"

using namespace gaugecheck;

// 3 is also what an abort gives; the handlers below make it always come with one line on stderr.
static const int EXIT_CLEAN = 0, EXIT_PROBLEMS = 1, EXIT_USAGE = 2, EXIT_FAILED = 3;
static const char SIM_PROGRAM[] = "fs9.exe";
static const char EXAMPLE_FOLDER[] = "\"C:\\Program Files\\Microsoft Games\\Flight Simulator 9\"";

static const char USAGE[] =
    "usage: gaugecheck [--json] [--aircraft FOLDER]... [SIMFOLDER]\n"
    "Checks the VQT7 gauges' install in the simulator's folder (the one holding fs9.exe): the\n"
    "gauge modules, the GaugeSound library, the sound files and the panel.cfg lines.\n"
    "Without SIMFOLDER it looks upward from the current folder and from its own folder.\n"
    "  --json             one JSON object a line\n"
    "  --aircraft FOLDER  also check this aircraft folder's panels (may be repeated)\n"
    "Exit codes: 0 no problem (warnings allowed), 1 problems, 2 bad command line or folder,\n"
    "3 gaugecheck itself failed (out of memory, an unexpected error).\n";

// UTF-8 to a console as wide text (any code page shows it), to a file or pipe as it is.
static void write_line(DWORD which, const std::string &line)
{
    HANDLE handle = GetStdHandle(which);
    DWORD mode, written;
    if (GetConsoleMode(handle, &mode)) {
        std::wstring wide = toolbox::widen(line + "\r\n");
        WriteConsoleW(handle, wide.data(), (DWORD)wide.size(), &written, 0);
    } else {
        FILE *stream = which == STD_OUTPUT_HANDLE ? stdout : stderr;
        fwrite(line.data(), 1, line.size(), stream);
        fputc('\n', stream);
        fflush(stream);
    }
}

// A double click gives the program a console of its own, which closes as soon as it ends. Under
// Wine a program started from a Unix terminal also has a console to itself, and the terminal
// stays: Wine's own export in ntdll tells the two apart.
static bool own_console()
{
    DWORD mode, processes[2];
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    bool under_wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    return !under_wine && GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && GetConsoleProcessList(processes, 2) == 1;
}

static bool has_sim_program(const std::string &folder)
{
    return is_file(join_path(folder, SIM_PROGRAM));
}

// The first folder at or above `start` that holds the simulator's program.
static std::string sim_folder_above(std::string folder)
{
    while (!folder.empty()) {
        if (has_sim_program(folder))
            return folder;
        std::string parent = parent_folder(folder);
        if (parent == folder)
            break;
        folder = parent;
    }
    return std::string();
}

static std::string current_folder()
{
    DWORD length = GetCurrentDirectoryW(0, 0);
    std::wstring folder(length, L'\0');
    length = GetCurrentDirectoryW(length, &folder[0]);
    folder.resize(length);
    return toolbox::narrow(folder);
}

static int usage_error(const std::string &message)
{
    write_line(STD_ERROR_HANDLE, "gaugecheck: " + message);
    return EXIT_USAGE;
}

static int run(const std::vector<std::string> &args)
{
    bool json = false;
    std::vector<std::string> aircraft;
    std::string given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            fputs(USAGE, stdout);
            return EXIT_CLEAN;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--aircraft") {
            if (++i == args.size())
                return usage_error("--aircraft expects an aircraft folder (see --help)");
            std::string folder = full_path(args[i]);
            if (!is_folder(folder))
                return usage_error("--aircraft " + args[i] + ": no such folder");
            aircraft.push_back(folder);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option '" + arg + "' (see --help)");
        } else if (!given.empty()) {
            return usage_error("one simulator folder only, got '" + given + "' and '" + arg + "' (see --help)");
        } else {
            given = arg;
        }
    }

    std::string sim;
    if (!given.empty()) {
        sim = full_path(given);
        // fs9.exe itself dropped on the program means its folder.
        if (is_file(sim) && same_name(toolbox::file_name(sim), SIM_PROGRAM))
            sim = parent_folder(sim);
        if (!is_folder(sim))
            return usage_error("no folder " + (sim.empty() ? given : sim) + "; give the simulator's folder, for example " + EXAMPLE_FOLDER);
        if (!has_sim_program(sim))
            return usage_error(sim + " is not the simulator's folder: it has no " + SIM_PROGRAM +
                               ". Give the folder that holds it, for example " + EXAMPLE_FOLDER);
    } else {
        sim = sim_folder_above(current_folder());
        if (sim.empty())
            sim = sim_folder_above(full_path(toolbox::program_folder()));
        if (sim.empty())
            return usage_error(std::string("found no ") + SIM_PROGRAM +
                               " above the current folder or this program's folder. Give the simulator's "
                               "folder: gaugecheck " + EXAMPLE_FOLDER + ", or drop that folder onto gaugecheck.exe");
    }

    if (!json)
        write_line(STD_OUTPUT_HANDLE, std::string("gaugecheck ") + CURRENT_RELEASE + ": checking " + sim);
    Findings findings;
    std::vector<ModuleUse> uses = check_panels(sim, aircraft, findings);
    Findings ordered;
    check_modules(sim, uses, ordered);
    check_sound_library(sim, ordered);
    check_sound_files(sim, ordered);
    // Modules, library and sounds first: they decide every panel's outcome.
    ordered.list.insert(ordered.list.end(), findings.list.begin(), findings.list.end());
    for (const Finding &finding : ordered.list)
        write_line(STD_OUTPUT_HANDLE, finding_line(finding, json));
    write_line(STD_OUTPUT_HANDLE, summary_line(ordered, json));
    return ordered.count(Status::problem) ? EXIT_PROBLEMS : EXIT_CLEAN;
}

// An exception thrown where it cannot unwind to wmain's handler would abort with the C
// runtime's text; say it in the program's one line instead.
static void report_terminate()
{
    // Plain ASCII through stdio: nothing here may need memory that is perhaps gone.
    fputs("gaugecheck: error: an unexpected error stopped the check\n", stderr);
    fflush(stderr);
    _exit(EXIT_FAILED);
}

int wmain(int argc, wchar_t **argv)
{
    std::set_terminate(report_terminate);
    // Probing PATH's folders would otherwise ask about an empty card reader ("There is no disk
    // in the drive") and stall the check until someone clicks.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // Plain line feeds in files and pipes, as the bench writes: scripts read them on Linux too.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(toolbox::narrow(argv[i]));
    bool wait_for_enter = own_console();
    int code = EXIT_FAILED;
    std::string failure;
    try {
        code = run(args);
    } catch (const std::bad_alloc &) {
        failure = "out of memory";
    } catch (const std::exception &exception) {
        failure = exception.what();
    } catch (...) {
        failure = "an unexpected error";
    }
    if (!failure.empty())
        write_line(STD_ERROR_HANDLE, "gaugecheck: error: " + failure + "; the check did not finish");
    if (wait_for_enter) {
        write_line(STD_OUTPUT_HANDLE, "Press Enter to close this window.");
        wchar_t buffer[16];
        DWORD read;
        ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), buffer, 16, &read, 0);
    }
    return code;
}
