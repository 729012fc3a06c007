// Check 2: which GaugeSound.dll the simulator's process would load for the bare name the
// gauges pass, following the loader's search order for a 32-bit program, and whether the
// library found there can serve them.
#include <windows.h>

#include "checks.h"
#include "folders.h"
#include "pe_file.h"
#include "toolbox.h"
#include "virtual_store.h"

namespace gaugecheck {

static const char LIBRARY_FILE[] = "GaugeSound.dll";
static const char *const ENTRY_POINTS[] = {"GaugePlaySound", "GaugeStopSound", "TerminateSounds"};

static std::string system_call_folder(UINT (WINAPI *call)(LPWSTR, UINT))
{
    wchar_t folder[MAX_PATH];
    UINT length = call(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? toolbox::narrow(std::wstring(folder, length)) : std::string();
}

// The folders in the order the loader searches them for the simulator (safe search order; the
// current folder, which the simulator starts in its own folder, adds nothing).
static std::vector<std::string> search_folders(const std::string &sim_folder)
{
    std::vector<std::string> folders = {sim_folder};
    // Test only: GAUGECHECK_SYSTEM_DIRS (folders separated by ';') stands in for the system,
    // 16-bit system and Windows folders, which a test cannot safely write into.
    wchar_t override_list[4096];
    DWORD length = GetEnvironmentVariableW(L"GAUGECHECK_SYSTEM_DIRS", override_list, 4096);
    if (length > 0 && length < 4096) {
        std::string list = toolbox::narrow(std::wstring(override_list, length));
        for (size_t start = 0; start <= list.size();) {
            size_t end = list.find(';', start);
            if (end == std::string::npos)
                end = list.size();
            if (end > start)
                folders.push_back(list.substr(start, end - start));
            start = end + 1;
        }
    } else {
        // A 32-bit process on 64-bit Windows sees SysWOW64 as its system folder.
        std::string system = system_call_folder(GetSystemWow64DirectoryW);
        if (system.empty())
            system = system_call_folder(GetSystemDirectoryW);
        std::string windows = system_call_folder(GetWindowsDirectoryW);
        folders.push_back(system);
        folders.push_back(join_path(windows, "System"));
        folders.push_back(windows);
    }
    length = GetEnvironmentVariableW(L"PATH", 0, 0);
    std::wstring path(length, L'\0');
    length = GetEnvironmentVariableW(L"PATH", &path[0], length);
    path.resize(length);
    std::string list = toolbox::narrow(path);
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        std::string folder = list.substr(start, end - start);
        if (folder.size() > 1 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty())
            folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

static std::string machine_hex(uint16_t machine)
{
    char hex[8];
    snprintf(hex, sizeof hex, "%04X", machine);
    return hex;
}

void check_sound_library(const std::string &sim_folder, Findings &findings)
{
    toolbox::VirtualStore store(sim_folder);
    std::string wanted = join_path(sim_folder, LIBRARY_FILE);
    std::string copy_fix = "copy the 32-bit GaugeSound.dll from its own package into " + sim_folder;
    std::string found;
    for (const std::string &folder : search_folders(sim_folder)) {
        // A PATH entry Windows cannot resolve is no folder the loader searches either.
        std::string resolved = full_path(folder);
        // The loader opens the file inside the simulator's process: a VirtualStore copy wins.
        std::string candidate = store.effective(join_path(resolved, LIBRARY_FILE));
        if (!resolved.empty() && is_file(candidate)) {
            found = candidate;
            break;
        }
    }
    if (found.empty()) {
        findings.problem("sound_library", wanted,
                         "no GaugeSound.dll where the simulator looks for it, so the gauges stay silent", copy_fix);
        return;
    }
    PeFacts facts;
    std::string reason;
    if (!read_pe_facts(found, facts, reason)) {
        findings.problem("sound_library", found, "the simulator would load this file, but it " + reason,
                         "replace it: " + copy_fix);
        return;
    }
    if (!facts.is_pe || !facts.is_dll) {
        findings.problem("sound_library", found, "the simulator would load this file, but it is no Windows library",
                         "replace it: " + copy_fix);
        return;
    }
    if (!facts.is_32bit) {
        findings.problem("sound_library", found,
                         "this GaugeSound.dll is not a 32-bit x86 library (machine 0x" +
                             machine_hex(facts.machine) +
                             "); the simulator is a 32-bit program and cannot load it",
                         "replace it with the 32-bit GaugeSound.dll: " + copy_fix);
        return;
    }
    std::string missing;
    for (const char *entry : ENTRY_POINTS)
        if (!has_export(facts, entry))
            missing += (missing.empty() ? "" : ", ") + std::string(entry);
    if (!missing.empty()) {
        findings.problem("sound_library", found,
                         "this GaugeSound.dll lacks " + missing + ", so the gauges cannot call it",
                         "replace it with a complete GaugeSound.dll: " + copy_fix);
        return;
    }
    // The bench's stand-in journals calls and plays nothing; it says so in its version record.
    std::string description = version_description(found);
    bool stand_in = has_export(facts, "GaugeSoundJournal") || description.find("stand-in") != std::string::npos;
    if (stand_in) {
        findings.problem("sound_library", found,
                         "this is gaugebench's test stand-in, which plays nothing, not the GaugeSound library",
                         "delete it and " + copy_fix);
        return;
    }
    std::string where = same_name(parent_folder(found), sim_folder)
                            ? "in the simulator's folder"
                            : "found on the search path, outside the simulator's folder";
    findings.ok("sound_library", found,
                "a 32-bit GaugeSound.dll with GaugePlaySound, GaugeStopSound and TerminateSounds, " + where);
}

}  // namespace gaugecheck
