// Temporary files beside each output, put in place with toolbox's one-rename replace.
#include "output_file.h"

#include <windows.h>

#include <vector>

#include "replace_file.h"
#include "toolbox.h"

namespace bench {

using toolbox::error_text;

// The temporary files on disk now, by name: the exits that end the process at once (Ctrl+C, a
// fault in the bench's own code, an exception that cannot unwind) remove them through this list
// alone, without reaching the run that made them. A stop comes on a thread of its own, so the
// list, each replacement and the stop take turns under one lock.
static std::vector<std::wstring> temporary_files;
static bool outputs_stopped;  // a stop has discarded them: nothing more is replaced
static bool output_replaced;  // a target has been replaced by this run

// Made before main, and never deleted: a stop may take it until the process ends.
static struct OutputsLock {
    CRITICAL_SECTION section;
    OutputsLock() { InitializeCriticalSection(&section); }
} outputs_lock;

// Holds the lock for its scope.
struct OutputsTurn {
    OutputsTurn() { EnterCriticalSection(&outputs_lock.section); }
    ~OutputsTurn() { LeaveCriticalSection(&outputs_lock.section); }
};

static void forget_temporary(const std::wstring &name)
{
    for (size_t i = 0; i < temporary_files.size(); ++i)
        if (temporary_files[i] == name)
            temporary_files.erase(temporary_files.begin() + i--);
}

bool OutputFile::open(const std::string &target, std::string &reason)
{
    discard();
    std::wstring full = toolbox::full_path_w(target);
    if (full.empty()) {
        reason = "cannot resolve the path";
        return false;
    }
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "it is a folder";
        return false;
    }
    // In the target's folder, so the final move stays on one volume and cannot half-happen.
    std::wstring folder = full.substr(0, full.find_last_of(L'\\') + 1);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = folder + L"~gaugebench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(attempt) + L".tmp";
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            target_ = target;
            temporary_ = toolbox::narrow(name);
            bool stopped;
            {
                OutputsTurn turn;
                stopped = outputs_stopped;
                if (!stopped)
                    temporary_files.push_back(name);
            }
            if (stopped) {
                DeleteFileW(name.c_str());
                Sleep(INFINITE);  // the stop's thread ends the process, with its own line
            }
            if (!can_replace(reason)) {
                discard();
                return false;
            }
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            reason = "cannot create a file in its folder (" + error_text(GetLastError()) + ")";
            return false;
        }
    }
    reason = "cannot create a file in its folder (100 temporary names taken)";
    return false;
}

bool OutputFile::can_replace(std::string &reason) const
{
    std::wstring target = toolbox::widen(target_);
    DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;  // nothing there yet; the folder itself was proved writable by open()
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        reason = "it is read-only";
        return false;
    }
    // The access the move needs on the target, with every sharing granted: it fails only when
    // another program holds the file without allowing it to be deleted (a media player, a viewer).
    HANDLE file = CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE) {
        reason = "cannot replace it (" + error_text(GetLastError()) + "; is it open in another program?)";
        return false;
    }
    CloseHandle(file);
    return true;
}

bool OutputFile::commit(std::string &reason)
{
    std::wstring temporary = toolbox::widen(temporary_);
    std::string why;  // the line names the output already; Windows' error is all it adds
    bool stopped;
    {
        OutputsTurn turn;
        stopped = outputs_stopped;
        if (!stopped && toolbox::flush_to_disk(temporary_, why) && toolbox::rename_over(temporary_, target_, why)) {
            output_replaced = true;
            forget_temporary(temporary);
            temporary_.clear();
            return true;
        }
        reason = "cannot replace it (" + error_text(GetLastError()) + ")";
    }
    if (stopped)
        Sleep(INFINITE);  // the stop's thread ends the process, with its own line
    discard();
    return false;
}

void OutputFile::discard()
{
    if (temporary_.empty())
        return;
    std::wstring temporary = toolbox::widen(temporary_);
    OutputsTurn turn;
    DeleteFileW(temporary.c_str());
    forget_temporary(temporary);
    temporary_.clear();
}

bool discard_open_outputs()
{
    OutputsTurn turn;
    outputs_stopped = true;
    for (const std::wstring &name : temporary_files)
        DeleteFileW(name.c_str());
    temporary_files.clear();
    return output_replaced;
}

}  // namespace bench
