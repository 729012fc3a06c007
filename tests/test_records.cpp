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

// Compares a record with its image and names the first 16 32-bit words that differ.
::testing::AssertionResult matches(const void *record, const Image &image)
{
    ::testing::AssertionResult differences = ::testing::AssertionFailure();
    int count = 0;
    for (size_t offset = 0; offset < image.bytes().size(); offset += 4) {
        uint32_t expected = word_at(image.bytes().data(), offset), found = word_at(record, offset);
        char line[64];
        snprintf(line, sizeof line, "\n  byte %3u: expected %08X, found %08X", (unsigned)offset, expected, found);
        if (expected != found && ++count <= 16)
            differences << line;
    }
    return count ? differences << "\n" << count << " word(s) differ" : ::testing::AssertionSuccess();
}

// The records, found the way the host finds them.
struct Records {
    uint8_t *import_table, *linkage, *header, *elements, *root, *root_failures, *root_next;
    uint8_t *mouse_rects, *readout, *readout_failures;
};

// Follows the host's pointers, each checked to land in the module's writable memory (the host
// writes into its records) before it is read.
::testing::AssertionResult find_records(HMODULE module, Records &r)
{
    r = Records();
    const char *bad = 0;
    auto follow = [&](uint8_t *&field, void *value, size_t size, const char *what) {
        field = (uint8_t *)value;
        if (!inside(module, field, size) || !writable(field, size))
            bad = what;
        return !bad;
    };
    follow(r.import_table, (void *)GetProcAddress(module, "ImportTable"), 16, "ImportTable") &&
        follow(r.linkage, (void *)GetProcAddress(module, "Linkage"), 32, "Linkage") &&
        follow(r.header, pointer_at<void>(r.linkage, 24), 88, "gauge header") &&
        follow(r.elements, pointer_at<void>(r.header, 8), 4, "element list") &&
        follow(r.root, pointer_at<void>(r.elements, 0), 96, "root element") &&
        follow(r.root_failures, pointer_at<void>(r.root, 44), 12, "root failure list") &&
        follow(r.mouse_rects, pointer_at<void>(r.header, 80), 132, "mouse rectangle list") &&
        (!pointer_at<void>(r.root, 40) ||
         (follow(r.root_next, pointer_at<void>(r.root, 40), 8, "root's next-element list") &&
          follow(r.readout, pointer_at<void>(r.root_next, 0), 324, "readout element") &&
          follow(r.readout_failures, pointer_at<void>(r.readout, 44), 12, "readout failure list")));
    if (bad)
        return ::testing::AssertionFailure() << "the " << bad << " is not in the module's writable memory";
    return ::testing::AssertionSuccess();
}

// A loaded module and its records, found before each test.
class RecordsTest : public HostTest, public ::testing::WithParamInterface<ModuleCase> {
protected:
    void SetUp() override
    {
        HostTest::SetUp();
        ASSERT_TRUE(find_records(module, r));
    }
    LoadedModule loaded{GetParam().file};
    HMODULE module = loaded.module.handle;
    Records r;
};

TEST_P(RecordsTest, ImportTableIsEmptyUntilTheHostWritesIt)
{
    const Image untouched = Image(16).word(0, 0x0000000F);
    EXPECT_TRUE(matches(r.import_table, Image(16).word(0, 0x0000000F).pointer(4, panels()))) << "host's load";
    panel_host::unload_module(loaded.module);
    ASSERT_FALSE(GetModuleHandleA(GetParam().file)) << "still loaded: a reload would prove nothing";
    MappedModule fresh(GetParam().file);
    EXPECT_TRUE(matches((const void *)GetProcAddress(fresh.handle, "ImportTable"), untouched)) << "as loaded";
}

TEST_P(RecordsTest, LinkageListsTheOneGaugeAndRoutinesThatDoNothing)
{
    ASSERT_EQ(loaded.module.gauges, std::vector<GAUGEHDR *>{(GAUGEHDR *)r.header}) << "one gauge";
    auto init = pointer_at<void>(r.linkage, 4);
    auto deinit = pointer_at<void>(r.linkage, 8);
    // Word 8 is the null that ends the gauge list.
    EXPECT_TRUE(matches(r.linkage, Image(32).word(0, 0x13).pointer(4, init).pointer(8, deinit).word(20, 0x0800)
                                       .pointer(24, r.header)));

    // The host may call both routines at any time; neither may touch module state or call out.
    ASSERT_TRUE(code_in(module, init) && code_in(module, deinit));
    Snapshot before = writable_sections(module);
    ((host_contract::module_routine)init)();
    ((host_contract::module_routine)deinit)();
    EXPECT_TRUE(writable_sections(module) == before) << "a routine changed the module's data";
    EXPECT_TRUE(fetches().empty());
    EXPECT_EQ(sound_calls(0, true), std::vector<std::string>());
}

TEST_P(RecordsTest, GaugeHeaderNamesTheGaugeAfterItsFile)
{
    auto name = pointer_at<const char>(r.header, 4);
    ASSERT_TRUE(inside(module, name, 1));
    std::string file = GetParam().file;
    EXPECT_EQ(std::string(name), file.substr(0, file.rfind('.')));
    auto callback = pointer_at<void>(r.header, 84);
    EXPECT_TRUE(code_in(module, callback));
    // No per-gauge routines, user data, parameters or flags: only these words are set.
    EXPECT_TRUE(matches(r.header, Image(88).word(0, 800).pointer(4, name).pointer(8, r.elements).word(44, 100)
                                      .pointer(80, r.mouse_rects).pointer(84, callback)));
}

