// Shared test helpers; see test_support.h.
#include "test_support.h"

#include <stdio.h>

namespace test_support {

const ModuleCase MODULE_CASES[2] = {
    {BOOMCUE_FILE, {3, 4, 5, 8, 0, 875}},
    {DRAGDRONE_FILE, {325, 61, 326}},
};

std::vector<uint32_t> fetched_tokens()
{
    std::vector<uint32_t> tokens;
    for (const panel_host::Fetch &fetch : panel_host::fetches())
        tokens.push_back(fetch.token);
    return tokens;
}

std::string exe_folder()
{
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(0, exe, sizeof exe);
    std::string path(exe, length);
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string module_path(const char *file)
{
    return exe_folder() + "..\\gauges\\" + file;
}

std::vector<uint8_t> read_file(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    uint8_t chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return bytes;
}

std::vector<std::string> sound_calls(uint32_t from, bool with_attach_detach)
{
    std::vector<std::string> calls;
    for (const SOUND_EVENT &event : panel_host::sound_events(from)) {
        std::string name = event.name_is_null ? "(null)" : event.name;
        std::string path = event.path_is_null ? "(null)" : event.path;
        switch (event.kind) {
        case SOUND_EVENT_PLAY:
            calls.push_back("play(" + path + "," + name + "," + std::to_string(event.loop) + ")");
            break;
        case SOUND_EVENT_STOP:
            calls.push_back("stop(" + name + ")");
            break;
        case SOUND_EVENT_TERMINATE:
            calls.push_back("terminate()");
            break;
        case SOUND_EVENT_ATTACH:
            if (with_attach_detach)
                calls.push_back("attach");
            break;
        case SOUND_EVENT_DETACH:
            if (with_attach_detach)
                calls.push_back("detach");
            break;
        }
    }
    return calls;
}

std::vector<std::string> playing_sounds()
{
    std::vector<std::string> names;
    SOUND_JOURNAL *journal = panel_host::sound_journal();
    for (uint32_t i = 0; i < journal->playing_count; ++i)
        names.push_back(journal->playing[i].name);
    return names;
}

uint32_t sound_mark()
{
    return panel_host::sound_journal()->event_count;
}

void reset_host()
{
    panel_host::clear_vars();
    panel_host::clear_fetches();
    panel_host::clear_sound_journal();
    panel_host::use_sound_library("full");
}

LoadedModule::LoadedModule(const char *file)
{
    std::string error;
    if (!panel_host::load_module(module_path(file), module, error))
        ADD_FAILURE() << error;
}

LoadedModule::~LoadedModule()
{
    panel_host::unload_module(module);
}

}  // namespace test_support
