// The records the host reads from a loaded module, byte by byte: ImportTable, Linkage, the
// gauge header, the element tree with its failure lists, the mouse rectangles and the module
// variables. Expected images are built from byte positions, not from host_panel.h, so a layout
// slip there shows here too; pointers are checked by what they must point at.
#include "test_support.h"

#include <stdio.h>
#include <string.h>

using namespace panel_host;
using namespace test_support;

namespace {

uint32_t word_at(const void *record, size_t offset)
{
    uint32_t value;
    memcpy(&value, (const uint8_t *)record + offset, sizeof value);
    return value;
}

template <class T>
T *pointer_at(const void *record, size_t offset)
{
    return (T *)(uintptr_t)word_at(record, offset);
}

// An expected record: the words and text given, zero in every other byte.
class Image {
public:
    explicit Image(size_t size) : bytes_(size, 0) {}
    Image &word(size_t offset, uint32_t value) { return put(offset, &value, sizeof value); }
    Image &pointer(size_t offset, const void *target) { return word(offset, (uint32_t)(uintptr_t)target); }
    Image &text(size_t offset, const char *text) { return put(offset, text, strlen(text)); }
    const std::vector<uint8_t> &bytes() const { return bytes_; }

private:
    Image &put(size_t offset, const void *data, size_t size)
    {
        bytes_.at(offset + size - 1);  // throws on a slip in the expected image itself
        memcpy(&bytes_[offset], data, size);
        return *this;
    }
    std::vector<uint8_t> bytes_;
};

// Compares a record with its image and names every 32-bit word that differs.
::testing::AssertionResult matches(const void *record, const Image &image)
{
    std::string differences;
    int count = 0;
    for (size_t offset = 0; offset < image.bytes().size(); offset += 4) {
        uint32_t expected = word_at(image.bytes().data(), offset);
        uint32_t found = word_at(record, offset);
        if (expected == found || ++count > 16)
            continue;
        char line[64];
        snprintf(line, sizeof line, "\n  byte %3u: expected %08X, found %08X", (unsigned)offset, expected, found);
        differences += line;
    }
    if (count == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " word(s) differ:" << differences;
}

const IMAGE_NT_HEADERS32 *nt_headers(HMODULE module)
{
    auto dos = (const IMAGE_DOS_HEADER *)module;
    return (const IMAGE_NT_HEADERS32 *)((const uint8_t *)module + dos->e_lfanew);
}

bool inside(HMODULE module, const void *start, size_t size)
{
    uintptr_t base = (uintptr_t)module;
    uintptr_t end = base + nt_headers(module)->OptionalHeader.SizeOfImage;
    return start && (uintptr_t)start >= base && (uintptr_t)start + size <= end;
}

DWORD protection(const void *address)
{
    MEMORY_BASIC_INFORMATION info = {};
    if (!VirtualQuery(address, &info, sizeof info))
        return 0;
    return info.Protect & 0xFF;
}

// The host writes into the records, so every byte of them must sit on a writable page.
bool writable(const void *start, size_t size)
{
    for (const void *at : {start, (const void *)((const uint8_t *)start + size - 1)}) {
        DWORD page = protection(at);
        if (page != PAGE_READWRITE && page != PAGE_WRITECOPY)
            return false;
    }
    return true;
}

bool code_in(HMODULE module, const void *routine)
{
    DWORD page = protection(routine);
    return inside(module, routine, 1) && (page == PAGE_EXECUTE || page == PAGE_EXECUTE_READ ||
                                          page == PAGE_EXECUTE_READWRITE || page == PAGE_EXECUTE_WRITECOPY);
}

// Every byte of the module's writable sections, to see whether a call changed any.
std::vector<uint8_t> writable_sections(HMODULE module)
{
    std::vector<uint8_t> bytes;
    const IMAGE_NT_HEADERS32 *nt = nt_headers(module);
    auto section = (const IMAGE_SECTION_HEADER *)((const uint8_t *)&nt->OptionalHeader +
                                                  nt->FileHeader.SizeOfOptionalHeader);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (section->Characteristics & IMAGE_SCN_MEM_WRITE) {
            const uint8_t *start = (const uint8_t *)module + section->VirtualAddress;
            bytes.insert(bytes.end(), start, start + section->Misc.VirtualSize);
        }
    return bytes;
}

// The records, found the way the host finds them.
struct Records {
    uint8_t *import_table, *linkage, *header, *elements, *root, *root_failures, *root_next;
    uint8_t *mouse_rects, *readout, *readout_failures;
};

// Follows the host's pointers, each checked to land in the module before it is read.
::testing::AssertionResult find_records(HMODULE module, Records &r)
{
    r = Records();
    auto outside = [](const char *what) {
        return ::testing::AssertionFailure() << "the " << what << " is not inside the module";
    };
    r.import_table = (uint8_t *)GetProcAddress(module, "ImportTable");
    if (!inside(module, r.import_table, 16))
        return outside("ImportTable");
    r.linkage = (uint8_t *)GetProcAddress(module, "Linkage");
    if (!inside(module, r.linkage, 32))
        return outside("Linkage");
    r.header = pointer_at<uint8_t>(r.linkage, 24);
    if (!inside(module, r.header, 88))
        return outside("gauge header");
    r.elements = pointer_at<uint8_t>(r.header, 8);
    if (!inside(module, r.elements, 4))
        return outside("element list");
    r.root = pointer_at<uint8_t>(r.elements, 0);
    if (!inside(module, r.root, 96))
        return outside("root element");
    r.root_failures = pointer_at<uint8_t>(r.root, 44);
    if (!inside(module, r.root_failures, 12))
        return outside("root failure list");
    r.mouse_rects = pointer_at<uint8_t>(r.header, 80);
    if (!inside(module, r.mouse_rects, 132))
        return outside("mouse rectangle list");
    r.root_next = pointer_at<uint8_t>(r.root, 40);
    if (!r.root_next)
        return ::testing::AssertionSuccess();
    if (!inside(module, r.root_next, 8))
        return outside("root's next-element list");
    r.readout = pointer_at<uint8_t>(r.root_next, 0);
    if (!inside(module, r.readout, 324))
        return outside("readout element");
    r.readout_failures = pointer_at<uint8_t>(r.readout, 44);
    if (!inside(module, r.readout_failures, 12))
        return outside("readout failure list");
    return ::testing::AssertionSuccess();
}

class RecordsTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {};

TEST_P(RecordsTest, ImportTableIsEmptyUntilTheHostWritesIt)
{
    const Image untouched = Image(16).word(0, 0x0000000F);
    std::string path = module_path(GetParam().file);
    // Our own load comes first, so nothing has written the PANELS word yet.
    HMODULE own = LoadLibraryExA(path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_TRUE(own) << path;
    uint8_t *import_table = (uint8_t *)GetProcAddress(own, "ImportTable");
    ASSERT_TRUE(inside(own, import_table, 16));
    EXPECT_TRUE(matches(import_table, untouched)) << "as loaded";
    {
        LoadedModule loaded(GetParam().file);
        ASSERT_EQ(loaded.module.handle, own);
        EXPECT_TRUE(matches(import_table, Image(16).word(0, 0x0000000F).pointer(4, panels())))
            << "after the host's load";
    }
    FreeLibrary(own);
    ASSERT_FALSE(GetModuleHandleA(GetParam().file)) << "still loaded: a reload would prove nothing";

    own = LoadLibraryExA(path.c_str(), 0, LOAD_WITH_ALTERED_SEARCH_PATH);
    ASSERT_TRUE(own) << path;
    EXPECT_TRUE(matches((const void *)GetProcAddress(own, "ImportTable"), untouched)) << "loaded again";
    FreeLibrary(own);
}

TEST_P(RecordsTest, LinkageListsTheOneGaugeAndRoutinesThatDoNothing)
{
    LoadedModule loaded(GetParam().file);
    HMODULE module = loaded.module.handle;
    Records r;
    ASSERT_TRUE(find_records(module, r));
    ASSERT_EQ(loaded.module.gauges, std::vector<GAUGEHDR *>{(GAUGEHDR *)r.header}) << "one gauge";

    auto init = pointer_at<void>(r.linkage, 4);
    auto deinit = pointer_at<void>(r.linkage, 8);
    EXPECT_TRUE(code_in(module, init));
    EXPECT_TRUE(code_in(module, deinit));
    // Word 8 is the null that ends the gauge list.
    const Image expected = Image(32)
        .word(0, 0x13)
        .pointer(4, init)
        .pointer(8, deinit)
        .word(20, 0x0800)
        .pointer(24, r.header);
    EXPECT_TRUE(matches(r.linkage, expected));

    // The host may call both routines at any time; neither may touch module state or call out.
    ASSERT_TRUE(code_in(module, init) && code_in(module, deinit));
    std::vector<uint8_t> before = writable_sections(module);
    ((GAUGE_ROUTINE)init)();
    ((GAUGE_ROUTINE)deinit)();
    EXPECT_TRUE(writable_sections(module) == before) << "a routine changed the module's data";
    EXPECT_TRUE(fetches().empty());
    EXPECT_EQ(sound_calls(0, true), std::vector<std::string>());
}

TEST_P(RecordsTest, GaugeHeaderNamesTheGaugeAfterItsFile)
{
    LoadedModule loaded(GetParam().file);
    HMODULE module = loaded.module.handle;
    Records r;
    ASSERT_TRUE(find_records(module, r));

    auto name = pointer_at<const char>(r.header, 4);
    ASSERT_TRUE(inside(module, name, 1));
    std::string file = GetParam().file;
    EXPECT_EQ(std::string(name), file.substr(0, file.rfind('.')));
    auto callback = pointer_at<void>(r.header, 84);
    EXPECT_TRUE(code_in(module, callback));
    // No per-gauge routines, user data, parameters or flags: only these words are set.
    const Image expected = Image(88)
        .word(0, 800)
        .pointer(4, name)
        .pointer(8, r.elements)
        .word(44, 100)
        .word(48, 0)
        .pointer(80, r.mouse_rects)
        .pointer(84, callback);
    EXPECT_TRUE(matches(r.header, expected));
}

TEST_P(RecordsTest, RootElementIsTheBlackBackground)
{
    LoadedModule loaded(GetParam().file);
    Records r;
    ASSERT_TRUE(find_records(loaded.module.handle, r));
    bool has_readout = std::string(GetParam().file) == BOOMCUE_FILE;
    if (has_readout) {
        ASSERT_TRUE(r.readout);
        EXPECT_EQ(pointer_at<void>(r.root_next, 4), nullptr) << "the readout is the only child";
    } else {
        EXPECT_EQ(r.root_next, nullptr) << "no children";
    }
    const Image expected = Image(96)
        .word(0, 0)  // static image
        .word(4, 256)
        .pointer(32, r.header)
        .pointer(40, r.root_next)
        .pointer(44, r.root_failures)
        .word(48, 0x83);
    EXPECT_TRUE(matches(r.root, expected));
    EXPECT_TRUE(matches(r.root_failures, Image(12))) << "only the terminating record";
}

TEST_P(RecordsTest, MouseRectanglesTakeNoInput)
{
    LoadedModule loaded(GetParam().file);
    Records r;
    ASSERT_TRUE(find_records(loaded.module.handle, r));
    // Parent (1), end of parent (3), end of list (0): empty boxes, no cursor.
    const Image expected = Image(132)
        .word(0, 1)
        .word(20, 0xFFFFFFFF)
        .word(44, 3)
        .word(64, 0xFFFFFFFF)
        .word(88, 0)
        .word(108, 0xFFFFFFFF);
    EXPECT_TRUE(matches(r.mouse_rects, expected));
}

TEST_P(RecordsTest, RecordsSitInTheModulesWritableMemory)
{
    LoadedModule loaded(GetParam().file);
    Records r;
    ASSERT_TRUE(find_records(loaded.module.handle, r));
    struct Row {
        const char *name;
        const void *start;
        size_t size;
    };
    std::vector<Row> rows = {
        {"ImportTable", r.import_table, 16},       {"Linkage", r.linkage, 32},
        {"gauge header", r.header, 88},            {"element list", r.elements, 4},
        {"root element", r.root, 96},              {"root failure list", r.root_failures, 12},
        {"mouse rectangles", r.mouse_rects, 132},
    };
    if (r.readout) {
        rows.push_back({"root's next-element list", r.root_next, 8});
        rows.push_back({"readout element", r.readout, 324});
        rows.push_back({"readout failure list", r.readout_failures, 12});
    }
    for (const Row &row : rows)
        EXPECT_TRUE(writable(row.start, row.size))
            << row.name << " is on a page with protection 0x" << std::hex << protection(row.start);
}

// The first fetch of each variable must find only the token: the stand-in host's own fetch
// writes the value at once, so a fetch of ours in its slot copies the record first.
std::vector<std::vector<uint8_t>> seen_records;
std::vector<const uint8_t *> seen_addresses;

void HOST_CALL snapshot_fetch(MODULE_VAR *var)
{
    seen_records.emplace_back((const uint8_t *)var, (const uint8_t *)var + 28);
    seen_addresses.push_back((const uint8_t *)var);
    panels()->fetch_var(var);
}

TEST_P(RecordsTest, ModuleVariablesHoldOnlyTheirTokensUntilTheFirstFetch)
{
    LoadedModule loaded(GetParam().file);
    static uint32_t table[PANELS_SLOTS];
    memcpy(table, panels(), sizeof table);
    table[160 / 4] = (uint32_t)(uintptr_t)&snapshot_fetch;
    loaded.module.import_table->panels = (PANELS *)table;
    seen_records.clear();
    seen_addresses.clear();
    const std::vector<uint32_t> &tokens = GetParam().tokens;
    for (size_t i = 0; i < tokens.size(); ++i)
        set_var(tokens[i], 1000.0 + (double)i);

    Instance gauge = loaded.instance();
    initialize(gauge);
    update(gauge);
    update(gauge);
    kill(gauge);
    loaded.module.import_table->panels = panels();

    size_t count = tokens.size();
    ASSERT_EQ(seen_records.size(), 2 * count);
    // One array of 28-byte records in declaration order, in the module's writable data.
    EXPECT_TRUE(inside(loaded.module.handle, seen_addresses[0], 28 * count));
    EXPECT_TRUE(writable(seen_addresses[0], 28 * count));
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("variable " + std::to_string(i) + ", token " + std::to_string(tokens[i]));
        EXPECT_EQ(seen_addresses[i], seen_addresses[0] + 28 * i);
        EXPECT_EQ(seen_addresses[count + i], seen_addresses[i]) << "the same record every update";
        EXPECT_TRUE(matches(seen_records[i].data(), Image(28).word(0, tokens[i]))) << "first fetch";
        // The second fetch finds what the first left: the value at byte 12, the rest untouched.
        double value = 1000.0 + (double)i;
        uint32_t halves[2];
        memcpy(halves, &value, sizeof halves);
        EXPECT_TRUE(matches(seen_records[count + i].data(),
                            Image(28).word(0, tokens[i]).word(12, halves[0]).word(16, halves[1])))
            << "second fetch";
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, RecordsTest, ::testing::ValuesIn(MODULE_CASES),
                         [](const auto &info) { return std::string(info.param.file).substr(5, 4); });

class BoomcueRecordsTest : public HostTest {};

TEST_F(BoomcueRecordsTest, ReadoutElementIsLaidOutForTheHost)
{
    LoadedModule loaded(BOOMCUE_FILE);
    HMODULE module = loaded.module.handle;
    Records r;
    ASSERT_TRUE(find_records(module, r));
    ASSERT_TRUE(r.readout) << "the root element has no child";

    auto callback = pointer_at<void>(r.readout, 312);
    EXPECT_TRUE(code_in(module, callback));
    EXPECT_NE(callback, pointer_at<void>(r.header, 84)) << "the readout callback, not the gauge callback";
    // Its own failure list, apart from the root's.
    EXPECT_TRUE(r.readout_failures + 12 <= r.root_failures || r.root_failures + 12 <= r.readout_failures)
        << "shares the root's failure list";
    EXPECT_TRUE(matches(r.readout_failures, Image(12)));
    // Source variables at 60, 88 and 116 hold only their tokens; the text pointer at 184 is
    // null until the host provides its buffer; the font name is zero-filled to 32 bytes.
    const Image expected = Image(324)
        .word(0, 2)  // string
        .word(4, 0xFFFFFFFF)
        .word(8, 1)
        .word(12, 1)
        .pointer(32, r.header)
        .pointer(44, r.readout_failures)
        .word(48, 0x83)
        .word(60, 870)
        .word(192, 41)
        .word(196, 10)
        .word(208, 0x008F8F8F)
        .text(248, "Courier New")
        .word(280, 100)
        .word(284, 1)
        .word(292, 0x4240)
        .pointer(312, callback);
    EXPECT_TRUE(matches(r.readout, expected));
}

}  // namespace
