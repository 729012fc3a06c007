// The built .gau files as the loader and the host find them: PE headers, the two data exports
// and the export directory's name, and the DLLs and functions each module imports. The headers
// are walked from the file's bytes, so nothing the loader does can hide a fault.
#include "test_support.h"

#include <string.h>

#include <map>
#include <set>

using namespace test_support;

namespace {

// A PE image read from disk, with checked access: a bad offset is an error, never a crash.
class PeFile {
public:
    explicit PeFile(const std::string &path) : bytes_(read_file(path)) { parse(); }

    const std::string &error() const { return error_; }
    const IMAGE_FILE_HEADER &file_header() const { return file_header_; }
    const IMAGE_OPTIONAL_HEADER32 &optional_header() const { return optional_; }
    IMAGE_DATA_DIRECTORY directory(int index) const { return optional_.DataDirectory[index]; }

    const IMAGE_SECTION_HEADER *section_of(uint32_t rva) const
    {
        for (const IMAGE_SECTION_HEADER &section : sections_) {
            uint32_t span = section.Misc.VirtualSize ? section.Misc.VirtualSize : section.SizeOfRawData;
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < span)
                return &section;
        }
        return 0;
    }

    // Copies `size` bytes found at `rva`; false if they are not all in the file.
    bool read_rva(uint32_t rva, void *out, uint32_t size) const
    {
        const IMAGE_SECTION_HEADER *section = section_of(rva);
        if (!section)
            return false;
        uint32_t within = rva - section->VirtualAddress;
        if (within + size > section->SizeOfRawData)
            return false;
        return read_file_at(section->PointerToRawData + within, out, size);
    }

    uint32_t word_at(uint32_t rva) const
    {
        uint32_t value = 0;
        if (!read_rva(rva, &value, sizeof value))
            ADD_FAILURE() << "no file data at RVA 0x" << std::hex << rva;
        return value;
    }

    // A zero-terminated name at `rva`, or "<bad RVA>".
    std::string text_at(uint32_t rva) const
    {
        std::string text;
        char c;
        while (read_rva(rva + (uint32_t)text.size(), &c, 1)) {
            if (!c)
                return text;
            text += c;
        }
        return "<bad RVA>";
    }

private:
    bool read_file_at(uint32_t offset, void *out, uint32_t size) const
    {
        if (offset > bytes_.size() || size > bytes_.size() - offset)
            return false;
        memcpy(out, bytes_.data() + offset, size);
        return true;
    }

