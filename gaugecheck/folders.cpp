// Files and folders through the wide APIs: joins, absolute forms, existence and listings.
#include "folders.h"

#include <windows.h>

#include <algorithm>

#include "toolbox.h"
#include "sim_reading.h"
#include "windows_sim_files.h"

namespace gaugecheck {

std::string join_path(const std::string &folder, const std::string &name)
{
    return simreading::join_path(folder, name);
}

std::string full_path(const std::string &path)
{
    std::wstring full = toolbox::full_path_w(path);
    // A folder's trailing backslash would double up in joins; a drive root keeps its own.
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return toolbox::narrow(full);
}

std::string parent_folder(const std::string &path)
{
    return simreading::parent_folder(path);
}

std::string folder_at_or_above(std::string folder, bool (*wanted)(const std::string &folder))
{
    while (!folder.empty()) {
        if (wanted(folder))
            return folder;
        std::string parent = parent_folder(folder);
        if (parent == folder)
            break;
        folder = parent;
    }
    return std::string();
}

static DWORD attributes(const std::string &path)
{
    return GetFileAttributesW(toolbox::widen(path).c_str());
}

bool is_file(const std::string &path)
{
    DWORD found = attributes(path);
    return found != INVALID_FILE_ATTRIBUTES && !(found & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_folder(const std::string &path)
{
    DWORD found = attributes(path);
    return found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY);
}

std::string find_file(const std::string &folder, const std::string &name)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(toolbox::widen(join_path(folder, name)).c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, 0, 0);
    if (search == INVALID_HANDLE_VALUE)
        return std::string();
    std::string path;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            path = join_path(folder, toolbox::narrow(found.cFileName));
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return path;
}

std::string path_key(const std::string &path)
{
    return toolbox::name_key(path);
}

bool same_name(const std::string &a, const std::string &b)
{
    return toolbox::same_text_ignoring_case(a, b);
}

}  // namespace gaugecheck
