// Windows' VirtualStore: when an unelevated 32-bit program without a manifest (the simulator is
// one) writes under a protected folder such as Program Files, Windows writes the file to
// %LOCALAPPDATA%\VirtualStore\<its path without the drive> instead, and from then on that
// program reads the copy in place of the original. Tools that read or edit what the simulator
// reads must look there first.
#pragma once

#include <string>

namespace toolbox {

class VirtualStore {
public:
    // For the files under `folder` (a full path). The store is %LOCALAPPDATA%\VirtualStore, or
    // in tests the folder GAUGECHECK_VIRTUAL_STORE names.
    explicit VirtualStore(const std::string &folder);
    // The copy the simulator reads in place of `full_path` (a file under the folder), or empty
    // when there is none.
    std::string copy_of(const std::string &full_path) const;
    // The path the simulator reads: the copy when there is one, else the file itself.
    std::string effective(const std::string &full_path) const
    {
        std::string copy = copy_of(full_path);
        return copy.empty() ? full_path : copy;
    }

private:
    std::string store_;  // the store's folder; empty when there is none
    bool any_ = false;   // the store holds something under the folder: only then look per file
};

// Where `full_path` (a path with a drive letter) would be kept in the store folder `store`:
// "C:\Program Files\X\a.cfg" -> store + "\Program Files\X\a.cfg". Empty for a path without a
// drive letter (a network path is never virtualised).
std::string virtual_store_path(const std::string &store, const std::string &full_path);

}  // namespace toolbox
