// The resources the host reads from each module: the background bitmap 256, read back through
// the resource API field by field and pixel by pixel, and the version record through the
// version API.
#include "test_support.h"

#include <string.h>

#include <set>

using namespace test_support;

namespace {

const WORD ENGLISH_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

BOOL CALLBACK collect_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR names)
{
    ((std::set<uintptr_t> *)names)->insert((uintptr_t)name);  // an integer identifier, or a text pointer
    return TRUE;
}

class ResourcesTest : public ::testing::TestWithParam<const char *> {};

TEST_P(ResourcesTest, BackgroundBitmapIsFortyByFortyBlack)
{
    MappedModule module(GetParam());
    ASSERT_TRUE(module.handle);
    std::set<uintptr_t> names;
    EnumResourceNamesA(module.handle, (LPCSTR)RT_BITMAP, collect_name, (LONG_PTR)&names);
    EXPECT_EQ(names, std::set<uintptr_t>{256}) << "one bitmap, number 256";

    HRSRC found = FindResourceExA(module.handle, (LPCSTR)RT_BITMAP, MAKEINTRESOURCEA(256), ENGLISH_US);
    ASSERT_TRUE(found);
    ASSERT_EQ(SizeofResource(module.handle, found), 1654u);
    const uint8_t *data = (const uint8_t *)LockResource(LoadResource(module.handle, found));
    ASSERT_TRUE(data);

    BITMAPINFOHEADER header;
    memcpy(&header, data, sizeof header);
    struct Field {
        const char *name;
        int64_t found, expected;
    };
    const Field fields[] = {
        {"biSize", header.biSize, 40},
        {"biWidth", header.biWidth, 40},
        {"biHeight", header.biHeight, 40},  // positive: rows stored bottom-up
        {"biPlanes", header.biPlanes, 1},
        {"biBitCount", header.biBitCount, 8},
        {"biCompression", header.biCompression, BI_RGB},
        {"biSizeImage", header.biSizeImage, 1602},
        {"biXPelsPerMeter", header.biXPelsPerMeter, 2834},
        {"biYPelsPerMeter", header.biYPelsPerMeter, 2834},
        {"biClrUsed", header.biClrUsed, 3},
        {"biClrImportant", header.biClrImportant, 3},
    };
    for (const Field &field : fields)
        EXPECT_EQ(field.found, field.expected) << field.name;

    // Black, white, white, in blue-green-red-reserved order.
    const uint8_t palette[12] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(memcmp(data + 40, palette, sizeof palette), 0) << "palette";

    // 40 rows of 40 bytes, then the two zero bytes the image size counts: all index 0, black.
    const uint8_t *pixels = data + 40 + sizeof palette;
    int nonzero = 0;
    for (int i = 0; i < 1602; ++i)
        if (pixels[i] != 0 && ++nonzero <= 5)
            ADD_FAILURE() << "byte " << i << " (row " << i / 40 << " from the bottom, column " << i % 40
                          << ") is " << (int)pixels[i];
    EXPECT_EQ(nonzero, 0);
}

TEST_P(ResourcesTest, VersionRecordSaysOnePointZero)
{
    std::string path = module_path(GetParam());
    {
        MappedModule module(GetParam());
        ASSERT_TRUE(module.handle);
        EXPECT_TRUE(FindResourceExA(module.handle, (LPCSTR)RT_VERSION, MAKEINTRESOURCEA(1), ENGLISH_US))
            << "version resource 1, language 1033";
    }
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << path << ": no version record, error " << GetLastError();
    std::vector<uint8_t> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

    VS_FIXEDFILEINFO *fixed = 0;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
    ASSERT_GE(length, sizeof *fixed);
    struct Field {
        const char *name;
        DWORD found, expected;
    };
    const Field fields[] = {
        {"dwSignature", fixed->dwSignature, 0xFEEF04BD},
        {"dwFileVersionMS", fixed->dwFileVersionMS, 0x00010000},  // 1.0
        {"dwFileVersionLS", fixed->dwFileVersionLS, 0},           // .0.0
        {"dwProductVersionMS", fixed->dwProductVersionMS, 0x00010000},
        {"dwProductVersionLS", fixed->dwProductVersionLS, 0},
        {"dwFileFlagsMask", fixed->dwFileFlagsMask, 0x3F},
        {"dwFileFlags", fixed->dwFileFlags, 0},
        {"dwFileOS", fixed->dwFileOS, 0x10004},
        {"dwFileType", fixed->dwFileType, 1},
        {"dwFileSubtype", fixed->dwFileSubtype, 0},
        {"dwFileDateMS", fixed->dwFileDateMS, 0},
        {"dwFileDateLS", fixed->dwFileDateLS, 0},
    };
    for (const Field &field : fields)
        EXPECT_EQ(field.found, field.expected) << field.name;

    // The translation table points readers at the 040904B0 string table.
    WORD *translation = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);

    for (const char *key : {"FileVersion", "ProductVersion"}) {
        std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
        char *text = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), (void **)&text, &length)) << key;
        EXPECT_STREQ(text, "1.0") << key;
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, ResourcesTest, ::testing::ValuesIn(MODULE_FILES), ShortName());

}  // namespace
