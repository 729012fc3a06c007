// The stand-in GaugeSound library's journal: every call with its arguments, in order, and the
// set of sounds playing. It lives in a per-process shared mapping, so it outlives the library
// being unloaded and loaded again; the host opens the same mapping and reads it in place.
#pragma once

#include <stdint.h>

#define SOUND_JOURNAL_MAGIC 0x4A534756u      // "VGSJ"
#define SOUND_JOURNAL_CAPACITY 16384u        // events kept; older ones are overwritten
#define SOUND_PLAYING_CAPACITY 32u
#define SOUND_TEXT_PATH 128u
#define SOUND_TEXT_NAME 32u

// Mapping name: the prefix followed by the process id in decimal.
#define SOUND_JOURNAL_MAPPING_PREFIX "VQT7.GaugeSound.journal."

enum SOUND_EVENT_KIND : uint32_t {
    SOUND_EVENT_PLAY = 1,       // GaugePlaySound
    SOUND_EVENT_STOP = 2,       // GaugeStopSound
    SOUND_EVENT_TERMINATE = 3,  // TerminateSounds
    SOUND_EVENT_ATTACH = 4,     // the library was loaded into the process
    SOUND_EVENT_DETACH = 5,     // the library was unloaded from the process
};

// What a call did to the set of playing sounds.
enum SOUND_EFFECT : uint32_t {
    SOUND_EFFECT_NONE = 0,
    SOUND_EFFECT_PLAYED_ONCE = 1,     // one-shot: played through once
    SOUND_EFFECT_STARTED_LOOP = 2,
    SOUND_EFFECT_ALREADY_PLAYING = 3, // repeat play of a playing name: left alone
    SOUND_EFFECT_STOPPED = 4,
    SOUND_EFFECT_NOT_PLAYING = 5,     // stop of a silent name: nothing
    SOUND_EFFECT_TERMINATED = 6,      // count says how many loops were stopped
    SOUND_EFFECT_SET_FULL = 7,        // no room for another loop: not started
};

#pragma pack(push, 4)

struct SOUND_EVENT {
    uint32_t kind;
    uint32_t effect;
    int32_t loop;
    uint32_t count;              // terminate: loops stopped; detach: loops its unloading silenced; attach: 0
    uint32_t stack_mod16;        // the caller's stack pointer mod 16 at the call (return address pushed); 0 for
                                 // attach and detach
    uint8_t path_is_null;
    uint8_t name_is_null;
    uint8_t path_truncated;
    uint8_t name_truncated;
    char path[SOUND_TEXT_PATH];
    char name[SOUND_TEXT_NAME];
};

struct SOUND_PLAYING {
    char path[SOUND_TEXT_PATH];
    char name[SOUND_TEXT_NAME];
    uint32_t started_event;      // index of the play event that started it
};

struct SOUND_JOURNAL {
    uint32_t magic;
    uint32_t event_count;        // every event ever recorded; events[i % capacity] holds event i
    uint32_t attached;           // 1 while the library is in the process
    uint32_t playing_count;
    SOUND_PLAYING playing[SOUND_PLAYING_CAPACITY];
    SOUND_EVENT events[SOUND_JOURNAL_CAPACITY];
};

#pragma pack(pop)

#define SOUND_JOURNAL_BYTES ((uint32_t)sizeof(SOUND_JOURNAL))

#ifdef _WIN32
#include <stdio.h>
#include <string.h>
#include <windows.h>

// Opens this process's journal, creating and initialising it if no one has yet. Both the
// library and the host call this; whoever comes first creates the mapping. The caller keeps
// the returned mapping handle open for as long as it reads the journal.
inline SOUND_JOURNAL *sound_journal_open(HANDLE *mapping_out)
{
    char name[64];
    snprintf(name, sizeof name, SOUND_JOURNAL_MAPPING_PREFIX "%lu", (unsigned long)GetCurrentProcessId());
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, 0, PAGE_READWRITE, 0, SOUND_JOURNAL_BYTES, name);
    *mapping_out = mapping;
    if (!mapping)
        return 0;
    SOUND_JOURNAL *journal = (SOUND_JOURNAL *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0);
    if (journal && journal->magic != SOUND_JOURNAL_MAGIC) {
        memset(journal, 0, sizeof *journal);
        journal->magic = SOUND_JOURNAL_MAGIC;
    }
    return journal;
}
#endif
