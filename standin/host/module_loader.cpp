// Loading a gauge module the way the host does, but safely: the file's headers are checked
// before the loader sees it, and every record the host will read through a pointer is checked
// to lie inside the mapped image before anything reads it.
#include "standin_host.h"

#include <stdio.h>
#include <stddef.h>

#include "toolbox.h"

namespace panel_host {

using namespace host_contract;

// Checks the file's headers before the loader sees it, for a message better than "failed".
static bool check_image(const std::string &path, std::string &error)
{
    HANDLE file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": cannot open the file";
        return false;
    }
    // The DOS header, then the signature and file header at its e_lfanew: the first 24 bytes of
    // IMAGE_NT_HEADERS, the same for 32 and 64-bit images.
    IMAGE_DOS_HEADER dos = {};
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER file;
    } pe = {};
    static_assert(sizeof pe == offsetof(IMAGE_NT_HEADERS32, OptionalHeader), "signature and file header");
    DWORD dos_read = 0, pe_got = 0;
    bool dos_ok = ReadFile(file, &dos, sizeof dos, &dos_read, 0) && dos_read == sizeof dos;
    bool pe_read = dos_ok && dos.e_lfanew >= 0 && dos.e_lfanew < (1 << 20) &&
                   SetFilePointer(file, dos.e_lfanew, 0, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
                   ReadFile(file, &pe, sizeof pe, &pe_got, 0) && pe_got == sizeof pe;
    CloseHandle(file);
    if (dos_read < 2 || dos.e_magic != IMAGE_DOS_SIGNATURE || !pe_read || pe.signature != IMAGE_NT_SIGNATURE) {
        error = path + ": not a Windows module (no MZ/PE header)";
        return false;
    }
    if (pe.file.Machine != IMAGE_FILE_MACHINE_I386) {
        char text[96];
        snprintf(text, sizeof text, ": not a 32-bit x86 module (machine 0x%04X)", pe.file.Machine);
        error = path + text;
        return false;
    }
    if (!(pe.file.Characteristics & IMAGE_FILE_DLL)) {
        error = path + ": not a DLL (a program, not a gauge module)";
        return false;
    }
    return true;
}

