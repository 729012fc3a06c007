// Console lines through the wide console calls, files and pipes through stdio.
#include "console.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include <algorithm>
#include <exception>
#include <new>

#include "toolbox.h"

namespace toolbox {

void write_line(Stream stream, const std::string &utf8_line)
{
    HANDLE handle = GetStdHandle(stream == Stream::out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode, written;
    if (GetConsoleMode(handle, &mode)) {
        std::wstring wide = widen(utf8_line + "\r\n");
        WriteConsoleW(handle, wide.data(), (DWORD)wide.size(), &written, 0);
    } else {
        FILE *file = stream == Stream::out ? stdout : stderr;
        fwrite(utf8_line.data(), 1, utf8_line.size(), file);
        fputc('\n', file);
        fflush(file);
    }
}

bool read_line(std::string &utf8_line)
{
    utf8_line.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode, got;
    if (GetConsoleMode(input, &mode)) {
        std::wstring line;
        wchar_t c;
        while (ReadConsoleW(input, &c, 1, &got, 0) && got == 1 && c != L'\n')
            if (c != L'\r')
                line += c;
        utf8_line = narrow(line);
        return got == 1 || !line.empty();
    }
    // A byte at a time: what follows this line stays in the pipe for the next question.
    char c;
    bool any = false;
    while (ReadFile(input, &c, 1, &got, 0) && got == 1) {
        any = true;
        if (c == '\n')
            break;
        if (c != '\r')
            utf8_line += c;
    }
    return any;
}

// Under Wine a program started from a Unix terminal also has a console to itself, and the
// terminal stays: Wine's own export in ntdll tells the two apart.
bool own_console()
{
    DWORD mode, processes[2];
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    bool under_wine = ntdll && GetProcAddress(ntdll, "wine_get_version");
    return !under_wine && GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
           GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && GetConsoleProcessList(processes, 2) == 1;
}

void wait_for_enter()
{
    write_line(Stream::out, "Press Enter to close this window.");
    std::string ignored;
    read_line(ignored);
}

// For the terminate handler, which takes no arguments.
static const ConsoleTool *running_tool;

// What the run leaves once the tool's stop has run.
static const char *stopped_aftermath(const ConsoleTool &tool)
{
    const char *own = tool.on_stop ? tool.on_stop() : nullptr;
    return own ? own : tool.aftermath;
}

static void report_terminate()
{
    const char *aftermath = stopped_aftermath(*running_tool);
    // Plain ASCII through stdio: nothing here may need memory that is perhaps gone.
    fprintf(stderr, "%s: error: an unexpected error stopped it; %s\n", running_tool->program, aftermath);
    fflush(stderr);
    _exit(EXIT_INTERNAL_ERROR);
}

// Runs on a thread of its own that Windows starts for the event. Ending the process here, with
// our code, is what keeps an interrupted run from ever reporting success.
static BOOL WINAPI report_stop(DWORD)
{
    const char *aftermath = stopped_aftermath(*running_tool);
    // Straight to the handle: the main thread may hold stdio's lock on stderr at this instant.
    char line[256];
    int length = snprintf(line, sizeof line, "%s: stopped; %s\n", running_tool->program, aftermath);
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, (DWORD)std::min<int>(length, sizeof line - 1), &written, 0);
    ExitProcess(EXIT_INTERRUPTED);
}

int run_console_tool(const ConsoleTool &tool, int argc, wchar_t **argv, int (*run)(const std::vector<std::string> &))
{
    running_tool = &tool;
    std::set_terminate(report_terminate);
    SetConsoleCtrlHandler(report_stop, TRUE);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    bool wait = tool.wait && own_console();
    int code = EXIT_INTERNAL_ERROR;
    std::string failure;
    try {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i)
            args.push_back(narrow(argv[i]));
        code = run(args);
    } catch (const std::bad_alloc &) {
        failure = "out of memory";
    } catch (const std::exception &exception) {
        failure = exception.what();
    } catch (...) {
        failure = "an unexpected error";
    }
    if (!failure.empty()) {
        const char *aftermath = stopped_aftermath(tool);
        write_line(Stream::err, std::string(tool.program) + ": error: " + failure + "; " + aftermath);
    }
    if (wait)
        wait_for_enter();
    return code;
}

}  // namespace toolbox
