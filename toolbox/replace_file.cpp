#include "replace_file.h"

#include <windows.h>

#include <algorithm>

#include "temporary_name.h"
#include "toolbox.h"

namespace toolbox {

static std::string folder_of(const std::string &path)
{
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string temporary_beside(const std::string &target, bool moved_aside)
{
    static unsigned long next = 0;
    for (;;) {
        std::string name = folder_of(target) + temporary_name(GetCurrentProcessId(), next++, moved_aside);
        if (GetFileAttributesW(widen(name).c_str()) == INVALID_FILE_ATTRIBUTES)
            return name;
    }
}

bool write_flushed(const std::string &temporary, const std::string &bytes, std::string &reason)
{
    std::wstring name = widen(temporary);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        reason = "cannot write " + temporary + " (" + error_text(GetLastError()) + ")";
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        DWORD written = 0, want = (DWORD)std::min<size_t>(bytes.size() - done, 1u << 24);
        ok = WriteFile(file, bytes.data() + done, want, &written, 0) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(name.c_str());
        reason = "cannot write " + temporary + " (" + error_text(error) + ")";
    }
    return ok;
}

bool flush_to_disk(const std::string &path, std::string &reason)
{
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    bool ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
    DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!ok) {
        reason = "cannot flush " + path + " (" + error_text(error) + ")";
        SetLastError(error);  // for a caller that words its own line
    }
    return ok;
}

bool rename_over(const std::string &temporary, const std::string &target, std::string &reason)
{
    std::wstring from = widen(temporary), to = widen(target);
    // The rename keeps the temporary's attributes, so the target's own are given to it first.
    const DWORD carried = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & carried) &&
        !SetFileAttributesW(from.c_str(), attributes & carried)) {
        DWORD error = GetLastError();
        reason = "cannot give " + temporary + " the attributes of " + target + " (" + error_text(error) + ")";
        SetLastError(error);  // for a caller that words its own line
        return false;
    }
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        reason = "cannot replace " + target + " (" + error_text(error) + ")";
        SetLastError(error);
        return false;
    }
    return true;
}

// A run of ours still going (two at once) keeps its temporaries; a number Windows has since given
// to another process only leaves a stale one for a later run.
static bool process_running(unsigned long process)
{
    if (process == GetCurrentProcessId())
        return false;
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, (DWORD)process);
    if (!handle)
        return GetLastError() == ERROR_ACCESS_DENIED;  // there, but another account's
    bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
    CloseHandle(handle);
    return running;
}

std::vector<std::string> remove_temporaries(const std::vector<std::string> &folders)
{
    std::vector<std::string> removed;
    for (const std::string &folder : folders) {
        std::string prefix = folder;
        if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/')
            prefix += '\\';
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(widen(prefix + "~vqt7-*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        std::vector<std::string> ours;
        do {
            std::string name = narrow(found.cFileName);
            unsigned long process = 0;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && is_temporary_name(name, &process) &&
                !process_running(process))
                ours.push_back(prefix + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        for (const std::string &path : ours) {
            // A temporary of ours is never read-only, but a user may have made it so.
            SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (DeleteFileW(widen(path).c_str()))
                removed.push_back(path);
        }
    }
    return removed;
}

}  // namespace toolbox
