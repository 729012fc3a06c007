#include "windows_sim_files.h"

#include <windows.h>

#include "toolbox.h"

namespace toolbox {

std::string name_key(std::string_view path)
{
    std::wstring wide = widen(std::string(path));
    if (!wide.empty())
        CharUpperBuffW(&wide[0], (DWORD)wide.size());
    for (wchar_t &c : wide)
        if (c == L'/')
            c = L'\\';
    return narrow(wide);
}

WindowsSimFiles::WindowsSimFiles(const std::string &sim_folder)
    : has_store_(!sim_folder.empty()), store_(sim_folder)
{
}

bool WindowsSimFiles::list(const std::string &folder, std::vector<simreading::FolderEntry> &entries,
                           std::string &reason) const
{
    entries.clear();
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    WIN32_FIND_DATAW found;
    // The basic information and large fetches keep a listing of thousands of folders quick.
    HANDLE search = FindFirstFileExW(widen(pattern + "*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                     0, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        // An empty folder: a drive's root has no "." entry.
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            return true;
        reason = "cannot list it (" + error_text(error) + ")";
        return false;
    }
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            entries.push_back({narrow(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

bool WindowsSimFiles::find(const std::string &folder, std::string_view name, simreading::FolderEntry &entry) const
{
    // One name, no wildcard: a file name cannot hold one, so a name that does is no entry.
    if (name.empty() || name.find_first_of("*?") != std::string_view::npos)
        return false;
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path += '\\';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileExW(widen(path.append(name)).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, 0, 0);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    entry = {narrow(found.cFileName), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
    return true;
}

bool WindowsSimFiles::read(const std::string &path, size_t limit, std::string &bytes, std::string &reason) const
{
    std::vector<uint8_t> read;
    // One byte past the limit is still read, so that the caller can tell a file is larger.
    if (!read_whole_file(path, read, reason, (uint64_t)limit + 1))
        return false;
    bytes.assign(read.begin(), read.end());
    return true;
}

std::string WindowsSimFiles::effective(const std::string &path) const
{
    return has_store_ ? store_.effective(path) : path;
}

std::string WindowsSimFiles::ansi_to_utf8(std::string_view ansi) const
{
    return toolbox::ansi_to_utf8(std::string(ansi));
}

}  // namespace toolbox
