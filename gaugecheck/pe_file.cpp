// Reads a library's headers from a read-only mapping of the file (dbghelp finds the headers
// and directories) and hashes it. Nothing of the file is executed.
#include "pe_file.h"

#include <windows.h>
#include <dbghelp.h>

#include "file_sum.h"
#include "toolbox.h"

namespace gaugecheck {

// A file mapped read-only, unmapped when it goes out of scope.
struct MappedFile {
    HANDLE file = INVALID_HANDLE_VALUE, mapping = 0;
    const uint8_t *bytes = 0;
    size_t size = 0;
    ~MappedFile()
    {
        if (bytes)
            UnmapViewOfFile(bytes);
        if (mapping)
            CloseHandle(mapping);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
};

static bool map_file(const std::string &path, MappedFile &mapped, std::string &reason)
{
    mapped.file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (mapped.file == INVALID_HANDLE_VALUE) {
        reason = "cannot open it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(mapped.file, &size)) {
        reason = "cannot read its size (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (size.QuadPart == 0) {
        reason = "it is empty";
        return false;
    }
    // A library is a few MB at most; anything near the address space's limit is not one.
    if (size.QuadPart > (256ll << 20)) {
        reason = "it is larger than 256 MB";
        return false;
    }
    mapped.size = (size_t)size.QuadPart;
    mapped.mapping = CreateFileMappingW(mapped.file, 0, PAGE_READONLY, 0, 0, 0);
    if (mapped.mapping)
        mapped.bytes = (const uint8_t *)MapViewOfFile(mapped.mapping, FILE_MAP_READ, 0, 0, 0);
    if (!mapped.bytes) {
        reason = "cannot read it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return true;
}

// Whether [at, at + size) lies inside the mapped file: every pointer dbghelp hands back is
// checked before it is read, since a damaged file can point anywhere.
static bool inside(const MappedFile &mapped, const void *at, size_t size)
{
    const uint8_t *start = (const uint8_t *)at;
    return start >= mapped.bytes && start <= mapped.bytes + mapped.size &&
           size <= (size_t)(mapped.bytes + mapped.size - start);
}

static void read_export_names(const MappedFile &mapped, IMAGE_NT_HEADERS *nt, PeFacts &facts)
{
    ULONG directory_size = 0;
    PIMAGE_SECTION_HEADER section = 0;
    auto *directory = (const IMAGE_EXPORT_DIRECTORY *)ImageDirectoryEntryToDataEx(
        (PVOID)mapped.bytes, FALSE, IMAGE_DIRECTORY_ENTRY_EXPORT, &directory_size, &section);
    if (!directory || !inside(mapped, directory, sizeof *directory))
        return;
    // Our gauges export two names and GaugeSound a handful; a table of thousands is damage.
    DWORD count = directory->NumberOfNames;
    if (count > 4096)
        return;
    auto *names = (const DWORD *)ImageRvaToVa(nt, (PVOID)mapped.bytes, directory->AddressOfNames, 0);
    if (!names || !inside(mapped, names, count * sizeof(DWORD)))
        return;
    for (DWORD i = 0; i < count; ++i) {
        auto *name = (const char *)ImageRvaToVa(nt, (PVOID)mapped.bytes, names[i], 0);
        if (!name || !inside(mapped, name, 1))
            continue;
        size_t room = mapped.bytes + mapped.size - (const uint8_t *)name;
        size_t length = strnlen(name, room < 256 ? room : 256);
        facts.exports.push_back(std::string(name, length));
    }
}

bool read_pe_facts(const std::string &path, PeFacts &facts, std::string &reason)
{
    facts = PeFacts();
    MappedFile mapped;
    if (!map_file(path, mapped, reason))
        return false;
    facts.sha256 = sha256_hex(mapped.bytes, mapped.size);

    auto *dos = (const IMAGE_DOS_HEADER *)mapped.bytes;
    if (!inside(mapped, dos, sizeof *dos) || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return true;
    // The signature, the file header and the optional header's magic must be in the file
    // before dbghelp is asked for the headers.
    const uint8_t *headers = mapped.bytes + dos->e_lfanew;
    if (!inside(mapped, headers, 4 + sizeof(IMAGE_FILE_HEADER) + 2))
        return true;
    IMAGE_NT_HEADERS *nt = ImageNtHeader((PVOID)mapped.bytes);
    if (!nt || (const uint8_t *)nt != headers || nt->Signature != IMAGE_NT_SIGNATURE)
        return true;
    facts.is_pe = true;
    facts.machine = nt->FileHeader.Machine;
    facts.is_dll = (nt->FileHeader.Characteristics & IMAGE_FILE_DLL) != 0;
    facts.is_32bit = facts.machine == IMAGE_FILE_MACHINE_I386 &&
                     nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC &&
                     inside(mapped, nt, sizeof *nt);
    // The export directory of another machine's image is of no use to a 32-bit process.
    if (facts.is_32bit) {
        size_t section_table = sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) + nt->FileHeader.SizeOfOptionalHeader;
        if (inside(mapped, (const uint8_t *)nt + section_table,
                   nt->FileHeader.NumberOfSections * sizeof(IMAGE_SECTION_HEADER)))
            read_export_names(mapped, nt, facts);
    }
    return true;
}

std::string version_description(const std::string &path)
{
    // The version API reads the resource as data (it maps the file, it does not run it).
    std::wstring wide = toolbox::widen(path);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
    if (size == 0)
        return std::string();
    std::vector<uint8_t> record(size);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, record.data()))
        return std::string();
    struct Translation {
        WORD language, code_page;
    } *translations = 0;
    UINT bytes = 0;
    if (!VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", (LPVOID *)&translations, &bytes) ||
        bytes < sizeof(Translation))
        return std::string();
    std::string text;
    for (const wchar_t *field : {L"FileDescription", L"Comments"}) {
        wchar_t query[96];
        swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translations->language, translations->code_page,
                 field);
        wchar_t *value = 0;
        UINT length = 0;
        if (VerQueryValueW(record.data(), query, (LPVOID *)&value, &length) && value && length) {
            if (!text.empty())
                text += " ";
            text += toolbox::narrow(std::wstring(value, wcsnlen(value, length)));
        }
    }
    return text;
}

bool has_export(const PeFacts &facts, const char *name)
{
    for (const std::string &exported : facts.exports)
        if (exported == name)
            return true;
    return false;
}

}  // namespace gaugecheck
