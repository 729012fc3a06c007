// Running gaugebench.exe from a test: each test in a folder of its own under this run's
// temporary folder, and the bench's output in files there.
#include "bench_runs.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>

#include "files_and_programs.h"
#include "toolbox.h"

namespace test_support {

// This run's folder in the temporary folder, removed with everything in it when the program ends.
const std::string &temp_root()
{
    static std::string root;
    if (root.empty()) {
        wchar_t temp[MAX_PATH];
        EXPECT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        root = toolbox::narrow(temp) + "gaugebench_test_" + std::to_string(GetCurrentProcessId()) + "\\";
        EXPECT_TRUE(CreateDirectoryW(toolbox::widen(root).c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    return root;
}

namespace {

struct TempCleanup : ::testing::Environment {
    void TearDown() override { remove_tree(temp_root()); }
};
const ::testing::Environment *const temp_cleanup = ::testing::AddGlobalTestEnvironment(new TempCleanup);

}  // namespace

// The test's own folder, named for the test: no two tests share a file, and a process left
// holding one cannot upset another test.
std::string test_folder()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = temp_root() + test->test_suite_name() + "." + test->name() + "\\";
    EXPECT_TRUE(CreateDirectoryW(toolbox::widen(folder).c_str(), 0) || GetLastError() == ERROR_ALREADY_EXISTS)
        << folder;
    return folder;
}

// Runs gaugebench.exe with its output in files of the test's folder, one pair a run.
ProgramRun run_gaugebench(const std::string &arguments, HANDLE stdout_handle)
{
    static int runs;
    return run_program("gaugebench.exe", arguments, test_folder() + "run" + std::to_string(++runs), stdout_handle);
}

std::string both_modules()
{
    return quote(module_path(BOOMCUE_FILE)) + " " + quote(module_path(DRAGDRONE_FILE));
}

namespace {

struct MemorySampler {
    std::atomic<bool> done{false};
    SIZE_T committed_most = 0, working_most = 0;
    void sample()
    {
        PROCESS_MEMORY_COUNTERS now = {sizeof now};
        GetProcessMemoryInfo(GetCurrentProcess(), &now, sizeof now);
        committed_most = std::max(committed_most, now.PagefileUsage);
        working_most = std::max(working_most, now.WorkingSetSize);
    }
};

DWORD WINAPI sample_memory(void *sampler_)
{
    MemorySampler &sampler = *(MemorySampler *)sampler_;
    while (!sampler.done) {
        sampler.sample();
        Sleep(1);
    }
    return 0;
}

}  // namespace

MemoryGrowth memory_growth_of(const std::function<void()> &job)
{
    MemorySampler sampler;
    sampler.sample();
    const SIZE_T committed_before = sampler.committed_most, working_before = sampler.working_most;
    HANDLE thread = CreateThread(0, 0, sample_memory, &sampler, 0, 0);
    EXPECT_NE(thread, (HANDLE)0);
    job();
    sampler.done = true;
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    sampler.sample();
    return {sampler.committed_most - committed_before, sampler.working_most - working_before};
}

}  // namespace test_support
