// Running gaugebench.exe from a test, as a user runs it: each test in a folder of its own and the
// bench's output in files there.
#pragma once

#include <windows.h>

#include <functional>
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
// Runs gaugebench.exe with its output in files of the test's folder, one pair a run.
ProgramRun run_gaugebench(const std::string &arguments, HANDLE stdout_handle = 0);
// Both built modules, quoted, for a command line.
std::string both_modules();

// The most this process's memory grew above where it stood when `job` started, while it ran,
// sampled every millisecond from another thread: committed (private) bytes and working set.
// Measured from the job's own start, unlike the process's peak, which an earlier test may have set.
struct MemoryGrowth {
    SIZE_T committed = 0, working = 0;
};
MemoryGrowth memory_growth_of(const std::function<void()> &job);

}  // namespace test_support
