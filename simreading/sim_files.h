// The file system as the simulator-reading core sees it: list a folder, read a file, the path
// the simulator reads in a file's place. Windows answers through a thin adapter (toolbox's
// WindowsSimFiles); the tests and the fuzzer answer from an in-memory tree (MemoryFiles).
// Paths are UTF-8 with backslashes.
#pragma once

#include <stddef.h>

#include <string>
#include <string_view>
#include <vector>

namespace simreading {

struct FolderEntry {
    std::string name;  // as the folder spells it
    bool folder = false;
};

class SimFiles {
public:
    virtual ~SimFiles() = default;
    // The entries of `folder`, in any order (none for an empty folder); false, with a short reason
    // for a user ("cannot list it (error 5)"), when it cannot be listed.
    virtual bool list(const std::string &folder, std::vector<FolderEntry> &entries, std::string &reason) const = 0;
    // The entry of that name in `folder`, compared as Windows compares names, as the folder
    // spells it; false when there is none. By default from list(); Windows asks for the one name.
    virtual bool find(const std::string &folder, std::string_view name, FolderEntry &entry) const
    {
        std::vector<FolderEntry> entries;
        std::string reason;
        if (!list(folder, entries, reason))
            return false;
        for (FolderEntry &candidate : entries)
            if (same_name(candidate.name, name)) {
                entry = candidate;
                return true;
            }
        return false;
    }
    // The file's bytes, at most `limit` + 1 of them (one past the limit tells that it is larger).
    // False, with a short reason for a user, when it cannot be read.
    virtual bool read(const std::string &path, size_t limit, std::string &bytes, std::string &reason) const = 0;
    // What the simulator reads in place of `path`: its VirtualStore copy where Windows made one,
    // else `path`.
    virtual std::string effective(const std::string &path) const = 0;
    // Bytes in the system's ANSI code page as UTF-8.
    virtual std::string ansi_to_utf8(std::string_view ansi) const = 0;
    // A name or path as Windows compares file names (case folded, '/' as '\\'): a key for sets.
    virtual std::string name_key(std::string_view path) const = 0;
    bool same_name(std::string_view a, std::string_view b) const { return name_key(a) == name_key(b); }
};

}  // namespace simreading
