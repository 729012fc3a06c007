// The stand-in panel host.
#include "panel_host.h"

#include "toolbox.h"

#include <stdio.h>
#include <string.h>

#include <map>
#include <utility>

namespace panel_host {

static std::map<uint32_t, uint64_t> var_values;
static std::vector<Fetch> fetch_log;
static UnprovidedServiceHandler unprovided_handler;

using namespace host_contract;

// The host reads and writes module records by byte position (host_contract.h), never through
// the modules' own record types, so that a slip in those types is not shared by the host.
void HOST_CONTRACT_HOST_CALL fetch_var(void *var)
{
    uint32_t token = read_at<uint32_t>(var, MODULE_VAR_TOKEN_AT);
    fetch_log.push_back({token, (MODULE_VAR *)var});
    auto found = var_values.find(token);
    write_at<uint64_t>(var, MODULE_VAR_VALUE_AT, found == var_values.end() ? 0 : found->second);
}

static void report_unprovided(uint32_t byte_offset)
{
    if (unprovided_handler) {
        unprovided_handler(byte_offset);
        return;
    }
    fprintf(stderr,
            "error: the gauge called the host service at byte %u of PANELS, which this host does "
            "not provide (only the variable fetch at byte 160 is)\n",
            byte_offset);
    fflush(stderr);
    ExitProcess(3);
}

// One stub per slot, so the report can name the slot. The arguments are unknown, so a stub
// never returns to the gauge unless a test's handler lets it (cdecl: the caller cleans up).
template <uint32_t SLOT>
static void __cdecl unprovided_service(void)
{
    report_unprovided(SLOT * 4);
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

void set_unprovided_service_handler(UnprovidedServiceHandler handler)
{
    unprovided_handler = handler;
}

void set_var(uint32_t token, double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    var_values[token] = bits;
}

void set_var_bits(uint32_t token, uint64_t bits)
{
    var_values[token] = bits;
}

void clear_vars()
{
    var_values.clear();
}

const std::vector<Fetch> &fetches()
{
    return fetch_log;
}

void clear_fetches()
{
    fetch_log.clear();
}

// Checks the file's headers before the loader sees it, for a message better than "failed".
static bool check_image(const std::string &path, std::string &error)
{
    HANDLE file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot open the file";
        return false;
    }
    unsigned char dos[64] = {0};
    unsigned char pe[24] = {0};
    DWORD dos_read = 0, pe_got = 0;
    uint32_t pe_offset = 0;
    bool dos_ok = ReadFile(file, dos, sizeof dos, &dos_read, 0) && dos_read == sizeof dos;
    if (dos_ok)
        memcpy(&pe_offset, dos + 60, 4);
    bool pe_read = dos_ok && pe_offset < (1u << 20) &&
                   SetFilePointer(file, (LONG)pe_offset, 0, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                   ReadFile(file, pe, sizeof pe, &pe_got, 0) && pe_got == sizeof pe;
    CloseHandle(file);
    if (dos_read < 2 || dos[0] != 'M' || dos[1] != 'Z' || !pe_read || memcmp(pe, "PE\0\0", 4) != 0) {
        error = path + ": not a Windows module (no MZ/PE header)";
        return false;
    }
    uint16_t machine, characteristics;
    memcpy(&machine, pe + 4, 2);
    memcpy(&characteristics, pe + 22, 2);
    if (machine != 0x014C) {
        char text[96];
        snprintf(text, sizeof text, ": not a 32-bit x86 module (machine 0x%04X)", machine);
        error = path + text;
        return false;
    }
    if (!(characteristics & 0x2000)) {
        error = path + ": not a DLL (a program, not a gauge module)";
        return false;
    }
    return true;
}

// The module's mapped image, as the loader laid it out: every record the host reads through a
// pointer must lie inside it and be readable, or the host would fault reading a broken module.
struct MappedImage {
    uintptr_t base, size;
    bool holds(const void *address, size_t bytes) const
    {
        uintptr_t at = (uintptr_t)address;
        if (at < base || at - base > size || bytes > size - (at - base))
            return false;
        // Every page of the range committed and readable (a section may be mapped without access).
        for (uintptr_t page = at & ~(uintptr_t)0xFFF; page < at + bytes; page += 0x1000) {
            MEMORY_BASIC_INFORMATION info;
            if (!VirtualQuery((void *)page, &info, sizeof info) || info.State != MEM_COMMIT ||
                (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0)
                return false;
        }
        return true;
    }
    // A NUL-ended text inside the image.
    bool holds_text(const char *text) const
    {
        for (size_t length = 0;; ++length) {
            if (!holds(text + length, 1))
                return false;
            if (!text[length])
                return true;
        }
    }
};

static MappedImage mapped_image(HMODULE handle)
{
    // The loader accepted the headers, so they can be read as they are.
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)handle;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)((const char *)handle + dos->e_lfanew);
    return {(uintptr_t)handle, nt->OptionalHeader.SizeOfImage};
}

static std::string address_text(const void *address)
{
    char text[32];
    snprintf(text, sizeof text, "0x%08lX", (unsigned long)(uintptr_t)address);
    return text;
}

// Walks an element tree as make_instance will, checking each record before reading it. The
// depth limit also stops a list that leads back to an element above it.
static bool check_elements(const MappedImage &image, ELEMENT_HEADER *element, int depth, std::string &error)
{
    if (!element)
        return true;
    if (depth > 64) {
        error = "its element tree is deeper than 64 (a list that leads back into itself?)";
        return false;
    }
    if (!image.holds(element, sizeof(ELEMENT_HEADER)) ||
        (element->element_type == ::ELEMENT_TYPE_STRING && !image.holds(element, sizeof(ELEMENT_STRING)))) {
        error = "an element points outside the module (at " + address_text(element) + ")";
        return false;
    }
    if (!element->next_element)
        return true;
    for (ELEMENT_HEADER **next = element->next_element;; ++next) {
        if (!image.holds(next, sizeof *next)) {
            error = "an element's list points outside the module (at " + address_text(next) + ")";
            return false;
        }
        if (!*next)
            return true;
        if (!check_elements(image, *next, depth + 1, error))
            return false;
    }
}

// Everything the host reads from the exports on: the gauge list, each gauge header, its name,
// element list and elements.
static bool check_records(HMODULE handle, GAUGE_LINKAGE *linkage, GAUGE_IMPORT_TABLE *import_table,
                          std::string &error)
{
    MappedImage image = mapped_image(handle);
    if (!image.holds(linkage, sizeof *linkage) || !image.holds(import_table, sizeof *import_table)) {
        error = "its Linkage or ImportTable record lies outside the module";
        return false;
    }
    for (GAUGEHDR **entry = linkage->gauge_header_list;; ++entry) {
        if (!image.holds(entry, sizeof *entry)) {
            error = "its gauge list runs past the end of the module";
            return false;
        }
        GAUGEHDR *gauge = *entry;
        if (!gauge)
            return true;
        if (!image.holds(gauge, sizeof *gauge)) {
            error = "its gauge list points outside the module (at " + address_text(gauge) + ")";
            return false;
        }
        if (gauge->gauge_name && !image.holds_text(gauge->gauge_name)) {
            error = "a gauge's name points outside the module (at " + address_text(gauge->gauge_name) + ")";
            return false;
        }
        if (!gauge->elements_list)
            continue;
        if (!image.holds(gauge->elements_list, sizeof *gauge->elements_list)) {
            error = "a gauge's element list points outside the module (at " + address_text(gauge->elements_list) + ")";
            return false;
        }
        if (!check_elements(image, gauge->elements_list[0], 0, error))
            return false;
    }
}

bool load_module(const std::string &path, Module &module, std::string &error, bool *unreadable)
{
    module = Module();
    if (unreadable)
        *unreadable = false;
    if (!check_image(path, error))
        return false;
    std::wstring full_path = toolbox::full_path_w(path);
    if (full_path.empty()) {
        error = path + ": cannot resolve the path";
        return false;
    }
    HMODULE handle = LoadLibraryExW(full_path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        char text[64];
        snprintf(text, sizeof text, ": the loader refused it (error %lu)", GetLastError());
        error = path + text;
        return false;
    }
    auto linkage = (GAUGE_LINKAGE *)GetProcAddress(handle, "Linkage");
    auto import_table = (GAUGE_IMPORT_TABLE *)GetProcAddress(handle, "ImportTable");
    if (!linkage || !import_table) {
        error = path + (linkage ? ": no ImportTable export" : ": no Linkage export (not a gauge module)");
        FreeLibrary(handle);
        return false;
    }
    std::string why;
    if (!check_records(handle, linkage, import_table, why)) {
        error = path + ": cannot be read safely: " + why;
        if (unreadable)
            *unreadable = true;
        FreeLibrary(handle);
        return false;
    }
    module.path = path;
    module.handle = handle;
    module.linkage = linkage;
    module.import_table = import_table;
    // The host writes its service table's address before it calls the module.
    import_table->panels = panels();
    for (GAUGEHDR **entry = linkage->gauge_header_list; *entry; ++entry)
        module.gauges.push_back(*entry);
    if (module.gauges.empty()) {
        error = path + ": Linkage lists no gauge";
        FreeLibrary(handle);
        module = Module();
        return false;
    }
    return true;
}

void unload_module(Module &module)
{
    if (module.handle)
        FreeLibrary(module.handle);
    module = Module();
}

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
    if (instance.gauge->elements_list)
        collect_elements(instance.gauge->elements_list[0], instance);
    return instance;
}

void call_gauge(Instance &instance, int32_t service_id, uint32_t extra_data)
{
    call_gauge_at(instance.gauge, service_id, extra_data, instance.stack_mod16);
}

void initialize(Instance &instance)
{
    call_gauge(instance, SERVICE_PRE_INITIALIZE);
}

double update_string(Instance &instance, StringElement &string)
{
    ELEMENT_STRING *element = string.element;
    for (uint32_t i = 0; i < STRING_SOURCE_VAR_COUNT; ++i)
        fetch_var((uint8_t *)element + STRING_SOURCE_VARS_AT + i * MODULE_VAR_BYTES);
    memset(string.buffer, TEXT_POISON, sizeof string.buffer);
    write_at<uint32_t>(element, STRING_TEXT_AT, (uint32_t)(uintptr_t)string.buffer);
    double result = call_string_at(element, instance.stack_mod16);
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
    return GetModuleHandleA("GaugeSound") != 0;
}

bool use_sound_library(const std::string &variant)
{
    std::wstring folder = toolbox::program_folder_w() + L"sound\\" + toolbox::widen(variant);
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    return SetDllDirectoryW(folder.c_str()) != 0;
}

}  // namespace panel_host
