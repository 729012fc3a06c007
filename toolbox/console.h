// The console of a command-line tool: UTF-8 lines to a console window as wide text (any code
// page shows them) or to a file or pipe as they are, lines typed or piped in, and whether the
// program has a console window of its own (started by a double click) that closes when it ends.
#pragma once

#include <string>
#include <vector>

namespace toolbox {

enum class Stream { out, err };

void write_line(Stream stream, const std::string &utf8_line);

// One line from standard input without its line end, in UTF-8 (a console's wide text, or a
// pipe's bytes as they come). False at the end of the input.
bool read_line(std::string &utf8_line);

// Started by a double click: a console of its own, which closes as soon as the program ends.
bool own_console();

// Writes "Press Enter to close this window." and waits for it.
void wait_for_enter();

// Exit codes every tool shares, beside its own (0 to 4, in its --help).
inline constexpr int EXIT_INTERNAL_ERROR = 70;  // the tool itself failed: out of memory, an unexpected error
inline constexpr int EXIT_INTERRUPTED = 130;    // stopped by Ctrl+C or Ctrl+Break, or its console window closed

// What a console tool of the project does around its run: no system dialog boxes (an empty card
// reader on PATH must not stall it), plain line feeds on stdout and stderr (scripts read them on
// Linux too), the command line in UTF-8, and an exception, or one that cannot unwind, turned into
// one line "PROGRAM: error: ...; AFTERMATH" on stderr and EXIT_INTERNAL_ERROR. Ctrl+C, Ctrl+Break
// or a closed console window run `on_stop`, write "PROGRAM: stopped; AFTERMATH" and end it with
// EXIT_INTERRUPTED, never 0. Started by a double click, it waits for Enter before its window
// closes, when `wait` says so.
struct ConsoleTool {
    const char *program;    // "gaugecheck"
    const char *aftermath;  // "the check did not finish"
    bool wait;
    // Removes the tool's temporary files, or settles what the run is changing; returns the
    // aftermath when it is not the usual one, else null. Must need no memory.
    const char *(*on_stop)() = nullptr;
};
int run_console_tool(const ConsoleTool &tool, int argc, wchar_t **argv, int (*run)(const std::vector<std::string> &));

}  // namespace toolbox
