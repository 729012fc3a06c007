// Stand-in for the simulator's panel host: loads a gauge module by path, gives it a service
// table, creates gauge instances and drives them in the host's order. Shared by the tests and
// the bench. One host per process: the service table is a process-wide record, as in the
// simulator. It knows the modules only through host_contract.h, never their own headers.
#pragma once

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "host_contract.h"
#include "sound_journal.h"
#include "toolbox.h"

// The modules' records, by name only: the host reads and writes every record by byte position
// (host_contract.h), never through the modules' own record types.
struct GAUGE_LINKAGE;
struct GAUGE_IMPORT_TABLE;
struct GAUGEHDR;
struct ELEMENT_HEADER;
struct ELEMENT_STRING;
struct MODULE_VAR;
struct PANELS;

namespace panel_host {

// Number of service slots in the stand-in PANELS table; all but the variable fetch fail the run.
constexpr uint32_t PANELS_SLOTS = 128;
constexpr uint32_t TEXT_BUFFER_BYTES = 64;  // each string element's host-owned text buffer
constexpr uint8_t TEXT_POISON = 0xCD;       // fills the text buffer before every update call
// Where the stack pointer stands, mod 16, at the host's call instruction into gauge code. A
// 32-bit host built with another compiler keeps the stack aligned to 4 bytes only, so gauge
// code is called off a 16-byte boundary unless a test asks for another alignment.
constexpr uint32_t HOST_STACK_MOD16 = 4;

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
    uint32_t stack_mod16 = HOST_STACK_MOD16;      // stack alignment for every call into the gauge
};

// Loads a gauge module and writes the service table's address into its ImportTable.
// On failure returns false and a message that names the file and what is wrong with it;
// `unreadable` tells a module whose records point outside it, or reach too many elements, from
// one that cannot be loaded; `entry_crashed` one whose entry point faulted while the system
// loader ran it, which made the loader refuse it.
bool load_module(const std::string &path, Module &module, std::string &error, bool *unreadable = nullptr,
                 bool *entry_crashed = nullptr);
// Unloads the module. Its instances must have been killed.
void unload_module(Module &module);
// Where the build leaves a gauge module of that file name, for the programs built beside it
// (the tests, the benchmark): build\gauges next to their build\bin.
inline std::string module_path(const char *file)
{
    return toolbox::program_folder() + "..\\gauges\\" + file;
}

// Creates an instance of one of the module's gauges (index into Module::gauges).
Instance make_instance(Module &module, size_t gauge_index = 0);

struct CallRecord;
// The gauge callback with any service code, as the host calls it. With `record`, the caller
// hears how the call went (call_routine below); without, a call that does not return ends the
// process.
void call_gauge(Instance &instance, int32_t service_id, uint32_t extra_data = 0, CallRecord *record = 0);
// The host's order: PRE_INITIALIZE once; per cycle PRE_UPDATE, then every string element
// (refresh its source variables, call its update callback, read the text), then PRE_DRAW;
// PRE_KILL last.
void initialize(Instance &instance);
void update(Instance &instance);               // PRE_UPDATE and the element updates
void draw(Instance &instance);                 // PRE_DRAW
void cycle(Instance &instance);                // update then draw
void kill(Instance &instance);
// One string element's update: refresh its source variables, poison the buffer, call it, read
// the text back. `record` as for call_gauge.
double update_string(Instance &instance, StringElement &string, CallRecord *record = 0);

// Panel variables: what the variable fetch returns, by token, in the current host state. Unset
// tokens read 0.
void set_var(uint32_t token, double value);
void set_var_bits(uint32_t token, uint64_t bits);
void clear_vars();

// The host's variable fetch, as a module calls it through the service table.
void HOST_CONTRACT_HOST_CALL fetch_var(void *module_var);

// A variable fetch and the record it filled.
struct Fetch {
    uint32_t token;
    MODULE_VAR *record;
};
// Every variable fetch since the last clear, in order, where the current state keeps a log.
const std::vector<Fetch> &fetches();
void clear_fetches();

// The host's service table, as the modules see it.
PANELS *panels();