    void parse()
    {
        IMAGE_DOS_HEADER dos;
        if (!read_file_at(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
            error_ = "no MZ header";
            return;
        }
        uint32_t signature = 0;
        uint32_t at = (uint32_t)dos.e_lfanew;
        if (!read_file_at(at, &signature, 4) || signature != IMAGE_NT_SIGNATURE ||
            !read_file_at(at + 4, &file_header_, sizeof file_header_)) {
            error_ = "no PE header";
            return;
        }
        if (file_header_.SizeOfOptionalHeader < sizeof optional_ ||
            !read_file_at(at + 4 + sizeof file_header_, &optional_, sizeof optional_)) {
            error_ = "no 32-bit optional header";
            return;
        }
        uint32_t table = at + 4 + sizeof file_header_ + file_header_.SizeOfOptionalHeader;
        sections_.resize(file_header_.NumberOfSections);
        for (uint32_t i = 0; i < sections_.size(); ++i)
            if (!read_file_at(table + i * sizeof(IMAGE_SECTION_HEADER), &sections_[i], sizeof sections_[i]))
                error_ = "section table cut short";
    }

    std::vector<uint8_t> bytes_;
    std::string error_;
    IMAGE_FILE_HEADER file_header_ = {};
    IMAGE_OPTIONAL_HEADER32 optional_ = {};
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

typedef std::map<std::string, std::set<std::string>> ImportList;

struct ModuleCase {
    const char *file;
    const char *export_name;  // the name in the export directory
    ImportList imports;       // DLL names upper-cased, as the loader compares them
};

const ModuleCase MODULES[] = {
    {BOOMCUE_FILE, "VQT7_Boomcue.gau",
     {{"KERNEL32.DLL", {"FreeLibrary", "GetModuleHandleA", "GetProcAddress", "LoadLibraryA"}},
      {"MSVCRT.DLL", {"atof", "sprintf"}},
      {"USER32.DLL", {"wsprintfA"}}}},
    {DRAGDRONE_FILE, "VQT7_Drag_Drone.gau",
     {{"KERNEL32.DLL", {"FreeLibrary", "GetModuleHandleA", "GetProcAddress", "LoadLibraryA"}}}},
};

void PrintTo(const ModuleCase &module, std::ostream *out)
{
    *out << module.file;
}

std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
    return text;
}

// Every DLL and function the file imports, by name; an import by ordinal shows as "#n".
ImportList read_imports(const PeFile &pe, std::vector<std::string> &duplicates)
{
    ImportList imports;
    IMAGE_DATA_DIRECTORY directory = pe.directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (uint32_t rva = directory.VirtualAddress;; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        if (!pe.read_rva(rva, &descriptor, sizeof descriptor)) {
            ADD_FAILURE() << "import directory runs off the file";
            break;
        }
        if (descriptor.Name == 0 && descriptor.FirstThunk == 0)
            break;
        std::string dll = upper(pe.text_at(descriptor.Name));
        std::set<std::string> &functions = imports[dll];
        uint32_t thunks = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (;; thunks += 4) {
            uint32_t thunk = pe.word_at(thunks);
            if (thunk == 0)
                break;
            std::string function = (thunk & IMAGE_ORDINAL_FLAG32) ? "#" + std::to_string(thunk & 0xFFFF)
                                                                   : pe.text_at(thunk + 2);  // after the hint
            if (!functions.insert(function).second)
                duplicates.push_back(dll + "!" + function);
        }
    }
    return imports;
}

class ExportsTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(ExportsTest, IsA32BitDll)
{
    PeFile pe(module_path(GetParam().file));
    ASSERT_EQ(pe.error(), "");
    EXPECT_EQ(pe.file_header().Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(pe.file_header().Characteristics & IMAGE_FILE_DLL);
    EXPECT_TRUE(pe.file_header().Characteristics & IMAGE_FILE_32BIT_MACHINE);
    EXPECT_EQ(pe.optional_header().Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
}

TEST_P(ExportsTest, ExportsLinkageAndImportTableAsDataUnderTheFileName)
{
    PeFile pe(module_path(GetParam().file));
    ASSERT_EQ(pe.error(), "");
    IMAGE_DATA_DIRECTORY directory = pe.directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    IMAGE_EXPORT_DIRECTORY exports;
    ASSERT_TRUE(pe.read_rva(directory.VirtualAddress, &exports, sizeof exports)) << "no export directory";

    EXPECT_EQ(pe.text_at(exports.Name), GetParam().export_name);
    EXPECT_EQ(exports.Base, 1u);
    ASSERT_EQ(exports.NumberOfFunctions, 2u) << "exactly two exports";
    ASSERT_EQ(exports.NumberOfNames, 2u) << "both by name";

    // The name table is sorted, as the loader's binary search needs.
    struct Expected {
        const char *name;
        uint32_t ordinal;
    };
    const Expected expected[] = {{"ImportTable", 2}, {"Linkage", 1}};
    for (uint32_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(pe.text_at(pe.word_at(exports.AddressOfNames + 4 * i)), expected[i].name);
        uint16_t index = 0xFFFF;
        ASSERT_TRUE(pe.read_rva(exports.AddressOfNameOrdinals + 2 * i, &index, sizeof index));
        EXPECT_EQ(exports.Base + index, expected[i].ordinal);
        ASSERT_LT(index, 2);

        // A record, not a forwarder and not code: the host reads and writes it in place.
        uint32_t rva = pe.word_at(exports.AddressOfFunctions + 4 * index);
        EXPECT_FALSE(rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size)
            << "forwarded export";
        const IMAGE_SECTION_HEADER *section = pe.section_of(rva);
        ASSERT_TRUE(section) << "RVA 0x" << std::hex << rva << " is in no section";
        std::string section_name((const char *)section->Name, strnlen((const char *)section->Name, 8));
        EXPECT_TRUE(section->Characteristics & IMAGE_SCN_MEM_WRITE) << section_name << " is read-only";
        EXPECT_FALSE(section->Characteristics & IMAGE_SCN_MEM_EXECUTE) << section_name << " is executable";
        EXPECT_FALSE(section->Characteristics & IMAGE_SCN_CNT_CODE) << section_name << " holds code";
    }
}

TEST_P(ExportsTest, ImportsOnlyTheSystemFunctionsItCalls)
{
    PeFile pe(module_path(GetParam().file));
    ASSERT_EQ(pe.error(), "");
    std::vector<std::string> duplicates;
    ImportList imports = read_imports(pe, duplicates);
    EXPECT_EQ(imports, GetParam().imports);
    EXPECT_EQ(duplicates, std::vector<std::string>()) << "imported twice";
    // Nothing loaded behind the loader's back, before the entry point or on first use.
    EXPECT_EQ(pe.directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
    EXPECT_EQ(pe.directory(IMAGE_DIRECTORY_ENTRY_BOUND_IMPORT).Size, 0u);
    EXPECT_EQ(pe.directory(IMAGE_DIRECTORY_ENTRY_TLS).Size, 0u) << "TLS callbacks run C++ runtime code";
}

TEST_P(ExportsTest, OrdinalsAndNamesResolveToTheSameRecords)
{
    PeFile pe(module_path(GetParam().file));
    ASSERT_EQ(pe.error(), "");
    IMAGE_EXPORT_DIRECTORY exports;
    ASSERT_TRUE(pe.read_rva(pe.directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress, &exports, sizeof exports));

    std::string path = module_path(GetParam().file);
    HMODULE module = LoadLibraryExA(path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_TRUE(module) << path << ": error " << GetLastError();
    const char *names[] = {"Linkage", "ImportTable"};
    for (uint16_t ordinal = 1; ordinal <= 2; ++ordinal) {
        const char *name = names[ordinal - 1];
        FARPROC by_name = GetProcAddress(module, name);
        FARPROC by_ordinal = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
        EXPECT_TRUE(by_name) << name;
        EXPECT_EQ(by_ordinal, by_name) << name << " is not ordinal " << ordinal;
        // And it is the record the file's export table names.
        uint32_t rva = pe.word_at(exports.AddressOfFunctions + 4 * (ordinal - exports.Base));
        EXPECT_EQ((uintptr_t)by_name, (uintptr_t)module + rva) << name;
    }
    EXPECT_FALSE(GetProcAddress(module, MAKEINTRESOURCEA(3))) << "a third export";
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(BothModules, ExportsTest, ::testing::ValuesIn(MODULES),
                         [](const auto &info) { return std::string(info.param.file).substr(5, 4); });

}  // namespace
