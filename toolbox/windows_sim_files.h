// The simulator-reading core's file system on Windows: the wide file calls, the VirtualStore of
// a simulator folder, the system's ANSI code page and Windows' own comparison of names.
#pragma once

#include "sim_files.h"
#include "virtual_store.h"

namespace toolbox {

// A path as Windows compares file names: upper-cased over all of Unicode, '/' as '\'.
std::string name_key(std::string_view path);

class WindowsSimFiles : public simreading::SimFiles {
public:
    // For the files under `sim_folder` (a full path), whose VirtualStore copies are read in their
    // place; none for an empty one.
    explicit WindowsSimFiles(const std::string &sim_folder = std::string());

    bool list(const std::string &folder, std::vector<simreading::FolderEntry> &entries,
              std::string &reason) const override;
    bool find(const std::string &folder, std::string_view name, simreading::FolderEntry &entry) const override;
    bool read(const std::string &path, size_t limit, std::string &bytes, std::string &reason) const override;
    std::string effective(const std::string &path) const override;
    std::string ansi_to_utf8(std::string_view ansi) const override;
    std::string name_key(std::string_view path) const override { return toolbox::name_key(path); }

    const VirtualStore *store() const { return has_store_ ? &store_ : nullptr; }

private:
    bool has_store_;
    VirtualStore store_;
};

}  // namespace toolbox