// A gauge that calls a service this host does not provide cannot be returned to (the service's
// arguments are unknown): the service raises this exception, with the slot's byte offset as its
// one parameter, and the thunk ends the gauge's call there (call_routine). The customer bit set:
// no system exception has it.
constexpr uint32_t UNPROVIDED_SERVICE_EXCEPTION = 0xE0485356;
// Unprovided services called in the current host state, through any path (a module's entry
// point too, where the loader swallows the exception), and the byte offset of the last one.
uint32_t unprovided_calls();
uint32_t last_unprovided_service();

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

// Every call into gauge code goes through one thunk. It sets the stack pointer `stack_mod16`
// bytes off a 16-byte boundary at the call instruction, hands the callee marked values in
// EBX, ESI, EDI and EBP, and records them and the stack pointer as the callee returned, so
// that a routine that breaks the host's registers or removes the wrong number of argument
// bytes is seen (the thunk restores its own registers either way). An exception that leaves
// the callee (a crash, an unprovided service) ends the call in the thunk's own handler, which the
// thread's handler chain holds for the call's length: the thunk returns as if the callee had,
// with the exception in the record, and the host's registers and x87 state its own.
enum CALLEE_SAVED { SAVED_EBX, SAVED_ESI, SAVED_EDI, SAVED_EBP, SAVED_ESP, SAVED_COUNT };
inline constexpr const char *SAVED_NAMES[SAVED_COUNT] = {"EBX", "ESI", "EDI", "EBP", "ESP"};
struct CallRecord {
    uint32_t handed[SAVED_COUNT];    // the marks; for ESP where the callee must leave it
    uint32_t returned[SAVED_COUNT];  // as the callee returned
    // The exception that ended the call (0: the callee returned), where it was raised, and its
    // first parameter (an unprovided service's byte offset).
    uint32_t fault_code;
    uint32_t fault_address;
    uint32_t fault_detail;
    bool faulted() const { return fault_code != 0; }
    bool kept() const { return memcmp(handed, returned, sizeof handed) == 0; }
};
// `count` 32-bit arguments; with `fpu_result` the callee's x87 result is popped and returned
// (0 after a fault). Without `record`, a call that faulted ends the process with one line on
// stderr: exit code 3 for an unprovided service, 4 for any other exception.
double call_routine(const void *routine, const uint32_t *args, uint32_t count, uint32_t stack_mod16,
                    bool fpu_result, CallRecord *record = 0);
// Calls into gauge code, through any host path, that returned with a callee-saved register or
// the stack pointer broken, in the current host state; the last such call's record.
uint32_t broken_calls();
CallRecord last_broken_call();

// What the host holds for its gauges: the panel variables, the fetch log, the counts of
// unprovided services and broken calls. A module calls the host's services with no context of
// its own, so one state is current in the process at a time: the one a HostScope put in place,
// else the process's own, which keeps a fetch log for the tests that read it. A run owns its
// state, so it starts from nothing and keeps nothing it does not read.
constexpr size_t FETCH_LOG_LIMIT = 1u << 16;  // fetches kept since the last clear
struct HostState {
    explicit HostState(bool log_fetches) : log_fetches(log_fetches) {}
    std::map<uint32_t, uint64_t> vars;  // the value's bits, by token
    bool log_fetches;
    std::vector<Fetch> fetch_log;  // only with log_fetches; the first FETCH_LOG_LIMIT
    uint32_t unprovided_calls = 0;
    uint32_t last_unprovided_offset = 0;
    uint32_t broken_calls = 0;
    CallRecord last_broken = {};
};
HostState &current_host_state();

// Makes `state` current for the scope's life, then puts back the one it replaced.
class HostScope {
public:
    explicit HostScope(HostState &state);
    ~HostScope();
    HostScope(const HostScope &) = delete;
    HostScope &operator=(const HostScope &) = delete;

private:
    HostState *before_;
};

// The gauge callback and a string element's update routine through the thunk.
void call_gauge_at(GAUGEHDR *gauge, int32_t service_id, uint32_t extra, uint32_t stack_mod16, CallRecord *record = 0);
double call_string_at(ELEMENT_STRING *element, uint32_t stack_mod16, CallRecord *record = 0);

}  // namespace panel_host
