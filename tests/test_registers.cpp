// Every routine the host calls in a module, at each of the four alignments its stack may have at
// the call: the callee-saved registers (EBX, ESI, EDI, EBP) and the stack pointer come back as
// the host handed them, the x87 stack is left empty, and the sound library is called from a
// 16-byte aligned stack whatever the host's. The readout is fed its longest texts.
#include "test_support.h"

using namespace panel_host;
using namespace test_support;
using namespace host_contract;

namespace {

// The readout's source values with the longest texts (each nibble above 9 prints two digits;
// 0xFFFF gives "11515.1515" before the conversion), and the cue's own.
struct LongText {
    uint64_t value;
    const char *text;
};
const LongText LONG_TEXTS[] = {
    {0xFFFF, "11515.15"}, {0xFAFA, "11510.15"}, {0xAFAF, "11015.10"},
    {0xFFFFFFFFFFFFFFFFull, "11515.15"}, {0x9999, "199.99"}, {0x2400, "124.00"},
};

// The x87 register stack must be empty between host calls.
uint16_t x87_tag_word()
{
    uint8_t environment[28];
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    uint16_t tags;
    memcpy(&tags, environment + 8, sizeof tags);
    return tags;
}

class RegistersTest : public HostTest, public ::testing::WithParamInterface<const char *> {
protected:
    void expect_kept(const CallRecord &record, const std::string &what)
    {
        EXPECT_TRUE(record.kept()) << what << ": " << describe(record);
        EXPECT_EQ(x87_tag_word(), 0xFFFF) << what << ": x87 stack not empty";
    }
};

TEST_P(RegistersTest, EveryEntryPointKeepsTheHostsRegistersAtEveryAlignment)
{
    LoadedModule loaded(GetParam());
    Instance gauge = loaded.instance();
    const void *linkage = loaded.module.linkage;
    set_var(DRAG_TOKEN_TRIGGER, 9000.0);
    set_var(DRAG_TOKEN_GATE, 150.0);
    char text[TEXT_BUFFER_BYTES];

    for (uint32_t mod16 : {0u, 4u, 8u, 12u}) {
        const std::string at = "stack " + std::to_string(mod16) + " mod 16 at the call, ";
        clear_sound_journal();
        CallRecord record;
        auto routine = [&](uint32_t slot, const char *what) {
            call_routine(pointer_at<const void>(linkage, slot), 0, 0, mod16, false, &record);
            expect_kept(record, at + what);
        };
        auto service = [&](int32_t code) {
            call_gauge_at(gauge.gauge, code, 0x5A5A5A5Au, mod16, &record);
            expect_kept(record, at + "service " + std::to_string(code));
        };
        routine(LINKAGE_MODULE_INIT_AT, "module init");
        service(SERVICE_PRE_INITIALIZE);
        service(SERVICE_PRE_UPDATE);
        for (StringElement &string : gauge.strings)
            for (const LongText &row : LONG_TEXTS) {
                set_var_bits(FREQUENCY_TOKEN, row.value);
                fetch_var((uint8_t *)string.element + STRING_SOURCE_VARS_AT);
                memset(text, TEXT_POISON, sizeof text);
                write_at<uint32_t>(string.element, STRING_TEXT_AT, (uint32_t)(uintptr_t)text);
                EXPECT_EQ(call_string_at(string.element, mod16, &record), 0.0);
                expect_kept(record, at + "readout of " + row.text);
                EXPECT_STREQ(text, row.text);
            }
        service(SERVICE_PRE_DRAW);
        service(7);   // ignored codes
        service(13);
        service(SERVICE_PRE_KILL);
        routine(LINKAGE_MODULE_DEINIT_AT, "module deinit");

        // The play (readout or loop) and the terminate, each from an aligned stack: the
        // library sees 12 once the return address is pushed.
        int calls = 0;
        for (const SOUND_EVENT &event : sound_events(0)) {
            if (event.kind == SOUND_EVENT_ATTACH || event.kind == SOUND_EVENT_DETACH)
                continue;
            ++calls;
            EXPECT_EQ(event.stack_mod16, 12u) << at << "event kind " << event.kind;
        }
        EXPECT_GE(calls, 2) << at << "a play and the terminate at least";
        EXPECT_FALSE(sound_library_loaded()) << at;
        // Re-arm the readout for the next pass (its first draw is past).
        set_var_bits(FREQUENCY_TOKEN, 0x3000);
        update(gauge);
        kill(gauge);
    }
}

INSTANTIATE_TEST_SUITE_P(BothModules, RegistersTest, ::testing::ValuesIn(MODULE_FILES), ShortName());

// The thunk itself must see a routine that breaks a register or removes the wrong number of
// argument bytes, or the test above proves nothing.
extern "C" void __stdcall thunk_probe_keeps(uint32_t) {}
extern "C" void __cdecl thunk_probe_leaves_argument(uint32_t) {}
extern "C" void __stdcall thunk_probe_breaks_ebx(uint32_t);
__asm__(".text\n"
        "_thunk_probe_breaks_ebx@4:\n"
        "  movl $0x12345678, %ebx\n"
        "  ret $4\n");

TEST(RegisterThunkTest, SeesABrokenRegisterAndAWrongStackPointer)
{
    const uint32_t argument = 1;
    CallRecord record;
    call_routine((const void *)&thunk_probe_keeps, &argument, 1, 4, false, &record);
    EXPECT_TRUE(record.kept()) << describe(record);
    const uint32_t broken_before = broken_calls();
    call_routine((const void *)&thunk_probe_breaks_ebx, &argument, 1, 8, false, &record);
    EXPECT_EQ(record.returned[SAVED_EBX], 0x12345678u);
    EXPECT_FALSE(record.kept());
    call_routine((const void *)&thunk_probe_leaves_argument, &argument, 1, 12, false, &record);
    EXPECT_EQ(record.returned[SAVED_ESP], record.handed[SAVED_ESP] - 4) << describe(record);
    EXPECT_EQ(broken_calls(), broken_before + 2);
}

}  // namespace