// The unit of VirtualQuery's answers on x86.
constexpr uintptr_t PAGE_BYTES = 0x1000;

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
        for (uintptr_t page = at & ~(PAGE_BYTES - 1); page < at + bytes; page += PAGE_BYTES) {
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

// The most elements the host visits for one gauge. A tree is visited once per way to reach
// each element, so lists that name one element twice, nested, would double the visits at every
// level; real gauges have a handful of elements.
constexpr uint32_t ELEMENT_VISIT_LIMIT = 1024;
constexpr int ELEMENT_DEPTH_LIMIT = 64;

// Walks an element tree as make_instance will, checking each record before reading it. The
// depth limit also stops a list that leads back to an element above it; `visits` counts down
// the gauge's shared budget.
static bool check_elements(const MappedImage &image, const void *element, int depth, uint32_t &visits,
                           std::string &error)
{
    if (!element)
        return true;
    if (depth > ELEMENT_DEPTH_LIMIT) {
        error = "its element tree is deeper than " + std::to_string(ELEMENT_DEPTH_LIMIT) +
                " (a list that leads back into itself?)";
        return false;
    }
    if (visits == 0) {
        error = "its element tree reaches more than " + std::to_string(ELEMENT_VISIT_LIMIT) +
                " elements (lists that name one element many times?)";
        return false;
    }
    --visits;
    if (!image.holds(element, ELEMENT_COMMON_BYTES) ||
        (read_at<uint32_t>(element, ELEMENT_TYPE_AT) == host_contract::ELEMENT_TYPE_STRING && !image.holds(element, STRING_BYTES))) {
        error = "an element points outside the module (at " + address_text(element) + ")";
        return false;
    }
    const uint32_t *next = pointer_at<const uint32_t>(element, ELEMENT_NEXT_LIST_AT);
    if (!next)
        return true;
    for (;; ++next) {
        if (!image.holds(next, 4)) {
            error = "an element's list points outside the module (at " + address_text(next) + ")";
            return false;
        }
        if (!*next)
            return true;
        if (!check_elements(image, pointer_at<void>(next, 0), depth + 1, visits, error))
            return false;
    }
}

// Everything the host reads from the exports on: the gauge list, each gauge header, its name,
// element list and elements.
static bool check_records(HMODULE handle, const void *linkage, const void *import_table, std::string &error)
{
    MappedImage image = mapped_image(handle);
    if (!image.holds(linkage, LINKAGE_BYTES) || !image.holds(import_table, IMPORT_TABLE_BYTES)) {
        error = "its Linkage or ImportTable record lies outside the module";
        return false;
    }
    for (const uint8_t *entry = (const uint8_t *)linkage + LINKAGE_GAUGE_LIST_AT;; entry += 4) {
        if (!image.holds(entry, 4)) {
            error = "its gauge list runs past the end of the module";
            return false;
        }
        const void *gauge = pointer_at<void>(entry, 0);
        if (!gauge)
            return true;
        if (!image.holds(gauge, GAUGEHDR_BYTES)) {
            error = "its gauge list points outside the module (at " + address_text(gauge) + ")";
            return false;
        }
        const char *name = pointer_at<const char>(gauge, GAUGEHDR_NAME_AT);
        if (name && !image.holds_text(name)) {
            error = "a gauge's name points outside the module (at " + address_text(name) + ")";
            return false;
        }
        const void *elements = pointer_at<void>(gauge, GAUGEHDR_ELEMENTS_AT);
        if (!elements)
            continue;
        if (!image.holds(elements, 4)) {
            error = "a gauge's element list points outside the module (at " + address_text(elements) + ")";
            return false;
        }
        uint32_t visits = ELEMENT_VISIT_LIMIT;
        if (!check_elements(image, pointer_at<void>(elements, 0), 0, visits, error))
            return false;
    }
}

// The loader catches a fault in a module's entry point and only says the load failed; a handler
// that sees every exception first notes the fault, so the message can say what happened. It is
// installed for one load only and keeps the first error it sees (not notices or C++ throws): the
// host is one per process, as its service table is.
static DWORD entry_fault_code;
static void *entry_fault_address;
// What a C++ throw raises: a library's own error handling, not a crash.
constexpr DWORD CPP_EXCEPTION_CODE = 0xE06D7363;
constexpr DWORD ERROR_SEVERITY_BITS = 0xC0000000;

static LONG WINAPI note_entry_fault(EXCEPTION_POINTERS *pointers)
{
    DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!entry_fault_code && (code & ERROR_SEVERITY_BITS) == ERROR_SEVERITY_BITS && code != CPP_EXCEPTION_CODE) {
        entry_fault_code = code;
        entry_fault_address = pointers->ExceptionRecord->ExceptionAddress;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// LoadLibraryExW with the entry point watched. A fault that something handled along the way
// counts only if the loader then refuses the module.
static HMODULE load_watching_entry(const std::wstring &full_path, DWORD &fault_code, void *&fault_address)
{
    entry_fault_code = 0;
    entry_fault_address = 0;
    void *watch = AddVectoredExceptionHandler(1, note_entry_fault);
    HMODULE handle = LoadLibraryExW(full_path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD load_error = GetLastError();
    if (watch)
        RemoveVectoredExceptionHandler(watch);
    fault_code = entry_fault_code;
    fault_address = entry_fault_address;
    SetLastError(load_error);
    return handle;
}

bool load_module(const std::string &path, Module &module, std::string &error, bool *unreadable, bool *entry_crashed)
{
    module = Module();
    if (unreadable)
        *unreadable = false;
    if (entry_crashed)
        *entry_crashed = false;
    if (!check_image(path, error))
        return false;
    std::wstring full_path = toolbox::full_path_w(path);
    if (full_path.empty()) {
        error = path + ": cannot resolve the path";
        return false;
    }
    DWORD fault_code;
    void *fault_address;
    HMODULE handle = load_watching_entry(full_path, fault_code, fault_address);
    if (!handle) {
        char text[128];
        if (fault_code)
            snprintf(text, sizeof text, " crashed in its entry point: exception 0x%08lX at address %p",
                     (unsigned long)fault_code, fault_address);
        else
            snprintf(text, sizeof text, ": the loader refused it (error %lu)", GetLastError());
        error = path + text;
        if (entry_crashed)
            *entry_crashed = fault_code != 0;
        return false;
    }
    auto linkage = (GAUGE_LINKAGE *)GetProcAddress(handle, LINKAGE_EXPORT);
    auto import_table = (GAUGE_IMPORT_TABLE *)GetProcAddress(handle, IMPORT_TABLE_EXPORT);
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
    write_at<uint32_t>(import_table, IMPORT_TABLE_PANELS_AT, (uint32_t)(uintptr_t)panels());
    for (const uint8_t *entry = (const uint8_t *)linkage + LINKAGE_GAUGE_LIST_AT; read_at<uint32_t>(entry, 0); entry += 4)
        module.gauges.push_back(pointer_at<GAUGEHDR>(entry, 0));
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

}  // namespace panel_host
