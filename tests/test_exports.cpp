// The built .gau files as the loader and the host find them: a 32-bit DLL, the two data
// exports under the export directory's name, and only system DLLs imported (the release check
// lists every imported function). Read from the mapped image, whose headers and directories
// the loader leaves as the file has them.
#include <set>

#include "test_support.h"

using namespace test_support;

namespace {

struct ExportCase {
    const char *file;
    const char *export_name;           // the name in the export directory
    std::set<std::string> dlls;        // imported DLLs, upper-cased as the loader compares them
};
void PrintTo(const ExportCase &row, std::ostream *out) { *out << row.file; }

const ExportCase CASES[] = {
    {BOOMCUE_FILE, "VQT7_Boomcue.gau", {"KERNEL32.DLL", "MSVCRT.DLL", "USER32.DLL"}},
    {DRAGDRONE_FILE, "VQT7_Drag_Drone.gau", {"KERNEL32.DLL"}},
};

class ExportsTest : public ::testing::TestWithParam<ExportCase> {
protected:
    void SetUp() override { ASSERT_TRUE(mapped.handle); }
    template <class T = uint8_t>
    const T *at(uint32_t rva) const { return (const T *)((const uint8_t *)mapped.handle + rva); }
    IMAGE_DATA_DIRECTORY directory(int index) const
    {
        return nt_headers(mapped.handle)->OptionalHeader.DataDirectory[index];
    }
    MappedModule mapped{GetParam().file};
};

TEST_P(ExportsTest, IsA32BitDll)
{
    const IMAGE_NT_HEADERS32 *nt = nt_headers(mapped.handle);
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_32BIT_MACHINE);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
}

TEST_P(ExportsTest, ExportsLinkageAndImportTableAsDataByNameAndOrdinal)
{
    IMAGE_DATA_DIRECTORY directory = this->directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(directory.VirtualAddress, 0u) << "no export directory";
    const IMAGE_EXPORT_DIRECTORY &exports = *at<IMAGE_EXPORT_DIRECTORY>(directory.VirtualAddress);
    EXPECT_STREQ(at<char>(exports.Name), GetParam().export_name);
    EXPECT_EQ(exports.Base, 1u);
    ASSERT_EQ(exports.NumberOfFunctions, 2u) << "exactly two exports";
    ASSERT_EQ(exports.NumberOfNames, 2u) << "both by name";
    EXPECT_FALSE(GetProcAddress(mapped.handle, MAKEINTRESOURCEA(3))) << "a third export";

    // The name table is sorted, as the loader's binary search needs.
    const struct {
        const char *name;
        uint16_t ordinal;
    } expected[] = {{"ImportTable", 2}, {"Linkage", 1}};
    for (uint32_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(at<char>(at<uint32_t>(exports.AddressOfNames)[i]), expected[i].name);
        uint16_t index = at<uint16_t>(exports.AddressOfNameOrdinals)[i];
        ASSERT_EQ(exports.Base + index, expected[i].ordinal);
        uint32_t rva = at<uint32_t>(exports.AddressOfFunctions)[index];
        EXPECT_FALSE(rva >= directory.VirtualAddress && rva < directory.VirtualAddress + directory.Size)
            << "forwarded export";
        FARPROC by_name = GetProcAddress(mapped.handle, expected[i].name);
        EXPECT_EQ((const void *)by_name, at(rva));
        EXPECT_EQ(GetProcAddress(mapped.handle, MAKEINTRESOURCEA(expected[i].ordinal)), by_name);
        // A record, not code: the host reads and writes it in place.
        const IMAGE_SECTION_HEADER *home = 0;
        for (const IMAGE_SECTION_HEADER *section : sections(mapped.handle))
            if (rva >= section->VirtualAddress && rva - section->VirtualAddress < section->Misc.VirtualSize)
                home = section;
        ASSERT_TRUE(home) << "RVA 0x" << std::hex << rva << " is in no section";
        EXPECT_EQ(home->Characteristics & (IMAGE_SCN_MEM_WRITE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE),
                  (DWORD)IMAGE_SCN_MEM_WRITE)
            << "section " << std::string((const char *)home->Name, strnlen((const char *)home->Name, 8));
    }
}

TEST_P(ExportsTest, ImportsOnlySystemDlls)
{
    std::set<std::string> dlls;
    uint32_t imports = directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress;
    for (auto d = at<IMAGE_IMPORT_DESCRIPTOR>(imports); d->Name || d->FirstThunk; ++d) {
        std::string dll = at<char>(d->Name);
        for (char &c : dll)
            c = (char)toupper((unsigned char)c);
        EXPECT_TRUE(dlls.insert(dll).second) << dll << " listed twice";
    }
    EXPECT_EQ(dlls, GetParam().dlls);
    // Nothing loaded behind the loader's back, before the entry point or on first use.
    EXPECT_EQ(directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
    EXPECT_EQ(directory(IMAGE_DIRECTORY_ENTRY_BOUND_IMPORT).Size, 0u);
    EXPECT_EQ(directory(IMAGE_DIRECTORY_ENTRY_TLS).Size, 0u) << "TLS callbacks run C++ runtime code";
}

INSTANTIATE_TEST_SUITE_P(BothModules, ExportsTest, ::testing::ValuesIn(CASES),
                         [](const auto &info) { return short_name(info.param.file); });

}  // namespace
