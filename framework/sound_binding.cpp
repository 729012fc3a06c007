// Finding, binding and calling the GaugeSound library.
#include "sound_binding.h"

// Empty at load; stale (handle kept, library released) after a kill.
static SOUND_BINDING sound_binding;

void sound_load_if_unset(void)
{
    if (!sound_binding.library)
        sound_binding.library = LoadLibraryA(SOUND_LIBRARY_NAME);
}

void sound_find_or_load(void)
{
    // Another module's kill may have unloaded the library since our last call.
    sound_binding.library = GetModuleHandleA(SOUND_LIBRARY_NAME);
    if (!sound_binding.library)
        sound_binding.library = LoadLibraryA(SOUND_LIBRARY_NAME);
}

// GetProcAddress returns a generic entry address; the entry's real type is the library's.
template <typename ENTRY>
static ENTRY find_entry(HMODULE library, const char *name)
{
    return reinterpret_cast<ENTRY>(reinterpret_cast<void *>(GetProcAddress(library, name)));
}

void sound_bind(void)
{
    // Each look-up replaces the entry, null or not, so a missing entry point is never called
    // through a stale address.
    HMODULE library = sound_binding.library;
    sound_binding.play = find_entry<GAUGE_PLAY_SOUND>(library, SOUND_PLAY_ENTRY);
    sound_binding.stop = find_entry<GAUGE_STOP_SOUND>(library, SOUND_STOP_ENTRY);
    sound_binding.terminate = find_entry<TERMINATE_SOUNDS>(library, SOUND_TERMINATE_ENTRY);
}

void sound_play(const char *wav_path, const char *sound_name, int32_t loop)
{
    if (sound_binding.play)
        sound_binding.play(wav_path, sound_name, loop);
}

void sound_stop(const char *sound_name)
{
    if (sound_binding.stop)
        sound_binding.stop(sound_name);
}

void sound_terminate_and_release(void)
{
    if (sound_binding.terminate)
        sound_binding.terminate();
    if (sound_binding.library)
        FreeLibrary(sound_binding.library);
}
