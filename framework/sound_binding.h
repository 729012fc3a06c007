// The binding to the GaugeSound library: the module-wide handle and three entry points, found
// by name at run time and kept private to sound_binding.cpp. The modules never link against
// the library.
#pragma once

#include <stdint.h>
#include <windows.h>

// The sound library's convention: the caller removes the arguments.
#define SOUND_CALL __cdecl

// The library's name without extension, so that the loader completes it and searches for it
// as it does for any library, and its three entry points' names.
static const char SOUND_LIBRARY_NAME[] = "GaugeSound";
static const char SOUND_PLAY_ENTRY[] = "GaugePlaySound";
static const char SOUND_STOP_ENTRY[] = "GaugeStopSound";
static const char SOUND_TERMINATE_ENTRY[] = "TerminateSounds";

typedef int(SOUND_CALL *GAUGE_PLAY_SOUND)(const char *wav_path, const char *sound_name, int32_t loop);
typedef int(SOUND_CALL *GAUGE_STOP_SOUND)(const char *sound_name);
typedef int(SOUND_CALL *TERMINATE_SOUNDS)(void);

struct SOUND_BINDING {
    HMODULE library;
    GAUGE_PLAY_SOUND play;
    GAUGE_STOP_SOUND stop;
    TERMINATE_SOUNDS terminate;
};

// Take a library reference only when no handle is stored yet.
void sound_load_if_unset(void);
// Use the library already in the process, loading it only when it is not.
void sound_find_or_load(void);
// Look the three entry points up again with the stored handle.
void sound_bind(void);

// Calls through the binding. A missing library or entry point leaves its entry null; such a
// call is skipped rather than made through a null pointer.
void sound_play(const char *wav_path, const char *sound_name, int32_t loop);
void sound_stop(const char *sound_name);
// Stop every sound, then give the library reference back.
void sound_terminate_and_release(void);
