// Changing the user's files all or nothing: every target is checked before anything changes,
// every new file is first written whole to a temporary file beside its target and flushed, each
// is then put in place with one rename (over the file that exists, whose attributes it takes, so
// that the target is never missing even if the process is killed), and a failure partway puts
// back everything already changed.
#pragma once

#include <string>
#include <vector>

namespace gaugeinstall {

struct FileChange {
    enum class Kind {
        create,   // a new file where none is
        replace,  // new bytes for a file that exists
        remove,   // the file taken away
    };
    Kind kind;
    std::string path;
    std::string bytes;      // create, replace: the new bytes
    std::string old_bytes;  // replace, remove: the bytes as read, to check against and to put back
};

// Test only: makes the Nth step that changes the disk (a temporary file written, a folder made,
// a file swapped or moved) fail, as a full disk or a file snatched by another program would;
// `before_step`, when set, runs before each step with its number (a test stops the run there).
struct FaultPlan {
    int fail_at = 0;  // 0: none
    int steps = 0;    // how many steps were tried
    void (*before_step)(int step) = nullptr;
    bool fail_now()
    {
        if (before_step)
            before_step(steps + 1);
        return ++steps == fail_at;
    }
};

// Why a change cannot be made: the file or folder, and what is wrong with it and what to do
// ("it is read-only -> clear Read-only ...").
struct ChangeProblem {
    std::string file;
    std::string what;
};

// Whether each change can be made now, without making any: a file to replace or remove still
// holds the bytes read, is not read-only and is not held open by a program that does not let it
// be replaced; each folder lets this account add files. False with the problem ("run it as
// administrator" where Windows refuses the rights).
bool check_changes(const std::vector<FileChange> &changes, ChangeProblem &problem);

// Makes every change, in order. False with one line on failure, after everything already changed
// has been put back (the line names anything that could not be).
bool apply_changes(const std::vector<FileChange> &changes, std::string &failure, FaultPlan *faults = nullptr);

// A stop (Ctrl+C, Ctrl+Break, the console window closed), on the thread Windows starts for it.
// While apply_changes runs, the run stops between two steps, puts back what it changed and then
// lets the stop end the process; this waits until it has. So a stop never leaves some changes
// made and others not. Returns what the stop leaves, for its line: null when nothing changed.
const char *stop_changes();

}  // namespace gaugeinstall
