// Files and folders as gaugecheck sees them: UTF-8 paths in, wide calls to Windows, nothing
// ever written. Listing is bounded and reports what it could not read instead of stopping.
#pragma once

#include <string>
#include <vector>

namespace gaugecheck {

// "C:\a" + "b" -> "C:\a\b" (one backslash, whichever side had one).
std::string join_path(const std::string &folder, const std::string &name);
// The absolute form, with backslashes; forward slashes and ".." resolved. Empty when Windows
// cannot resolve it.
std::string full_path(const std::string &path);
std::string parent_folder(const std::string &path);

// The first folder at or above `folder` (a full path) for which `wanted` holds; empty when none
// up to the drive's root does.
std::string folder_at_or_above(std::string folder, bool (*wanted)(const std::string &folder));

bool is_file(const std::string &path);
bool is_folder(const std::string &path);
// The file of that name in `folder`, compared as Windows compares names ("PANEL.CFG" for
// "panel.cfg"), as the folder spells it; empty when there is none.
std::string find_file(const std::string &folder, const std::string &name);

// Case-insensitive as Windows compares file names; a key for maps of paths.
std::string path_key(const std::string &path);
// Two names, or two full paths, equal as Windows compares file names.
bool same_name(const std::string &a, const std::string &b);

}  // namespace gaugecheck
