// Temporary files beside each target, each put in place with one rename (toolbox's rename_over
// for a file that exists), and an undo list for a failure partway.
#include "file_changes.h"

#include <windows.h>

#include <atomic>
#include <new>

#include "folders.h"
#include "replace_file.h"
#include "toolbox.h"

namespace gaugeinstall {

using gaugecheck::join_path;
using gaugecheck::parent_folder;
using toolbox::error_text;

static const char ADMINISTRATOR_FIX[] =
    "run it as administrator (right-click gaugeinstall.exe, or the command prompt it runs in, and "
    "choose \"Run as administrator\")";

static DWORD attributes(const std::string &path)
{
    return GetFileAttributesW(toolbox::widen(path).c_str());
}

// Asks Windows whether this account may add files to the folder, by opening it for exactly that:
// nothing is written, so a dry run leaves no trace either.
static bool folder_writable(const std::string &folder, ChangeProblem &problem)
{
    HANDLE handle = CreateFileW(toolbox::widen(folder).c_str(), FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        problem = {folder, "Windows does not let this account add files here (" + error_text(error) + ") -> " +
                  (error == ERROR_ACCESS_DENIED ? std::string(ADMINISTRATOR_FIX) : "check that the folder can be written")};
        return false;
    }
    CloseHandle(handle);
    return true;
}

static bool same_bytes(const std::string &path, const std::string &expected)
{
    std::vector<uint8_t> bytes;
    std::string reason;
    return toolbox::read_whole_file(path, bytes, reason, expected.size() + 1) && bytes.size() == expected.size() &&
           std::equal(bytes.begin(), bytes.end(), expected.begin(), [](uint8_t a, char b) { return a == (uint8_t)b; });
}

static bool file_changeable(const FileChange &change, ChangeProblem &problem)
{
    DWORD found = attributes(change.path);
    if (found == INVALID_FILE_ATTRIBUTES || (found & FILE_ATTRIBUTE_DIRECTORY)) {
        problem = {change.path, "it is gone since gaugeinstall read it -> run gaugeinstall again"};
        return false;
    }
    if (found & FILE_ATTRIBUTE_READONLY) {
        problem = {change.path, "it is read-only -> clear Read-only in the file's Properties, then run gaugeinstall again"};
        return false;
    }
    // The access a swap needs, with every sharing granted: it fails only when another program
    // holds the file without letting it be replaced, or when the account lacks the rights.
    HANDLE file = CreateFileW(toolbox::widen(change.path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED)
            problem = {change.path, "Windows does not let this account change it (" + error_text(error) + ") -> " +
                      ADMINISTRATOR_FIX};
        else
            problem = {change.path, "another program holds it open and does not let it be replaced (" +
                      error_text(error) + ") -> close that program (the simulator, an editor), then run gaugeinstall again"};
        return false;
    }
    CloseHandle(file);
    if (!same_bytes(change.path, change.old_bytes)) {
        problem = {change.path, "it changed since gaugeinstall read it -> run gaugeinstall again"};
        return false;
    }
    return true;
}

bool check_changes(const std::vector<FileChange> &changes, ChangeProblem &problem)
{
    for (const FileChange &change : changes) {
        if (change.kind != FileChange::Kind::create && !file_changeable(change, problem))
            return false;
        if (change.kind == FileChange::Kind::create && attributes(change.path) != INVALID_FILE_ATTRIBUTES) {
            problem = {change.path, "a file of this name appeared since gaugeinstall looked -> run gaugeinstall again"};
            return false;
        }
        // Where a missing folder would be made.
        std::string folder = gaugecheck::folder_at_or_above(parent_folder(change.path), gaugecheck::is_folder);
        if (folder.empty()) {
            problem = {change.path, "no folder of this path exists -> check the simulator's folder"};
            return false;
        }
        if (!folder_writable(folder, problem))
            return false;
    }
    return true;
}

namespace {

// One run of changes: the temporary files made, the folders made and how to undo each swap.
struct Transaction {
    FaultPlan *faults;
    std::vector<std::string> temporaries;  // by change; empty for a removal
    std::vector<std::string> made_folders;  // in the order made
    struct Undo {
        const FileChange *change;
        std::string moved_to;  // a removal: where the file waits until the end
    };
    std::vector<Undo> done;

