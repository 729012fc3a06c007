// A million panel cycles through both modules in one process, with changing values and a kill
// of both gauges every 50,000 cycles: the sounds keep coming exactly as often as they should,
// library loads and unloads balance, and the process's handles and memory do not grow.
#include "test_support.h"

#include <psapi.h>

using namespace panel_host;
using namespace test_support;

namespace {

const uint32_t CYCLES = 1000000;
const uint32_t KILL_EVERY = 50000;
const uint32_t TALLY_EVERY = 2000;  // well inside the journal's ring; a multiple of both periods

// The readout's 16-cycle period: 124.00 for four cycles, 125.05 (re-arms) for four, 118.00 for
// eight. The loop's 10-cycle period: five cycles with trigger and gate above their thresholds,
// five with the trigger below.
void set_values(uint32_t cycle_index)
{
    const uint32_t phase16 = cycle_index % 16;
    set_var_bits(FREQUENCY_TOKEN, phase16 < 4 ? 0x2400 : phase16 < 8 ? 0x2505 : 0x1800);
    const uint32_t phase10 = cycle_index % 10;
    if (phase10 < 5) {
        set_var(DRAG_TOKEN_TRIGGER, 8000.5 + cycle_index % 997);
        set_var(DRAG_TOKEN_GATE, 100.5 + cycle_index % 50);
    } else {
        set_var(DRAG_TOKEN_TRIGGER, 7999.5 - cycle_index % 13);
        set_var(DRAG_TOKEN_GATE, (double)(cycle_index % 200));
    }
    set_var(DRAG_TOKEN_UNUSED, (double)cycle_index);
}

// Calls by kind (SOUND_EVENT_PLAY to SOUND_EVENT_DETACH), and what the plays and stops did.
struct Tally {
    uint64_t kinds[6] = {}, cue_plays = 0, loops_started = 0, loops_stopped = 0;
    void add(const std::vector<SOUND_EVENT> &events)
    {
        for (const SOUND_EVENT &event : events) {
            ++kinds[event.kind % 6];
            cue_plays += event.kind == SOUND_EVENT_PLAY && !event.loop;
            loops_started += event.kind == SOUND_EVENT_PLAY && event.effect == SOUND_EFFECT_STARTED_LOOP;
            loops_stopped += event.kind == SOUND_EVENT_STOP && event.effect == SOUND_EFFECT_STOPPED;
        }
    }
};

struct Usage {
    DWORD handles = 0;
    SIZE_T private_bytes = 0;
    SIZE_T working_set = 0;
};

// Wine answers GetProcessHandleCount with 0 and leaves PrivateUsage empty, so where they are
// empty the handles are counted by probing every handle value, and the private bytes by
// walking the address space for committed private memory.
DWORD probe_handle_count()
{
    DWORD count = 0;
    DWORD flags;
    for (uintptr_t value = 4; value < 0x10000; value += 4)
        count += GetHandleInformation((HANDLE)value, &flags) != 0;
    return count;
}

SIZE_T committed_private_bytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char *address = 0; VirtualQuery(address, &region, sizeof region) == sizeof region;
         address = (const char *)region.BaseAddress + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if ((uintptr_t)region.BaseAddress + region.RegionSize < (uintptr_t)region.BaseAddress + 1)
            break;
    }
    return total;
}

Usage process_usage()
{
    Usage usage;
    if (!GetProcessHandleCount(GetCurrentProcess(), &usage.handles) || usage.handles == 0)
        usage.handles = probe_handle_count();
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters);
    usage.private_bytes = counters.PrivateUsage ? counters.PrivateUsage : committed_private_bytes();
    usage.working_set = counters.WorkingSetSize;
    return usage;
}

TEST(SoakTest, MillionCyclesThroughBothModules)
{
    reset_host();
    LoadedModule boomcue_module(BOOMCUE_FILE);
    LoadedModule dragdrone_module(DRAGDRONE_FILE);
    Instance boomcue = boomcue_module.instance();
    Instance dragdrone = dragdrone_module.instance();
    initialize(boomcue);
    initialize(dragdrone);

    Tally tally;
    Usage first_tenth, last_tenth_start;
    const DWORD started = GetTickCount();
    for (uint32_t i = 0; i < CYCLES; ++i) {
        if (i % TALLY_EVERY == 0) {
            tally.add(sound_events(0));
            clear_sound_journal();
            clear_fetches();
        }
        if (i == CYCLES / 10)
            first_tenth = process_usage();
        if (i == CYCLES - CYCLES / 10)
            last_tenth_start = process_usage();
        if (i % KILL_EVERY == 0 && i > 0) {
            // A panel window closed and opened again: the modules stay loaded.
            kill(boomcue);
            kill(dragdrone);
            ASSERT_FALSE(sound_library_loaded()) << "cycle " << i;
            initialize(boomcue);
            initialize(dragdrone);
        }
        set_values(i);
        cycle(boomcue);
        cycle(dragdrone);
    }
    const Usage end = process_usage();
    const DWORD elapsed = GetTickCount() - started;
    kill(boomcue);
    kill(dragdrone);
    tally.add(sound_events(0));

    EXPECT_FALSE(sound_library_loaded()) << "every reference given back";
    EXPECT_EQ(tally.kinds[SOUND_EVENT_ATTACH], tally.kinds[SOUND_EVENT_DETACH]);
    EXPECT_EQ(end.handles, first_tenth.handles);
    // Heap bookkeeping may move by a page or two; a leak per cycle would show megabytes.
    EXPECT_LE(end.private_bytes, first_tenth.private_bytes + 64 * 1024);
    EXPECT_LE(end.working_set, first_tenth.working_set + 256 * 1024);

    // The cue: once per 16-cycle period, plus the replay after the first draw re-armed it.
    EXPECT_EQ(tally.cue_plays, CYCLES / 16 + 1);
    // The loop: a play on each of five cycles, a stop on each of the other five; it starts and
    // stops once a period. Each of the 20 kill rounds terminates twice.
    EXPECT_EQ(tally.kinds[SOUND_EVENT_PLAY] - tally.cue_plays, CYCLES / 2);
    EXPECT_EQ(tally.loops_started, CYCLES / 10);
    EXPECT_EQ(tally.kinds[SOUND_EVENT_STOP], CYCLES / 2);
    EXPECT_EQ(tally.loops_stopped, CYCLES / 10);
    EXPECT_EQ(tally.kinds[SOUND_EVENT_TERMINATE], 2u * (CYCLES / KILL_EVERY));

    printf("[ figures  ] soak: %u cycles of each module in %.1f s, %llu library loads and unloads\n", CYCLES,
           elapsed / 1000.0, (unsigned long long)tally.kinds[SOUND_EVENT_ATTACH]);
    printf("[ figures  ] handles: %lu after the first tenth, %lu at the last tenth, %lu at the end\n",
           first_tenth.handles, last_tenth_start.handles, end.handles);
    printf("[ figures  ] private bytes: %lu KiB, %lu KiB, %lu KiB; working set: %lu KiB, %lu KiB, %lu KiB\n",
           (unsigned long)(first_tenth.private_bytes / 1024), (unsigned long)(last_tenth_start.private_bytes / 1024),
           (unsigned long)(end.private_bytes / 1024), (unsigned long)(first_tenth.working_set / 1024),
           (unsigned long)(last_tenth_start.working_set / 1024), (unsigned long)(end.working_set / 1024));
}

}  // namespace
