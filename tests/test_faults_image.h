// A loaded module's writable memory, read through its section headers in place: every
// module-wide state (binding, flags, latch, the host-written records) lives there, so comparing
// two snapshots shows whether a call changed anything at all.
#pragma once

#include <stdint.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

namespace fault_image {

struct Section {
    uint32_t rva;
    std::vector<uint8_t> bytes;
};

struct Snapshot {
    uintptr_t base = 0;
    std::vector<Section> sections;
    bool operator==(const Snapshot &other) const
    {
        if (base != other.base || sections.size() != other.sections.size())
            return false;
        for (size_t i = 0; i < sections.size(); ++i)
            if (sections[i].rva != other.sections[i].rva || sections[i].bytes != other.sections[i].bytes)
                return false;
        return true;
    }
    bool operator!=(const Snapshot &other) const { return !(*this == other); }
};

inline Snapshot writable_sections(HMODULE module)
{
    Snapshot snapshot;
    const uint8_t *base = (const uint8_t *)module;
    snapshot.base = (uintptr_t)base;
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)base;
    const IMAGE_NT_HEADERS32 *nt = (const IMAGE_NT_HEADERS32 *)(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (!(section->Characteristics & IMAGE_SCN_MEM_WRITE))
            continue;
        const uint8_t *start = base + section->VirtualAddress;
        snapshot.sections.push_back({section->VirtualAddress,
                                     std::vector<uint8_t>(start, start + section->Misc.VirtualSize)});
    }
    return snapshot;
}

// Addresses (as module offsets) of the bytes that differ; at most `limit` of them.
inline std::vector<uint32_t> changed_offsets(const Snapshot &before, const Snapshot &after, size_t limit = 64)
{
    std::vector<uint32_t> offsets;
    for (size_t s = 0; s < before.sections.size() && s < after.sections.size(); ++s) {
        const std::vector<uint8_t> &a = before.sections[s].bytes;
        const std::vector<uint8_t> &b = after.sections[s].bytes;
        for (size_t i = 0; i < a.size() && i < b.size() && offsets.size() < limit; ++i)
            if (a[i] != b[i])
                offsets.push_back(before.sections[s].rva + (uint32_t)i);
    }
    return offsets;
}

inline size_t total_bytes(const Snapshot &snapshot)
{
    size_t total = 0;
    for (const Section &section : snapshot.sections)
        total += section.bytes.size();
    return total;
}

}  // namespace fault_image
