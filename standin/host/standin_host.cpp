// The stand-in panel host: its service table, the panel variables, gauge instances driven in
// the host's order, and the sound journal. Loading modules is module_loader.cpp.
#include "standin_host.h"

#include "toolbox.h"

#include <string.h>

#include <map>
#include <utility>

namespace panel_host {

// The process's own state keeps the fetch log: the tests read it a few cycles at a time.
static HostState process_state(true);
static HostState *current_state = &process_state;

HostState &current_host_state()
{
    return *current_state;
}

HostScope::HostScope(HostState &state) : before_(current_state)
{
    current_state = &state;
}

HostScope::~HostScope()
{
    current_state = before_;
}

using namespace host_contract;

// The host reads and writes module records by byte position (host_contract.h), never through
// the modules' own record types, so that a slip in those types is not shared by the host.
void HOST_CONTRACT_HOST_CALL fetch_var(void *var)
{
    HostState &state = *current_state;
    uint32_t token = read_at<uint32_t>(var, MODULE_VAR_TOKEN_AT);
    if (state.log_fetches && state.fetch_log.size() < FETCH_LOG_LIMIT)
        state.fetch_log.push_back({token, (MODULE_VAR *)var});
    auto found = state.vars.find(token);
    write_at<uint64_t>(var, MODULE_VAR_VALUE_AT, found == state.vars.end() ? 0 : found->second);
}

// Noted before the exception is raised, so that a gauge which catches it and goes on is still
// seen to have called the service.
static void raise_unprovided(uint32_t byte_offset)
{
    ++current_state->unprovided_calls;
    current_state->last_unprovided_offset = byte_offset;
    ULONG_PTR detail = byte_offset;
    RaiseException(UNPROVIDED_SERVICE_EXCEPTION, 0, 1, &detail);
}

// One stub per slot, so the report can name the slot. The arguments are unknown, so a stub
// returns to the gauge only when the gauge's own handler goes on from the exception (cdecl:
// the caller cleans up).
template <uint32_t SLOT>
static void __cdecl unprovided_service(void)
{
    raise_unprovided(SLOT * 4);
}

template <uint32_t... SLOTS>
static void fill_panels(uint32_t *slots, std::integer_sequence<uint32_t, SLOTS...>)
{
    ((slots[SLOTS] = (uint32_t)(uintptr_t)&unprovided_service<SLOTS>), ...);
}

static uint32_t *panels_table()
{
    static uint32_t slots[PANELS_SLOTS];
    static bool filled;
    if (!filled) {
        fill_panels(slots, std::make_integer_sequence<uint32_t, PANELS_SLOTS>());
        slots[PANELS_FETCH_VAR_AT / 4] = (uint32_t)(uintptr_t)&fetch_var;
        filled = true;
    }
    return slots;
}

PANELS *panels()
{
    return (PANELS *)panels_table();
}

uint32_t unprovided_calls()
{
    return current_state->unprovided_calls;
}

uint32_t last_unprovided_service()
{
    return current_state->last_unprovided_offset;
}

void set_var(uint32_t token, double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    current_state->vars[token] = bits;
}

void set_var_bits(uint32_t token, uint64_t bits)
{
    current_state->vars[token] = bits;
}

void clear_vars()
{
    current_state->vars.clear();
}

const std::vector<Fetch> &fetches()
{
    return current_state->fetch_log;
}

void clear_fetches()
{
    current_state->fetch_log.clear();
}

// The loader has checked the tree, so it lies inside the module and is of bounded size.
static void collect_elements(ELEMENT_HEADER *element, Instance &instance)
{
    if (!element)
        return;
    instance.elements.push_back(element);
    if (read_at<uint32_t>(element, ELEMENT_TYPE_AT) == host_contract::ELEMENT_TYPE_STRING)
        instance.strings.push_back({(ELEMENT_STRING *)element, {0}, std::string()});
    if (ELEMENT_HEADER **next = pointer_at<ELEMENT_HEADER *>(element, ELEMENT_NEXT_LIST_AT))
        for (; *next; ++next)
            collect_elements(*next, instance);
}

Instance make_instance(Module &module, size_t gauge_index)
{
    Instance instance;
    instance.module = &module;
    instance.gauge = module.gauges.at(gauge_index);
    if (ELEMENT_HEADER **root = pointer_at<ELEMENT_HEADER *>(instance.gauge, GAUGEHDR_ELEMENTS_AT))
        collect_elements(*root, instance);
    return instance;
}

void call_gauge(Instance &instance, int32_t service_id, uint32_t extra_data, CallRecord *record)
{
    call_gauge_at(instance.gauge, service_id, extra_data, instance.stack_mod16, record);
}

void initialize(Instance &instance)
{
    call_gauge(instance, SERVICE_PRE_INITIALIZE);
}

double update_string(Instance &instance, StringElement &string, CallRecord *record)
{
    ELEMENT_STRING *element = string.element;
    for (uint32_t i = 0; i < STRING_SOURCE_VAR_COUNT; ++i)
        fetch_var((uint8_t *)element + STRING_SOURCE_VARS_AT + i * MODULE_VAR_BYTES);
    memset(string.buffer, TEXT_POISON, sizeof string.buffer);
    write_at<uint32_t>(element, STRING_TEXT_AT, (uint32_t)(uintptr_t)string.buffer);
    double result = call_string_at(element, instance.stack_mod16, record);
    string.text.assign(string.buffer, strnlen(string.buffer, sizeof string.buffer));
    return result;
}

void update(Instance &instance)
{
    call_gauge(instance, SERVICE_PRE_UPDATE);
    for (StringElement &string : instance.strings)
        update_string(instance, string);
}

void draw(Instance &instance)
{
    call_gauge(instance, SERVICE_PRE_DRAW);
}

void cycle(Instance &instance)
{
    update(instance);
    draw(instance);
}

void kill(Instance &instance)
{
    call_gauge(instance, SERVICE_PRE_KILL);
}

// The journal's mapping stays open for the life of the process.
SOUND_JOURNAL *sound_journal()
{
    static HANDLE mapping;
    static SOUND_JOURNAL *journal;
    if (!journal)
        journal = sound_journal_open(&mapping);
    return journal;
}

void clear_sound_journal()
{
    SOUND_JOURNAL *journal = sound_journal();
    journal->event_count = 0;
    journal->playing_count = 0;
}

std::vector<SOUND_EVENT> sound_events(uint32_t from)
{
    SOUND_JOURNAL *journal = sound_journal();
    std::vector<SOUND_EVENT> events;
    uint32_t count = journal->event_count;
    if (count > SOUND_JOURNAL_CAPACITY && from < count - SOUND_JOURNAL_CAPACITY)
        from = count - SOUND_JOURNAL_CAPACITY;
    for (uint32_t i = from; i < count; ++i)
        events.push_back(journal->events[i % SOUND_JOURNAL_CAPACITY]);
    return events;
}

bool sound_library_loaded()
{
    return GetModuleHandleA(SOUND_LIBRARY_NAME) != 0;
}

bool use_sound_library(const std::string &variant)
{
    std::wstring folder = toolbox::program_folder_w() + L"sound\\" + toolbox::widen(variant);
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    // A folder without the library would leave every gauge silent, not show the variant asked
    // for; only "absent" is meant to hold none.
    std::wstring library = folder + L"\\" + toolbox::widen(SOUND_LIBRARY_NAME) + L".dll";
    if (variant != "absent" && GetFileAttributesW(library.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    return SetDllDirectoryW(folder.c_str()) != 0;
}

}  // namespace panel_host