TEST_P(RecordsTest, RootElementIsTheBlackBackground)
{
    if (is_boomcue(GetParam().file)) {
        ASSERT_TRUE(r.readout);
        EXPECT_EQ(pointer_at<void>(r.root_next, 4), nullptr) << "the readout is the only child";
    } else {
        EXPECT_EQ(r.root_next, nullptr) << "no children";
    }
    // A static image (type 0) of bitmap 256.
    EXPECT_TRUE(matches(r.root, Image(96).word(4, 256).pointer(32, r.header).pointer(40, r.root_next)
                                    .pointer(44, r.root_failures).word(48, 0x83)));
    EXPECT_TRUE(matches(r.root_failures, Image(12))) << "only the terminating record";
}

TEST_P(RecordsTest, MouseRectanglesTakeNoInput)
{
    // Parent (1), end of parent (3), end of list (0): empty boxes, no cursor.
    EXPECT_TRUE(matches(r.mouse_rects, Image(132).word(0, 1).word(20, 0xFFFFFFFF).word(44, 3).word(64, 0xFFFFFFFF)
                                           .word(108, 0xFFFFFFFF)));
}

// The first fetch of each variable must find only the token: the stand-in host's own fetch
// writes the value at once, so a fetch of ours in its slot copies the record first.
std::vector<std::vector<uint8_t>> seen_records;
std::vector<const uint8_t *> seen_addresses;

void HOST_CONTRACT_HOST_CALL snapshot_fetch(void *var)
{
    seen_records.emplace_back((const uint8_t *)var, (const uint8_t *)var + 28);
    seen_addresses.push_back((const uint8_t *)var);
    panel_host::fetch_var(var);
}

TEST_P(RecordsTest, ModuleVariablesHoldOnlyTheirTokensUntilTheFirstFetch)
{
    static uint32_t table[PANELS_SLOTS];
    memcpy(table, panels(), sizeof table);
    table[160 / 4] = (uint32_t)(uintptr_t)&snapshot_fetch;
    host_contract::write_at<uint32_t>(loaded.module.import_table, host_contract::IMPORT_TABLE_PANELS_AT,
                                      (uint32_t)(uintptr_t)table);
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
    host_contract::write_at<uint32_t>(loaded.module.import_table, host_contract::IMPORT_TABLE_PANELS_AT,
                                      (uint32_t)(uintptr_t)panels());

    size_t count = tokens.size();
    ASSERT_EQ(seen_records.size(), 2 * count);
    // One array of 28-byte records in declaration order, in the module's writable data.
    EXPECT_TRUE(inside(module, seen_addresses[0], 28 * count) && writable(seen_addresses[0], 28 * count));
    for (size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("variable " + std::to_string(i) + ", token " + std::to_string(tokens[i]));
        EXPECT_EQ(seen_addresses[i], seen_addresses[0] + 28 * i);
        EXPECT_EQ(seen_addresses[count + i], seen_addresses[i]) << "the same record every update";
        EXPECT_TRUE(matches(seen_records[i].data(), Image(28).word(0, tokens[i]))) << "first fetch";
        // The second fetch finds what the first left: the value at byte 12, the rest untouched.
        uint64_t value = bits_of(1000.0 + (double)i);
        EXPECT_TRUE(matches(seen_records[count + i].data(),
                            Image(28).word(0, tokens[i]).word(12, (uint32_t)value).word(16, value >> 32)))
            << "second fetch";
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, RecordsTest, ::testing::ValuesIn(MODULE_CASES), ShortName());

class BoomcueRecordsTest : public RecordsTest {};

TEST_P(BoomcueRecordsTest, ReadoutElementIsLaidOutForTheHost)
{
    ASSERT_TRUE(r.readout) << "the root element has no child";
    auto callback = pointer_at<void>(r.readout, 312);
    EXPECT_TRUE(code_in(module, callback));
    EXPECT_NE(callback, pointer_at<void>(r.header, 84)) << "the readout callback, not the gauge callback";
    // Its own failure list, apart from the root's.
    EXPECT_TRUE(r.readout_failures + 12 <= r.root_failures || r.root_failures + 12 <= r.readout_failures)
        << "shares the root's failure list";
    EXPECT_TRUE(matches(r.readout_failures, Image(12)));
    // A string element (type 2). Source variables at 60, 88 and 116 hold only their tokens; the
    // text pointer at 184 is null until the host provides its buffer; the font name is
    // zero-filled to 32 bytes.
    EXPECT_TRUE(matches(r.readout, Image(324).word(0, 2).word(4, 0xFFFFFFFF).word(8, 1).word(12, 1)
                                       .pointer(32, r.header).pointer(44, r.readout_failures).word(48, 0x83)
                                       .word(60, FREQUENCY_TOKEN).word(192, 41).word(196, 10).word(208, 0x008F8F8F)
                                       .text(248, "Courier New").word(280, 100).word(284, 1).word(292, 0x4240)
                                       .pointer(312, callback)));
}

INSTANTIATE_TEST_SUITE_P(Boomcue, BoomcueRecordsTest, ::testing::Values(MODULE_CASES[0]), ShortName());

}  // namespace