    bool fault(std::string &failure, const std::string &what)
    {
        if (faults && faults->fail_now()) {
            failure = what + " (a fault planted by the test)";
            SetLastError(ERROR_WRITE_FAULT);
            return true;
        }
        return false;
    }

    bool make_folders(const std::string &folder, std::string &failure)
    {
        if (attributes(folder) != INVALID_FILE_ATTRIBUTES)
            return true;
        if (!make_folders(parent_folder(folder), failure))
            return false;
        if (fault(failure, "cannot make the folder " + folder) || !CreateDirectoryW(toolbox::widen(folder).c_str(), 0)) {
            if (failure.empty())
                failure = "cannot make the folder " + folder + " (" + error_text(GetLastError()) + ")";
            return false;
        }
        made_folders.push_back(folder);
        return true;
    }

    // Writes the bytes whole and flushed to a new file beside the target, in the same folder so
    // that the swap stays on one volume; nobody reads it under this name.
    bool write_temporary(const std::string &target, const std::string &bytes, std::string &name, std::string &failure,
                         bool planted = true)
    {
        name = toolbox::temporary_beside(target);
        if ((planted && fault(failure, "cannot write " + name)) || !toolbox::write_flushed(name, bytes, failure)) {
            name.clear();
            return false;
        }
        return true;
    }

