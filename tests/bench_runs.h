// Running gaugebench.exe from a test, as a user runs it: each test in a folder of its own, the
// bench's output in files, and the JSON Lines timeline read back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "files_and_programs.h"
#include "test_support.h"

namespace test_support {

// The bench's audio, as the test expects it: 22050 Hz, 16-bit, mono.
constexpr size_t AUDIO_RATE = 22050;

// This run's folder in the temporary folder, removed with everything in it when the program ends.
const std::string &temp_root();
// The test's own folder, named for the test: no two tests share a file, and a process left
// holding one cannot upset another test.
std::string test_folder();
// A whole file as bytes; a file that cannot be read fails the test.
std::string read_text(const std::string &path);
// Runs gaugebench.exe with its output in files of the test's folder, one pair a run.
ProgramRun run_gaugebench(const std::string &arguments, HANDLE stdout_handle = 0);
std::string quote(const std::string &path);
// Both built modules, quoted, for a command line.
std::string both_modules();
// One JSON Lines record's field, as raw text (strings keep their quotes).
std::string field(const std::string &line, const std::string &key);
std::vector<std::string> lines_of(const std::string &text);

}  // namespace test_support
