// Stand-in for the third-party GaugeSound library: keeps the set of playing sounds as the
// real one would (one-shots play once, loops run under their name until stopped, terminate
// stops all) and journals every call. Built in variants that lack one entry point each.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <type_traits>

#include "host_contract.h"
#include "sound_journal.h"

#define SOUND_EXPORT extern "C" __declspec(dllexport)

static HANDLE journal_mapping;
static SOUND_JOURNAL *journal;

static void journal_close(void)
{
    if (journal)
        UnmapViewOfFile(journal);
    if (journal_mapping)
        CloseHandle(journal_mapping);
    journal = 0;
    journal_mapping = 0;
}

static void copy_text(char *to, size_t size, const char *from, uint8_t *is_null, uint8_t *truncated)
{
    *is_null = from == 0;
    if (!from) {
        to[0] = 0;
        return;
    }
    size_t length = strlen(from);
    *truncated = length >= size;
    if (length >= size)
        length = size - 1;
    memcpy(to, from, length);
    to[length] = 0;
}

static SOUND_EVENT *journal_add(uint32_t kind, uint32_t stack_mod16)
{
    if (!journal)
        return 0;
    SOUND_EVENT *event = &journal->events[journal->event_count % SOUND_JOURNAL_CAPACITY];
    memset(event, 0, sizeof *event);
    event->kind = kind;
    event->stack_mod16 = stack_mod16;
    journal->event_count++;
    return event;
}

static int find_playing(const char *name)
{
    for (uint32_t i = 0; i < journal->playing_count; ++i)
        if (strcmp(journal->playing[i].name, name) == 0)
            return (int)i;
    return -1;
}

// The caller's stack pointer, mod 16, as it was just before the call pushed the return address
// plus that push: 12 for a caller that keeps the usual 16-byte alignment.
#define CALLER_STACK_MOD16() \
    ((uint32_t)((uintptr_t)__builtin_frame_address(0) + 4) & 15u)

#ifndef SOUND_WITHOUT_PLAY
SOUND_EXPORT int __cdecl GaugePlaySound(const char *wav_path, const char *sound_name, int loop)
{
    SOUND_EVENT *event = journal_add(SOUND_EVENT_PLAY, CALLER_STACK_MOD16());
    if (!event)
        return 0;
    event->loop = loop;
    copy_text(event->path, sizeof event->path, wav_path, &event->path_is_null, &event->path_truncated);
    copy_text(event->name, sizeof event->name, sound_name, &event->name_is_null, &event->name_truncated);
    if (!loop) {
        event->effect = SOUND_EFFECT_PLAYED_ONCE;
    } else if (find_playing(event->name) >= 0) {
        event->effect = SOUND_EFFECT_ALREADY_PLAYING;
    } else if (journal->playing_count == SOUND_PLAYING_CAPACITY) {
        event->effect = SOUND_EFFECT_SET_FULL;
    } else {
        SOUND_PLAYING *playing = &journal->playing[journal->playing_count++];
        memcpy(playing->path, event->path, sizeof playing->path);
        memcpy(playing->name, event->name, sizeof playing->name);
        playing->started_event = journal->event_count - 1;
        event->effect = SOUND_EFFECT_STARTED_LOOP;
    }
    return 1;
}
#endif

#ifndef SOUND_WITHOUT_STOP
SOUND_EXPORT int __cdecl GaugeStopSound(const char *sound_name)
{
    SOUND_EVENT *event = journal_add(SOUND_EVENT_STOP, CALLER_STACK_MOD16());
    if (!event)
        return 0;
    copy_text(event->name, sizeof event->name, sound_name, &event->name_is_null, &event->name_truncated);
    int index = find_playing(event->name);
    if (index < 0) {
        event->effect = SOUND_EFFECT_NOT_PLAYING;
        return 1;
    }
    journal->playing[index] = journal->playing[--journal->playing_count];
    event->effect = SOUND_EFFECT_STOPPED;
    return 1;
}
#endif

#ifndef SOUND_WITHOUT_TERMINATE
SOUND_EXPORT int __cdecl TerminateSounds(void)
{
    SOUND_EVENT *event = journal_add(SOUND_EVENT_TERMINATE, CALLER_STACK_MOD16());
    if (!event)
        return 0;
    event->effect = SOUND_EFFECT_TERMINATED;
    event->count = journal->playing_count;
    journal->playing_count = 0;
    return 1;
}
#endif

// The entries as the host's side of the contract describes them, the callers-clean convention
// included (a callee-cleans entry is a different type).
#ifndef SOUND_WITHOUT_PLAY
static_assert(std::is_same_v<decltype(&GaugePlaySound), host_contract::sound_play>, "play entry");
#endif
#ifndef SOUND_WITHOUT_STOP
static_assert(std::is_same_v<decltype(&GaugeStopSound), host_contract::sound_stop>, "stop entry");
#endif
#ifndef SOUND_WITHOUT_TERMINATE
static_assert(std::is_same_v<decltype(&TerminateSounds), host_contract::sound_terminate>, "terminate entry");
#endif

// The journal this library writes to. The stand-in host opens the same mapping by name
// (sound_journal_open) and never calls this: the export is what tells the stand-in from the
// real library (gaugecheck looks for it).
SOUND_EXPORT SOUND_JOURNAL *__cdecl GaugeSoundJournal(void)
{
    return journal;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        journal = sound_journal_open(&journal_mapping);
        if (journal)
            journal->attached = 1;
        journal_add(SOUND_EVENT_ATTACH, 0);
    } else if (reason == DLL_PROCESS_DETACH) {
        // The library going away silences whatever it was still playing.
        journal_add(SOUND_EVENT_DETACH, 0);
        if (journal) {
            journal->events[(journal->event_count - 1) % SOUND_JOURNAL_CAPACITY].count = journal->playing_count;
            journal->playing_count = 0;
            journal->attached = 0;
        }
        journal_close();
    }
    return TRUE;
}
