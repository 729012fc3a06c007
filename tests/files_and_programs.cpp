// Whole-file reads and writes, folder trees and child program runs for the tests; see
// files_and_programs.h.
#include "files_and_programs.h"

#include "test_support.h"
#include "toolbox.h"

namespace test_support {

void make_folders(const std::string &folder)
{
    // From the first folder below the drive's root ("C:\"), each one in turn; those that are
    // there already refuse, which is fine.
    for (size_t slash = folder.find('\\', 3);; slash = folder.find('\\', slash + 1)) {
        CreateDirectoryW(toolbox::widen(folder.substr(0, slash)).c_str(), 0);
        if (slash == std::string::npos)
            break;
    }
}

std::string read_file(const std::string &path)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!toolbox::read_whole_file(path, bytes, reason))
        ADD_FAILURE() << "cannot read " << path << ": " << reason;
    return std::string(bytes.begin(), bytes.end());
}

static ::testing::AssertionResult write_bytes(const std::string &path, const void *bytes, size_t size)
{
    size_t last_slash = path.find_last_of('\\');
    if (last_slash != std::string::npos)
        make_folders(path.substr(0, last_slash));
    HANDLE file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return ::testing::AssertionFailure() << "cannot create " << path << " (error " << GetLastError() << ")";
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, (DWORD)size, &written, 0) && written == size;
    if (!CloseHandle(file) || !ok)
        return ::testing::AssertionFailure() << "cannot write " << path;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult write_file(const std::string &path, const std::string &bytes)
{
    return write_bytes(path, bytes.data(), bytes.size());
}

::testing::AssertionResult write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    return write_bytes(path, bytes.data(), bytes.size());
}

void remove_tree(const std::string &folder)
{
    std::string path = folder;
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(toolbox::widen(path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::string child = path + "\\" + toolbox::narrow(name);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(child);
            else
                DeleteFileW(toolbox::widen(child).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(toolbox::widen(path).c_str());
}

std::string quote(const std::string &text)
{
    return "\"" + text + "\"";
}

ProgramRun run_program(const std::string &program, const std::string &arguments, const std::string &output_stem,
                       HANDLE stdout_handle, const std::string *input, const std::string &folder)
{
    ProgramRun result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE out = stdout_handle ? stdout_handle
                               : CreateFileW(toolbox::widen(output_stem + ".out").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                             &inherit, CREATE_ALWAYS, 0, 0);
    HANDLE err = CreateFileW(toolbox::widen(output_stem + ".err").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, 0);
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << output_stem << ".out/.err (error " << GetLastError() << ")";
        if (out != INVALID_HANDLE_VALUE && !stdout_handle)
            CloseHandle(out);
        if (err != INVALID_HANDLE_VALUE)
            CloseHandle(err);
        return result;
    }
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (input) {
        if (!write_file(output_stem + ".in", *input))
            ADD_FAILURE() << "cannot write " << output_stem << ".in";
        in = CreateFileW(toolbox::widen(output_stem + ".in").c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                         OPEN_EXISTING, 0, 0);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring command = toolbox::widen("\"" + exe_folder() + program + "\" " + arguments);
    PROCESS_INFORMATION process = {};
    std::wstring current = toolbox::widen(folder);
    BOOL started = CreateProcessW(0, &command[0], 0, 0, TRUE, 0, 0, folder.empty() ? 0 : current.c_str(), &startup,
                                  &process);
    DWORD start_error = GetLastError();
    if (input && in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    // The child has its own copies now; ours would keep the files open.
    if (!stdout_handle)
        CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        ADD_FAILURE() << "cannot start " << program << " " << arguments << " (error " << start_error << ")";
        return result;
    }
    DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    if (waited == WAIT_TIMEOUT) {
        result.timed_out = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    } else if (waited != WAIT_OBJECT_0) {
        ADD_FAILURE() << "waiting for " << program << " failed (error " << GetLastError() << ")";
    }
    if (!GetExitCodeProcess(process.hProcess, &result.exit_code)) {
        ADD_FAILURE() << "cannot read " << program << "'s exit code (error " << GetLastError() << ")";
        result.exit_code = 0xDEAD;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!stdout_handle)
        result.out = read_file(output_stem + ".out");
    result.err = read_file(output_stem + ".err");
    return result;
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::vector<nlohmann::json> json_lines(const std::string &text)
{
    std::vector<nlohmann::json> records;
    for (const std::string &line : lines_of(text)) {
        records.push_back(nlohmann::json::parse(line, nullptr, false));
        EXPECT_FALSE(records.back().is_discarded()) << "not JSON: " << line;
    }
    return records;
}

static void snapshot_into(const std::string &root, const std::string &relative, TreeSnapshot &tree)
{
    WIN32_FIND_DATAW found;
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    HANDLE search = FindFirstFileW(toolbox::widen(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = toolbox::narrow(found.cFileName);
        if (name == "." || name == "..")
            continue;
        std::string path = relative.empty() ? name : relative + "\\" + name;
        std::string key = path;
        for (char &c : key)
            c = (char)toupper((unsigned char)c);
        TreeEntry &entry = tree[key];
        entry.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.written = (uint64_t)found.ftLastWriteTime.dwHighDateTime << 32 | found.ftLastWriteTime.dwLowDateTime;
        if (entry.folder) {
            snapshot_into(root, path, tree);
            continue;
        }
        entry.bytes = read_file(root + "\\" + path);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

TreeSnapshot snapshot_tree(const std::string &root)
{
    TreeSnapshot tree;
    snapshot_into(root, std::string(), tree);
    return tree;
}

std::string tree_changes(const TreeSnapshot &before, const TreeSnapshot &after, bool times)
{
    std::string changes;
    for (const auto &[path, entry] : before) {
        auto now = after.find(path);
        if (now == after.end())
            changes += "gone " + path + "\n";
        else if (now->second.folder != entry.folder || now->second.bytes != entry.bytes ||
                 (times && now->second.written != entry.written))
            changes += std::string(now->second.bytes == entry.bytes ? "touched " : "changed ") + path + "\n";
    }
    for (const auto &[path, entry] : after)
        if (!before.count(path))
            changes += "new " + path + "\n";
    return changes;
}

}  // namespace test_support
