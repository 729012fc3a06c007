// Running gaugebench.exe from a test: each test in a folder of its own under this run's
// temporary folder, and the bench's output in files there.
#include "bench_runs.h"

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

}  // namespace test_support
