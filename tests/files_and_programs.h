// What the tests that build files and run the project's programs share: reading and writing a
// whole file (its folders made on the way), removing a folder tree, running a program beside the
// test program with its output in files, and reading that output back.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <windows.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace test_support {

// A whole file's bytes; a file that cannot be read fails the test and reads as "".
std::string read_file(const std::string &path);

// Makes a folder and every missing folder above it (a full path, backslashes).
void make_folders(const std::string &folder);

// Writes a whole file, making its folder first; the failure names the path and the error.
::testing::AssertionResult write_file(const std::string &path, const std::string &bytes);
::testing::AssertionResult write_file(const std::string &path, const std::vector<uint8_t> &bytes);

// Removes a folder and everything in it, with or without a trailing backslash.
void remove_tree(const std::string &folder);

// A path or argument in double quotes, for a command line.
std::string quote(const std::string &text);

struct ProgramRun {
    DWORD exit_code = 0;
    bool timed_out = false;  // killed after a minute
    std::string out, err;
};

// Runs `program` (a file name beside the test program) with `arguments` (UTF-8). Its output
// goes to `output_stem`.out and .err, never a pipe, so nothing can block on a full one;
// `stdout_handle` replaces the .out file when given, and `out` then stays empty. `input`, when
// given, is its standard input (through `output_stem`.in), and `folder` its current folder. A
// run that takes over a minute is a hang: killed, and `timed_out` set. Every failing call fails
// the test.
ProgramRun run_program(const std::string &program, const std::string &arguments, const std::string &output_stem,
                       HANDLE stdout_handle = 0, const std::string *input = nullptr,
                       const std::string &folder = std::string());

// The lines of a program's output, each without its line end; a last line without one is left out.
std::vector<std::string> lines_of(const std::string &text);
// Each line of a program's JSON Lines output, parsed; a line that is not JSON fails the test and
// stays in the list as a discarded value.
std::vector<nlohmann::json> json_lines(const std::string &text);

// Every file and folder under `root` (paths relative to it, upper case), with each file's
// bytes and every last-write time, a folder's included: two equal snapshots mean nothing under
// it changed, not even a time or a file made and removed again.
struct TreeEntry {
    bool folder = false;
    std::string bytes;
    uint64_t written = 0;
};
using TreeSnapshot = std::map<std::string, TreeEntry>;
TreeSnapshot snapshot_tree(const std::string &root);
// The differences, one a line ("changed X", "touched Y" for a time alone, "new Z", "gone W");
// empty when the two are equal. Without `times`, bytes and names alone.
std::string tree_changes(const TreeSnapshot &before, const TreeSnapshot &after, bool times = true);

}  // namespace test_support
