// Stand-in for the simulator's panel host: loads a gauge module by path, gives it a service
// table, creates gauge instances and drives them in the host's order. Shared by the tests and
// the bench. One host per process: the service table is a process-wide record, as in the
// simulator.
#pragma once

#include <stdint.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host_panel.h"
#include "sound_journal.h"

namespace panel_host {

// Number of service slots in the stand-in PANELS table; all but the variable fetch fail the run.
constexpr uint32_t PANELS_SLOTS = 128;
constexpr uint32_t TEXT_BUFFER_BYTES = 64;  // each string element's host-owned text buffer
constexpr uint8_t TEXT_POISON = 0xCD;       // fills the text buffer before every update call

struct Module {
    std::string path;
    HMODULE handle = 0;
    GAUGE_LINKAGE *linkage = 0;
    GAUGE_IMPORT_TABLE *import_table = 0;
    std::vector<GAUGEHDR *> gauges;  // the Linkage list, up to its null entry
};

struct StringElement {
    ELEMENT_STRING *element;
    char buffer[TEXT_BUFFER_BYTES];  // as the module left it after the last update
    std::string text;                // the text read back after the last update
};

struct Instance {
    Module *module = 0;
    GAUGEHDR *gauge = 0;
    std::vector<ELEMENT_HEADER *> elements;       // the element tree in drawing order
    std::vector<StringElement> strings;           // the string elements among them
    bool misaligned_stack = false;                // call the gauge through a 4-byte aligned stack
};

// Loads a gauge module and writes the service table's address into its ImportTable.
// On failure returns false and a message that names the file and what is wrong with it;
// `unreadable` tells a module whose records point outside it from one that cannot be loaded.
bool load_module(const std::string &path, Module &module, std::string &error, bool *unreadable = nullptr);
// Unloads the module. Its instances must have been killed.
void unload_module(Module &module);

// Creates an instance of one of the module's gauges (index into Module::gauges).
Instance make_instance(Module &module, size_t gauge_index = 0);

// The gauge callback with any service code, as the host calls it.
void call_gauge(Instance &instance, int32_t service_id, uint32_t extra_data = 0);
// The host's order: PRE_INITIALIZE once; per cycle PRE_UPDATE, then every string element
// (refresh its source variables, call its update callback, read the text), then PRE_DRAW;
// PRE_KILL last.
void initialize(Instance &instance);
void update(Instance &instance);               // PRE_UPDATE and the element updates
void draw(Instance &instance);                 // PRE_DRAW
void cycle(Instance &instance);                // update then draw
void kill(Instance &instance);
// One string element's update: refresh its source variables, poison the buffer, call it.
double update_string(Instance &instance, StringElement &string);

// Panel variables: what the variable fetch returns, by token. Unset tokens read 0.
void set_var(uint32_t token, double value);
void set_var_bits(uint32_t token, uint64_t bits);
void clear_vars();

// Every variable fetch since the last clear, in order, with the record it filled.
struct Fetch {
    uint32_t token;
    MODULE_VAR *record;
};
const std::vector<Fetch> &fetches();
void clear_fetches();

// The host's service table, as the modules see it.
PANELS *panels();

// What happens when a gauge calls a service this host does not provide. The default prints
// a message naming the service's byte offset and ends the process with exit code 3.
typedef void (*UnprovidedServiceHandler)(uint32_t byte_offset);
void set_unprovided_service_handler(UnprovidedServiceHandler handler);

// The stand-in sound library's journal for this process (created if the library is not
// loaded yet, and kept open so that it survives the library's unloading).
SOUND_JOURNAL *sound_journal();
// Forget every event and every playing sound.
void clear_sound_journal();
// Events recorded since event index `from` (older ones than the capacity are lost).
std::vector<SOUND_EVENT> sound_events(uint32_t from = 0);
// Whether a library named GaugeSound is in the process now.
bool sound_library_loaded();

// Which stand-in sound library a later load finds: "full", "no_play", "no_stop",
// "no_terminate", or "absent" (none at all). Looked for in folders beside the executable.
bool use_sound_library(const std::string &variant);

// Calls made through a stack aligned to 4 bytes only, as a 32-bit MSVC-built host may.
void call_gauge_misaligned(GAUGE_CALLBACK callback, GAUGEHDR *gauge, int32_t service_id, uint32_t extra);
double call_string_misaligned(STRING_UPDATE_CALLBACK callback, ELEMENT_STRING *element);

}  // namespace panel_host
