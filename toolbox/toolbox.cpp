// UTF-8/UTF-16 conversion, the program's folder, file names and whole-file reads, through the
// wide APIs.
#include "toolbox.h"

#include <stdio.h>
#include <windows.h>

namespace toolbox {

std::wstring widen(const std::string &utf8)
{
    if (utf8.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), 0, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), (int)utf8.size(), &wide[0], length);
    return wide;
}

std::string narrow(const std::wstring &wide)
{
    if (wide.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), 0, 0, 0, 0);
    std::string utf8(length, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], length, 0, 0);
    return utf8;
}

std::string ansi_to_utf8(const std::string &ansi)
{
    if (ansi.empty())
        return std::string();
    int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), 0, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], length);
    return narrow(wide);
}

std::wstring program_folder_w()
{
    // The path may be longer than MAX_PATH: grow the buffer until it fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(0, &path[0], (DWORD)path.size());
        if (length == 0)
            return L".\\";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::string program_folder()
{
    return narrow(program_folder_w());
}

std::wstring full_path_w(const std::string &path)
{
    std::wstring wide = widen(path);
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, 0, 0);
    if (!needed)
        return std::wstring();
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, &full[0], 0);
    if (!length || length >= needed)
        return std::wstring();
    full.resize(length);
    return full;
}

std::string file_name(const std::string &path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string error_text(unsigned long code)
{
    return "error " + std::to_string(code);
}

bool same_text_ignoring_case(const std::string &a, const std::string &b)
{
    std::wstring wide_a = widen(a), wide_b = widen(b);
    return CompareStringOrdinal(wide_a.c_str(), (int)wide_a.size(), wide_b.c_str(), (int)wide_b.size(), TRUE) ==
           CSTR_EQUAL;
}

bool read_whole_file(const std::string &path, std::vector<uint8_t> &bytes, std::string &reason,
                     uint64_t limit)
{
    bytes.clear();
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        reason = "cannot open it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok && (uint64_t)size.QuadPart > limit) {
        reason = "it is larger than " + std::to_string(limit >> 20) + " MB";
        ok = false;
    } else if (!ok) {
        reason = "cannot read its size (error " + std::to_string(GetLastError()) + ")";
    }
    if (ok) {
        bytes.resize((size_t)size.QuadPart);
        DWORD got = 0;
        size_t done = 0;
        while (ok && done < bytes.size()) {
            DWORD want = (DWORD)std::min<size_t>(bytes.size() - done, 1u << 24);
            ok = ReadFile(file, bytes.data() + done, want, &got, 0) && got > 0;
            done += got;
        }
        if (!ok) {
            reason = "cannot read it (error " + std::to_string(GetLastError()) + ")";
            bytes.clear();
        }
    }
    CloseHandle(file);
    return ok;
}

}  // namespace toolbox
