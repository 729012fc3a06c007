// A Windows library read as data, never loaded to run: its machine, whether it is a DLL, its
// export names, its SHA-256 and the description in its version record.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace gaugecheck {

struct PeFacts {
    bool is_pe = false;        // "MZ", then a "PE" header inside the file
    uint16_t machine = 0;      // 0x14C for 32-bit x86
    bool is_32bit = false;     // x86 machine and a PE32 optional header
    bool is_dll = false;
    std::vector<std::string> exports;  // names, as the export directory lists them
    std::string sha256;        // lower-case hex of the whole file
};

// Maps the file read-only and walks its headers through dbghelp, checking every offset against
// the file's size. False, with a reason, when the file cannot be read (empty, locked, missing);
// a readable file that is no image gives true and is_pe false.
bool read_pe_facts(const std::string &path, PeFacts &facts, std::string &reason);

// The version record's FileDescription and Comments, joined; empty when it has none.
std::string version_description(const std::string &path);

bool has_export(const PeFacts &facts, const char *name);

}  // namespace gaugecheck
