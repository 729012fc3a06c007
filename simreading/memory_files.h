// An in-memory tree behind the SimFiles interface, for the tests and the fuzz targets: names
// compared as Windows compares them for the letters the fixtures use (ASCII and Latin-1),
// ANSI as code page 1252, and a VirtualStore given as a map of copies.
#pragma once

#include <map>

#include "sim_files.h"

namespace simreading {

class MemoryFiles : public SimFiles {
public:
    // A file at `path` (its folders made as needed); a later add of the same path replaces it.
    void add_file(const std::string &path, std::string bytes);
    void add_folder(const std::string &path);
    // The simulator reads `copy` in place of `original`.
    void add_copy(const std::string &original, const std::string &copy) { copies_[key(original)] = copy; }
    bool exists(const std::string &path) const { return nodes_.count(key(path)) != 0; }

    bool list(const std::string &folder, std::vector<FolderEntry> &entries, std::string &reason) const override;
    bool read(const std::string &path, size_t limit, std::string &bytes, std::string &reason) const override;
    std::string effective(const std::string &path) const override;
    std::string ansi_to_utf8(std::string_view ansi) const override;
    std::string name_key(std::string_view path) const override { return key(path); }

    // The case-folded form of a path, as this tree compares them.
    static std::string key(std::string_view path);

private:
    struct Node {
        std::string spelled;  // the path as added
        bool folder = false;
        std::string bytes;
    };
    std::map<std::string, Node> nodes_;  // by key()
    std::map<std::string, std::string> copies_;
};

}  // namespace simreading