    bool swap_in(const FileChange &change, const std::string &temporary, std::string &failure)
    {
        std::wstring target = toolbox::widen(change.path);
        switch (change.kind) {
        case FileChange::Kind::create:
            // Without MOVEFILE_REPLACE_EXISTING: a file that appeared meanwhile is never overwritten.
            if (fault(failure, "cannot create " + change.path) ||
                !MoveFileExW(toolbox::widen(temporary).c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
                break;
            done.push_back({&change, std::string()});
            return true;
        case FileChange::Kind::replace: {
            std::string reason;  // the line below names the file and Windows' error, as for the others
            if (fault(failure, "cannot replace " + change.path) || !toolbox::rename_over(temporary, change.path, reason))
                break;
            done.push_back({&change, std::string()});
            return true;
        }
        case FileChange::Kind::remove: {
            // Moved aside first and deleted only when every change has been made, so it can come back.
            std::string aside = toolbox::temporary_beside(change.path, true);
            if (fault(failure, "cannot delete " + change.path) ||
                !MoveFileExW(target.c_str(), toolbox::widen(aside).c_str(), MOVEFILE_WRITE_THROUGH))
                break;
            done.push_back({&change, aside});
            return true;
        }
        }
        if (failure.empty())
            failure = "cannot " + std::string(change.kind == FileChange::Kind::remove ? "delete " : "write ") + change.path +
                      " (" + error_text(GetLastError()) + ")";
        return false;
    }

    // Puts one swap back; false when that fails too.
    bool undo(const Undo &undo)
    {
        const FileChange &change = *undo.change;
        std::wstring target = toolbox::widen(change.path);
        switch (change.kind) {
        case FileChange::Kind::create:
            return DeleteFileW(target.c_str()) != 0;
        case FileChange::Kind::replace: {
            std::string temporary, ignored;
            if (!write_temporary(change.path, change.old_bytes, temporary, ignored, false))
                return false;
            if (toolbox::rename_over(temporary, change.path, ignored))
                return true;
            DeleteFileW(toolbox::widen(temporary).c_str());
            return false;
        }
        case FileChange::Kind::remove:
            return MoveFileExW(toolbox::widen(undo.moved_to).c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
        }
        return false;
    }

    void discard_temporaries()
    {
        for (std::string &name : temporaries)
            if (!name.empty() && DeleteFileW(toolbox::widen(name).c_str()))
                name.clear();
    }

    // Everything back as it was; the files that could not be put back, for the message.
    std::string roll_back()
    {
        std::string stuck;
        for (size_t i = done.size(); i-- > 0;)
            if (!undo(done[i]))
                stuck += (stuck.empty() ? "" : ", ") + done[i].change->path;
        discard_temporaries();
        for (size_t i = made_folders.size(); i-- > 0;)
            RemoveDirectoryW(toolbox::widen(made_folders[i]).c_str());
        return stuck;
    }
};

// Where the changes stand, for a stop. The stop's thread writes stop_asked and then reads stage;
// apply_changes writes stage and then reads stop_asked: with both sequentially consistent, at
// least one of them sees the other, so a stop never finds nothing under way while changes start.
enum class Stage { none, under_way, made, not_put_back };
std::atomic<Stage> stage{Stage::none};
std::atomic<bool> stop_asked{false};
std::atomic<DWORD> applying_thread{0};
HANDLE settled = CreateEventW(0, TRUE, TRUE, 0);  // set while no change is under way

bool stopped(std::string &failure)
{
    if (stop_asked)
        failure = "stopped";
    return stop_asked;
}

}  // namespace

const char *stop_changes()
{
    stop_asked = true;
    if (stage == Stage::under_way && GetCurrentThreadId() != applying_thread)
        WaitForSingleObject(settled, INFINITE);
    if (stage == Stage::made)
        return "its changes were all made, but it stopped before it reported them";
    if (stage == Stage::not_put_back)
        return "not every change could be put back: run the same command again to finish it";
    return nullptr;
}

bool apply_changes(const std::vector<FileChange> &changes, std::string &failure, FaultPlan *faults)
{
    Transaction transaction{faults, std::vector<std::string>(changes.size()), {}, {}};
    failure.clear();
    applying_thread = GetCurrentThreadId();
    ResetEvent(settled);
    stage = Stage::under_way;
    bool ok = true;
    try {
        // Every new file's bytes on disk first: a full disk or a refused folder fails here, before
        // any file the simulator reads has changed. A stop is taken between two steps.
        for (size_t i = 0; ok && i < changes.size(); ++i) {
            const FileChange &change = changes[i];
            if (change.kind == FileChange::Kind::remove)
                continue;
            ok = !stopped(failure) && transaction.make_folders(parent_folder(change.path), failure) &&
                 transaction.write_temporary(change.path, change.bytes, transaction.temporaries[i], failure);
        }
        for (size_t i = 0; ok && i < changes.size(); ++i) {
            ok = !stopped(failure) && transaction.swap_in(changes[i], transaction.temporaries[i], failure);
            if (ok)
                transaction.temporaries[i].clear();  // it is the target now
        }
    } catch (const std::bad_alloc &) {
        // Only the messages need memory here; what was swapped in still goes back.
        ok = false;
        failure = "out of memory";
    } catch (...) {
        ok = false;
        failure = "an unexpected error";
    }
    if (!ok) {
        std::string stuck = transaction.roll_back();
        stage = stuck.empty() ? Stage::none : Stage::not_put_back;
        SetEvent(settled);
        if (stop_asked)
            Sleep(INFINITE);  // the stop's thread ends the process, with its own line
        failure += stuck.empty() ? "; nothing was changed: everything already done was put back"
                                 : "; could not put back " + stuck + " (its .vqt7-backup or the release zip has the old file)";
        return false;
    }
    stage = Stage::made;
    SetEvent(settled);
    for (const Transaction::Undo &undo : transaction.done)
        if (!undo.moved_to.empty())
            DeleteFileW(toolbox::widen(undo.moved_to).c_str());
    return true;
}

}  // namespace gaugeinstall
