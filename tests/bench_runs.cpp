// Running gaugebench.exe from a test: each test in a folder of its own under this run's
// temporary folder, the bench's output in files there, and the JSON Lines timeline read back.
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

// A whole file as bytes; a file that cannot be read fails the test.
std::string read_text(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!toolbox::read_whole_file(path, bytes, reason))
        ADD_FAILURE() << "cannot read " << path << ": " << reason;
    return std::string(bytes.begin(), bytes.end());
}

// Runs gaugebench.exe with its output in files of the test's folder, one pair a run.
ProgramRun run_gaugebench(const std::string &arguments, HANDLE stdout_handle)
{
    static int runs;
    return run_program("gaugebench.exe", arguments, test_folder() + "run" + std::to_string(++runs), stdout_handle);
}

std::string quote(const std::string &path)
{
    return "\"" + path + "\"";
}

std::string both_modules()
{
    return quote(module_path(BOOMCUE_FILE)) + " " + quote(module_path(DRAGDRONE_FILE));
}

// One JSON Lines record's field, as raw text (strings keep their quotes).
std::string field(const std::string &line, const std::string &key)
{
    size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "";
    at += key.size() + 3;
    size_t end = at;
    if (line[at] == '"') {
        for (end = at + 1; end < line.size() && line[end] != '"'; ++end)
            if (line[end] == '\\')
                ++end;
        ++end;
    } else if (line[at] == '[') {
        end = line.find(']', at) + 1;
    } else {
        end = line.find_first_of(",}", at);
    }
    return line.substr(at, end - at);
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace test_support
