// Looks for VirtualStore copies: one check for the folder as a whole, then one a file only when
// Windows ever redirected a write below it.
#include "virtual_store.h"

#include <windows.h>

#include "toolbox.h"

namespace toolbox {

static std::string environment(const wchar_t *name)
{
    DWORD length = GetEnvironmentVariableW(name, 0, 0);
    if (!length)
        return std::string();
    std::wstring value(length, L'\0');
    length = GetEnvironmentVariableW(name, &value[0], length);
    value.resize(length);
    return narrow(value);
}

static DWORD attributes(const std::string &path)
{
    return GetFileAttributesW(widen(path).c_str());
}

std::string virtual_store_path(const std::string &store, const std::string &full_path)
{
    bool drive = full_path.size() >= 3 && full_path[1] == ':' && (full_path[2] == '\\' || full_path[2] == '/') &&
                 ((full_path[0] >= 'A' && full_path[0] <= 'Z') || (full_path[0] >= 'a' && full_path[0] <= 'z'));
    if (store.empty() || !drive)
        return std::string();
    std::string rest = full_path.substr(2);
    return (store.back() == '\\' || store.back() == '/') ? store + rest.substr(1) : store + rest;
}

VirtualStore::VirtualStore(const std::string &folder)
{
    // Test only: GAUGECHECK_VIRTUAL_STORE stands in for the user's VirtualStore folder.
    store_ = environment(L"GAUGECHECK_VIRTUAL_STORE");
    if (store_.empty()) {
        std::string local = environment(L"LOCALAPPDATA");
        if (!local.empty())
            store_ = local + "\\VirtualStore";
    }
    std::string mirror = virtual_store_path(store_, folder);
    DWORD found = mirror.empty() ? INVALID_FILE_ATTRIBUTES : attributes(mirror);
    any_ = found != INVALID_FILE_ATTRIBUTES && (found & FILE_ATTRIBUTE_DIRECTORY);
}

std::string VirtualStore::copy_of(const std::string &full_path) const
{
    if (!any_)
        return std::string();
    std::string copy = virtual_store_path(store_, full_path);
    DWORD found = copy.empty() ? INVALID_FILE_ATTRIBUTES : attributes(copy);
    return found != INVALID_FILE_ATTRIBUTES && !(found & FILE_ATTRIBUTE_DIRECTORY) ? copy : std::string();
}

}  // namespace toolbox
